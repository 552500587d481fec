// seekwright: the command-line front end. `find` turns options into a find
// command and prints the matches; `send` sends any event written in the
// build-string syntax. Both are handled in this process by the same handler
// the application installs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/Output.h"
#include "command/SeekwrightHandler.h"
#include "params/Terminology.h"
#include "platform/AppleEvents.h"
#include "platform/Files.h"
#include "platform/MacRoman.h"
#include "platform/term/Terminal.h"
#include "search/SearchState.h"
#include "text/AlertDisplays.h"
#include "text/Alerts.h"

#if SW_WITH_APP
#include "app/Application.h"
#include "platform/BusClient.h"
#endif

namespace {

constexpr int kExitOK = 0;
constexpr int kExitStopAlert = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

const char kUsage[] =
    "Usage: seekwright find [--app] [OPTION]... [FOLDER]...\n"
    "       seekwright send [--app [--no-reply]] CLASS ID 'BUILD-STRING'\n"
    "       seekwright app [--headless]\n"
    "       seekwright quit\n"
    "       seekwright --help | --version\n";

const char kHelp[] =
    "seekwright finds files and folders by name, type, creator, kind, label,\n"
    "dates, comments, version and visibility, reading the Mac metadata that Linux\n"
    "tools keep beside files.\n"
    "\n"
    "Commands:\n"
    "  find [OPTION]... [FOLDER]...   search folders and print the matches;\n"
    "                                 'seekwright find --help' lists the options\n"
    "  send CLASS ID 'BUILD-STRING'   send any event written in the build-string\n"
    "                                 syntax and print the reply in that syntax,\n"
    "                                 e.g. seekwright send SkWr find \"Rslt:pat2\"\n"
    "  app [--headless]               run the application, answering scripts on\n"
    "                                 the D-Bus session bus\n"
    "  quit                           ask the running application to quit\n"
    "\n"
    "With --app, find and send go to the running application over the session\n"
    "bus (the bus starts it when its service file is installed) instead of\n"
    "being handled in this process; its alerts then appear in the application.\n"
    "\n"
    "Examples:\n"
    "  seekwright find -r ~/Documents\n"
    "  seekwright find -r --name-contains report --result hfs ~/Documents\n"
    "  seekwright find -r --folders --no-files --json /srv/share\n";

// Alerts go to standard error as one line each (the headless display's
// format); a stop alert makes the exit status 1.
class StderrAlerts final : public AlertDisplay {
  public:
    SInt16 ShowAlert(AlertType type, ConstStr255Param error,
                     ConstStr255Param explanation) override {
        if (type == kAlertStopAlert) stopAlertShown = true;
        TermWriteLine(FormatAlertLine(type, error, explanation));
        return kAlertStdAlertOKButton;
    }
    bool stopAlertShown = false;
};

StderrAlerts alerts;

void Setup() {
    InitAlertParams();
    SetAlertDisplay(&alerts);
    InstallFileCoercions();
    AEInstallEventHandler(kSeekwrightEventClass, kFindEventID, SeekwrightHandler, 0, false);
    TermInstallInterruptHandler();
}

// In this process, or over the session bus to the running application.
OSErr Dispatch(const AppleEvent* event, AppleEvent* reply, bool viaApp, bool waitReply,
               std::string* busError) {
    if (!viaApp) return AEProcessAppleEvent(event, waitReply ? reply : nullptr);
#if SW_WITH_APP
    const OSErr err = SendAppleEventToApp(event, reply, waitReply);
    if (err != noErr) *busError = BusClientLastError();
    return err;
#else
    (void)reply;
    (void)waitReply;
    *busError = "this build has no application to send to";
    return procNotFound;
#endif
}

// Takes a leading front-end flag out of the arguments; true when it was there.
bool TakeFlag(std::span<const char* const>* args, const char* flag) {
    if (args->empty() || std::strcmp((*args)[0], flag) != 0) return false;
    *args = args->subspan(1);
    return true;
}

// "--app" may stand anywhere before a "--" among the find options.
bool TakeAppFlag(std::span<const char* const> args, std::vector<const char*>* rest) {
    bool found = false, optionsEnded = false;
    for (const char* arg : args) {
        if (!optionsEnded && std::strcmp(arg, "--app") == 0) {
            found = true;
            continue;
        }
        if (std::strcmp(arg, "--") == 0) optionsEnded = true;
        rest->push_back(arg);
    }
    return found;
}

// "WHAT (error CODE)", and the bus's own words when it gave any.
std::string ErrorText(const char* what, long code, const std::string& busError = {}) {
    return std::string(what) + " (error " + std::to_string(code) + ")" +
           (busError.empty() ? "" : ": " + busError);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "seekwright: %s\n", message.c_str());
    return kExitUsage;
}

// The reply's error number, 0 when it has none.
SInt32 ReplyError(const AppleEvent& reply) {
    SInt32 error = 0;
    DescType type;
    Size size;
    if (AEGetParamPtr(&reply, keyErrorNumber, typeSInt32, &type, &error, sizeof error, &size) !=
        noErr)
        return 0;
    return error;
}

int ExitStatus() {
    if (SearchState.userAborted) return kExitInterrupted;
    return alerts.stopAlertShown ? kExitStopAlert : kExitOK;
}

