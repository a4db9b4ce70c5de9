#pragma once

#include "status/PylonError.h"

namespace pylon {

// The application's one-word summary of the companion; every status line is built from it.
// It never travels on the wire.
class CompanionState {
public:
    enum class Kind {
        error,                       // starting or registering the companion failed (carries the error)
        running,                     // the companion answers and holds every permission it needs
        startingUp,                  // the application, or a companion restart, is still starting
        runningNeedsAccessibility,   // answers; Accessibility is missing
        runningNeedsAutomation,      // answers; Automation is missing
        runningNeedsBothPermissions, // answers; both are missing
        notRunning,                  // no status document is at hand
        requiresLoginItemApproval,   // the system waits for the user to approve the login item
    };

    CompanionState(Kind kind) : m_kind(kind) {} // NOLINT: implicit on purpose, states read as kinds
    static CompanionState failed(const PylonError& error) { return CompanionState(Kind::error, error); }

    Kind kind() const { return m_kind; }
    // The failure of an `error` state; absent for every other kind.
    const std::optional<PylonError>& error() const { return m_error; }

    bool operator==(const CompanionState&) const = default;

private:
    CompanionState(Kind kind, const PylonError& error) : m_kind(kind), m_error(error) {}
    Kind m_kind;
    std::optional<PylonError> m_error;
};

} // namespace pylon
