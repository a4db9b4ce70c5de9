#include "companion/CompanionManager.h"

#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "platform/ServiceManager.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <unistd.h>

namespace pylon {

CompanionManager::CompanionManager(const BuildEnvironment& environment, ServiceManager& services,
                                   UserDefaults& defaults, const FileLogger& log)
    : m_environment(environment)
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

LaunchOutcome CompanionManager::ensureRunningViaLaunchd() {
    const qint64 status = m_services.status();
    const QString key = QString::fromLatin1(registeredVersionKey);
    const std::optional<QString> stored = m_defaults.string(key);
    const QString& version = m_environment.appVersion();
    const bool versionMatches = stored && *stored == version;
    info(QStringLiteral(" ensureRunningViaLaunchd: status=%1, version=%2, stored=%3")
             .arg(statusText(status), version, stored.value_or(QStringLiteral("nil"))));

    switch (status) {
    case ServiceManager::notRegistered:
    case ServiceManager::notFound: {
        const QString binary = companionExecutablePath();
        if (!QFileInfo::exists(binary)) {
            error(QStringLiteral(" binary not found at ") + binary);
            return LaunchOutcome::failed(QStringLiteral("Binary not found"));
        }
        try {
            unregisterAgent();
        } catch (const ServiceError&) {
            // A stale registration that cannot be removed does not stop a fresh one.
        }
        try {
            registerAgent();
        } catch (const ServiceError& e) {
            error(QStringLiteral(" registration failed: ") + e.description());
            return LaunchOutcome::failed(e.description());
        }
        m_defaults.setString(key, version);
        info(QStringLiteral(" registered successfully"));
        return LaunchOutcome::registered();
    }
    case ServiceManager::enabled:
        if (versionMatches) {
            start();
            return LaunchOutcome::kickstarted();
        }
        try {
            reregister();
        } catch (const ServiceError& e) {
            error(QStringLiteral(" re-registration failed: ") + e.description());
            return LaunchOutcome::failed(e.description());
        }
        m_defaults.setString(key, version);
        info(QStringLiteral(" re-registered successfully (app updated)"));
        return LaunchOutcome::registered();
    case ServiceManager::requiresApproval:
        error(QStringLiteral(" requires approval in System Settings > Login Items"));
        return LaunchOutcome::requiresApproval();
    default:
        return LaunchOutcome::failed(QStringLiteral("Unknown status: %1").arg(status));
    }
}

void CompanionManager::registerAgent() {
    info(QStringLiteral(" register: calling SMAppService.register()"));
    m_services.registerAgent();
}

void CompanionManager::unregisterAgent() {
    if (m_services.status() == ServiceManager::notRegistered)
        return;
    info(QStringLiteral(" unregister: calling SMAppService.unregister()"));
    m_services.unregisterAgent();
}

void CompanionManager::reregister() {
    info(QStringLiteral(" reregister: unregister + register"));
    unregisterAgent();
    registerAgent();
}

void CompanionManager::start() {
    launch(false);
}

void CompanionManager::restart() {
    launch(true);
}

void CompanionManager::launch(bool kill) {
    const QString target = domainTarget();
    const QString verb = kill ? QStringLiteral("restart") : QStringLiteral("start");
    info(QStringLiteral(" %1: launchctl kickstart %2%3").arg(verb, kill ? QStringLiteral("-k ") : QString(), target));
    try {
        m_services.kickstart(kill ? ServiceManager::Kickstart::restart : ServiceManager::Kickstart::start);
    } catch (const ServiceError& e) {
        error(QStringLiteral(" %1: launchctl failed - %2").arg(verb, e.description()));
    }
}

} // namespace pylon
