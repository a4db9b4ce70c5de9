#include "platform/linux/CompanionProcess.h"

#include "foundation/FileLogger.h"
#include "platform/ServiceManager.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace pylon {

namespace {

constexpr qint64 statLimit = 4096;   // /proc/<pid>/stat is one short line
constexpr qint64 pidFileLimit = 256; // "<pid> <start time>\n"

struct ProcessState {
    char state = '?';
    quint64 startTime = 0;
};

// State and start time from /proc/<pid>/stat; nothing when there is no such process.
std::optional<ProcessState> readProcessState(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.read(statLimit);
    // The command name (field 2) is in parentheses and may itself hold spaces or parentheses.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    // fields[0] is field 3 (state); field 22 (start time since boot, in clock ticks) is fields[19].
    if (fields.size() < 20 || fields[0].isEmpty())
        return std::nullopt;
    bool ok = false;
    const quint64 startTime = fields[19].toULongLong(&ok);
    if (!ok)
        return std::nullopt;
    return ProcessState{fields[0].at(0), startTime};
}

std::optional<ProcessIdentity> readPidFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> fields = file.read(pidFileLimit).simplified().split(' ');
    if (fields.size() != 2)
        return std::nullopt;
    bool pidOk = false;
    bool timeOk = false;
    const ProcessIdentity identity{fields[0].toLongLong(&pidOk), fields[1].toULongLong(&timeOk)};
    if (!pidOk || !timeOk || identity.pid <= 1)
        return std::nullopt;
    return identity;
}

bool waitForExit(const ProcessIdentity& identity, std::chrono::milliseconds limit) {
    const QDeadlineTimer deadline(limit);
    while (isRunning(identity)) {
        if (deadline.hasExpired())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Signals the companion and, when it heads a session of its own (as a detached start leaves it),
// the rest of its process group, so helpers it started do not linger.
void signalCompanion(const ProcessIdentity& identity, int signal) {
    const pid_t pid = pid_t(identity.pid);
    const pid_t group = ::getpgid(pid);
    if (group > 1 && group != ::getpgrp() && ::getsid(pid) == group)
        ::kill(-group, signal);
    ::kill(pid, signal);
}

} // namespace

bool isRunning(const ProcessIdentity& identity) {
    const auto state = readProcessState(identity.pid);
    return state && state->state != 'Z' && state->state != 'X' && state->startTime == identity.startTime;
}

bool writePrivateFile(const QString& path, const QByteArray& contents, QString* error) {
    const QString folder = QFileInfo(path).absolutePath();
    constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, ownerOnly | QFileDevice::ExeOwner)) {
        if (error)
            *error = QStringLiteral("the folder %1 cannot be made private").arg(folder);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(ownerOnly) || file.write(contents) < 0 ||
        !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

std::optional<ProcessIdentity> CompanionProcess::running() const {
    const auto identity = readPidFile(pidFile);
    if (identity && isRunning(*identity))
        return identity;
    return std::nullopt;
}

ProcessIdentity CompanionProcess::startUnlessRunning(bool* startedNow) const {
    if (startedNow)
        *startedNow = false;
    if (const auto identity = running())
        return *identity;
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        throw ServiceError(
            QStringLiteral("The companion program %1 is missing or not executable.").arg(program).toStdString());
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(QDir::rootPath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        throw ServiceError(QStringLiteral("The companion %1 could not be started: %2")
                               .arg(program, process.errorString())
                               .toStdString());
    }
    if (startedNow)
        *startedNow = true;
    // A process that has exited already gets start time 0, which no running process matches.
    const auto state = readProcessState(pid);
    const ProcessIdentity identity{pid, state ? state->startTime : 0};
    QString error;
    if (!writePrivateFile(
            pidFile, QByteArray::number(identity.pid) + ' ' + QByteArray::number(identity.startTime) + '\n', &error)) {
        log->error(QStringLiteral("process: companion started (pid %1) but %2 cannot be written: %3")
                       .arg(pid)
                       .arg(pidFile, error));
    }
    return identity;
}

void CompanionProcess::stop(std::chrono::milliseconds grace) const {
    if (const auto identity = running()) {
        signalCompanion(*identity, SIGTERM);
        if (!waitForExit(*identity, grace)) {
            log->info(QStringLiteral("process: companion %1 ignored SIGTERM, sending SIGKILL").arg(identity->pid));
            signalCompanion(*identity, SIGKILL);
            waitForExit(*identity, std::chrono::seconds(1));
        }
    }
    QFile::remove(pidFile);
}

} // namespace pylon
