#include "status/DynamicStatus.h"

#include "status/StatusCache.h"

namespace pylon {

DynamicStatus::DynamicStatus(const UserDefaults& defaults, QObject* parent)
    : QObject(parent) {
    setLastResponse(loadCachedStatus(defaults));
}

void DynamicStatus::setLastResponse(const std::optional<StatusResponse>& response) {
    m_lastResponse = response;
    emit changed();
}

void DynamicStatus::setIsCompanionRegistered(bool registered) {
    m_isCompanionRegistered = registered;
    emit changed();
}

void DynamicStatus::setRequiresLoginItemApproval(bool required) {
    m_requiresLoginItemApproval = required;
    emit changed();
}

void DynamicStatus::setLogFile(const std::optional<QString>& path) {
    m_logFile = path;
    emit changed();
}

void DynamicStatus::setCompanionError(const std::optional<PylonError>& error) {
    m_companionError = error;
    emit changed();
}

void DynamicStatus::setIsStarting(bool starting) {
    m_isStarting = starting;
    emit changed();
}

std::optional<CompanionStatusResponse> DynamicStatus::companionStatus() const {
    if (!m_lastResponse)
        return std::nullopt;
    return m_lastResponse->companion;
}

std::optional<AbletonStatusResponse> DynamicStatus::abletonStatus() const {
    if (!m_lastResponse)
        return std::nullopt;
    return m_lastResponse->ableton;
}

std::optional<BonjourStatusResponse> DynamicStatus::bonjourStatus() const {
    if (!m_lastResponse)
        return std::nullopt;
    return m_lastResponse->bonjour;
}

CompanionState DynamicStatus::companionState() const {
    return deriveCompanionState(m_isStarting, m_companionError, m_requiresLoginItemApproval, m_lastResponse);
}

CompanionState deriveCompanionState(bool isStarting, const std::optional<PylonError>& companionError,
                                    bool requiresLoginItemApproval, const std::optional<StatusResponse>& lastResponse) {
    using Kind = CompanionState::Kind;
    if (isStarting)
        return Kind::startingUp;
    if (companionError)
        return CompanionState::failed(*companionError);
    if (requiresLoginItemApproval)
        return Kind::requiresLoginItemApproval;
    if (!lastResponse)
        return Kind::notRunning;
    const CompanionStatusResponse& companion = lastResponse->companion;
    if (companion.isAcceleratorAddonLoaded && !companion.permissions.accessibility)
        return companion.permissions.automation ? Kind::runningNeedsAccessibility : Kind::runningNeedsBothPermissions;
    return companion.permissions.automation ? Kind::running : Kind::runningNeedsAutomation;
}

} // namespace pylon
