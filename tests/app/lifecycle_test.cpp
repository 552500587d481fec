// The application's start-up, standard events, commands and quit timer at
// the headless display, dispatched as the bus dispatches them.
#include <gtest/gtest.h>

#include <QByteArray>
#include <string>

#include "app/Application.h"
#include "params/SearchParameters.h"
#include "params/Terminology.h"
#include "platform/AppleEvents.h"
#include "platform/CoreFoundation.h"
#include "platform/EventLoop.h"
#include "platform/dbus/BusDispatch.h"
#include "text/AlertDisplays.h"

namespace {

char programName[] = "test_app";
char* programArgs[] = {programName, nullptr};
int programArgc = 1;

// One application per process, as in the real one.
class HeadlessApplication : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_EQ(InitDisplay(&programArgc, programArgs, true), kDisplayHeadless);
        ScopedAlertRecorder alerts;
        ASSERT_TRUE(InitApplication());
        EXPECT_TRUE(alerts.alerts().empty());
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new HeadlessApplication);

struct Desc {
    AEDesc d;
    Desc() { AEInitializeDesc(&d); }
    ~Desc() { AEDisposeDesc(&d); }
};

void MakeEvent(AEEventClass eventClass, AEEventID eventID, AppleEvent* event) {
    const OSType signature = kSeekwrightEventClass;
    Desc target;
    ASSERT_EQ(AECreateDesc(typeApplSignature, &signature, sizeof signature, &target.d), noErr);
    ASSERT_EQ(AECreateAppleEvent(eventClass, eventID, &target.d, kAutoGenerateReturnID,
                                 kAnyTransactionID, event),
              noErr);
}

bool ReplyErrorNumber(const AppleEvent* reply, SInt32* number) {
    return AEGetParamPtr(reply, keyErrorNumber, typeSInt32, nullptr, number, sizeof *number,
                         nullptr) == noErr;
}

std::string PString(ConstStr255Param s) {
    return std::string(reinterpret_cast<const char*>(s + 1), s[0]);
}

class Lifecycle : public ::testing::Test {
  protected:
    void SetUp() override { keepRunning = true; }
    void TearDown() override {
        keepRunning = true;
        CFBundleRestoreInfoVersionForTesting();
        SearchParameters.wantSilence = false;
    }
};

