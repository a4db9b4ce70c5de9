#include "platform/linux/SystemdServiceManager.h"

#include "foundation/FileLogger.h"
#include "platform/SystemInfo.h"
#include "platform/linux/LaunchAgentJob.h"
#include "platform/linux/SystemdUnitFile.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <optional>
#include <qcoro/qcorodbuspendingcall.h>

namespace pylon {

namespace {

const QString systemdService = QStringLiteral("org.freedesktop.systemd1");
const QString managerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString managerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");
const QString unitInterface = QStringLiteral("org.freedesktop.systemd1.Unit");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString replaceMode = QStringLiteral("replace");
// Method names of the manager. GCC 12 must not see a lambda (QStringLiteral) or an initializer list
// among the temporaries of a co_await expression, so calls name their method and arguments first.
const QString getUnitFileStateMethod = QStringLiteral("GetUnitFileState");
const QString subscribeMethod = QStringLiteral("Subscribe");
const QString enableMethod = QStringLiteral("EnableUnitFiles");
const QString disableMethod = QStringLiteral("DisableUnitFiles");
const QString reloadMethod = QStringLiteral("Reload");
const QString startMethod = QStringLiteral("StartUnit");
const QString restartMethod = QStringLiteral("RestartUnit");
const QString stopMethod = QStringLiteral("StopUnit");

// Unit file states of a unit that systemd loads: "static" is a unit without [Install] section (no
// RunAtLoad), loaded all the same.
bool isRegisteredState(const QString& state) {
    static const QStringList registered{QStringLiteral("enabled"),   QStringLiteral("enabled-runtime"),
                                        QStringLiteral("static"),    QStringLiteral("indirect"),
                                        QStringLiteral("generated"), QStringLiteral("alias")};
    return registered.contains(state);
}

// The work of a task goes on only while the backend is there.
void requireAlive(const QPointer<SystemdServiceManager>& self) {
    if (!self)
        throw ServiceError("The service manager was closed before systemd answered.");
}

} // namespace

SystemdServiceManager::SystemdServiceManager(ServiceAgent agent, const FileLogger& log, QDBusConnection bus,
                                             QObject* parent)
    : QObject(parent)
    , m_agent(std::move(agent))
    , m_log(log)
    , m_bus(std::move(bus))
    , m_plistPresent(QFileInfo::exists(m_agent.plistPath())) {
    m_bus.connect(systemdService, managerPath, managerInterface, QStringLiteral("UnitFilesChanged"), this,
                  SLOT(onUnitFilesChanged()));
    m_bus.connect(systemdService, SystemdUnitFile::objectPath(unitName()), propertiesInterface,
                  QStringLiteral("PropertiesChanged"), this,
                  SLOT(onUnitPropertiesChanged(QString, QVariantMap, QStringList)));
    // A manager that starts again (daemon-reexec, a new session) has forgotten the subscription.
    auto* watcher = new QDBusServiceWatcher(systemdService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &SystemdServiceManager::onManagerStarted);
    queryStatus();
}

SystemdServiceManager::~SystemdServiceManager() {
    m_bus.disconnect(systemdService, managerPath, managerInterface, QStringLiteral("UnitFilesChanged"), this,
                     SLOT(onUnitFilesChanged()));
    m_bus.disconnect(systemdService, SystemdUnitFile::objectPath(unitName()), propertiesInterface,
                     QStringLiteral("PropertiesChanged"), this,
                     SLOT(onUnitPropertiesChanged(QString, QVariantMap, QStringList)));
}

QString SystemdServiceManager::unitName() const {
    return m_agent.label + QStringLiteral(".service");
}

QString SystemdServiceManager::unitFilePath() const {
    return SystemInfo::configHome() + QStringLiteral("/systemd/user/") + unitName();
}

qint64 SystemdServiceManager::status() {
    if (!m_plistPresent)
        return notFound;
    return isRegisteredState(m_unitFileState) ? enabled : notRegistered;
}

QCoro::Task<qint64> SystemdServiceManager::queryStatus() {
    QPointer<SystemdServiceManager> self(this);
    if (!m_subscribed)
        co_await subscribe();
    if (!self)
        co_return notRegistered;
    co_await refreshUnitFileState();
    co_return self ? self->status() : qint64(notRegistered);
}

QCoro::Task<QDBusMessage> SystemdServiceManager::callManager(QString method, QVariantList arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(systemdService, managerPath, managerInterface, method);
    message.setArguments(arguments);
    // systemd is never started by the bus; without a manager the call fails at once.
    message.setAutoStartService(false);
    const QDBusPendingCall pending = m_bus.asyncCall(message, int(callTimeout.count()));
    // Only locals from here on: the backend may be gone when systemd answers.
    co_return co_await pending;
}

QCoro::Task<> SystemdServiceManager::callManagerChecked(QString method, QVariantList arguments) const {
    const QDBusMessage reply = co_await callManager(method, std::move(arguments));
    if (reply.type() != QDBusMessage::ErrorMessage)
        co_return;
    const QString text = reply.errorMessage().isEmpty()
                             ? QStringLiteral("systemd refused %1 (%2).").arg(method, reply.errorName())
                             : reply.errorMessage();
    throw ServiceError(text.toStdString());
}

QCoro::Task<> SystemdServiceManager::subscribe() {
    QPointer<SystemdServiceManager> self(this);
    m_subscribed = true;
    const QDBusMessage reply = co_await callManager(subscribeMethod, QVariantList());
    if (!self || reply.type() != QDBusMessage::ErrorMessage ||
        reply.errorName() == QLatin1String("org.freedesktop.systemd1.AlreadySubscribed"))
        co_return;
    m_subscribed = false;
    m_log.error(QStringLiteral("systemd: cannot subscribe to the manager's signals - ") + reply.errorMessage());
}

QCoro::Task<> SystemdServiceManager::refreshUnitFileState() {
    QPointer<SystemdServiceManager> self(this);
    m_plistPresent = QFileInfo::exists(m_agent.plistPath());
    const quint64 reportsBefore = m_reports;
    const QVariantList arguments{unitName()};
    const QDBusMessage reply = co_await callManager(getUnitFileStateMethod, arguments);
    // A state that the unit's own signal reported meanwhile is newer than this answer.
    if (!self || m_reports != reportsBefore)
        co_return;
    if (reply.type() == QDBusMessage::ErrorMessage) {
        // No unit file is no registration; anything else leaves the state unknown, which counts as none.
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.FileNotFound"))
            m_log.error(QStringLiteral("systemd: unit state unknown - ") + reply.errorMessage());
        setUnitFileState(QString());
    } else {
        setUnitFileState(reply.arguments().value(0).toString());
    }
}

void SystemdServiceManager::setUnitFileState(const QString& state) {
    m_unitFileState = state;
    emit unitStateReported();
}

void SystemdServiceManager::setActiveState(const QString& state) {
    if (state == QLatin1String("failed") && m_activeState != state)
        m_log.error(QStringLiteral("systemd: %1 failed").arg(unitName()));
    m_activeState = state;
    emit unitStateReported();
}

void SystemdServiceManager::onUnitFilesChanged() {
    refreshUnitFileState();
}

void SystemdServiceManager::onUnitPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                                    const QStringList& invalidated) {
    if (interface != unitInterface)
        return;
    const QString fileStateKey = QStringLiteral("UnitFileState");
    const QString activeStateKey = QStringLiteral("ActiveState");
    if (const auto state = changed.constFind(activeStateKey); state != changed.constEnd())
        setActiveState(state->toString());
    if (const auto state = changed.constFind(fileStateKey); state != changed.constEnd()) {
        ++m_reports;
        setUnitFileState(state->toString());
    } else if (invalidated.contains(fileStateKey)) {
        refreshUnitFileState();
    }
}

