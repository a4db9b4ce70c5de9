#pragma once

#include "foundation/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/linux/CompanionProcess.h"
#include "platform/linux/KeepAlive.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <optional>

class QTimer;

namespace pylon {

// The backend for machines without a systemd user manager (containers, CI): the application itself
// plays the service manager. In `<XDG data home>/<appSupportFolderName>/service/` (0700, files 0600):
//   <companionLabel>.registered  the registration: a plist with the program, its arguments and
//                                whether to keep it alive
//   <companionLabel>.pid         the running companion: "<pid> <start time>", the start time being
//                                field 22 of /proc/<pid>/stat, so a reused pid is not taken for it
// The companion runs detached (its own session, standard streams on /dev/null) and outlives the
// application. While the application runs, a companion kept alive (KeepAlive in the plist) that
// exits is started again under the KeepAlivePolicy; whether it failed cannot be told (it is not
// our child), so KeepAlive { SuccessfulExit = false } counts as KeepAlive.
class ProcessServiceManager final : public QObject, public ServiceManager {
    Q_OBJECT
public:
    // How long a stopping companion has between SIGTERM and SIGKILL.
    static constexpr std::chrono::milliseconds stopGrace{2000};

    // `log` receives the backend's own messages and must outlive every task under way; `clock`
    // (the steady clock when null) times the starts for the start limit and must outlive the backend.
    ProcessServiceManager(ServiceAgent agent, const FileLogger& log, KeepAlivePolicy keepAlive = {},
                          const Clock* clock = nullptr, QObject* parent = nullptr);
    ~ProcessServiceManager() override;

    QString backendName() const override { return QStringLiteral("process"); }

    // 3 when the bundle has no launch-agent plist, 1 when a registration is recorded, else 0; as
    // this backend last recorded or found it.
    qint64 status() override;
    // Looks at the plist and the registration file again.
    QCoro::Task<qint64> queryStatus() override;
    // Records the registration and, with RunAtLoad, starts the companion unless it runs already.
    // Throws ServiceError for an unreadable plist or a program that cannot be started.
    QCoro::Task<> registerAgent() override;
    // Stops the companion (off the main thread) and removes the registration; nothing to do when
    // there is none.
    QCoro::Task<> unregisterAgent() override;
    void openLoginItemsSettings() override;
    // Starts the registered companion unless it runs; a restart stops it first, off the main thread.
    // A restart goes on to its end if the backend is destroyed meanwhile. Either resets the start
    // limit. Throws ServiceError when the program cannot be run.
    QCoro::Task<> kickstart(Kickstart how) override;

    QString stateDirectory() const;
    QString registrationFilePath() const;
    QString pidFilePath() const;
    // The companion that this backend watches to keep alive, if any.
    std::optional<ProcessIdentity> watchedCompanion() const;

signals:
    // Keeping the companion alive: it was started again, or the start limit ended the attempts.
    void companionRestarted(qint64 pid);
    void startLimitReached();

private:
    struct RegisteredCompanion {
        CompanionProcess process;
        bool keepAlive = false;
    };
    std::optional<RegisteredCompanion> registeredCompanion() const;
    QCoro::Task<> restart(CompanionProcess companion);
    void startAndWatch(const CompanionProcess& companion);
    void stopWatching();
    void companionExited();
    void restartAfterPause();

    ServiceAgent m_agent;
    const FileLogger& m_log;
    KeepAlivePolicy m_policy;
    SteadyClock m_steadyClock;
    const Clock& m_clock;
    qint64 m_status = notRegistered;
    bool m_keepAlive = false;
    bool m_restarting = false; // a restart is stopping the companion
    QList<Clock::time_point> m_starts;
    QPointer<ProcessExitWatch> m_watch;
    QTimer* m_restartTimer;
};

} // namespace pylon
