#pragma once

#include "companion/LaunchOutcome.h"

#include <QString>

namespace pylon {

class BuildEnvironment;
class FileLogger;
class ServiceManager;
class UserDefaults;

// Keeps the companion's launch agent registered and running: registers it when it is missing,
// registers it anew after an application update, otherwise only asks the service manager to start
// it. Holds no state of its own; the registration lives in the system and the version of the last
// successful registration in the user defaults.
class CompanionManager {
public:
    static constexpr const char* registeredVersionKey = "PylonCompanion.registeredAppVersion";

    CompanionManager(const BuildEnvironment& environment, ServiceManager& services, UserDefaults& defaults,
                     const FileLogger& log);

    // Never throws; every failure becomes LaunchOutcome::failed with the text to show.
    LaunchOutcome ensureRunningViaLaunchd();

    void registerAgent();   // throws ServiceError
    void unregisterAgent(); // throws ServiceError
    void reregister();      // throws ServiceError
    void start();           // never throws
    void restart();         // never throws

    // The companion executable inside the bundle.
    QString companionExecutablePath() const;
    // "gui/<uid>/<label>"
    QString domainTarget() const;

    // "notRegistered", "enabled", "requiresApproval", "notFound" or "unknown(<n>)".
    static QString statusText(qint64 status);

private:
    void info(const QString& text) const;
    void error(const QString& text) const;
    void launch(bool kill);

    const BuildEnvironment& m_environment;
    ServiceManager& m_services;
    UserDefaults& m_defaults;
    const FileLogger& m_log;
};

} // namespace pylon
