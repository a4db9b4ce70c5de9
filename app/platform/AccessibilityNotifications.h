#pragma once

#include <QObject>
#include <memory>

namespace pylon {

// The system's announcement that Accessibility trust may have changed. Emits changed() for every
// notification, on the main thread, for as long as the object lives; the contents of a
// notification are not passed on. Where the system cannot deliver such notifications the object
// simply never emits.
class AccessibilityNotifications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void changed();
};

// Subscribes to this system's notifications (on Linux: AT-SPI's org.a11y.Status properties on the
// session bus).
std::unique_ptr<AccessibilityNotifications> subscribeToAccessibilityNotifications();

} // namespace pylon