void SystemdServiceManager::onManagerStarted() {
    m_subscribed = false;
    queryStatus();
}

void SystemdServiceManager::writeUnitFile(const LaunchAgentJob& job) const {
    const QString path = unitFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(SystemdUnitFile::text(job, m_agent.displayName).toUtf8()) < 0 ||
        !file.commit()) {
        throw ServiceError(
            QStringLiteral("The unit file %1 cannot be written: %2").arg(path, file.errorString()).toStdString());
    }
}

QCoro::Task<> SystemdServiceManager::registerAgent() {
    QPointer<SystemdServiceManager> self(this);
    const LaunchAgentJob job = LaunchAgentJob::read(m_agent);
    writeUnitFile(job);
    const bool runAtLoad = job.runAtLoad;
    const QStringList units{unitName()};
    if (runAtLoad) {
        const QVariantList arguments{units, false, false}; // not only for this boot; no forcing
        co_await callManagerChecked(enableMethod, arguments);
        requireAlive(self);
    }
    // systemd reads the new unit file, and the link that enabling made, only when told to.
    co_await callManagerChecked(reloadMethod, QVariantList());
    requireAlive(self);
    if (runAtLoad) {
        const QVariantList arguments{units.constFirst(), replaceMode};
        co_await callManagerChecked(startMethod, arguments);
        requireAlive(self);
    }
    co_await refreshUnitFileState();
}

QCoro::Task<> SystemdServiceManager::unregisterAgent() {
    QPointer<SystemdServiceManager> self(this);
    const QString path = unitFilePath();
    if (!QFileInfo::exists(path))
        co_return;
    const QString unit = unitName();
    const QVariantList disableArguments{QStringList{unit}, false};
    const QVariantList stopArguments{unit, replaceMode};
    // Every step is tried, so an uninstall leaves as little behind as it can.
    std::optional<ServiceError> firstFailure;
    try {
        co_await callManagerChecked(disableMethod, disableArguments);
    } catch (const ServiceError& e) {
        firstFailure = e;
    }
    requireAlive(self);
    const QDBusMessage stopped = co_await callManager(stopMethod, stopArguments);
    requireAlive(self);
    // A unit that is not loaded has nothing to stop.
    if (stopped.type() == QDBusMessage::ErrorMessage &&
        stopped.errorName() != QLatin1String("org.freedesktop.systemd1.NoSuchUnit") && !firstFailure)
        firstFailure = ServiceError(stopped.errorMessage().toStdString());
    if (!QFile::remove(path) && QFileInfo::exists(path) && !firstFailure)
        firstFailure = ServiceError(QStringLiteral("The unit file %1 cannot be removed.").arg(path).toStdString());
    try {
        co_await callManagerChecked(reloadMethod, QVariantList());
    } catch (const ServiceError& e) {
        if (!firstFailure)
            firstFailure = e;
    }
    requireAlive(self);
    co_await refreshUnitFileState();
    if (firstFailure)
        throw *firstFailure;
}

void SystemdServiceManager::openLoginItemsSettings() {
    m_log.debug(QStringLiteral("systemd: no login-items settings to open"));
}

QCoro::Task<> SystemdServiceManager::kickstart(Kickstart how) {
    const QString& method = how == Kickstart::restart ? restartMethod : startMethod;
    const QVariantList arguments{unitName(), replaceMode};
    co_await callManagerChecked(method, arguments);
}

} // namespace pylon
