#pragma once

#include "platform/ServiceManager.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <chrono>

class QDBusMessage;

namespace pylon {

struct LaunchAgentJob;

// The systemd backend: the agent is the user unit `<label>.service`, generated from the
// launch-agent plist into `<XDG config home>/systemd/user/` and driven through systemd's own
// interface, org.freedesktop.systemd1 on the session bus. Every call is asynchronous. The backend
// subscribes to systemd's signals and keeps the unit's state from them (UnitFilesChanged of the
// manager, PropertiesChanged of the unit's object), so status() answers from memory; the state is
// first asked for at construction.
class SystemdServiceManager final : public QObject, public ServiceManager {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds callTimeout{30000};

    // `log` receives the backend's own messages and must outlive it.
    SystemdServiceManager(ServiceAgent agent, const FileLogger& log,
                          QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~SystemdServiceManager() override;

    QString backendName() const override { return QStringLiteral("systemd"); }

    // 3 when the bundle has no launch-agent plist; otherwise 1 when systemd reports the unit file
    // enabled (or static: a unit without [Install] section, loaded all the same), else 0. Never 2:
    // systemd has no approval step.
    qint64 status() override;
    // GetUnitFileState, after subscribing to systemd's signals if that has not happened yet.
    QCoro::Task<qint64> queryStatus() override;
    // Writes the unit file, then Reload; with RunAtLoad, EnableUnitFiles before the Reload and
    // StartUnit after it.
    QCoro::Task<> registerAgent() override;
    // DisableUnitFiles, StopUnit, removes the unit file, Reload. Every step is tried; the first
    // failure is thrown afterwards. Does nothing when there is no unit file.
    QCoro::Task<> unregisterAgent() override;
    void openLoginItemsSettings() override;
    // StartUnit, or RestartUnit, in mode "replace".
    QCoro::Task<> kickstart(Kickstart how) override;

    QString unitName() const;
    QString unitFilePath() const;
    // What systemd last reported: the unit file state ("enabled", "disabled", …) and the unit's
    // ActiveState ("active", "failed", …); empty until it has said.
    QString unitFileState() const { return m_unitFileState; }
    QString activeState() const { return m_activeState; }

signals:
    // systemd reported a state of the unit, changed or not.
    void unitStateReported();

private slots:
    void onUnitFilesChanged();
    void onUnitPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
    void onManagerStarted();

private:
    // One method call to the manager; its reply, which may be an error.
    QCoro::Task<QDBusMessage> callManager(QString method, QVariantList arguments) const;
    // The same, throwing ServiceError with systemd's message when the reply is an error.
    QCoro::Task<> callManagerChecked(QString method, QVariantList arguments) const;
    QCoro::Task<> subscribe();
    QCoro::Task<> refreshUnitFileState();
    void writeUnitFile(const LaunchAgentJob& job) const;
    void setUnitFileState(const QString& state);
    void setActiveState(const QString& state);

    ServiceAgent m_agent;
    const FileLogger& m_log;
    QDBusConnection m_bus;
    bool m_subscribed = false;
    bool m_plistPresent = false;
    QString m_unitFileState;
    QString m_activeState;
    // Counts state reports, so an answer to an older question does not overwrite a newer report.
    quint64 m_reports = 0;
};

} // namespace pylon
