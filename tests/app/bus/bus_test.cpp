// The application over a private session bus (the suite runs inside
// dbus-run-session): each test starts `seekwright app --headless` as its own
// process and talks to it as scripts do.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "command/SeekwrightHandler.h"
#include "params/Terminology.h"
#include "platform/AppleEvents.h"
#include "platform/BusClient.h"
#include "platform/BusService.h"
#include "platform/Files.h"
#include "platform/dbus/FindRequest.h"
#include "platform/dbus/SealedFile.h"
#include "support/Fixtures.h"
#include "text/AlertDisplays.h"

namespace {

char programName[] = "test_app_bus";
char* programArgs[] = {programName, nullptr};
int programArgc = 1;

class BusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        new QCoreApplication(programArgc, programArgs);
        InitAlertParams();
        ASSERT_EQ(InstallFileCoercions(), noErr);
        // The in-process side of the comparisons.
        AEInstallEventHandler(kSeekwrightEventClass, kFindEventID, SeekwrightHandler, 0, false);
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

const QString kName = QString::fromLatin1(kSeekwrightBusName);
const QString kPath = QString::fromLatin1(kSeekwrightObjectPath);
const QString kInterface = QString::fromLatin1(kSeekwrightInterface);

struct Desc {
    AEDesc d;
    Desc() { AEInitializeDesc(&d); }
    ~Desc() { AEDisposeDesc(&d); }
};

bool NameOwned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kName).value();
}

// `seekwright app --headless` in its own process.
class AppProcess {
  public:
    // With `offscreenWindows`, the window display on Qt's offscreen platform:
    // alerts are modal boxes that nobody clicks.
    explicit AppProcess(bool offscreenWindows = false) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (offscreenWindows)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process_.setProcessEnvironment(env);
        process_.start(
            QStringLiteral(SW_APP_HOST),
            offscreenWindows ? QStringList() : QStringList{QStringLiteral("--headless")});
        process_.waitForStarted(10000);
    }
    ~AppProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    // Waits (bounded) until the application owns its name.
    bool WaitUntilReady() {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (NameOwned()) return true;
            if (process_.state() == QProcess::NotRunning) return false;
            QThread::msleep(20);
        }
        return false;
    }
    QProcess& process() { return process_; }
    // Standard error gathered so far (and kept).
    std::string Errors() {
        errors_ += process_.readAllStandardError().toStdString();
        return errors_;
    }

  private:
    QProcess process_;
    std::string errors_;
};

// A small real tree with names in and beyond Mac OS Roman and one that is not UTF-8.
class Tree {
  public:
    Tree() {
        sw::test::MakeDir(dir_ / "sub");
        sw::test::WriteFile(dir_ / "alpha.txt", "a");
        sw::test::WriteFile(dir_ / "report.doc", "r");
        sw::test::WriteFile(dir_ / "sub/beta.txt", "b");
        sw::test::WriteFile(dir_ / "caf\xC3\xA9.txt", "c");   // café: Mac OS Roman has é
        sw::test::WriteFile(dir_ / "\xCE\xA9mega.txt", "o");  // Ωmega: Ω is in Mac OS Roman
        sw::test::WriteFile(dir_ / "\xD0\x96uk.txt", "z");    // Жuk: Cyrillic is not
        sw::test::WriteFile(dir_ / "bad\xFF.txt", "x");       // not UTF-8
    }
    const std::string& path() const { return dir_.path(); }

  private:
    sw::test::TempDir dir_;
};

QVariantMap FindParameters(const std::string& folder) {
    QVariantMap parameters;
    parameters.insert(QStringLiteral("in folders"), QStringList{QString::fromStdString(folder)});
    parameters.insert(QStringLiteral("subfolders"), true);
    parameters.insert(QStringLiteral("result type"), QStringLiteral("posix path"));
    return parameters;
}

