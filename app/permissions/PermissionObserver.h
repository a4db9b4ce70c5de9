#pragma once

#include "foundation/Clock.h"

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace pylon {

class AccessibilityNotifications;

// Watches for system-wide Accessibility changes and calls back at most once per interval
// (0.5 s during the start-up phase, 2 s afterwards). Notifications inside the interval are
// dropped, not deferred: a burst gives one call at its start.
class PermissionObserver : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds startupInterval{500};
    static constexpr std::chrono::milliseconds regularInterval{2000};

    PermissionObserver(std::function<bool()> isInStartupPhase, std::function<void()> onAccessibilityChange,
                       std::unique_ptr<AccessibilityNotifications> notifications, const Clock& clock,
                       QObject* parent = nullptr);
    ~PermissionObserver() override;

public slots:
    // The throttle; the notification's contents do not matter.
    void accessibilityDidChange();

private:
    std::function<bool()> m_isInStartupPhase;
    std::function<void()> m_onAccessibilityChange;
    std::unique_ptr<AccessibilityNotifications> m_notifications;
    const Clock& m_clock;
    std::optional<Clock::time_point> m_lastCallbackTime; // none: the distant past
};

} // namespace pylon
