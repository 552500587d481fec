#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command/ProgressWindow.h"
#include "command/SeekwrightHandler.h"
#include "params/Intake.h"
#include "params/Terminology.h"
#include "platform/Events.h"
#include "platform/Memory.h"
#include "search/SearchFixture.h"
#include "text/AlertDisplays.h"

using namespace sw::test;

namespace {

class FindCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        InitAlertParams();
        ASSERT_EQ(InstallFileCoercions(), noErr);
        AEInstallEventHandler(kSeekwrightEventClass, kFindEventID, SeekwrightHandler, 0, false);
        AEAddressDesc target;
        AEInitializeDesc(&target);
        const OSType signature = kSeekwrightEventClass;
        ASSERT_EQ(AECreateDesc(typeApplSignature, &signature, 4, &target), noErr);
        ASSERT_EQ(AECreateAppleEvent(kSeekwrightEventClass, kFindEventID, &target,
                                     kAutoGenerateReturnID, kAnyTransactionID, &event_),
                  noErr);
        AEDisposeDesc(&target);
        AEInitializeDesc(&reply_);
        AEInitializeDesc(&folders_);
        ASSERT_EQ(AECreateList(nullptr, 0, false, &folders_), noErr);
    }
    void TearDown() override {
        AEDisposeDesc(&event_);
        AEDisposeDesc(&reply_);
        AEDisposeDesc(&folders_);
        ClearCommandPeriod();
    }

    void AddFolder(const std::string& path) {
        FSRef ref;
        ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr)
            << path;
        FSSpec spec;
        ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);
        AliasHandle alias = nullptr;
        ASSERT_EQ(NewAlias(nullptr, &spec, &alias), noErr);
        ASSERT_EQ(AEPutPtr(&folders_, 0, typeAlias, *alias, GetHandleSize(alias)), noErr);
        DisposeHandle(alias);
    }
    void AddFolderText(const std::string& colonPath) {
        ASSERT_EQ(
            AEPutPtr(&folders_, 0, typeChar, colonPath.data(), static_cast<Size>(colonPath.size())),
            noErr);
    }
    void Put(AEKeyword key, Boolean value) {
        ASSERT_EQ(AEPutParamPtr(&event_, key, typeBoolean, &value, 1), noErr);
    }
    void PutForm(OSType form) {
        ASSERT_EQ(AEPutParamPtr(&event_, keyResultType, typeEnumerated, &form, 4), noErr);
    }
    void PutMax(SInt32 max) {
        ASSERT_EQ(AEPutParamPtr(&event_, keyMaxMatches, typeSInt32, &max, 4), noErr);
    }

    // Dispatches the event; the texts of the reply's direct parameter.
    std::vector<std::string> Run(bool* hasResults = nullptr) {
        EXPECT_EQ(AEPutParamDesc(&event_, keySearchFolders, &folders_), noErr);
        AEDisposeDesc(&reply_);
        EXPECT_EQ(AEProcessAppleEvent(&event_, &reply_), noErr);
        AEDescList list;
        AEInitializeDesc(&list);
        std::vector<std::string> texts;
        const bool has = AEGetParamDesc(&reply_, keyDirectObject, typeAEList, &list) == noErr;
        if (hasResults != nullptr) *hasResults = has;
        for (const Element& e : Elements(list)) texts.push_back(e.text);
        AEDisposeDesc(&list);
        return texts;
    }

    // A colon path of an existing folder, from the file layer.
    static std::string ColonPath(const std::string& posix) {
        FSRef ref;
        FSPathMakeRef(reinterpret_cast<const UInt8*>(posix.c_str()), &ref, nullptr);
        CFURLRef url = CFURLCreateFromFSRef(nullptr, &ref);
        CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLHFSPathStyle);
        char buffer[1024] = {};
        CFStringGetCString(path, buffer, sizeof buffer, kCFStringEncodingMacRoman);
        CFRelease(path);
        CFRelease(url);
        return buffer;
    }

    AppleEvent event_;
    AppleEvent reply_;
    AEDescList folders_;
    TempDir dir_;
};

TEST_F(FindCommand, AMissingFolderIsReportedAndTheOtherRootsAreSearched) {
    MakeDir(dir_ / "one");
    WriteFile(dir_ / "one/a");
    MakeDir(dir_ / "two");
    WriteFile(dir_ / "two/b");
    PutForm(kResultPOSIXPath);
    ScopedAlertRecorder alerts;
    AddFolder(dir_ / "one");
    const std::string missing = ColonPath(dir_.path()) + ":missing";
    AddFolderText(missing);
    AddFolder(dir_ / "two");
    const auto results = Run();
    EXPECT_EQ(results, (std::vector<std::string>{dir_ / "one/a", dir_ / "two/b"}));
    ASSERT_EQ(alerts.alerts().size(), 1u);
    EXPECT_EQ(alerts.alerts()[0].type, kAlertStopAlert);
    EXPECT_EQ(alerts.alerts()[0].text,
              "Could not convert \"" + missing + "\" into a file specification.");
}