std::string Printed(const AEDesc* desc);
QVariantList InProcessMatches(const QVariantMap& parameters) {
    Desc event, reply;
    QString problem;
    EXPECT_TRUE(swbus::BuildFindEvent(parameters, &event.d, &problem)) << problem.toStdString();
    ScopedAlertRecorder alerts;
    EXPECT_EQ(AEProcessAppleEvent(&event.d, &reply.d), noErr);
    for (const RecordedAlert& alert : alerts.alerts()) {
        ADD_FAILURE() << "alert: " << alert.text << " " << alert.explanation;
    }
    QVariantList matches;
    OSErr err = noErr;
    EXPECT_TRUE(swbus::MatchesFromReply(&reply.d, &matches, &err, &problem))
        << problem.toStdString();
    return matches;
}

std::string Printed(const AEDesc* desc) {
    char* text = nullptr;
    if (AEPrintDescToText(desc, &text) != noErr || text == nullptr) return "<unprintable>";
    std::string result = text;
    std::free(text);
    return result;
}

QDBusMessage Call(const QString& interface, const QString& member, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, interface, member);
    call.setArguments(args);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 60000);
}

std::string RunTool(const QString& program, const QStringList& args, int* status) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    *status = process.exitCode();
    return (process.readAllStandardOutput() + process.readAllStandardError()).toStdString();
}

// An event of class 'aevt' addressed to the application by its signature.
void MakeAppEvent(AEEventID id, AppleEvent* out) {
    const OSType signature = kSeekwrightEventClass;
    Desc target;
    ASSERT_EQ(AECreateDesc(typeApplSignature, &signature, sizeof signature, &target.d), noErr);
    ASSERT_EQ(AECreateAppleEvent(kCoreEventClass, id, &target.d, kAutoGenerateReturnID,
                                 kAnyTransactionID, out),
              noErr);
}

TEST(AppBus, NothingRunningGivesProcNotFound) {
    ASSERT_FALSE(NameOwned());
    Desc event, reply;
    QString problem;
    ASSERT_TRUE(swbus::BuildFindEvent({}, &event.d, &problem));
    EXPECT_EQ(SendAppleEventToApp(&event.d, &reply.d, true), procNotFound);
    EXPECT_NE(std::string(BusClientLastError()), "");
    EXPECT_EQ(SendAppleEventToApp(&event.d, nullptr, false), procNotFound);
}

TEST(AppBus, FindOverTheBusMatchesInProcess) {
    Tree tree;
    const QVariantMap parameters = FindParameters(tree.path());
    const QVariantList expected = InProcessMatches(parameters);
    ASSERT_EQ(expected.size(), 7) << "fixture tree: six files and one in sub";

    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();

    // The flattened event and its reply, as `seekwright find --app` sends it.
    Desc event, inProcess, overBus;
    QString problem;
    ASSERT_TRUE(swbus::BuildFindEvent(parameters, &event.d, &problem));
    {
        ScopedAlertRecorder alerts;
        ASSERT_EQ(AEProcessAppleEvent(&event.d, &inProcess.d), noErr);
    }
    ASSERT_EQ(SendAppleEventToApp(&event.d, &overBus.d, true), noErr) << BusClientLastError();
    Desc localList, remoteList;
    ASSERT_EQ(AEGetParamDesc(&inProcess.d, keyDirectObject, typeAEList, &localList.d), noErr);
    ASSERT_EQ(AEGetParamDesc(&overBus.d, keyDirectObject, typeAEList, &remoteList.d), noErr);
    EXPECT_EQ(Printed(&remoteList.d), Printed(&localList.d));

    // The Find method.
    const QDBusMessage found = Call(kInterface, QStringLiteral("Find"), {parameters});
    ASSERT_EQ(found.type(), QDBusMessage::ReplyMessage) << found.errorMessage().toStdString();
    ASSERT_EQ(found.signature(), QStringLiteral("av"));
    QVariantList matches;
    for (QVariant v : qdbus_cast<QVariantList>(found.arguments().at(0))) {
        if (v.metaType() == QMetaType::fromType<QDBusVariant>())
            v = v.value<QDBusVariant>().variant();
        if (v.metaType() == QMetaType::fromType<QDBusArgument>()) {
            v = QVariant(qdbus_cast<QByteArray>(v.value<QDBusArgument>()));
        }
        matches << v;
    }
    EXPECT_EQ(matches, expected);
    const QByteArray badName = QByteArray::fromStdString(tree.path() + "/bad\xFF.txt");
    EXPECT_TRUE(matches.contains(QVariant(badName))) << "a name that is not UTF-8 keeps its bytes";
    EXPECT_TRUE(
        matches.contains(QVariant(QString::fromStdString(tree.path() + "/\xD0\x96uk.txt"))));

    // FindFd: the same matches, NUL-terminated, in a sealed file.
    const QDBusMessage viaFile = Call(kInterface, QStringLiteral("FindFd"), {parameters});
    ASSERT_EQ(viaFile.type(), QDBusMessage::ReplyMessage) << viaFile.errorMessage().toStdString();
    EXPECT_EQ(viaFile.arguments().at(0).toUInt(), static_cast<uint>(expected.size()));
    QByteArray bytes;
    ASSERT_TRUE(swbus::ReadWholeFile(
        viaFile.arguments().at(1).value<QDBusUnixFileDescriptor>().fileDescriptor(), 1 << 20,
        &bytes));
    QByteArray expectedBytes;
    for (const QVariant& match : expected) expectedBytes += swbus::MatchBytes(match) + '\0';
    EXPECT_EQ(bytes, expectedBytes);
}

