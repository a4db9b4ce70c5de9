#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <functional>

class QDBusServiceWatcher;

namespace pylon::ui {

// Whether a tray host shows tray items now, and when that changes: a StatusNotifierWatcher that
// registers on the session bus (often after Pylon at login) or leaves it, or an XEmbed tray that
// comes (looked for every few seconds while there is none).
class TrayHostWatch : public QObject {
    Q_OBJECT
public:
    static inline const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

    // `probe` tells whether a tray host is there (Qt's own test unless told otherwise); `bus` is
    // where a StatusNotifierWatcher would register.
    explicit TrayHostWatch(std::function<bool()> probe = {}, QDBusConnection bus = QDBusConnection::sessionBus(),
                           QObject* parent = nullptr);
    ~TrayHostWatch() override;

    bool isAvailable() const { return m_available; }
    // Probes now and announces a change.
    void recheck();

signals:
    void availabilityChanged(bool available);

private:
    std::function<bool()> m_probe;
    QDBusServiceWatcher* m_watcher = nullptr;
    QTimer m_poll;
    QTimer m_settle; // the probe a moment after a watcher's name appeared
    bool m_available = false;
};

} // namespace pylon::ui
