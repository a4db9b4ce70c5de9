#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace pylon {

// The controller's two requests for the user's attention: the error alert's text while it is to be
// shown, and the login-item approval alert. Whoever shows them clears them when dismissed.
class ControllerAlerts : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const std::optional<QString>& alertMessage() const { return m_alertMessage; }
    // A later message replaces one the user has not dismissed yet.
    void setAlertMessage(const std::optional<QString>& message) {
        m_alertMessage = message;
        emit changed();
    }
    bool showLoginItemApprovalAlert() const { return m_showLoginItemApprovalAlert; }
    void setShowLoginItemApprovalAlert(bool show) {
        m_showLoginItemApprovalAlert = show;
        emit changed();
    }

signals:
    // Either field was assigned, also with an equal value.
    void changed();

private:
    std::optional<QString> m_alertMessage;
    bool m_showLoginItemApprovalAlert = false;
};

} // namespace pylon