TEST(AppBus, GdbusCallOnFindReturnsTheMatches) {
    Tree tree;
    const QVariantList expected = InProcessMatches(FindParameters(tree.path()));
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    const QString dictionary =
        QStringLiteral(
            "{'in folders': <['%1']>, 'subfolders': <true>, 'result type': <'posix path'>}")
            .arg(QString::fromStdString(tree.path()));
    int status = -1;
    const std::string out =
        RunTool(QStringLiteral("gdbus"),
                {"call", "--session", "--dest", kName, "--object-path", kPath, "--method",
                 kInterface + ".Find", "--timeout", "600", dictionary},
                &status);
    ASSERT_EQ(status, 0) << out;
    int entries = 0;
    for (std::size_t at = out.find("<"); at != std::string::npos; at = out.find("<", at + 1)) {
        ++entries;
    }
    EXPECT_EQ(entries, expected.size()) << out;
    for (const QVariant& match : expected) {
        if (match.metaType() != QMetaType::fromType<QString>()) continue;
        EXPECT_NE(out.find("'" + match.toString().toStdString() + "'"), std::string::npos)
            << match.toString().toStdString() << " missing from " << out;
    }
    // The same through the keyword and the code of the result form.
    const QString byKeyword =
        QStringLiteral("{'\u0192old': <['%1']>, '\u0192sub': <true>, 'Rslt': <'pat2'>}")
            .arg(QString::fromStdString(tree.path()));
    const std::string again = RunTool(QStringLiteral("gdbus"),
                                      {"call", "--session", "--dest", kName, "--object-path", kPath,
                                       "--method", kInterface + ".Find", byKeyword},
                                      &status);
    EXPECT_EQ(again, out);
}

// docs/examples/seekwright-find.py: Python's standard library and gdbus only.
TEST(AppBus, PythonExampleFindsTheSameMatches) {
    Tree tree;
    const QVariantList expected = InProcessMatches(FindParameters(tree.path()));
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral(SW_SOURCE_DIR "/docs/examples/seekwright-find.py"),
                  QString::fromStdString(tree.path())});
    if (!python.waitForStarted(10000)) GTEST_SKIP() << "python3 is not installed";
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    QByteArray expectedOutput;
    for (const QVariant& match : expected) expectedOutput += swbus::MatchBytes(match) + '\n';
    EXPECT_EQ(python.readAllStandardOutput(), expectedOutput);
}

TEST(AppBus, QuitIsAnsweredWithNoErrAndTheApplicationEnds) {
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    Desc quit, reply;
    ASSERT_NO_FATAL_FAILURE(MakeAppEvent(kAEQuitApplication, &quit.d));
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(SendAppleEventToApp(&quit.d, &reply.d, true), noErr) << BusClientLastError();
    SInt32 number = 0;
    EXPECT_NE(AEGetParamPtr(&reply.d, keyErrorNumber, typeSInt32, nullptr, &number, sizeof number,
                            nullptr),
              noErr)
        << "errn " << number;
    ASSERT_TRUE(app.process().waitForFinished(5000)) << "still running after 5 s";
    RecordProperty("quit_to_exit_ms", static_cast<int>(clock.elapsed()));
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);
    EXPECT_FALSE(NameOwned());
}

