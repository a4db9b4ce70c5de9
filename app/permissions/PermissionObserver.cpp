#include "permissions/PermissionObserver.h"

#include "platform/AccessibilityNotifications.h"

namespace pylon {

PermissionObserver::PermissionObserver(std::function<bool()> isInStartupPhase,
                                       std::function<void()> onAccessibilityChange,
                                       std::unique_ptr<AccessibilityNotifications> notifications, const Clock& clock,
                                       QObject* parent)
    : QObject(parent)
    , m_isInStartupPhase(std::move(isInStartupPhase))
    , m_onAccessibilityChange(std::move(onAccessibilityChange))
    , m_notifications(std::move(notifications))
    , m_clock(clock) {
    if (m_notifications)
        connect(m_notifications.get(), &AccessibilityNotifications::changed, this,
                &PermissionObserver::accessibilityDidChange);
}

PermissionObserver::~PermissionObserver() = default;

void PermissionObserver::accessibilityDidChange() {
    const Clock::time_point now = m_clock.now();
    const std::chrono::milliseconds interval = m_isInStartupPhase() ? startupInterval : regularInterval;
    if (m_lastCallbackTime && now - *m_lastCallbackTime < interval)
        return;
    m_lastCallbackTime = now;
    m_onAccessibilityChange();
}

} // namespace pylon
