#include "platform/term/Terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/Events.h"

namespace {

std::atomic<int> interrupts{0};
std::atomic<bool> statusShown{false};

extern "C" void OnInterrupt(int) {
    // Only async-signal-safe work here: an atomic store and _exit.
    if (interrupts.fetch_add(1, std::memory_order_relaxed) >= 1) _exit(130);
    PostCommandPeriod();
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // a closed or full stream: the status is not worth failing for
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

void TermInstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool TermInterrupted() {
    return interrupts.load(std::memory_order_relaxed) > 0;
}

bool TermIsTerminal(TermStream stream) {
    return ::isatty(stream == TermStream::kOutput ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

int TermColumns() {
    struct winsize size {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void TermWriteStatus(std::string_view utf8Line) {
    std::string line = "\r";
    line += utf8Line;
    line += "\x1b[K";  // erase what a longer previous status left
    WriteAll(STDERR_FILENO, line);
    statusShown.store(true, std::memory_order_relaxed);
}

void TermClearStatus() {
    if (!statusShown.exchange(false, std::memory_order_relaxed)) return;
    WriteAll(STDERR_FILENO, "\r\x1b[K");
}

void TermWriteLine(std::string_view utf8Line) {
    TermClearStatus();
    std::string line(utf8Line);
    line += '\n';
    WriteAll(STDERR_FILENO, line);
}