TEST(AppBus, TerminationSignalQuitsAndGivesTheNameBack) {
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    app.process().terminate();  // SIGTERM
    ASSERT_TRUE(app.process().waitForFinished(5000)) << "still running after 5 s";
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);
    EXPECT_FALSE(NameOwned());
}

TEST(AppBus, OpenApplicationChangesNothing) {
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    Desc open, reply;
    ASSERT_NO_FATAL_FAILURE(MakeAppEvent(kAEOpenApplication, &open.d));
    ASSERT_EQ(SendAppleEventToApp(&open.d, &reply.d, true), noErr) << BusClientLastError();
    SInt32 number = 0;
    EXPECT_NE(AEGetParamPtr(&reply.d, keyErrorNumber, typeSInt32, nullptr, &number, sizeof number,
                            nullptr),
              noErr);
    // Still there after more than one quit-timer period, and silent.
    EXPECT_FALSE(app.process().waitForFinished(1500));
    EXPECT_TRUE(NameOwned());
    EXPECT_EQ(app.Errors(), "");
    EXPECT_EQ(app.process().readAllStandardOutput(), QByteArray());
}

TEST(AppBus, UnknownEventGetsEventNotHandled) {
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    Desc event, reply;
    ASSERT_NO_FATAL_FAILURE(MakeAppEvent(FourCC("odoc"), &event.d));
    ASSERT_EQ(SendAppleEventToApp(&event.d, &reply.d, true), noErr) << BusClientLastError();
    SInt32 number = 0;
    ASSERT_EQ(AEGetParamPtr(&reply.d, keyErrorNumber, typeSInt32, nullptr, &number, sizeof number,
                            nullptr),
              noErr);
    EXPECT_EQ(number, errAEEventNotHandled);
    EXPECT_TRUE(NameOwned());
}

TEST(AppBus, FindSentWithoutReplyShowsTheStopAlert) {
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    Desc event;
    QString problem;
    ASSERT_TRUE(swbus::BuildFindEvent({}, &event.d, &problem));
    ASSERT_EQ(SendAppleEventToApp(&event.d, nullptr, false), noErr) << BusClientLastError();
    const std::string expected = "seekwright: stop: The reply AppleEvent was not specified.";
    QDeadlineTimer deadline(10000);
    while (app.Errors().find(expected) == std::string::npos && !deadline.hasExpired()) {
        app.process().waitForReadyRead(100);
    }
    EXPECT_NE(app.Errors().find(expected), std::string::npos) << app.Errors();
    EXPECT_TRUE(NameOwned());
}

// A modal alert runs the event loop; a call arriving meanwhile must wait for
// the handler that shows the alert instead of running inside it.
TEST(AppBus, CallsWaitWhileAHandlerShowsAModalAlert) {
    AppProcess app(true);
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    Desc event;
    QString problem;
    ASSERT_TRUE(swbus::BuildFindEvent({}, &event.d, &problem));
    // Without a reply: the handler's stop alert stays up, nobody clicks it.
    ASSERT_EQ(SendAppleEventToApp(&event.d, nullptr, false), noErr) << BusClientLastError();

    Desc open;
    ASSERT_NO_FATAL_FAILURE(MakeAppEvent(kAEOpenApplication, &open.d));
    QByteArray flat(static_cast<qsizetype>(AESizeOfFlattenedDesc(&open.d)), '\0');
    Size written = 0;
    ASSERT_EQ(AEFlattenDesc(&open.d, flat.data(), flat.size(), &written), noErr);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kName, kPath, kInterface, QStringLiteral("SendAppleEvent"));
    call << flat;
    const QDBusMessage answer = QDBusConnection::sessionBus().call(call, QDBus::Block, 1500);
    EXPECT_EQ(answer.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(answer.errorName().toStdString(), "org.freedesktop.DBus.Error.NoReply");
    EXPECT_EQ(app.process().state(), QProcess::Running);
}