TEST_F(Lifecycle, OpenApplicationIsAnsweredAndChangesNothing) {
    ScopedAlertRecorder alerts;
    Desc event, reply;
    MakeEvent(kCoreEventClass, kAEOpenApplication, &event.d);
    testing::internal::CaptureStdout();
    EXPECT_EQ(AEProcessAppleEvent(&event.d, &reply.d), noErr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    SInt32 number = 0;
    EXPECT_FALSE(ReplyErrorNumber(&reply.d, &number)) << "errn " << number;
    EXPECT_TRUE(keepRunning);
    EXPECT_TRUE(alerts.alerts().empty());
}

TEST_F(Lifecycle, QuitEventIsAnsweredAtOnceAndOnlyClearsTheFlag) {
    Desc event, reply;
    MakeEvent(kCoreEventClass, kAEQuitApplication, &event.d);
    EXPECT_EQ(AEProcessAppleEvent(&event.d, &reply.d), noErr);
    SInt32 number = 0;
    EXPECT_FALSE(ReplyErrorNumber(&reply.d, &number)) << "errn " << number;
    EXPECT_FALSE(keepRunning);
}

// The loop ends at a firing of the quit timer after the quit arrived, not at
// the quit itself: a marker timer installed after the quit still fires first
// when it is due sooner than the quit timer.
TEST_F(Lifecycle, QuitEndsTheEventLoopAtTheTimersNextFiring) {
    static bool quitSent = false;
    static bool markerFired = false;
    static Boolean keepRunningWhenMarkerFired = true;
    quitSent = markerFired = false;
    InstallEventLoopTimer(
        GetMainEventLoop(), 0.0, 0.0,
        [](EventLoopTimerRef, void*) {
            Desc event, reply;
            MakeEvent(kCoreEventClass, kAEQuitApplication, &event.d);
            AEProcessAppleEvent(&event.d, &reply.d);
            quitSent = true;
            InstallEventLoopTimer(
                GetMainEventLoop(), 0.0, 0.0,
                [](EventLoopTimerRef, void*) {
                    markerFired = true;
                    keepRunningWhenMarkerFired = keepRunning;
                },
                nullptr, nullptr);
        },
        nullptr, nullptr);
    RunApplicationEventLoop();
    EXPECT_TRUE(quitSent);
    EXPECT_TRUE(markerFired) << "the loop ended before the next quit-timer firing";
    EXPECT_FALSE(keepRunningWhenMarkerFired);
}

TEST_F(Lifecycle, QuitTimerLeavesTheLoopRunningWhileKeepRunning) {
    static int firings = 0;
    firings = 0;
    EventLoopTimerRef counter = nullptr;
    // Counts quit-timer-like firings; after three with keepRunning set, quits.
    InstallEventLoopTimer(
        GetMainEventLoop(), 0.0, 0.01,
        [](EventLoopTimerRef, void*) {
            QuitTimerProc(nullptr, nullptr);  // keepRunning is true: no effect
            if (++firings == 3) keepRunning = false;
            if (firings > 3) QuitTimerProc(nullptr, nullptr);
        },
        nullptr, &counter);
    RunApplicationEventLoop();
    RemoveEventLoopTimer(counter);
    EXPECT_EQ(firings, 4);
}

TEST_F(Lifecycle, QuitCommandClearsTheFlagWithoutTheStandardQuit) {
    HICommand quit{0, kHICommandQuit, {nullptr, 0}};
    EXPECT_EQ(ProcessHICommand(&quit), noErr);
    EXPECT_FALSE(keepRunning);
}

TEST_F(Lifecycle, OtherCommandsAreLeftToTheStandardHandling) {
    struct Row {
        const char* name;
        UInt32 command;
    };
    const Row rows[] = {{"copy", FourCC("copy")}, {"zero", 0}, {"pref", FourCC("pref")}};
    for (const Row& row : rows) {
        HICommand command{0, row.command, {nullptr, 0}};
        testing::internal::CaptureStdout();
        EXPECT_EQ(ProcessHICommand(&command), eventNotHandledErr) << row.name;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << row.name;
        EXPECT_TRUE(keepRunning) << row.name;
    }
    // A command event whose command cannot be read.
    EXPECT_EQ(ProcessEventWithoutParameter(kEventClassCommand, kEventCommandProcess),
              eventNotHandledErr);
}

TEST_F(Lifecycle, UnknownAppleEventGetsEventNotHandled) {
    Desc event, reply;
    MakeEvent(kCoreEventClass, FourCC("odoc"), &event.d);
    EXPECT_EQ(AEProcessAppleEvent(&event.d, &reply.d), errAEEventNotHandled);
    SInt32 number = 0;
    ASSERT_TRUE(ReplyErrorNumber(&reply.d, &number));
    EXPECT_EQ(number, errAEEventNotHandled);
    EXPECT_TRUE(keepRunning);
}

TEST_F(Lifecycle, AboutPrintsTheBuildVersionAtTheHeadlessDisplay) {
    EXPECT_EQ(PString(versionString), SW_PROJECT_VERSION);
    HICommand about{0, kHICommandAbout, {nullptr, 0}};
    testing::internal::CaptureStdout();
    EXPECT_EQ(ProcessHICommand(&about), noErr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Version " SW_PROJECT_VERSION "\n");
    EXPECT_TRUE(keepRunning);
}

TEST_F(Lifecycle, MissingVersionAlertsAndReadsNotAvailable) {
    CFBundleSetInfoVersionForTesting(nullptr);
    ScopedAlertRecorder alerts;
    Str255 version;
    EXPECT_FALSE(GetVersionFromBundlePropertyList(version));
    ASSERT_EQ(alerts.alerts().size(), 1u);
    EXPECT_EQ(alerts.alerts()[0].type, kAlertStopAlert);
    EXPECT_EQ(alerts.alerts()[0].text,
              "CFBundleGetValueForInfoDictionaryKey() returned nil in "
              "GetVersionFromBundlePropertyList().");
    EXPECT_FALSE(alerts.alerts()[0].hasExplanation);

    // Start-up then shows "n/a" in the About box.
    Str255 saved;
    std::memcpy(saved, versionString, sizeof saved);
    ASSERT_TRUE(InitApplication());
    EXPECT_EQ(PString(versionString), "n/a");
    HICommand about{0, kHICommandAbout, {nullptr, 0}};
    testing::internal::CaptureStdout();
    EXPECT_EQ(ProcessHICommand(&about), noErr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Version n/a\n");
    std::memcpy(versionString, saved, sizeof saved);
}

TEST_F(Lifecycle, VersionAlertsHonourSilence) {
    CFBundleSetInfoVersionForTesting(nullptr);
    SearchParameters.wantSilence = true;
    ScopedAlertRecorder alerts;
    Str255 version;
    EXPECT_FALSE(GetVersionFromBundlePropertyList(version));
    EXPECT_TRUE(alerts.alerts().empty());
}

TEST_F(Lifecycle, VersionWithoutMacRomanFormIsNotAvailableWithoutAlert) {
    CFBundleSetInfoVersionForTesting("2.0-\xCE\xB2");  // Greek beta
    ScopedAlertRecorder alerts;
    Str255 version;
    EXPECT_FALSE(GetVersionFromBundlePropertyList(version));
    EXPECT_TRUE(alerts.alerts().empty());
    CFBundleSetInfoVersionForTesting("1.2.3");
    EXPECT_TRUE(GetVersionFromBundlePropertyList(version));
    EXPECT_EQ(PString(version), "1.2.3");
}

// The bus hands events over flattened; a find sent without a reply gets the
// handler's first step.
TEST_F(Lifecycle, FindWithoutReplyShowsTheStopAlert) {
    ScopedAlertRecorder alerts;
    Desc event;
    MakeEvent(kSeekwrightEventClass, kFindEventID, &event.d);
    QByteArray flat(static_cast<qsizetype>(AESizeOfFlattenedDesc(&event.d)), '\0');
    Size written = 0;
    ASSERT_EQ(AEFlattenDesc(&event.d, flat.data(), flat.size(), &written), noErr);
    QByteArray reply;
    QString problem;
    ASSERT_TRUE(swbus::DispatchFlattenedEvent(flat, false, &reply, &problem))
        << problem.toStdString();
    EXPECT_TRUE(reply.isEmpty());
    ASSERT_EQ(alerts.alerts().size(), 1u);
    EXPECT_EQ(alerts.alerts()[0].type, kAlertStopAlert);
    EXPECT_EQ(alerts.alerts()[0].text, "The reply AppleEvent was not specified.");
}

TEST_F(Lifecycle, MalformedFlattenedEventsAreRefused) {
    struct Row {
        const char* name;
        QByteArray bytes;
    };
    Desc event;
    MakeEvent(kCoreEventClass, kAEQuitApplication, &event.d);
    QByteArray flat(static_cast<qsizetype>(AESizeOfFlattenedDesc(&event.d)), '\0');
    Size written = 0;
    ASSERT_EQ(AEFlattenDesc(&event.d, flat.data(), flat.size(), &written), noErr);
    Desc text;
    ASSERT_EQ(AECreateDesc(typeChar, "quit", 4, &text.d), noErr);
    QByteArray flatText(static_cast<qsizetype>(AESizeOfFlattenedDesc(&text.d)), '\0');
    ASSERT_EQ(AEFlattenDesc(&text.d, flatText.data(), flatText.size(), &written), noErr);
    QByteArray flipped = flat;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);
    const Row rows[] = {
        {"empty", QByteArray()},
        {"garbage", QByteArray("not an event at all")},
        {"truncated", flat.left(flat.size() - 3)},
        {"half", flat.left(flat.size() / 2)},
        {"not an event", flatText},
    };
    for (const Row& row : rows) {
        QByteArray reply;
        QString problem;
        EXPECT_FALSE(swbus::DispatchFlattenedEvent(row.bytes, true, &reply, &problem)) << row.name;
        EXPECT_FALSE(problem.isEmpty()) << row.name;
        EXPECT_TRUE(keepRunning) << row.name;
    }
    // A flipped byte in the middle either fails to read or is some event:
    // never a crash.
    QByteArray reply;
    QString problem;
    swbus::DispatchFlattenedEvent(flipped, true, &reply, &problem);
}

}  // namespace
