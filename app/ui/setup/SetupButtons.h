#pragma once

#include "status/AbletonVersion.h"
#include "ui/setup/SetupPresenter.h"

#include <optional>

class QPushButton;
class QWidget;

namespace pylon {
class SetupViewControllerProtocol;
}

namespace pylon::ui {

// Carries out `operation` on the controller; the version operations need `version`.
void perform(SetupViewControllerProtocol& controller, SetupOperation operation,
             const std::optional<AbletonVersion>& version = std::nullopt);

// A push button drawn from `button` that performs its operation when clicked.
QPushButton* makeSetupButton(const SetupButton& button, SetupViewControllerProtocol& controller,
                             const std::optional<AbletonVersion>& version, QWidget* parent);

} // namespace pylon::ui
