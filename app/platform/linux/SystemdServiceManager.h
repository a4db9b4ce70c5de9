#pragma once

#include "core/BuildEnvironment.h"
#include "platform/ServiceManager.h"

#include <QString>
#include <QStringList>

namespace pylon {

// The job that the bundle's launch-agent plist describes, as the Linux backends run it. The program
// comes from BundleProgram (relative to the bundle), else Program, else ProgramArguments[0]; relative
// paths are taken from the bundle root. ProgramArguments is the whole argument vector, so its first
// entry (the program's own name) is not passed on.
struct LaunchAgentJob {
    QString plistPath;
    QString label;         // the plist's Label, for information; units and files use companionLabel
    QString program;       // absolute path
    QStringList arguments; // after the program
    bool runAtLoad = false;
    bool keepAlive = false;        // restart whenever it exits
    bool restartOnFailure = false; // KeepAlive { SuccessfulExit = false }: restart after a failure only
    int throttleSeconds = 5;       // ThrottleInterval, the pause before a restart

    // `<bundle>/Contents/Library/LaunchAgents/<launchAgentPlistName>`.
    static QString plistPathIn(const BuildEnvironment& environment);
    // Reads the plist of `environment`'s bundle. Throws ServiceError when it is missing, malformed
    // or names no program.
    static LaunchAgentJob read(const BuildEnvironment& environment);
};

// The systemd backend: the agent is the user unit `<companionLabel>.service`, generated from the
// launch-agent plist into `<XDG config home>/systemd/user/`. `systemctl` is looked up on PATH at
// every call; each synchronous call is bounded by the command timeout.
class SystemdServiceManager final : public ServiceManager {
public:
    explicit SystemdServiceManager(const BuildEnvironment& environment, int commandTimeoutMs = 30000);

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
    // `systemctl --user start <unit>`, or `restart` when the arguments hold "-k"; not awaited.
    void kickstart(const QStringList& arguments) override;

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

    BuildEnvironment m_environment;
    int m_commandTimeoutMs;
};

} // namespace pylon
