#include "platform/linux/SystemdServiceManager.h"

#include "foundation/FileLogger.h"
#include "platform/SystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <optional>

namespace pylon {

namespace {

const QString systemctlName = QStringLiteral("systemctl");

// "%" starts a specifier wherever systemd reads a unit setting.
QString escapeSpecifiers(QString text) {
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString commandText(const QStringList& arguments) {
    return QStringLiteral("systemctl --user ") + arguments.join(QLatin1Char(' '));
}

} // namespace

SystemdServiceManager::SystemdServiceManager(ServiceAgent agent, const FileLogger& log,
                                             std::chrono::milliseconds commandTimeout)
    : m_agent(std::move(agent))
    , m_log(log)
    , m_commandTimeout(commandTimeout) {}

QString SystemdServiceManager::unitName() const {
    return m_agent.label + QStringLiteral(".service");
}

QString SystemdServiceManager::unitFilePath() const {
    return SystemInfo::configHome() + QStringLiteral("/systemd/user/") + unitName();
}

QString SystemdServiceManager::quoteExecWord(const QString& word) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : word) {
        switch (c.unicode()) {
        case '\\':
            quoted += QStringLiteral("\\\\");
            break;
        case '"':
            quoted += QStringLiteral("\\\"");
            break;
        case '\n':
            quoted += QStringLiteral("\\n");
            break;
        case '\t':
            quoted += QStringLiteral("\\t");
            break;
        case '%':
            quoted += QStringLiteral("%%");
            break;
        case '$':
            quoted += QStringLiteral("$$");
            break;
        default:
            if (c.unicode() < 0x20)
                quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                quoted += c;
        }
    }
    return quoted + QLatin1Char('"');
}

