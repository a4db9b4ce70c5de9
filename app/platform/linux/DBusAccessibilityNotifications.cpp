#include "platform/AccessibilityNotifications.h"

#include <QDBusConnection>
#include <QStringList>
#include <QVariantMap>

namespace pylon {

namespace {

// Listens for PropertiesChanged of org.a11y.Status on /org/a11y/bus, from any sender: AT-SPI
// announces there when assistive technologies are switched on or off.
class DBusAccessibilityNotifications final : public AccessibilityNotifications {
    Q_OBJECT
public:
    DBusAccessibilityNotifications() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return; // no session bus: no notifications, never a failure
        m_connected = bus.connect(QString(), QStringLiteral("/org/a11y/bus"),
                                  QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
                                  this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    }

    ~DBusAccessibilityNotifications() override {
        if (m_connected) {
            QDBusConnection::sessionBus().disconnect(
                QString(), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        }
    }

private slots:
    void propertiesChanged(const QString& interface, const QVariantMap&, const QStringList&) {
        if (interface == QLatin1String("org.a11y.Status"))
            emit changed();
    }

private:
    bool m_connected = false;
};

} // namespace

std::unique_ptr<AccessibilityNotifications> subscribeToAccessibilityNotifications() {
    return std::make_unique<DBusAccessibilityNotifications>();
}

} // namespace pylon

#include "DBusAccessibilityNotifications.moc"
