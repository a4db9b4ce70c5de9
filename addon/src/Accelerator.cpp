#include "Accelerator.h"

#include <cmath>
#include <limits>

namespace pylon::accelerator {

std::optional<ProcessId> processIdFromNumber(double number) {
    if (!std::isfinite(number))
        return std::nullopt;
    const double whole = std::trunc(number);
    if (whole < 1 || whole > static_cast<double>(std::numeric_limits<ProcessId>::max()))
        return std::nullopt;
    return static_cast<ProcessId>(whole);
}

std::vector<RunningApplication> Accelerator::runningAbletonInstances() {
    return m_platform.runningApplications(kLiveBundleId);
}

bool Accelerator::sendCommandS(double processIdNumber) {
    const auto processId = processIdFromNumber(processIdNumber);
    if (!processId)
        return false;
    return m_platform.postKeyEvents(*processId, kSaveShortcut);
}

} // namespace pylon::accelerator
