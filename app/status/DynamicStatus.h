#pragma once

#include "status/CompanionState.h"
#include "status/StatusResponse.h"

#include <QObject>
#include <optional>

namespace pylon {

class UserDefaults;

// The one observable model of the application's live state. The controller writes it; the views
// and the diagnostic report read it. Every assignment to a field emits changed(), also when the new
// value equals the old one; the derived views are computed on every read and never emit.
class DynamicStatus : public QObject {
    Q_OBJECT
public:
    // Starts in the starting state, with the status cached by the previous run (if any).
    explicit DynamicStatus(const UserDefaults& defaults, QObject* parent = nullptr);

    const std::optional<StatusResponse>& lastResponse() const { return m_lastResponse; }
    bool isCompanionRegistered() const { return m_isCompanionRegistered; }
    bool requiresLoginItemApproval() const { return m_requiresLoginItemApproval; }
    const std::optional<QString>& logFile() const { return m_logFile; }
    const std::optional<PylonError>& companionError() const { return m_companionError; }
    bool isStarting() const { return m_isStarting; }

    void setLastResponse(const std::optional<StatusResponse>& response);
    void setIsCompanionRegistered(bool registered);
    void setRequiresLoginItemApproval(bool required);
    void setLogFile(const std::optional<QString>& path);
    void setCompanionError(const std::optional<PylonError>& error);
    void setIsStarting(bool starting);

    std::optional<CompanionStatusResponse> companionStatus() const;
    std::optional<AbletonStatusResponse> abletonStatus() const;
    std::optional<BonjourStatusResponse> bonjourStatus() const;
    CompanionState companionState() const;

signals:
    void changed();

private:
    std::optional<StatusResponse> m_lastResponse;
    bool m_isCompanionRegistered = false;
    bool m_requiresLoginItemApproval = false;
    std::optional<QString> m_logFile;
    std::optional<PylonError> m_companionError;
    bool m_isStarting = true;
};

// The summary rule, in its order: a start in progress hides everything, a recorded failure hides a
// pending approval, a pending approval hides the status document. Accessibility counts only while
// the companion reports its keyboard addon loaded.
CompanionState deriveCompanionState(bool isStarting, const std::optional<PylonError>& companionError,
                                    bool requiresLoginItemApproval, const std::optional<StatusResponse>& lastResponse);

} // namespace pylon
