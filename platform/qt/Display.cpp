#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/EventLoop.h"
#include "platform/Events.h"
#include "platform/MacRoman.h"
#include "platform/qt/QtDisplay.h"
#include "text/Alerts.h"

namespace {

DisplayKind displayKind = kDisplayNone;
QCoreApplication* application = nullptr;  // ours, when we made it

bool ConnectsToUnixSocket(const std::string& path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const socklen_t length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                              abstract ? length - 1 : length) == 0;
    ::close(fd);
    return ok;
}

bool X11Reachable(const char* display) {
    // ":N" or ":N.S" (local); a remote "host:N" is trusted as given.
    if (display[0] != ':') return display[0] != '\0';
    const std::string number(display + 1, std::strcspn(display + 1, "."));
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return ConnectsToUnixSocket(socket, false) || ConnectsToUnixSocket(socket, true);
}

bool WaylandReachable(const char* name) {
    if (name[0] == '/') return ConnectsToUnixSocket(name, false);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] == '\0') return false;
    return ConnectsToUnixSocket(std::string(runtime) + "/" + name, false);
}

// StandardAlert at the window display: a modal message box, one OK button.
class WindowAlertDisplay final : public AlertDisplay {
  public:
    SInt16 ShowAlert(AlertType type, ConstStr255Param error,
                     ConstStr255Param explanation) override {
        QMessageBox box;
        switch (type) {
            case kAlertStopAlert:
                box.setIcon(QMessageBox::Critical);
                break;
            case kAlertCautionAlert:
                box.setIcon(QMessageBox::Warning);
                break;
            case kAlertNoteAlert:
                box.setIcon(QMessageBox::Information);
                break;
            default:
                box.setIcon(QMessageBox::NoIcon);
                break;
        }
        box.setWindowTitle(QStringLiteral("Seekwright"));
        box.setText(swqt::FromPString(error));
        if (explanation != nullptr && explanation[0] != 0) {
            box.setInformativeText(swqt::FromPString(explanation));
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        return kAlertStdAlertOKButton;
    }
};

WindowAlertDisplay windowAlerts;

// Gives the display a turn during a search: paints and input, but not the bus
// (a call arriving now waits for the running handler; see BusService.h).
Boolean ProcessPendingEvents(UInt16, UInt32) {
    if (QCoreApplication::instance() == nullptr) return false;
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    return true;
}

}  // namespace

namespace swqt {

QString FromPString(ConstStr255Param text) {
    if (text == nullptr) return {};
    std::string utf8 = MacRomanToUtf8(text + 1, text[0]);
    QString result = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    result.replace(QChar('\r'), QChar('\n'));
    return result;
}

bool DisplayReachable() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && wayland[0] != '\0' && WaylandReachable(wayland)) return true;
    const char* x11 = std::getenv("DISPLAY");
    return x11 != nullptr && x11[0] != '\0' && X11Reachable(x11);
}

}  // namespace swqt

DisplayKind InitDisplay(int* argc, char** argv, Boolean wantHeadless) {
    if (displayKind != kDisplayNone) return displayKind;
    if (QCoreApplication::instance() != nullptr) {
        // Made by the host (a test, or a client that came first): take it as it is.
        const bool windows = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
        displayKind = windows && !wantHeadless ? kDisplayWindow : kDisplayHeadless;
        SetAlertDisplay(displayKind == kDisplayWindow ? &windowAlerts : nullptr);
        SetWaitNextEventHook(ProcessPendingEvents);
        return displayKind;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool platformNamed = platform != nullptr && platform[0] != '\0';
    if (!wantHeadless && (platformNamed || swqt::DisplayReachable())) {
        application = new QApplication(*argc, argv);
        // The application has no document window; closing one must not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        displayKind = kDisplayWindow;
        SetAlertDisplay(&windowAlerts);
    } else {
        application = new QCoreApplication(*argc, argv);
        displayKind = kDisplayHeadless;
        SetAlertDisplay(nullptr);
    }
    QCoreApplication::setApplicationName(QStringLiteral("Seekwright"));
    SetWaitNextEventHook(ProcessPendingEvents);
    return displayKind;
}

DisplayKind CurrentDisplay() {
    return displayKind;
}

void ShutdownDisplay() {
    swqt::CloseMenuBarWindow();
    swqt::RemoveAllTimers();
    SetWaitNextEventHook(nullptr);
    SetAlertDisplay(nullptr);
    delete application;
    application = nullptr;
    displayKind = kDisplayNone;
}
