#pragma once

#include "companion/LaunchOutcome.h"

#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

namespace pylon {

class BuildEnvironment;
class FileLogger;
class ServiceManager;
class UserDefaults;

// Keeps the companion's launch agent registered and running: registers it when it is missing,
// registers it anew after an application update, otherwise only asks the service manager to start
// it. Holds no state of its own; the registration lives in the system and the version of the last
// successful registration in the user defaults. Every operation asks the service manager and
// completes when it has answered; the environment, service manager, defaults and logger must
// outlive the tasks, while the manager itself may go away during one (the task then ends quietly).
class CompanionManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* registeredVersionKey = "PylonCompanion.registeredAppVersion";

    CompanionManager(const BuildEnvironment& environment, ServiceManager& services, UserDefaults& defaults,
                     const FileLogger& log, QObject* parent = nullptr);

    // Never throws; every failure becomes LaunchOutcome::failed with the text to show.
    QCoro::Task<LaunchOutcome> ensureRunningViaLaunchd();

    QCoro::Task<> registerAgent();   // throws ServiceError
    QCoro::Task<> unregisterAgent(); // throws ServiceError
    QCoro::Task<> reregister();      // throws ServiceError
    QCoro::Task<> start();           // never throws
    QCoro::Task<> restart();         // never throws

    // The companion executable inside the bundle.
    QString companionExecutablePath() const;
    // "gui/<uid>/<label>"
    QString domainTarget() const;

    // "notRegistered", "enabled", "requiresApproval", "notFound" or "unknown(<n>)".
    static QString statusText(qint64 status);

private:
    void info(const QString& text) const;
    void error(const QString& text) const;
    QCoro::Task<LaunchOutcome> registerFresh();
    QCoro::Task<LaunchOutcome> registerAgain();
    QCoro::Task<> launch(bool kill);

    const BuildEnvironment& m_environment;
    ServiceManager& m_services;
    UserDefaults& m_defaults;
    const FileLogger& m_log;
};

} // namespace pylon
