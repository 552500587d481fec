#include "platform/BusClient.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <climits>
#include <string>

#include "platform/BusService.h"
#include "platform/dbus/BusDispatch.h"
#include "platform/dbus/SealedFile.h"

namespace {

// A reply file larger than this is not believed (the flattened form of ten
// million long paths stays well below it).
constexpr qint64 kReplyFileLimit = 8ll * 1024 * 1024 * 1024;

thread_local std::string lastError;

OSErr Fail(OSErr err, const QString& text) {
    lastError = text.toStdString();
    return err;
}

// The toolkit's bus connection wants an application object; a front end that
// has none gets a quiet one.
void EnsureApplicationObject() {
    if (QCoreApplication::instance() != nullptr) return;
    static int argc = 1;
    static char name[] = "seekwright";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);  // lives for the process
}

OSErr ErrorFromBus(const QDBusMessage& answer) {
    const QString name = answer.errorName();
    const QString text = answer.errorMessage();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Spawn.ExecFailed") ||
        name.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn"))) {
        return Fail(procNotFound, QStringLiteral("Seekwright is not running and could not be "
                                                 "started: %1")
                                      .arg(text));
    }
    if (name.endsWith(QLatin1String(".CorruptEvent"))) {
        return Fail(errAECorruptData,
                    QStringLiteral("the application refused the event: %1").arg(text));
    }
    if (name.endsWith(QLatin1String(".EventTooLarge"))) return Fail(memFullErr, text);
    return Fail(connectionInvalid, QStringLiteral("%1: %2").arg(name, text));
}

}  // namespace

const char* BusClientLastError() {
    return lastError.c_str();
}

OSErr SendAppleEventToApp(const AppleEvent* event, AppleEvent* reply, Boolean waitReply) {
    lastError.clear();
    if (reply != nullptr) AEInitializeDesc(reply);
    if (event == nullptr || event->descriptorType != typeAppleEvent) {
        return Fail(errAENotAppleEvent, QStringLiteral("not an Apple event"));
    }
    if (waitReply && reply == nullptr) return Fail(paramErr, QStringLiteral("no reply to fill"));
    QByteArray flat;
    if (!swbus::FlattenDesc(event, &flat))
        return Fail(memFullErr, QStringLiteral("could not flatten the event"));

    EnsureApplicationObject();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return Fail(connectionInvalid,
                    QStringLiteral("no D-Bus session bus: %1").arg(bus.lastError().message()));
    }
    const QString service = QString::fromLatin1(kSeekwrightBusName);
    const bool useFile =
        (bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing);

    if (!waitReply) {
        // Nothing would report a missing application to a call that expects
        // no reply, so make sure it runs (or is started) first.
        QDBusConnectionInterface* daemon = bus.interface();
        if (!daemon->isServiceRegistered(service).value()) {
            const QDBusReply<void> started = daemon->startService(service);
            if (!started.isValid()) {
                return Fail(procNotFound, QStringLiteral("Seekwright is not running and could "
                                                         "not be started: %1")
                                              .arg(started.error().message()));
            }
        }
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, QString::fromLatin1(kSeekwrightObjectPath),
            QString::fromLatin1(kSeekwrightInterface), QStringLiteral("SendAppleEvent"));
        call << flat;
        if (!bus.send(call)) return Fail(connectionInvalid, bus.lastError().message());
        // A round trip to the bus: the call has left this process once it returns.
        bus.interface()->call(QStringLiteral("GetId"));
        return noErr;
    }

    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QString::fromLatin1(kSeekwrightObjectPath),
        QString::fromLatin1(kSeekwrightInterface),
        useFile ? QStringLiteral("SendAppleEventFd") : QStringLiteral("SendAppleEvent"));
    call << flat;
    call.setAutoStartService(true);
    // A search has no time limit, so neither has the wait for its reply.
    const QDBusMessage answer = bus.call(call, QDBus::Block, INT_MAX);
    if (answer.type() == QDBusMessage::ErrorMessage) return ErrorFromBus(answer);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().size() != 1) {
        return Fail(errAECorruptData, QStringLiteral("the application gave no reply"));
    }
    QByteArray replyBytes;
    if (useFile) {
        const QVariant value = answer.arguments().at(0);
        if (!value.canConvert<QDBusUnixFileDescriptor>()) {
            return Fail(errAECorruptData, QStringLiteral("the reply carries no file"));
        }
        const QDBusUnixFileDescriptor file = value.value<QDBusUnixFileDescriptor>();
        if (!swbus::ReadWholeFile(file.fileDescriptor(), kReplyFileLimit, &replyBytes)) {
            return Fail(errAECorruptData, QStringLiteral("the reply file could not be read"));
        }
    } else {
        replyBytes = answer.arguments().at(0).toByteArray();
    }
    const OSErr err = AEUnflattenDesc(replyBytes.constData(), replyBytes.size(), reply);
    if (err != noErr) return Fail(errAECorruptData, QStringLiteral("the reply is not readable"));
    return noErr;
}
