#pragma once

#include <QString>
#include <qcoro/qcorotask.h>

namespace pylon {

class ControllerAlerts;
class DynamicStatus;

// What the tray menu sees of the controller: the status model (its changes come through
// DynamicStatus::changed), the alerts it shows, and the approval alert's one action.
class MenuControllerProtocol {
public:
    virtual const DynamicStatus& dynamicStatus() const = 0;
    virtual ControllerAlerts& alerts() = 0;
    virtual void openLoginItemsSettings() = 0;

protected:
    ~MenuControllerProtocol() = default;
};

// What the onboarding flow sees of the controller: the status model, the start (accepting the
// agreement starts the controller), the permission prompt and the settings links of its pages.
class OnboardingControllerProtocol {
public:
    virtual const DynamicStatus& dynamicStatus() const = 0;
    virtual void start() = 0;
    // Asks the companion to show the system prompt for `name`; runs on its own.
    virtual QCoro::Task<> requestPermission(QString name) = 0;
    virtual void openAccessibilitySettings() = 0;
    virtual void openAutomationSettings() = 0;

protected:
    ~OnboardingControllerProtocol() = default;
};

} // namespace pylon
