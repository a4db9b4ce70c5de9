#include "ui/shell/TrayHostWatch.h"

#include <QDBusServiceWatcher>
#include <QSystemTrayIcon>
#include <chrono>

namespace pylon::ui {

namespace {
constexpr std::chrono::seconds pollInterval{3};
} // namespace

TrayHostWatch::TrayHostWatch(std::function<bool()> probe, QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_probe(probe ? std::move(probe) : [] { return QSystemTrayIcon::isSystemTrayAvailable(); }) {
    m_available = m_probe();
    if (bus.isConnected()) {
        m_watcher = new QDBusServiceWatcher(watcherService, bus,
                                            QDBusServiceWatcher::WatchForRegistration |
                                                QDBusServiceWatcher::WatchForUnregistration,
                                            this);
        // The watcher's host registers a moment after its name; probe once it is there.
        m_settle.setSingleShot(true);
        m_settle.setInterval(std::chrono::milliseconds(500));
        connect(&m_settle, &QTimer::timeout, this, &TrayHostWatch::recheck);
        connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { m_settle.start(); });
        connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &TrayHostWatch::recheck);
    }
    m_poll.setInterval(pollInterval);
    connect(&m_poll, &QTimer::timeout, this, &TrayHostWatch::recheck);
    if (!m_available)
        m_poll.start();
}

TrayHostWatch::~TrayHostWatch() = default;

void TrayHostWatch::recheck() {
    const bool available = m_probe();
    if (available == m_available)
        return;
    m_available = available;
    // Looked for while missing; once there, its going is heard from the bus or the next start.
    if (available)
        m_poll.stop();
    else
        m_poll.start();
    emit availabilityChanged(available);
}

} // namespace pylon::ui
