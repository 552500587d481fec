#include "text/Alerts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "text/AlertDisplays.h"
#include "text/TextUtils.h"

namespace {

TEST(Alerts, InitAlertParams) {
    alertParams = {};
    alertParams.cancelButton = 3;
    InitAlertParams();
    EXPECT_TRUE(alertParams.movable);
    EXPECT_FALSE(alertParams.helpButton);
    EXPECT_EQ(alertParams.filterProc, nullptr);
    EXPECT_EQ(reinterpret_cast<std::intptr_t>(alertParams.defaultText), kAlertDefaultOKText);
    EXPECT_EQ(alertParams.cancelText, nullptr);
    EXPECT_EQ(alertParams.otherText, nullptr);
    EXPECT_EQ(alertParams.defaultButton, kAlertStdAlertOKButton);
    EXPECT_EQ(alertParams.cancelButton, 0);
    EXPECT_EQ(alertParams.position, kWindowDefaultPosition);
}

TEST(Alerts, LineFormat) {
    struct Row {
        const char* name;
        AlertType type;
        std::string error;  // Mac OS Roman bytes
        bool hasExplanation;
        std::string explanation;
        std::string line;  // UTF-8
    } rows[] = {
        {"stop with explanation", kAlertStopAlert, "Could not allocate storage for item list.",
         true, "SeekwrightHandler() -> AECreateList() error: -108",
         "seekwright: stop: Could not allocate storage for item list. "
         "(SeekwrightHandler() -> AECreateList() error: -108)"},
        {"no explanation", kAlertStopAlert, "CFBundleGetMainBundle() returned nil.", false, "",
         "seekwright: stop: CFBundleGetMainBundle() returned nil."},
        {"empty explanation", kAlertCautionAlert, "Search stopped.", true, "",
         "seekwright: caution: Search stopped."},
        {"plain", kAlertPlainAlert, "3 items matched", true, "120 scanned",
         "seekwright: plain: 3 items matched (120 scanned)"},
        {"note", kAlertNoteAlert, "n", false, "", "seekwright: note: n"},
        {"unknown type", 42, "x", false, "", "seekwright: alert: x"},
        {"line breaks become spaces", kAlertStopAlert, "two\nlines", true, "a\r\nb\tc",
         "seekwright: stop: two lines (a  b c)"},
        {"control bytes escaped", kAlertStopAlert, "bell\x07 esc\x1B[2J", true,
         std::string("nul\0end", 7), "seekwright: stop: bell\\x07 esc\\x1B[2J (nul\\x00end)"},
        {"Mac OS Roman to UTF-8", kAlertStopAlert, "R\x8Esum\x8E \xC4", true, "\xF0 \xDB",
         "seekwright: stop: R\xC3\xA9sum\xC3\xA9 \xC6\x92 (\xEF\xA3\xBF \xE2\x82\xAC)"},
    };
    for (const Row& row : rows) {
        Str255 error, explanation;
        ASSERT_LE(row.explanation.size(), 255u);
        error[0] = static_cast<unsigned char>(row.error.size());
        row.error.copy(reinterpret_cast<char*>(error + 1), row.error.size());
        explanation[0] = static_cast<unsigned char>(row.explanation.size());
        row.explanation.copy(reinterpret_cast<char*>(explanation + 1), row.explanation.size());
        EXPECT_EQ(FormatAlertLine(row.type, error, row.hasExplanation ? explanation : nullptr),
                  row.line)
            << row.name;
    }
}

TEST(Alerts, HeadlessDisplayIsTheDefaultAndWritesOneLineOnStderr) {
    ASSERT_EQ(SetAlertDisplay(nullptr), nullptr);  // nothing else installed
    Str255 error, explanation;
    CToPString("Could not allocate storage for item list.", error);
    CToPString("SeekwrightHandler() -> AECreateList() error: ", explanation);
    Str255 number;
    NumToString(memFullErr, number);
    AppendPString(number, explanation);
    alertItemHit = 0;
    testing::internal::CaptureStderr();
    OSErr err = StandardAlert(kAlertStopAlert, error, explanation, &alertParams, &alertItemHit);
    std::string captured = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, noErr);
    EXPECT_EQ(alertItemHit, kAlertStdAlertOKButton);
    EXPECT_EQ(captured,
              "seekwright: stop: Could not allocate storage for item list. "
              "(SeekwrightHandler() -> AECreateList() error: -108)\n");
}

TEST(Alerts, HeadlessDisplayOnAStream) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    HeadlessAlertDisplay display(file);
    ScopedAlertDisplay scope(&display);
    Str255 error;
    CToPString("Search stopped.", error);
    StandardAlert(kAlertCautionAlert, error, nullptr, &alertParams, nullptr);
    StandardAlert(kAlertPlainAlert, nullptr, nullptr, &alertParams, nullptr);
    std::rewind(file);
    char buffer[256] = {};
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    EXPECT_EQ(std::string(buffer, n),
              "seekwright: caution: Search stopped.\nseekwright: plain: \n");
}

TEST(Alerts, RecordingDisplayAndScopes) {
    Str255 error, explanation;
    ASSERT_TRUE(Utf8ToPString("Caf\xC3\xA9 is not a disk.", error));
    CToPString("MyGetDiskParam() -> AEGetParamDesc() error: -1700", explanation);
    {
        ScopedAlertRecorder outer;
        {
            RecordingAlertDisplay inner;
            ScopedAlertDisplay scope(&inner);
            alertItemHit = 0;
            StandardAlert(kAlertStopAlert, error, explanation, &alertParams, &alertItemHit);
            EXPECT_EQ(alertItemHit, 1);
            ASSERT_EQ(inner.alerts().size(), 1u);
            const RecordedAlert& a = inner.alerts()[0];
            EXPECT_EQ(a.type, kAlertStopAlert);
            EXPECT_EQ(a.text, "Caf\xC3\xA9 is not a disk.");
            EXPECT_EQ(a.textBytes, "Caf\x8E is not a disk.");
            EXPECT_TRUE(a.hasExplanation);
            EXPECT_EQ(a.explanation, "MyGetDiskParam() -> AEGetParamDesc() error: -1700");
            EXPECT_EQ(a.explanationBytes, a.explanation);
        }
        // The inner scope is gone: alerts reach the outer recorder again.
        StandardAlert(kAlertPlainAlert, error, nullptr, &alertParams, nullptr);
        ASSERT_EQ(outer.alerts().size(), 1u);
        EXPECT_EQ(outer.alerts()[0].type, kAlertPlainAlert);
        EXPECT_FALSE(outer.alerts()[0].hasExplanation);
        EXPECT_EQ(outer.alerts()[0].explanation, "");
        outer.Clear();
        EXPECT_TRUE(outer.alerts().empty());
    }
    // Both scopes are gone: the headless default is back.
    EXPECT_EQ(SetAlertDisplay(nullptr), nullptr);
}

}  // namespace
