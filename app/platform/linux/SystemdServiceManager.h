#pragma once

#include "platform/ServiceManager.h"
#include "platform/linux/LaunchAgentJob.h"

#include <QString>
#include <QStringList>
#include <chrono>

namespace pylon {

// The systemd backend: the agent is the user unit `<label>.service`, generated from the
// launch-agent plist into `<XDG config home>/systemd/user/`. `systemctl` is looked up on PATH at
// every call; each synchronous call is bounded by the command timeout.
class SystemdServiceManager final : public ServiceManager {
public:
    // `log` receives the backend's own messages and must outlive it.
    SystemdServiceManager(ServiceAgent agent, const FileLogger& log,
                          std::chrono::milliseconds commandTimeout = std::chrono::seconds(30));

    QString backendName() const override { return QStringLiteral("systemd"); }

    // 3 when the bundle has no launch-agent plist; otherwise 1 when `systemctl --user is-enabled`
    // reports an enabled (or static) unit file, else 0. Never 2: systemd has no approval step.
    qint64 status() override;
    // Writes the unit, then daemon-reload, enable and start (enable and start only with RunAtLoad).
    void registerAgent() override;
    // disable, stop, removes the unit file, daemon-reload. Every step is tried; the first failure
    // is thrown afterwards. Does nothing when there is no unit file.
    void unregisterAgent() override;
    void openLoginItemsSettings() override;
    // `systemctl --user start <unit>`, or `restart`; not awaited.
    void kickstart(Kickstart how) override;

    QString unitName() const;
    QString unitFilePath() const;

    // The unit file text for `job`, with `description` as its Description.
    static QString unitText(const LaunchAgentJob& job, const QString& description);
    // One ExecStart word: double-quoted with C escapes, "%" and "$" doubled so systemd takes the
    // text literally (paths with spaces stay one word).
    static QString quoteExecWord(const QString& word);

private:
    struct Outcome {
        int exitCode = 0;
        QString standardOutput;
        QString standardError;
    };
    // Runs `systemctl --user <arguments>` and waits for it. Throws ServiceError when it cannot be
    // started or does not finish in time; a non-zero exit is returned, not thrown.
    Outcome systemctl(const QStringList& arguments) const;
    // The same, throwing ServiceError with systemctl's error output on a non-zero exit.
    void systemctlChecked(const QStringList& arguments) const;

    ServiceAgent m_agent;
    const FileLogger& m_log;
    std::chrono::milliseconds m_commandTimeout;
};

} // namespace pylon
