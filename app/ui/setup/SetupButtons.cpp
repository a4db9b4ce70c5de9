#include "ui/setup/SetupButtons.h"

#include "core/SetupViewControllerProtocol.h"
#include "ui/common/Style.h"

#include <QPushButton>

namespace pylon::ui {

void perform(SetupViewControllerProtocol& controller, SetupOperation operation,
             const std::optional<AbletonVersion>& version) {
    switch (operation) {
    case SetupOperation::openLoginItemsSettings:
        controller.openLoginItemsSettings();
        return;
    case SetupOperation::openAccessibilitySettings:
        controller.openAccessibilitySettings();
        return;
    case SetupOperation::openAutomationSettings:
        controller.openAutomationSettings();
        return;
    case SetupOperation::restartCompanion:
        controller.restartCompanion();
        return;
    case SetupOperation::openLogFile:
        controller.openLogFile();
        return;
    case SetupOperation::installRemoteScriptFromBundle:
        if (version)
            controller.installRemoteScriptFromBundle(*version);
        return;
    case SetupOperation::openRemoteScriptsFolder:
        if (version)
            controller.openRemoteScriptsFolder(*version);
        return;
    case SetupOperation::showStagedRemoteScript:
        controller.showStagedRemoteScript();
        return;
    }
}

QPushButton* makeSetupButton(const SetupButton& button, SetupViewControllerProtocol& controller,
                             const std::optional<AbletonVersion>& version, QWidget* parent) {
    auto* widget = new QPushButton(button.text, parent);
    widget->setEnabled(button.enabled);
    widget->setAutoDefault(false);
    widget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (button.prominent)
        makeProminent(widget);
    else
        widget->setMinimumSize(widget->sizeHint() + QSize(12, 4));
    const SetupOperation operation = button.operation;
    QObject::connect(widget, &QPushButton::clicked, widget,
                     [&controller, operation, version] { perform(controller, operation, version); });
    return widget;
}

} // namespace pylon::ui
