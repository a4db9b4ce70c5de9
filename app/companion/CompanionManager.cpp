#include "companion/CompanionManager.h"

#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "platform/ServiceManager.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <QPointer>
#include <optional>
#include <unistd.h>

namespace pylon {

namespace {

// What a task returns when its manager went away while the service manager answered; nobody is
// left to read it.
LaunchOutcome managerGone() {
    return LaunchOutcome::failed(QStringLiteral("The companion manager was closed."));
}

} // namespace

CompanionManager::CompanionManager(const BuildEnvironment& environment, ServiceManager& services,
                                   UserDefaults& defaults, const FileLogger& log, QObject* parent)
    : QObject(parent)
    , m_environment(environment)
    , m_services(services)
    , m_defaults(defaults)
    , m_log(log) {}

QString CompanionManager::statusText(qint64 status) {
    return ServiceManager::statusName(status).value_or(QStringLiteral("unknown(%1)").arg(status));
}

QString CompanionManager::companionExecutablePath() const {
    const QString name = m_environment.companionDisplayName();
    return m_environment.bundlePath() + QStringLiteral("/Contents/Helpers/") + m_environment.machineArchitecture() +
           QLatin1Char('/') + name + QStringLiteral(".app/Contents/MacOS/") + name;
}

QString CompanionManager::domainTarget() const {
    return QStringLiteral("gui/%1/%2").arg(::getuid()).arg(m_environment.companionLabel());
}

void CompanionManager::info(const QString& text) const {
    m_log.info((m_environment.isDevelopment() ? QStringLiteral("[Pylon-Dev][CompanionManager]")
                                              : QStringLiteral("[Pylon][CompanionManager]")) + text);
}

void CompanionManager::error(const QString& text) const {
    m_log.error((m_environment.isDevelopment() ? QStringLiteral("[Pylon-Dev][CompanionManager]")
                                               : QStringLiteral("[Pylon][CompanionManager]")) + text);
}

QCoro::Task<LaunchOutcome> CompanionManager::ensureRunningViaLaunchd() {
    QPointer<CompanionManager> self(this);
    const qint64 status = co_await m_services.queryStatus();
    if (!self)
        co_return managerGone();
    const std::optional<QString> stored = m_defaults.string(QString::fromLatin1(registeredVersionKey));
    const QString& version = m_environment.appVersion();
    const bool versionMatches = stored && *stored == version;
    info(QStringLiteral(" ensureRunningViaLaunchd: status=%1, version=%2, stored=%3")
             .arg(statusText(status), version, stored.value_or(QStringLiteral("nil"))));

    switch (status) {
    case ServiceManager::notRegistered:
    case ServiceManager::notFound:
        co_return co_await registerFresh();
    case ServiceManager::enabled:
        if (versionMatches) {
            co_await start();
            co_return LaunchOutcome::kickstarted();
        }
        co_return co_await registerAgain();
    case ServiceManager::requiresApproval:
        error(QStringLiteral(" requires approval in System Settings > Login Items"));
        co_return LaunchOutcome::requiresApproval();
    default:
        co_return LaunchOutcome::failed(QStringLiteral("Unknown status: %1").arg(status));
    }
}

QCoro::Task<LaunchOutcome> CompanionManager::registerFresh() {
    QPointer<CompanionManager> self(this);
    const QString binary = companionExecutablePath();
    if (!QFileInfo::exists(binary)) {
        error(QStringLiteral(" binary not found at ") + binary);
        co_return LaunchOutcome::failed(QStringLiteral("Binary not found"));
    }
    try {
        co_await unregisterAgent();
    } catch (const ServiceError&) {
        // A stale registration that cannot be removed does not stop a fresh one.
    }
    if (!self)
        co_return managerGone();
    std::optional<QString> failure;
    try {
        co_await registerAgent();
    } catch (const ServiceError& e) {
        failure = e.description();
    }
    if (!self)
        co_return managerGone();
    if (failure) {
        error(QStringLiteral(" registration failed: ") + *failure);
        co_return LaunchOutcome::failed(*failure);
    }
    m_defaults.setString(QString::fromLatin1(registeredVersionKey), m_environment.appVersion());
    info(QStringLiteral(" registered successfully"));
    co_return LaunchOutcome::registered();
}

QCoro::Task<LaunchOutcome> CompanionManager::registerAgain() {
    QPointer<CompanionManager> self(this);
    std::optional<QString> failure;
    try {
        co_await reregister();
    } catch (const ServiceError& e) {
        failure = e.description();
    }
    if (!self)
        co_return managerGone();
    if (failure) {
        error(QStringLiteral(" re-registration failed: ") + *failure);
        co_return LaunchOutcome::failed(*failure);
    }
    m_defaults.setString(QString::fromLatin1(registeredVersionKey), m_environment.appVersion());
    info(QStringLiteral(" re-registered successfully (app updated)"));
    co_return LaunchOutcome::registered();
}

QCoro::Task<> CompanionManager::registerAgent() {
    info(QStringLiteral(" register: calling SMAppService.register()"));
    co_await m_services.registerAgent();
}

QCoro::Task<> CompanionManager::unregisterAgent() {
    QPointer<CompanionManager> self(this);
    const qint64 status = co_await m_services.queryStatus();
    if (!self || status == ServiceManager::notRegistered)
        co_return;
    info(QStringLiteral(" unregister: calling SMAppService.unregister()"));
    co_await m_services.unregisterAgent();
}

QCoro::Task<> CompanionManager::reregister() {
    QPointer<CompanionManager> self(this);
    info(QStringLiteral(" reregister: unregister + register"));
    co_await unregisterAgent();
    if (self)
        co_await registerAgent();
}

QCoro::Task<> CompanionManager::start() {
    return launch(false);
}

QCoro::Task<> CompanionManager::restart() {
    return launch(true);
}

QCoro::Task<> CompanionManager::launch(bool kill) {
    QPointer<CompanionManager> self(this);
    const QString verb = kill ? QStringLiteral("restart") : QStringLiteral("start");
    info(QStringLiteral(" %1: launchctl kickstart %2%3")
             .arg(verb, kill ? QStringLiteral("-k ") : QString(), domainTarget()));
    std::optional<QString> failure;
    try {
        co_await m_services.kickstart(kill ? ServiceManager::Kickstart::restart : ServiceManager::Kickstart::start);
    } catch (const ServiceError& e) {
        failure = e.description();
    }
    if (self && failure)
        error(QStringLiteral(" %1: launchctl failed - %2").arg(verb, *failure));
}

} // namespace pylon
