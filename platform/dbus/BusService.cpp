#include "platform/BusService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QTimer>
#include <deque>
#include <memory>

#include "platform/AppleEvents.h"
#include "platform/EventLoop.h"
#include "platform/dbus/BusDispatch.h"
#include "platform/dbus/FindRequest.h"
#include "platform/dbus/SealedFile.h"

namespace {

// Below the bus's 64 MiB array limit with room for the message around it.
constexpr qint64 kInlineReplyLimit = 48ll * 1024 * 1024;
// An incoming flattened event larger than this is refused rather than parsed.
constexpr qint64 kEventSizeLimit = 64ll * 1024 * 1024;

const QString kInterface = QString::fromLatin1(kSeekwrightInterface);
const QString kApplicationInterface = QStringLiteral("org.freedesktop.Application");
const QString kErrorPrefix = QStringLiteral("org.seekwright.Seekwright1.Error.");

const char kIntrospection[] = R"(  <interface name="org.seekwright.Seekwright1">
    <method name="SendAppleEvent">
      <arg name="event" type="ay" direction="in"/>
      <arg name="reply" type="ay" direction="out"/>
    </method>
    <method name="SendAppleEventFd">
      <arg name="event" type="ay" direction="in"/>
      <arg name="reply" type="h" direction="out"/>
    </method>
    <method name="Find">
      <arg name="parameters" type="a{sv}" direction="in"/>
      <arg name="matches" type="av" direction="out"/>
    </method>
    <method name="FindFd">
      <arg name="parameters" type="a{sv}" direction="in"/>
      <arg name="count" type="u" direction="out"/>
      <arg name="matches" type="h" direction="out"/>
    </method>
    <property name="Version" type="s" access="read"/>
  </interface>
  <interface name="org.freedesktop.Application">
    <method name="Activate">
      <arg name="platform_data" type="a{sv}" direction="in"/>
    </method>
    <method name="Open">
      <arg name="uris" type="as" direction="in"/>
      <arg name="platform_data" type="a{sv}" direction="in"/>
    </method>
    <method name="ActivateAction">
      <arg name="action_name" type="s" direction="in"/>
      <arg name="parameter" type="av" direction="in"/>
      <arg name="platform_data" type="a{sv}" direction="in"/>
    </method>
  </interface>
)";

QString IntrospectionDocument() {
    return QStringLiteral(
               "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n") +
           QString::fromLatin1(kIntrospection) +
           QStringLiteral(
               "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
               "    <method name=\"Introspect\">\n"
               "      <arg name=\"xml_data\" type=\"s\" direction=\"out\"/>\n"
               "    </method>\n  </interface>\n"
               "  <interface name=\"org.freedesktop.DBus.Properties\">\n"
               "    <method name=\"Get\">\n"
               "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
               "      <arg name=\"property_name\" type=\"s\" direction=\"in\"/>\n"
               "      <arg name=\"value\" type=\"v\" direction=\"out\"/>\n"
               "    </method>\n"
               "    <method name=\"GetAll\">\n"
               "      <arg name=\"interface_name\" type=\"s\" direction=\"in\"/>\n"
               "      <arg name=\"properties\" type=\"a{sv}\" direction=\"out\"/>\n"
               "    </method>\n  </interface>\n</node>\n");
}

