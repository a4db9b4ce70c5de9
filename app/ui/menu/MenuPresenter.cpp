#include "ui/menu/MenuPresenter.h"

#include "status/DynamicStatus.h"
#include "status/StatusTexts.h"

namespace pylon::ui {

QList<MenuItem> menuItems(const CompanionState& state, const std::optional<AbletonStatusResponse>& ableton,
                          const std::optional<CompanionStatusResponse>& companion, const QString& appDisplayName) {
    using Kind = MenuItem::Kind;
    return {
        {Kind::openWindow, QStringLiteral("Open Pylon Window"), true, {}},
        {Kind::separator, {}, false, {}},
        {Kind::companionLine, companionLine(state), companionLineIsAction(state), {}},
        {Kind::liveLine, liveLine(ableton), false, {}},
        {Kind::clientsLine, clientsLine(companion), false, {}},
        {Kind::separator, {}, false, {}},
        {Kind::quit, QStringLiteral("Quit ") + appDisplayName, true, QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
}

QList<MenuItem> menuItems(const DynamicStatus& status, const QString& appDisplayName) {
    return menuItems(status.companionState(), status.abletonStatus(), status.companionStatus(), appDisplayName);
}

AlertContent errorAlert(const std::optional<QString>& alertMessage) {
    return {QStringLiteral("Error"), alertMessage.value_or(QString()), {{QStringLiteral("OK"), true}}, true};
}

AlertContent loginItemApprovalAlert() {
    return {QStringLiteral("Pylon Companion requires approval"),
            QStringLiteral("Pylon needs permission to run its companion. Please enable it in Login Items."),
            {{QStringLiteral("Open System Settings"), false}, {QStringLiteral("Cancel"), true}},
            false};
}

} // namespace pylon::ui