TEST_F(FindCommand, ARootThatIsAFileGetsTheTraversalAlert) {
    WriteFile(dir_ / "plain");
    MakeDir(dir_ / "two");
    WriteFile(dir_ / "two/b");
    PutForm(kResultPOSIXPath);
    AddFolder(dir_ / "plain");
    AddFolder(dir_ / "two");
    ScopedAlertRecorder alerts;
    EXPECT_EQ(Run(), (std::vector<std::string>{dir_ / "two/b"}));
    ASSERT_EQ(alerts.alerts().size(), 1u);
    const RecordedAlert& a = alerts.alerts()[0];
    EXPECT_EQ(a.type, kAlertStopAlert);
    EXPECT_EQ(a.text, "An error occurred while searching an item in the search folders list.");
    EXPECT_TRUE(
        a.explanation.starts_with("SeekwrightHandler() > IterateFolder() returned error: -"))
        << a.explanation;
}

TEST_F(FindCommand, SilenceHidesTheTraversalAlertButNotTheSummary) {
    WriteFile(dir_ / "plain");
    MakeDir(dir_ / "two");
    WriteFile(dir_ / "two/b");
    WriteFile(dir_ / "two/c");
    PutForm(kResultPOSIXPath);
    Put(keyWantSilence, 1);
    Put(keyWantResults, 1);
    AddFolder(dir_ / "plain");
    AddFolder(dir_ / "two");
    ScopedAlertRecorder alerts;
    EXPECT_EQ(Run().size(), 2u);
    ASSERT_EQ(alerts.alerts().size(), 1u);
    const RecordedAlert& a = alerts.alerts()[0];
    EXPECT_EQ(a.type, kAlertPlainAlert);
    EXPECT_EQ(a.text, "Search Results:");
    EXPECT_TRUE(a.explanationBytes.starts_with(
        "2 items matched out of 2 items scanned.\rElapsed search time was "))
        << a.explanationBytes;
    EXPECT_TRUE(a.explanationBytes.ends_with(" seconds).")) << a.explanationBytes;
    EXPECT_NE(a.explanationBytes.find(" ticks ("), std::string::npos);
}

TEST_F(FindCommand, AnEmptyFolderListGivesAnEmptyReplyList) {
    Put(keyWantResults, 1);
    ScopedAlertRecorder alerts;
    bool hasResults = false;
    EXPECT_TRUE(Run(&hasResults).empty());
    EXPECT_TRUE(hasResults) << "the reply carries the (empty) list";
    ASSERT_EQ(alerts.alerts().size(), 1u);
    EXPECT_TRUE(
        alerts.alerts()[0].explanation.starts_with("0 items matched out of 0 items scanned."));
}

TEST_F(FindCommand, TheLimitReachedOnTheFirstRootEndsTheSearchQuietly) {
    for (const char* name : {"one", "two"}) {
        MakeDir(dir_ / name);
        for (int i = 0; i < 3; ++i)
            WriteFile(dir_ / (std::string(name) + "/f" + std::to_string(i)));
    }
    PutForm(kResultPOSIXPath);
    PutMax(2);
    AddFolder(dir_ / "one");
    AddFolder(dir_ / "two");
    ScopedAlertRecorder alerts;
    const auto results = Run();
    ASSERT_EQ(results.size(), 2u);
    for (const std::string& r : results) EXPECT_TRUE(r.starts_with(dir_ / "one/")) << r;
    EXPECT_TRUE(alerts.alerts().empty());
}

TEST_F(FindCommand, HFSPathsAreTheDefaultForm) {
    MakeDir(dir_ / "one");
    WriteFile(dir_ / "one/Read Me");
    AddFolder(dir_ / "one");
    EXPECT_EQ(Run(), (std::vector<std::string>{ColonPath(dir_ / "one") + ":Read Me"}));
}

// Command-period typed while the third entry is shown.
struct StopAtThirdEntry final : ProgressDisplay {
    void Open() override {}
    void Update(CFStringRef, CFStringRef, SInt32, SInt32, SInt32, SInt32, const char*) override {
        if (++updates == 3) PostCommandPeriod();
    }
    void Close() override {}
    int updates = 0;
};

