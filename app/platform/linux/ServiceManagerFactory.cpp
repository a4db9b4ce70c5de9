#include "foundation/FileLogger.h"
#include "platform/ServiceManager.h"
#include "platform/linux/ProcessServiceManager.h"
#include "platform/linux/SystemdServiceManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <chrono>

namespace pylon {

namespace {

constexpr std::chrono::milliseconds probeTimeout{1000};

// Whether the session bus has a systemd user manager on it. In containers and on CI there is no
// bus, or a bus without systemd. Only the bus itself is asked, which answers at once.
bool systemdUserManagerAnswers() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage probe =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    probe << QStringLiteral("org.freedesktop.systemd1");
    const QDBusMessage reply = bus.call(probe, QDBus::Block, int(probeTimeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}

} // namespace

std::unique_ptr<ServiceManager> createServiceManager(const ServiceAgent& agent, const FileLogger& log) {
    const QString forced = qEnvironmentVariable("PYLON_SERVICE_BACKEND").trimmed().toLower();
    std::unique_ptr<ServiceManager> manager;
    QString reason;
    if (forced == QLatin1String("systemd") || forced == QLatin1String("process")) {
        reason = QStringLiteral("forced by PYLON_SERVICE_BACKEND");
        if (forced == QLatin1String("systemd"))
            manager = std::make_unique<SystemdServiceManager>(agent, log);
        else
            manager = std::make_unique<ProcessServiceManager>(agent, log);
    } else {
        const QString ignored =
            forced.isEmpty() ? QString() : QStringLiteral("PYLON_SERVICE_BACKEND=%1 ignored, ").arg(forced);
        if (systemdUserManagerAnswers()) {
            reason = ignored + QStringLiteral("the systemd user manager is on the session bus");
            manager = std::make_unique<SystemdServiceManager>(agent, log);
        } else {
            reason = ignored + QStringLiteral("no systemd user manager on the session bus");
            manager = std::make_unique<ProcessServiceManager>(agent, log);
        }
    }
    log.info(QStringLiteral("Service backend: %1 (%2)").arg(manager->backendName(), reason));
    return manager;
}

} // namespace pylon
