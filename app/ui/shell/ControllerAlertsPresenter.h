#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QMessageBox;
class QWidget;

namespace pylon {
class MenuControllerProtocol;
}

namespace pylon::ui {

// Shows the controller's two alerts while it raises them, whatever else is on screen: the error
// alert (its dismissal clears the controller's message) and the login-item approval alert (its
// first button opens the Login Items settings). They belong to the application, not to the tray
// item, so they show with and without a tray host. `host` names the window an alert opens over, or
// null for a free-standing one; it is asked each time one opens.
class ControllerAlertsPresenter : public QObject {
    Q_OBJECT
public:
    ControllerAlertsPresenter(MenuControllerProtocol& controller, std::function<QWidget*()> host,
                              QObject* parent = nullptr);
    ~ControllerAlertsPresenter() override;

    // The box open now (null while none is, or while the test hook answers).
    QMessageBox* openBox() const;

private:
    enum class ShownAlert { none, error, approval };

    void update();
    void dismissError();
    void dismissApproval(int buttonIndex);

    MenuControllerProtocol& m_controller;
    std::function<QWidget*()> m_host;
    ShownAlert m_shown = ShownAlert::none;
    QPointer<QMessageBox> m_box;
};

} // namespace pylon::ui
