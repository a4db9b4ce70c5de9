#include "ui/shell/ControllerAlertsPresenter.h"

#include "core/ControllerAlerts.h"
#include "core/ViewControllerProtocols.h"
#include "ui/common/Alerts.h"
#include "ui/menu/MenuPresenter.h"

#include <QMessageBox>

namespace pylon::ui {

ControllerAlertsPresenter::ControllerAlertsPresenter(MenuControllerProtocol& controller,
                                                     std::function<QWidget*()> host, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_host(std::move(host)) {
    connect(&m_controller.alerts(), &ControllerAlerts::changed, this, &ControllerAlertsPresenter::update);
    update();
}

ControllerAlertsPresenter::~ControllerAlertsPresenter() {
    if (m_box)
        delete m_box.data();
}

QMessageBox* ControllerAlertsPresenter::openBox() const {
    return m_box;
}

void ControllerAlertsPresenter::update() {
    ControllerAlerts& alerts = m_controller.alerts();
    switch (m_shown) {
    case ShownAlert::error:
        // One message at a time: a later failure replaces the text of the open alert.
        if (!alerts.alertMessage()) {
            if (m_box)
                m_box->close();
        } else if (m_box) {
            m_box->setInformativeText(*alerts.alertMessage());
        }
        return;
    case ShownAlert::approval:
        if (!alerts.showLoginItemApprovalAlert() && m_box)
            m_box->close();
        return;
    case ShownAlert::none:
        break;
    }

    QWidget* host = m_host ? m_host() : nullptr;
    if (alerts.alertMessage()) {
        m_shown = ShownAlert::error;
        m_box = Alerts::present(errorAlert(alerts.alertMessage()), [this](int) { dismissError(); }, host);
    } else if (alerts.showLoginItemApprovalAlert()) {
        m_shown = ShownAlert::approval;
        m_box = Alerts::present(loginItemApprovalAlert(), [this](int index) { dismissApproval(index); }, host);
    }
}

void ControllerAlertsPresenter::dismissError() {
    m_shown = ShownAlert::none;
    m_box = nullptr;
    m_controller.alerts().setAlertMessage(std::nullopt);
}

void ControllerAlertsPresenter::dismissApproval(int buttonIndex) {
    m_shown = ShownAlert::none;
    m_box = nullptr;
    if (buttonIndex == openSettingsButton)
        m_controller.openLoginItemsSettings();
    m_controller.alerts().setShowLoginItemApprovalAlert(false);
}

} // namespace pylon::ui
