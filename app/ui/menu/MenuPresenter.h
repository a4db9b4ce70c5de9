#pragma once

#include "status/CompanionState.h"
#include "status/StatusResponse.h"
#include "ui/common/Alerts.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <optional>

namespace pylon {
class DynamicStatus;
}

namespace pylon::ui {

// One entry of the tray menu as it is to be drawn.
struct MenuItem {
    enum class Kind {
        openWindow, // opens the main window
        separator,
        companionLine, // opens the main window while the companion needs attention, else plain text
        liveLine,
        clientsLine,
        quit,
    };
    Kind kind = Kind::separator;
    QString text;
    // Choosing it does something; every other item is plain text, drawn disabled.
    bool isAction = false;
    QKeySequence shortcut;

    bool enabled() const { return isAction; }
    bool operator==(const MenuItem&) const = default;
};

// The seven entries, top to bottom, for the given status; `appDisplayName` names the quit entry.
QList<MenuItem> menuItems(const CompanionState& state, const std::optional<AbletonStatusResponse>& ableton,
                          const std::optional<CompanionStatusResponse>& companion, const QString& appDisplayName);
QList<MenuItem> menuItems(const DynamicStatus& status, const QString& appDisplayName);

// The error alert for the controller's alert message (an empty message when there is none).
AlertContent errorAlert(const std::optional<QString>& alertMessage);
// The login-item approval alert; its first button opens the Login Items settings.
AlertContent loginItemApprovalAlert();
inline constexpr int openSettingsButton = 0;

} // namespace pylon::ui