int RunFind(std::span<const char* const> allArgs) {
    std::vector<const char*> rest;
    const bool viaApp = TakeAppFlag(allArgs, &rest);
    std::span<const char* const> args(rest.data(), rest.size());
    FindRequest request;
    std::string error;
    if (!ParseFindArguments(args, &request, &error))
        return Fail(error + "\nTry 'seekwright find --help'.");
    if (request.help) {
        std::fputs(FindHelpText().c_str(), stdout);
        return kExitOK;
    }
    Setup();
    AppleEvent event, reply;
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    if (!BuildFindEvent(request, &event, &error)) {
        AEDisposeDesc(&event);
        return Fail(error);
    }
    std::string busError;
    const OSErr err = Dispatch(&event, &reply, viaApp, true, &busError);
    AEDisposeDesc(&event);
    if (err != noErr && viaApp)
        return Fail(ErrorText("could not reach the application", err, busError));
    const SInt32 replyErr = err == noErr ? ReplyError(reply) : err;
    if (replyErr != 0) {
        AEDisposeDesc(&reply);
        return Fail(ErrorText("the find command failed", replyErr));
    }
    AEDescList results;
    AEInitializeDesc(&results);
    if (AEGetParamDesc(&reply, keyDirectObject, typeAEList, &results) == noErr) {
        static char buffer[1 << 16];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
        const OSType form = request.resultType != 0 ? request.resultType : kResultPOSIXPath;
        PrintResults(results, form, request.format, stdout);
    }
    // The output is complete: end here rather than release a reply that may
    // hold millions of elements, which only costs time at exit.
    std::fflush(stdout);
    std::_Exit(ExitStatus());
}

// Build strings substitute '@' from arguments the command line does not
// have: refuse one outside quoted text.
bool HasSubstitution(const std::string& text) {
    bool inText = false, inHex = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inText) {
            inText = c != '"' && c != '\'';
            continue;
        }
        if (text.compare(i, 2, "\xC2\xAB") == 0) inHex = true;   // «
        if (text.compare(i, 2, "\xC2\xBB") == 0) inHex = false;  // »
        if (inHex) continue;
        if (c == '"' || c == '\'') inText = true;
        if (c == '@') return true;
    }
    return false;
}

int RunSend(std::span<const char* const> args) {
    const bool viaApp = TakeFlag(&args, "--app");
    const bool waitReply = !(viaApp && TakeFlag(&args, "--no-reply"));
    if (args.size() != 3) return Fail(std::string("send needs CLASS ID 'BUILD-STRING'\n") + kUsage);
    OSType eventClass = 0, eventID = 0;
    if (!ParseFourCharCode(args[0], &eventClass) || !ParseFourCharCode(args[1], &eventID))
        return Fail("CLASS and ID are four-character codes, e.g. SkWr find");
    // The build string is UTF-8; the parser reads "ƒ" in codes itself.
    const std::string build = args[2];
    if (HasSubstitution(build))
        return Fail("'@' substitution is not available on the command line");
    Setup();
    AppleEvent event, reply;
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    const OSType signature = kSeekwrightEventClass;
    OSErr err =
        AEBuildAppleEvent(eventClass, eventID, typeApplSignature, &signature, sizeof signature,
                          kAutoGenerateReturnID, kAnyTransactionID, &event, build.c_str());
    if (err != noErr) return Fail(ErrorText("the build string is malformed", err));
    std::string busError;
    err = Dispatch(&event, &reply, viaApp, waitReply, &busError);
    AEDisposeDesc(&event);
    if (err != noErr) {
        AEDisposeDesc(&reply);
        return Fail(ErrorText("the event was not handled", err, busError));
    }
    if (!waitReply) return kExitOK;
    char* text = nullptr;
    if (AEPrintDescToText(&reply, &text) == noErr && text != nullptr) {
        std::printf("%s\n", text);
        std::free(text);
    }
    const SInt32 replyErr = ReplyError(reply);
    AEDisposeDesc(&reply);
    if (replyErr != 0) return kExitUsage;
    return ExitStatus();
}

}  // namespace

namespace {

// Asks the running application to quit; it ends at its quit timer's next firing.
int RunQuit(std::span<const char* const> args) {
    if (!args.empty()) return Fail(std::string("quit takes no arguments\n") + kUsage);
    AppleEvent event, reply;
    AEInitializeDesc(&event);
    AEInitializeDesc(&reply);
    const OSType signature = kSeekwrightEventClass;
    OSErr err =
        AEBuildAppleEvent(kCoreEventClass, kAEQuitApplication, typeApplSignature, &signature,
                          sizeof signature, kAutoGenerateReturnID, kAnyTransactionID, &event, "");
    std::string busError;
    if (err == noErr) err = Dispatch(&event, &reply, true, true, &busError);
    AEDisposeDesc(&event);
    const SInt32 replyErr = err == noErr ? ReplyError(reply) : err;
    AEDisposeDesc(&reply);
    if (replyErr != 0) return Fail(ErrorText("the application did not quit", replyErr, busError));
    return kExitOK;
}

}  // namespace

int main(int argc, char** argv) {
    std::span<const char* const> args(const_cast<const char* const*>(argv) + 1,
                                      static_cast<std::size_t>(argc > 0 ? argc - 1 : 0));
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        std::fputs("\n", stdout);
        std::fputs(kHelp, stdout);
        return kExitOK;
    }
    if (command == "--version") {
        std::printf("seekwright %s\n", SW_VERSION);
        return kExitOK;
    }
#if SW_WITH_APP
    if (command == "app") return SeekwrightAppMain(argc - 1, argv + 1);
#endif
    if (command == "find") return RunFind(args.subspan(1));
    if (command == "send") return RunSend(args.subspan(1));
    if (command == "quit") return RunQuit(args.subspan(1));
    return Fail("unknown command '" + command + "'\n" + kUsage);
}