QString SystemdServiceManager::unitText(const LaunchAgentJob& job, const QString& description) {
    QStringList command{quoteExecWord(job.program)};
    for (const QString& argument : job.arguments)
        command << quoteExecWord(argument);
    const bool restarts = job.keepAlive || job.restartOnFailure;

    QString text;
    text += QStringLiteral("# Written by Pylon from %1 at every registration; edits are overwritten.\n")
                .arg(QString(job.plistPath).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    text += QStringLiteral("[Unit]\nDescription=%1\n").arg(escapeSpecifiers(description));
    // launchd keeps restarting a job that keeps exiting; systemd gives up after five starts in 10 s.
    if (restarts)
        text += QStringLiteral("StartLimitIntervalSec=0\n");
    text += QStringLiteral("\n[Service]\nType=exec\nExecStart=%1\n").arg(command.join(QLatin1Char(' ')));
    if (restarts) {
        text += QStringLiteral("Restart=%1\nRestartSec=%2s\n")
                    .arg(job.keepAlive ? QStringLiteral("always") : QStringLiteral("on-failure"))
                    .arg(job.throttle.count());
    }
    if (job.runAtLoad)
        text += QStringLiteral("\n[Install]\nWantedBy=default.target\n");
    return text;
}

SystemdServiceManager::Outcome SystemdServiceManager::systemctl(const QStringList& arguments) const {
    const QString program = QStandardPaths::findExecutable(systemctlName);
    if (program.isEmpty())
        throw ServiceError("systemctl was not found on PATH.");
    QProcess process;
    process.setProgram(program);
    process.setArguments(QStringList{QStringLiteral("--user")} + arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    const int timeoutMs = int(m_commandTimeout.count());
    if (!process.waitForStarted(timeoutMs)) {
        throw ServiceError(
            QStringLiteral("%1 could not be run: %2").arg(commandText(arguments), process.errorString()).toStdString());
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        throw ServiceError(QStringLiteral("%1 did not finish within %2 ms.")
                               .arg(commandText(arguments))
                               .arg(timeoutMs)
                               .toStdString());
    }
    Outcome outcome;
    outcome.standardOutput = QString::fromLocal8Bit(process.readAllStandardOutput());
    outcome.standardError = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return outcome;
}

void SystemdServiceManager::systemctlChecked(const QStringList& arguments) const {
    const Outcome outcome = systemctl(arguments);
    if (outcome.exitCode == 0)
        return;
    const QString text =
        !outcome.standardError.isEmpty()
            ? outcome.standardError
            : QStringLiteral("%1 failed (exit code %2).").arg(commandText(arguments)).arg(outcome.exitCode);
    throw ServiceError(text.toStdString());
}

qint64 SystemdServiceManager::status() {
    if (!QFileInfo::exists(m_agent.plistPath()))
        return notFound;
    Outcome outcome;
    try {
        outcome = systemctl({QStringLiteral("is-enabled"), unitName()});
    } catch (const ServiceError& e) {
        m_log.error(QStringLiteral("systemd: unit state unknown - ") + e.description());
        return notRegistered;
    }
    // The unit-file state; "static" is a unit without [Install] section (no RunAtLoad) that is
    // loaded all the same.
    static const QStringList registeredStates{QStringLiteral("enabled"),   QStringLiteral("enabled-runtime"),
                                              QStringLiteral("static"),    QStringLiteral("indirect"),
                                              QStringLiteral("generated"), QStringLiteral("alias")};
    const QString state = outcome.standardOutput.section(QLatin1Char('\n'), 0, 0).trimmed();
    return registeredStates.contains(state) ? enabled : notRegistered;
}

void SystemdServiceManager::registerAgent() {
    const LaunchAgentJob job = LaunchAgentJob::read(m_agent);
    const QString path = unitFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(unitText(job, m_agent.displayName).toUtf8()) < 0 || !file.commit()) {
        throw ServiceError(
            QStringLiteral("The unit file %1 cannot be written: %2").arg(path, file.errorString()).toStdString());
    }
    systemctlChecked({QStringLiteral("daemon-reload")});
    if (job.runAtLoad) {
        systemctlChecked({QStringLiteral("enable"), unitName()});
        systemctlChecked({QStringLiteral("start"), unitName()});
    }
}

void SystemdServiceManager::unregisterAgent() {
    const QString path = unitFilePath();
    if (!QFileInfo::exists(path))
        return;
    // Every step is tried, so an uninstall leaves as little behind as it can.
    std::optional<ServiceError> firstFailure;
    const auto attempt = [&firstFailure](const auto& step) {
        try {
            step();
        } catch (const ServiceError& e) {
            if (!firstFailure)
                firstFailure = e;
        }
    };
    attempt([&] { systemctlChecked({QStringLiteral("disable"), unitName()}); });
    attempt([&] {
        // Exit code 5: the unit is not loaded, so there is nothing to stop.
        const Outcome outcome = systemctl({QStringLiteral("stop"), unitName()});
        if (outcome.exitCode != 0 && outcome.exitCode != 5) {
            throw ServiceError((outcome.standardError.isEmpty() ? QStringLiteral("systemctl --user stop failed.")
                                                                : outcome.standardError)
                                   .toStdString());
        }
    });
    if (!QFile::remove(path) && QFileInfo::exists(path) && !firstFailure)
        firstFailure = ServiceError(QStringLiteral("The unit file %1 cannot be removed.").arg(path).toStdString());
    attempt([&] { systemctlChecked({QStringLiteral("daemon-reload")}); });
    if (firstFailure)
        throw *firstFailure;
}

void SystemdServiceManager::openLoginItemsSettings() {
    m_log.debug(QStringLiteral("systemd: no login-items settings to open"));
}

void SystemdServiceManager::kickstart(Kickstart how) {
    const QString program = QStandardPaths::findExecutable(systemctlName);
    if (program.isEmpty())
        throw ServiceError("systemctl was not found on PATH.");
    const QString verb = how == Kickstart::restart ? QStringLiteral("restart") : QStringLiteral("start");
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("--user"), verb, unitName()});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached())
        throw ServiceError(process.errorString().toStdString());
}

} // namespace pylon
