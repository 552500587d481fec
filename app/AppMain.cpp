#include <cstdio>
#include <cstring>

#include "app/Application.h"
#include "app/ProgressDialog.h"
#include "platform/BusService.h"
#include "platform/EventLoop.h"
#include "platform/Files.h"

namespace {

void PrintUsage(std::FILE* stream) {
    std::fputs(
        "usage: seekwright app [--headless]\n"
        "Runs Seekwright as an application that waits for scripts on the session bus\n"
        "(name org.seekwright.Seekwright1). Windows are used when a display is\n"
        "reachable; --headless keeps alerts on standard error and opens no window.\n",
        stream);
}

}  // namespace

int SeekwrightAppMain(int argc, char** argv) {
    Boolean wantHeadless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            wantHeadless = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "seekwright app: unknown option '%s'\n", argv[i]);
            PrintUsage(stderr);
            return 2;
        }
    }

    InitDisplay(&argc, argv, wantHeadless);
    // Control-C or a termination request: stop a running search, then quit
    // as the quit event does. Installed before the name is taken, so that a
    // client that sees the name and asks the application to end at once is
    // never met by the default action (death without giving the name back).
    InstallQuitSignals([] { keepRunning = false; });

    // The name first: a second instance must end before it shows anything.
    const BusServiceStatus bus = StartBusService();
    if (bus != BusServiceStatus::kRunning) ShutdownDisplay();
    switch (bus) {
        case BusServiceStatus::kRunning:
            break;
        case BusServiceStatus::kNoSessionBus:
            std::fputs(
                "seekwright app: no D-Bus session bus is reachable; scripts could not "
                "reach the application.\n",
                stderr);
            return 1;
        case BusServiceStatus::kNameTaken:
            std::fprintf(stderr,
                         "seekwright app: Seekwright is already running on this session bus "
                         "(%s has an owner); this instance ends.\n",
                         kSeekwrightBusName);
            return 1;
        case BusServiceStatus::kRegisterFailed:
            std::fputs("seekwright app: could not register the scripting object on the bus.\n",
                       stderr);
            return 1;
    }

    // The platform's own start-up: aliases and file specifications in events
    // become FSRefs through these.
    InstallFileCoercions();
    // With windows, a find that asks for display shows dialog 129.
    static ProgressDialogDisplay progressWindow;
    if (CurrentDisplay() == kDisplayWindow) SetProgressDisplay(&progressWindow);
    const bool started = InitApplication();
    if (started) RunApplicationEventLoop();
    StopBusService();
    SetProgressDisplay(nullptr);
    ShutdownDisplay();
    return started ? 0 : 1;
}
