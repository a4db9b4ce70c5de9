#pragma once

#include "platform/ServiceAgent.h"

#include <QString>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stdexcept>

namespace pylon {

class FileLogger;

// A failure of the service manager, carrying the description the user is shown.
class ServiceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    QString description() const { return QString::fromStdString(what()); }
};

// The operating system's service manager, for the companion's launch agent (a ServiceAgent: the
// bundle's launch-agent plist and its label). What changes the system is asynchronous: the tasks
// complete when the system has answered. status() answers from what the backend last learnt, which
// it keeps current as the system reports changes, so the status poll never waits for the system.
// A backend's tasks need the backend to outlive them.
class ServiceManager {
public:
    // Agent status values as the system reports them; other values may occur and are passed on.
    enum Status : qint64 {
        notRegistered = 0,
        enabled = 1,
        requiresApproval = 2,
        notFound = 3,
    };

    virtual ~ServiceManager() = default;

    // "notRegistered", "enabled", "requiresApproval" or "notFound"; nothing for any other value.
    static std::optional<QString> statusName(qint64 status) {
        switch (status) {
        case notRegistered:
            return QStringLiteral("notRegistered");
        case enabled:
            return QStringLiteral("enabled");
        case requiresApproval:
            return QStringLiteral("requiresApproval");
        case notFound:
            return QStringLiteral("notFound");
        default:
            return std::nullopt;
        }
    }

    // "systemd" or "process": which backend this is, for the log.
    virtual QString backendName() const = 0;

    // The agent's status as last learnt from the system; never asks the system, never blocks.
    virtual qint64 status() = 0;
    // Asks the system for the agent's status now; what it answers is status() from then on.
    // Never throws: what cannot be learnt counts as not registered.
    virtual QCoro::Task<qint64> queryStatus() = 0;
    // Registers the agent (and, as at login, starts it). Throws ServiceError.
    virtual QCoro::Task<> registerAgent() = 0;
    // Removes the registration (and stops the agent). Throws ServiceError.
    virtual QCoro::Task<> unregisterAgent() = 0;
    // Shows where the user approves login items; where there is no such place, does nothing.
    virtual void openLoginItemsSettings() = 0;

    // How kickstart() treats an agent that is running already.
    enum class Kickstart {
        start,   // leave it running (`launchctl kickstart`)
        restart, // stop it first, then start it again (`launchctl kickstart -k`)
    };

    // Asks the system to start the agent. Completes when the system has taken the request, which
    // is not when the agent runs. Throws ServiceError when the request is refused or cannot be made.
    virtual QCoro::Task<> kickstart(Kickstart how) = 0;
};

// The backend for this machine: PYLON_SERVICE_BACKEND=systemd|process forces one; otherwise
// systemd when the session bus has a systemd user manager (org.freedesktop.systemd1) on it, else
// the process backend. The choice is logged to
// `log`, which also receives the backend's own messages and must outlive it.
std::unique_ptr<ServiceManager> createServiceManager(const ServiceAgent& agent, const FileLogger& log);

} // namespace pylon
