#pragma once

#include <QWidget>

namespace pylon {
class SetupViewControllerProtocol;
}

namespace pylon::ui {

// The development build's row of shortcuts: restart the companion, view its log.
class DevModeButtonsView : public QWidget {
    Q_OBJECT
public:
    explicit DevModeButtonsView(SetupViewControllerProtocol& controller, QWidget* parent = nullptr);
};

} // namespace pylon::ui