TEST(AppBus, BadCallsGetErrorRepliesAndTheApplicationStays) {
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    struct Row {
        const char* name;
        QString member;
        QVariantList args;
        const char* errorName;
        const char* mentions;
    };
    QVariantMap wrongBoolean{{QStringLiteral("subfolders"), QStringLiteral("yes")}};
    QVariantMap wrongList{{QStringLiteral("name contains"), 42}};
    QVariantMap unknownKey{{QStringLiteral("colour"), QStringLiteral("red")}};
    QVariantMap badDate{{QStringLiteral("date created is"), QStringLiteral("yesterday")}};
    QVariantMap badResult{{QStringLiteral("result type"), QStringLiteral("pictures")}};
    QVariantMap missingFolder{{QStringLiteral("in folders"), QStringLiteral("/no/such/folder")}};
    QVariantMap tooBig{{QStringLiteral("maximum matches"), qlonglong(1) << 40}};
    const Row rows[] = {
        {"garbage event", "SendAppleEvent", {QByteArray("garbage")}, "CorruptEvent", "flattened"},
        {"empty event", "SendAppleEventFd", {QByteArray()}, "CorruptEvent", "flattened"},
        {"event as text",
         "SendAppleEvent",
         {QStringLiteral("quit")},
         "org.freedesktop.DBus.Error.InvalidArgs",
         "ay"},
        {"boolean as text", "Find", {wrongBoolean}, "BadParameter", "subfolders"},
        {"list as number", "Find", {wrongList}, "BadParameter", "name contains"},
        {"unknown key", "Find", {unknownKey}, "BadParameter", "colour"},
        {"bad date", "Find", {badDate}, "BadParameter", "ISO 8601"},
        {"unknown result form", "Find", {badResult}, "BadParameter", "pictures"},
        {"missing folder", "Find", {missingFolder}, "BadParameter", "/no/such/folder"},
        {"number out of range", "Find", {tooBig}, "BadParameter", "range"},
        {"find with text",
         "Find",
         {QStringLiteral("x")},
         "org.freedesktop.DBus.Error.InvalidArgs",
         "a{sv}"},
    };
    for (const Row& row : rows) {
        const QDBusMessage answer = Call(kInterface, row.member, row.args);
        ASSERT_EQ(answer.type(), QDBusMessage::ErrorMessage) << row.name;
        EXPECT_TRUE(answer.errorName().endsWith(QString::fromLatin1(row.errorName)))
            << row.name << ": " << answer.errorName().toStdString();
        EXPECT_TRUE(answer.errorMessage().contains(QString::fromUtf8(row.mentions)))
            << row.name << ": " << answer.errorMessage().toStdString();
        EXPECT_TRUE(NameOwned()) << row.name;
    }
    EXPECT_EQ(app.process().state(), QProcess::Running);
}

TEST(AppBus, SecondInstanceLeavesTheNameToTheFirst) {
    AppProcess first;
    ASSERT_TRUE(first.WaitUntilReady()) << first.Errors();
    AppProcess second;
    ASSERT_TRUE(second.process().waitForFinished(10000));
    EXPECT_EQ(second.process().exitCode(), 1);
    EXPECT_NE(second.Errors().find("already running"), std::string::npos) << second.Errors();
    EXPECT_EQ(first.process().state(), QProcess::Running);
    // The first still answers.
    const QDBusMessage version =
        Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
             {kInterface, QStringLiteral("Version")});
    ASSERT_EQ(version.type(), QDBusMessage::ReplyMessage) << version.errorMessage().toStdString();
    EXPECT_FALSE(version.arguments().at(0).value<QDBusVariant>().variant().toString().isEmpty());
}

