#pragma once

#include <chrono>

namespace pylon {

// The status-polling cadence: a base interval (0.25 s during the start-up phase, else 1 s) times
// a back-off multiplier (1 with no failures in a row, else failures + 1, at most 5).
namespace PollingSchedule {

inline constexpr std::chrono::nanoseconds startupInterval{250'000'000};
inline constexpr std::chrono::nanoseconds regularInterval{1'000'000'000};
inline constexpr int maxMultiplier = 5;
inline constexpr int failureCeiling = 10;
// The start-up phase after start(), with its faster polling.
inline constexpr std::chrono::seconds startupPhase{180};
// The least time between two writes of the status cache by the loop.
inline constexpr std::chrono::seconds cacheInterval{30};
// A companion that does not answer leaves the starting state only after this long (and the failure
// ceiling): a slow start is not shown as "not running", an error such as a missing binary does not
// hide behind "starting…" for the whole run.
inline constexpr std::chrono::seconds startingGrace{30};

constexpr int multiplier(int consecutiveFailures) {
    if (consecutiveFailures <= 0)
        return 1;
    return consecutiveFailures + 1 < maxMultiplier ? consecutiveFailures + 1 : maxMultiplier;
}

constexpr std::chrono::nanoseconds pause(bool inStartupPhase, int consecutiveFailures) {
    return (inStartupPhase ? startupInterval : regularInterval) * multiplier(consecutiveFailures);
}

// One more failure, never beyond the ceiling.
constexpr int afterFailure(int consecutiveFailures) {
    return consecutiveFailures + 1 < failureCeiling ? consecutiveFailures + 1 : failureCeiling;
}

} // namespace PollingSchedule
} // namespace pylon
