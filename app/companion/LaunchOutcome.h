#pragma once

#include <QString>

namespace pylon {

// What ensureRunningViaLaunchd achieved.
struct LaunchOutcome {
    enum class Kind {
        kickstarted,      // registered for this version already; the service manager was asked to start it
        registered,       // registered now (first time, or again after an update)
        requiresApproval, // the user must approve the login item first
        failed,           // registration impossible or failed; `message` says why
    };
    Kind kind = Kind::failed;
    QString message;

    static LaunchOutcome kickstarted() { return {Kind::kickstarted, {}}; }
    static LaunchOutcome registered() { return {Kind::registered, {}}; }
    static LaunchOutcome requiresApproval() { return {Kind::requiresApproval, {}}; }
    static LaunchOutcome failed(const QString& message) { return {Kind::failed, message}; }
    bool operator==(const LaunchOutcome&) const = default;
};

} // namespace pylon