TEST(AppBus, FreedesktopApplicationActions) {
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    const QString fdo = QStringLiteral("org.freedesktop.Application");
    const QDBusMessage activated = Call(fdo, QStringLiteral("Activate"), {QVariantMap()});
    EXPECT_EQ(activated.type(), QDBusMessage::ReplyMessage)
        << activated.errorMessage().toStdString();
    const QDBusMessage opened =
        Call(fdo, QStringLiteral("Open"), {QStringList{"file:///tmp"}, QVariantMap()});
    EXPECT_EQ(opened.type(), QDBusMessage::ErrorMessage);
    const QDBusMessage unknown = Call(fdo, QStringLiteral("ActivateAction"),
                                      {QStringLiteral("paint"), QVariantList(), QVariantMap()});
    EXPECT_EQ(unknown.type(), QDBusMessage::ErrorMessage);

    // about: the version on standard output at the headless display.
    const QDBusMessage about = Call(fdo, QStringLiteral("ActivateAction"),
                                    {QStringLiteral("about"), QVariantList(), QVariantMap()});
    ASSERT_EQ(about.type(), QDBusMessage::ReplyMessage) << about.errorMessage().toStdString();
    QByteArray out;
    QDeadlineTimer deadline(10000);
    while (!out.contains("Version ") && !deadline.hasExpired()) {
        app.process().waitForReadyRead(100);
        out += app.process().readAllStandardOutput();
    }
    EXPECT_TRUE(out.startsWith("Version ")) << out.toStdString();

    const QDBusMessage quit = Call(fdo, QStringLiteral("ActivateAction"),
                                   {QStringLiteral("quit"), QVariantList(), QVariantMap()});
    ASSERT_EQ(quit.type(), QDBusMessage::ReplyMessage) << quit.errorMessage().toStdString();
    EXPECT_TRUE(app.process().waitForFinished(5000));
    EXPECT_EQ(app.process().exitCode(), 0);
}

// On demand (SW_LARGE_TREE=<folder>[:<folder>…]): a reply larger than one
// D-Bus message still arrives whole through the sealed-file methods, and a
// search longer than the bus's 25-second default is still waited for.
TEST(AppBusLarge, RepliesBeyondTheMessageLimitArriveWhole) {
    const char* folder = std::getenv("SW_LARGE_TREE");
    if (folder == nullptr) GTEST_SKIP() << "set SW_LARGE_TREE to a folder with many files";
    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    QVariantMap parameters = FindParameters(folder);
    parameters.insert(QStringLiteral("in folders"),
                      QString::fromLocal8Bit(folder).split(QLatin1Char(':')));
    QElapsedTimer clock;

    clock.start();
    Desc event, reply;
    QString problem;
    ASSERT_TRUE(swbus::BuildFindEvent(parameters, &event.d, &problem));
    ASSERT_EQ(SendAppleEventToApp(&event.d, &reply.d, true), noErr) << BusClientLastError();
    Desc list;
    ASSERT_EQ(AEGetParamDesc(&reply.d, keyDirectObject, typeAEList, &list.d), noErr);
    long count = 0;
    AECountItems(&list.d, &count);
    RecordProperty("event_matches", static_cast<int>(count));
    RecordProperty("event_ms", static_cast<int>(clock.elapsed()));

    clock.restart();
    const QDBusMessage inline_ = Call(kInterface, QStringLiteral("Find"), {parameters});
    RecordProperty("inline_ms", static_cast<int>(clock.elapsed()));
    RecordProperty("inline_answer", inline_.type() == QDBusMessage::ErrorMessage
                                        ? inline_.errorName().toStdString()
                                        : std::string("reply"));

    clock.restart();
    const QDBusMessage viaFile = Call(kInterface, QStringLiteral("FindFd"), {parameters});
    ASSERT_EQ(viaFile.type(), QDBusMessage::ReplyMessage) << viaFile.errorMessage().toStdString();
    QByteArray bytes;
    ASSERT_TRUE(swbus::ReadWholeFile(
        viaFile.arguments().at(1).value<QDBusUnixFileDescriptor>().fileDescriptor(),
        qint64(1) << 34, &bytes));
    RecordProperty("fd_ms", static_cast<int>(clock.elapsed()));
    RecordProperty("fd_bytes", static_cast<int>(bytes.size()));
    EXPECT_EQ(viaFile.arguments().at(0).toUInt(), static_cast<uint>(count));
    EXPECT_EQ(bytes.count('\0'), count);
}

