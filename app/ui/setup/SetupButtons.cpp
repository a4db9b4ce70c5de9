#include "ui/setup/SetupButtons.h"

#include "core/SetupViewControllerProtocol.h"
#include "ui/common/Style.h"
#include "ui/common/UiText.h"

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

namespace {

// The letter of each operation's button that Alt with it presses; the buttons that show together
// have different ones.
QChar mnemonicLetter(SetupOperation operation) {
    switch (operation) {
    case SetupOperation::openLoginItemsSettings:
        return QLatin1Char('L');
    case SetupOperation::openAccessibilitySettings:
        return QLatin1Char('A');
    case SetupOperation::openAutomationSettings:
        return QLatin1Char('u');
    case SetupOperation::restartCompanion:
        return QLatin1Char('S'); // "Start"; "Try Restarting" and "Restart" take their first "R" below
    case SetupOperation::openLogFile:
        return QLatin1Char('V');
    case SetupOperation::installRemoteScriptFromBundle:
        return QLatin1Char('I');
    case SetupOperation::openRemoteScriptsFolder:
        return QLatin1Char('O');
    case SetupOperation::showStagedRemoteScript:
        return QLatin1Char('C');
    }
    return {};
}

QString buttonLabel(const SetupButton& button) {
    QChar letter = mnemonicLetter(button.operation);
    if (button.operation == SetupOperation::restartCompanion && !button.text.contains(letter))
        letter = QLatin1Char('R');
    if (button.operation == SetupOperation::installRemoteScriptFromBundle && !button.text.startsWith(letter))
        letter = QLatin1Char('R'); // "Reinstall for …"
    return withMnemonic(button.text, letter);
}

} // namespace

QPushButton* makeSetupButton(const SetupButton& button, SetupViewControllerProtocol& controller,
                             const std::optional<AbletonVersion>& version, QWidget* parent) {
    auto* widget = new QPushButton(buttonLabel(button), parent);
    widget->setAccessibleName(button.text);
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