class SeekwrightObject final : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override {
        return QString::fromLatin1(kIntrospection);
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage) return false;
        // A call that arrives while a handler runs (a modal alert lets the bus
        // in) waits: the handlers share the application's records.
        if (depth_ > 0) {
            pending_.push_back(message);
            return true;
        }
        ++depth_;
        Handle(message, connection);
        --depth_;
        if (!pending_.empty()) QTimer::singleShot(0, [this] { DrainPending(); });
        return true;
    }

  private:
    void DrainPending() {
        if (depth_ > 0 || pending_.empty()) return;
        const QDBusMessage next = pending_.front();
        pending_.pop_front();
        handleMessage(next, QDBusConnection::sessionBus());
    }

    static void Reply(const QDBusMessage& message, const QDBusConnection& connection,
                      const QDBusMessage& reply) {
        if (message.isReplyRequired()) connection.send(reply);
    }

    // An error of the bus's own kinds (unknown method, invalid arguments, ...).
    static void BusError(const QDBusMessage& message, const QDBusConnection& connection,
                         QDBusError::ErrorType type, const QString& text) {
        Reply(message, connection, message.createErrorReply(type, text));
    }

    // An error named under our interface ("...Error.<name>").
    static void Error(const QDBusMessage& message, const QDBusConnection& connection,
                      const char* name, const QString& text) {
        Reply(message, connection,
              message.createErrorReply(kErrorPrefix + QString::fromLatin1(name), text));
    }

    void Handle(const QDBusMessage& message, const QDBusConnection& connection) {
        const QString interface = message.interface();
        const QString member = message.member();
        if (interface == QLatin1String("org.freedesktop.DBus.Introspectable") &&
            member == QLatin1String("Introspect")) {
            Reply(message, connection, message.createReply(QVariant(IntrospectionDocument())));
        } else if (interface == QLatin1String("org.freedesktop.DBus.Properties")) {
            HandleProperties(message, connection);
        } else if (interface == kApplicationInterface) {
            HandleApplication(message, connection);
        } else if (interface.isEmpty() || interface == kInterface) {
            if (member == QLatin1String("SendAppleEvent") ||
                member == QLatin1String("SendAppleEventFd")) {
                HandleAppleEvent(message, connection, member.endsWith(QLatin1String("Fd")));
            } else if (member == QLatin1String("Find") || member == QLatin1String("FindFd")) {
                HandleFind(message, connection, member.endsWith(QLatin1String("Fd")));
            } else {
                BusError(message, connection, QDBusError::UnknownMethod,
                         QStringLiteral("no method %1").arg(member));
            }
        } else {
            BusError(message, connection, QDBusError::UnknownInterface,
                     QStringLiteral("no interface %1").arg(interface));
        }
    }

    void HandleAppleEvent(const QDBusMessage& message, const QDBusConnection& connection,
                          bool asFile) {
        if (message.signature() != QLatin1String("ay")) {
            BusError(message, connection, QDBusError::InvalidArgs,
                     QStringLiteral("expected one byte array (ay)"));
            return;
        }
        const QByteArray flat = message.arguments().at(0).toByteArray();
        if (flat.size() > kEventSizeLimit) {
            Error(message, connection, "EventTooLarge", QStringLiteral("the event is too large"));
            return;
        }
        QByteArray reply;
        QString problem;
        const bool wantReply = message.isReplyRequired();
        if (!swbus::DispatchFlattenedEvent(flat, wantReply, &reply, &problem)) {
            Error(message, connection, "CorruptEvent", problem);
            return;
        }
        if (!wantReply) return;
        if (asFile) {
            QDBusUnixFileDescriptor file =
                swbus::SealedMemoryFile("seekwright-reply", reply.constData(), reply.size());
            if (!file.isValid()) {
                Error(message, connection, "Failed",
                      QStringLiteral("could not make a memory file for the reply"));
                return;
            }
            Reply(message, connection, message.createReply(QVariant::fromValue(file)));
        } else if (reply.size() > kInlineReplyLimit) {
            Error(message, connection, "ReplyTooLarge",
                  QStringLiteral("the reply has %1 bytes, more than one message carries; "
                                 "call SendAppleEventFd")
                      .arg(reply.size()));
        } else {
            Reply(message, connection, message.createReply(QVariant(reply)));
        }
    }

    void HandleFind(const QDBusMessage& message, const QDBusConnection& connection, bool asFile) {
        if (message.signature() != QLatin1String("a{sv}")) {
            BusError(message, connection, QDBusError::InvalidArgs,
                     QStringLiteral("expected a dictionary of parameters (a{sv})"));
            return;
        }
        const QVariantMap parameters =
            qdbus_cast<QVariantMap>(message.arguments().at(0).value<QDBusArgument>());
        QVariantList matches;
        QString problem;
        const swbus::FindOutcome outcome = swbus::RunFind(parameters, &matches, &problem);
        if (outcome == swbus::FindOutcome::kBadParameters) {
            Error(message, connection, "BadParameter", problem);
            return;
        }
        if (outcome == swbus::FindOutcome::kFailed) {
            Error(message, connection, "Failed", problem);
            return;
        }
        if (asFile) {
            QByteArray bytes;
            for (const QVariant& match : matches) {
                bytes += swbus::MatchBytes(match);
                bytes += '\0';
            }
            QDBusUnixFileDescriptor file =
                swbus::SealedMemoryFile("seekwright-matches", bytes.constData(), bytes.size());
            if (!file.isValid()) {
                Error(message, connection, "Failed",
                      QStringLiteral("could not make a memory file for the matches"));
                return;
            }
            QDBusMessage reply = message.createReply();
            reply << QVariant::fromValue(static_cast<uint>(matches.size()))
                  << QVariant::fromValue(file);
            Reply(message, connection, reply);
            return;
        }
        qint64 size = 0;
        for (const QVariant& match : matches) size += swbus::MatchBytes(match).size() + 16;
        if (size > kInlineReplyLimit) {
            Error(message, connection, "ReplyTooLarge",
                  QStringLiteral("%1 matches are more than one message carries; call FindFd")
                      .arg(matches.size()));
            return;
        }
        Reply(message, connection, message.createReply(QVariant(matches)));
    }

    void HandleApplication(const QDBusMessage& message, const QDBusConnection& connection) {
        const QString member = message.member();
        if (member == QLatin1String("Activate")) {
            // Like the open-application event: nothing to do.
            Reply(message, connection, message.createReply());
        } else if (member == QLatin1String("Open")) {
            BusError(message, connection, QDBusError::NotSupported,
                     QStringLiteral("Seekwright opens no documents"));
        } else if (member == QLatin1String("ActivateAction")) {
            if (message.signature() != QLatin1String("sava{sv}")) {
                BusError(message, connection, QDBusError::InvalidArgs,
                         QStringLiteral("ActivateAction takes (sava{sv}), not (%1)")
                             .arg(message.signature()));
                return;
            }
            const QString action = message.arguments().at(0).toString();
            UInt32 command = 0;
            if (action == QLatin1String("about")) command = kHICommandAbout;
            if (action == QLatin1String("quit")) command = kHICommandQuit;
            if (command == 0) {
                BusError(message, connection, QDBusError::InvalidArgs,
                         QStringLiteral("no action '%1'").arg(action));
                return;
            }
            Reply(message, connection, message.createReply());
            // As if chosen from the menu, once the caller has its answer.
            QTimer::singleShot(0, [command] {
                HICommand hi{0, command, {nullptr, 0}};
                ProcessHICommand(&hi);
            });
        } else {
            BusError(message, connection, QDBusError::UnknownMethod,
                     QStringLiteral("no method %1").arg(member));
        }
    }

    void HandleProperties(const QDBusMessage& message, const QDBusConnection& connection) {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        const bool ours = !args.isEmpty() && args.at(0).toString() == kInterface;
        if (member == QLatin1String("Get") && args.size() == 2 && ours &&
            args.at(1).toString() == QLatin1String("Version")) {
            Reply(message, connection,
                  message.createReply(QVariant::fromValue(QDBusVariant(swbus::VersionText()))));
        } else if (member == QLatin1String("GetAll") && args.size() == 1) {
            QVariantMap all;
            if (ours) all.insert(QStringLiteral("Version"), swbus::VersionText());
            Reply(message, connection, message.createReply(QVariant(all)));
        } else {
            BusError(message, connection, QDBusError::InvalidArgs,
                     QStringLiteral("no such property"));
        }
    }

    int depth_ = 0;
    std::deque<QDBusMessage> pending_;
};

std::unique_ptr<SeekwrightObject> busObject;

}  // namespace

BusServiceStatus StartBusService() {
    if (QCoreApplication::instance() == nullptr) return BusServiceStatus::kRegisterFailed;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return BusServiceStatus::kNoSessionBus;
    busObject = std::make_unique<SeekwrightObject>();
    if (!bus.registerVirtualObject(QString::fromLatin1(kSeekwrightObjectPath), busObject.get(),
                                   QDBusConnection::SingleNode)) {
        busObject.reset();
        return BusServiceStatus::kRegisterFailed;
    }
    QDBusConnectionInterface* daemon = bus.interface();
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        daemon->registerService(QString::fromLatin1(kSeekwrightBusName),
                                QDBusConnectionInterface::DontQueueService,
                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(QString::fromLatin1(kSeekwrightObjectPath));
        busObject.reset();
        return BusServiceStatus::kNameTaken;
    }
    return BusServiceStatus::kRunning;
}

void StopBusService() {
    if (!busObject) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QString::fromLatin1(kSeekwrightBusName));
    bus.unregisterObject(QString::fromLatin1(kSeekwrightObjectPath));
    busObject.reset();
}
