#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

#include "platform/EventLoop.h"
#include "platform/Events.h"

namespace {

int wakePipe[2] = {-1, -1};
std::atomic<int> signalsSeen{0};
QuitRequestProc quitProc = nullptr;
QSocketNotifier* notifier = nullptr;

extern "C" void OnQuitSignal(int) {
    // Async-signal-safe only: atomics, write and _exit.
    if (signalsSeen.fetch_add(1, std::memory_order_relaxed) >= 2) _exit(130);
    PostCommandPeriod();
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

OSStatus InstallQuitSignals(QuitRequestProc onQuit) {
    if (onQuit == nullptr || notifier != nullptr) return paramErr;
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return ioErr;
    quitProc = onQuit;
    notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (::read(wakePipe[0], bytes, sizeof bytes) > 0) {
        }
        quitProc();
    });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return noErr;
}