TEST_F(FindCommand, CommandPeriodReturnsTheMatchesSoFarAndCautions) {
    MakeDir(dir_ / "one");
    for (int i = 0; i < 10; ++i) WriteFile(dir_ / ("one/f" + std::to_string(i)));
    PutForm(kResultPOSIXPath);
    Put(keyWantDisplay, 1);
    AddFolder(dir_ / "one");
    AddFolder(dir_ / "one");  // a second root: visited, not walked
    StopAtThirdEntry display;
    ProgressDisplay* previous = SetProgressDisplay(&display);
    ScopedAlertRecorder alerts;
    const auto results = Run();
    SetProgressDisplay(previous);
    EXPECT_EQ(results.size(), 3u);
    EXPECT_EQ(display.updates, 3);
    EXPECT_TRUE(SearchState.userAborted);
    ASSERT_EQ(alerts.alerts().size(), 1u);
    const RecordedAlert& a = alerts.alerts()[0];
    EXPECT_EQ(a.type, kAlertCautionAlert);
    EXPECT_EQ(a.text, "The search was aborted.");
    EXPECT_EQ(a.explanationBytes,
              "The search was aborted because you pressed \xF0"
              "-. (Command-Period) on the keyboard. Results may be incomplete.");
}

TEST_F(FindCommand, ACommandWithoutAReplyIsRefusedUnlessTheLastOneWasSilent) {
    AEDesc noReply;
    AEInitializeDesc(&noReply);
    {
        // A silent command first.
        Put(keyWantSilence, 1);
        Run();
        ScopedAlertRecorder alerts;
        EXPECT_EQ(SeekwrightHandler(&event_, &noReply, 0), noErr);
        EXPECT_TRUE(alerts.alerts().empty());
    }
    {
        Put(keyWantSilence, 0);
        Run();
        ScopedAlertRecorder alerts;
        EXPECT_EQ(SeekwrightHandler(&event_, &noReply, 0), noErr);
        ASSERT_EQ(alerts.alerts().size(), 1u);
        EXPECT_EQ(alerts.alerts()[0].text, "The reply AppleEvent was not specified.");
        EXPECT_FALSE(alerts.alerts()[0].hasExplanation);
    }
}

// --- The criteria text ------------------------------------------------------------

void SetLine(Str255 line, const std::string& text) {
    line[0] = static_cast<unsigned char>(text.size());
    std::memcpy(line + 1, text.data(), text.size());
}

TEST(CriteriaText, DefaultsReadAsTheIntakeWritesThem) {
    AppleEvent event;
    AEInitializeDesc(&event);
    AEAddressDesc target;
    AEInitializeDesc(&target);
    ASSERT_EQ(AECreateAppleEvent(kSeekwrightEventClass, kFindEventID, &target,
                                 kAutoGenerateReturnID, kAnyTransactionID, &event),
              noErr);
    AEDescList empty;
    AECreateList(nullptr, 0, false, &empty);
    AEPutParamDesc(&event, keySearchFolders, &empty);
    AEDisposeDesc(&empty);
    ClearSearchParameters();
    ASSERT_EQ(MyGetAllParameters(&event), noErr);
    AEDisposeDesc(&event);
    char text[kCriteriaTextSize];
    BuildCriteriaText(text, sizeof text);
    EXPECT_STREQ(text, "result type: HFS paths, with: files, without: subfolders folders");
}

TEST(CriteriaText, LinesThenWithThenWithout) {
    struct Row {
        const char* name;
        const char* withText;
        const char* withoutText;
        const char* expected;
    } rows[] = {
        {"both lists", " files", " folders",
         "name contains x, up to 3 matches, result type: POSIX paths, with: files, without: "
         "folders"},
        {"nothing on", "", " files folders",
         "name contains x, up to 3 matches, result type: POSIX paths, , without: files folders"},
        {"nothing off", " files", "",
         "name contains x, up to 3 matches, result type: POSIX paths, with: files"},
    };
    for (const Row& row : rows) {
        ClearSearchParameters();
        SetLine(SearchParameters.nameText, "name contains x");
        SetLine(SearchParameters.maxMatchesText, "up to 3 matches");
        SetLine(SearchParameters.resultTypeText, "result type: POSIX paths");
        SetLine(SearchParameters.withText, row.withText);
        SetLine(SearchParameters.withoutText, row.withoutText);
        char text[kCriteriaTextSize];
        BuildCriteriaText(text, sizeof text);
        EXPECT_STREQ(text, row.expected) << row.name;
    }
}

TEST(CriteriaText, IsCutAtItsBoundNeverPastIt) {
    ClearSearchParameters();
    SearchParametersRecord& p = SearchParameters;
    for (unsigned char* line :
         {p.nameText, p.creatorText, p.fileTypeText, p.sizeText, p.kindText, p.labelText,
          p.dateCreatedText, p.dateModifiedText, p.commentAText, p.commentBText, p.maxMatchesText,
          p.versionText, p.resultTypeText, p.withText, p.withoutText})
        SetLine(line, std::string(255, 'x'));
    char buffer[kCriteriaTextSize + 64];
    std::memset(buffer, 0x5A, sizeof buffer);
    BuildCriteriaText(buffer, kCriteriaTextSize);
    EXPECT_EQ(std::strlen(buffer), kCriteriaTextSize - 1);
    for (std::size_t i = kCriteriaTextSize; i < sizeof buffer; ++i)
        ASSERT_EQ(buffer[i], 0x5A) << "byte " << i << " was written";
}

}  // namespace
