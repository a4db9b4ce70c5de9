#pragma once

#include "platform/ServiceManager.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

namespace pylon {

// The backend for machines without a systemd user manager (containers, CI): the application itself
// plays the service manager. In `<XDG data home>/<appSupportFolderName>/service/`:
//   <companionLabel>.registered  the registration: a plist with the program and its arguments
//   <companionLabel>.pid         the running companion: "<pid> <start time>", the start time being
//                                field 22 of /proc/<pid>/stat, so a reused pid is not taken for it
// The companion runs detached (its own session, standard streams on /dev/null) and outlives the
// application. Nothing restarts it when it exits: KeepAlive is not emulated.
class ProcessServiceManager final : public ServiceManager {
public:
    // How long a stopping companion has between SIGTERM and SIGKILL.
    static constexpr std::chrono::milliseconds stopGrace{2000};

    // `log` receives the backend's own messages and must outlive every restart under way.
    ProcessServiceManager(ServiceAgent agent, const FileLogger& log);

    QString backendName() const override { return QStringLiteral("process"); }

    // 3 when the bundle has no launch-agent plist, 1 when a registration is recorded, else 0.
    qint64 status() override;
    // Records the registration and, with RunAtLoad, starts the companion unless it runs already.
    // Throws ServiceError for an unreadable plist or a program that cannot be started.
    void registerAgent() override;
    // Stops the companion and removes the registration; nothing to do when there is none.
    void unregisterAgent() override;
    void openLoginItemsSettings() override;
    // Starts the registered companion unless it runs; a restart stops it first, off the main thread
    // so the caller never waits for the stop. Throws ServiceError when the program cannot be run.
    void kickstart(Kickstart how) override;

    QString stateDirectory() const;
    QString registrationFilePath() const;
    QString pidFilePath() const;

private:
    ServiceAgent m_agent;
    const FileLogger& m_log;
    std::shared_ptr<bool> m_restarting; // a restart is stopping the companion
};

} // namespace pylon