// Only on a bus that knows the service file (ctest app_bus_activation).
class AppBusActivation : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("SW_BUS_ACTIVATION") == nullptr) {
            GTEST_SKIP() << "needs the private bus with the test service file";
        }
        ASSERT_FALSE(NameOwned());
    }
    static void SendQuit() {
        Desc quit, reply;
        ASSERT_NO_FATAL_FAILURE(MakeAppEvent(kAEQuitApplication, &quit.d));
        ASSERT_EQ(SendAppleEventToApp(&quit.d, &reply.d, true), noErr) << BusClientLastError();
        QDeadlineTimer deadline(10000);
        while (NameOwned() && !deadline.hasExpired()) QThread::msleep(20);
        EXPECT_FALSE(NameOwned());
    }
};

TEST_F(AppBusActivation, FirstCallStartsTheApplication) {
    Tree tree;
    const QVariantMap parameters = FindParameters(tree.path());
    const QVariantList expected = InProcessMatches(parameters);
    Desc event, reply;
    QString problem;
    ASSERT_TRUE(swbus::BuildFindEvent(parameters, &event.d, &problem));
    ASSERT_EQ(SendAppleEventToApp(&event.d, &reply.d, true), noErr) << BusClientLastError();
    EXPECT_TRUE(NameOwned());
    QVariantList matches;
    OSErr err = noErr;
    ASSERT_TRUE(swbus::MatchesFromReply(&reply.d, &matches, &err, &problem));
    EXPECT_EQ(matches, expected);
    SendQuit();
}

TEST_F(AppBusActivation, EventWithoutReplyStartsTheApplicationToo) {
    Desc open;
    ASSERT_NO_FATAL_FAILURE(MakeAppEvent(kAEOpenApplication, &open.d));
    ASSERT_EQ(SendAppleEventToApp(&open.d, nullptr, false), noErr) << BusClientLastError();
    EXPECT_TRUE(NameOwned());
    SendQuit();
}

// The front end's --app: the same lines as in-process, send and quit.
TEST(AppBus, FrontEndAppOptionPrintsWhatInProcessPrints) {
    Tree tree;
    const QString cli = QStringLiteral(SW_SEEKWRIGHT);
    const QString root = QString::fromStdString(tree.path());
    int status = -1;
    const std::string local =
        RunTool(cli, {QStringLiteral("find"), QStringLiteral("-r"), QStringLiteral("--json"), root},
                &status);
    ASSERT_EQ(status, 0) << local;

    AppProcess app;
    ASSERT_TRUE(app.WaitUntilReady()) << app.Errors();
    const std::string remote = RunTool(cli,
                                       {QStringLiteral("find"), QStringLiteral("--app"),
                                        QStringLiteral("-r"), QStringLiteral("--json"), root},
                                       &status);
    EXPECT_EQ(status, 0) << remote;
    EXPECT_EQ(remote, local);
    EXPECT_NE(remote.find("\"bytes\":"), std::string::npos) << "the name that is not UTF-8";

    // Build strings name folders by HFS path: the root volume, then the folders.
    QString hfsRoot = QStringLiteral("Root") + root;
    hfsRoot.replace(QLatin1Char('/'), QLatin1Char(':'));
    const std::string sent =
        RunTool(cli,
                {QStringLiteral("send"), QStringLiteral("--app"), QStringLiteral("SkWr"),
                 QStringLiteral("find"), QStringLiteral("Rslt:name, ƒold:[\"") + hfsRoot + "\"]"},
                &status);
    EXPECT_EQ(status, 0) << sent;
    EXPECT_NE(sent.find("\"alpha.txt\""), std::string::npos) << sent;

    const std::string quit = RunTool(cli, {QStringLiteral("quit")}, &status);
    EXPECT_EQ(status, 0) << quit;
    ASSERT_TRUE(app.process().waitForFinished(5000)) << "still running after 5 s";
    EXPECT_FALSE(NameOwned());

    // Nothing running and nothing to start it: a clear message and status 2.
    const std::string none = RunTool(cli, {QStringLiteral("quit")}, &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(none.find("did not quit"), std::string::npos) << none;
}

}  // namespace
