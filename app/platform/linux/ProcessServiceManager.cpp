#include "platform/linux/ProcessServiceManager.h"

#include "foundation/FileLogger.h"
#include "foundation/OffMainThread.h"
#include "platform/PropertyList.h"
#include "platform/linux/LaunchAgentJob.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <csignal>
#include <memory>
#include <optional>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>
#include <thread>
#include <unistd.h>

namespace pylon {

namespace {

const QString programKey = QStringLiteral("Program");
const QString argumentsKey = QStringLiteral("ProgramArguments");

// Everything needed to start or stop the companion, held by value so a restart can carry it past
// the life of the manager. The logger lives for the process.
struct Companion {
    QString program;
    QStringList arguments;
    QString registrationFile;
    QString pidFile;
    const FileLogger* log = nullptr;
};

struct ProcessIdentity {
    qint64 pid = 0;
    quint64 startTime = 0;
};

struct ProcessState {
    char state = '?';
    quint64 startTime = 0;
};

// State and start time from /proc/<pid>/stat; nothing when there is no such process.
std::optional<ProcessState> readProcessState(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.readAll();
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

// The recorded process still runs: same pid, same start time, not a zombie.
bool isRunning(const ProcessIdentity& identity) {
    const auto state = readProcessState(identity.pid);
    return state && state->state != 'Z' && state->state != 'X' && state->startTime == identity.startTime;
}

std::optional<ProcessIdentity> readPidFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
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

// SIGTERM, then SIGKILL after the grace period.
void stopCompanion(const Companion& companion) {
    const auto identity = readPidFile(companion.pidFile);
    if (identity && isRunning(*identity)) {
        signalCompanion(*identity, SIGTERM);
        if (!waitForExit(*identity, ProcessServiceManager::stopGrace)) {
            companion.log->info(
                QStringLiteral("process: companion %1 ignored SIGTERM, sending SIGKILL").arg(identity->pid));
            signalCompanion(*identity, SIGKILL);
            waitForExit(*identity, std::chrono::seconds(1));
        }
    }
    QFile::remove(companion.pidFile);
}

// Starts the companion unless the pid file names a running one. Throws ServiceError.
void startUnlessRunning(const Companion& companion) {
    if (const auto identity = readPidFile(companion.pidFile); identity && isRunning(*identity))
        return;
    const QFileInfo info(companion.program);
    if (!info.isFile() || !info.isExecutable()) {
        throw ServiceError(QStringLiteral("The companion program %1 is missing or not executable.")
                               .arg(companion.program)
                               .toStdString());
    }
    QProcess process;
    process.setProgram(companion.program);
    process.setArguments(companion.arguments);
    process.setWorkingDirectory(QDir::rootPath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        throw ServiceError(QStringLiteral("The companion %1 could not be started: %2")
                               .arg(companion.program, process.errorString())
                               .toStdString());
    }
    // A process that has exited already gets start time 0, which no running process matches.
    const auto state = readProcessState(pid);
    QSaveFile file(companion.pidFile);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray::number(pid) + ' ' + QByteArray::number(state ? state->startTime : 0) + '\n') < 0 ||
        !file.commit()) {
        companion.log->error(
            QStringLiteral("process: companion started (pid %1) but %2 cannot be written")
                .arg(pid)
                .arg(companion.pidFile));
    }
}

// The registration recorded in `path`, without the file names; nothing when there is none.
std::optional<Companion> readRegistration(const QString& path) {
    const auto root = PropertyList::parseFile(path);
    if (!root)
        return std::nullopt;
    const QVariantMap map = root->toMap();
    Companion companion;
    companion.program = map.value(programKey).toString();
    companion.arguments = map.value(argumentsKey).toStringList();
    if (companion.program.isEmpty())
        return std::nullopt;
    return companion;
}

// Stops the companion off the main thread (the stop may take the whole grace period), then starts
// it again unless it was unregistered meanwhile. `restarting` is true until it is done, so a plain
// start in between leaves the decision to this restart.
QCoro::Task<> restart(Companion companion, std::shared_ptr<bool> restarting) {
    *restarting = true;
    auto stopping = runOffMainThread([companion] { stopCompanion(companion); });
    co_await stopping;
    *restarting = false;
    if (!QFileInfo::exists(companion.registrationFile))
        co_return; // unregistered meanwhile
    try {
        startUnlessRunning(companion);
    } catch (const ServiceError& e) {
        companion.log->error(QStringLiteral("process: restart failed - ") + e.description());
    }
}

} // namespace

ProcessServiceManager::ProcessServiceManager(ServiceAgent agent, const FileLogger& log)
    : m_agent(std::move(agent))
    , m_log(log)
    , m_restarting(std::make_shared<bool>(false)) {}

QString ProcessServiceManager::stateDirectory() const {
    return m_agent.stateDirectory;
}

QString ProcessServiceManager::registrationFilePath() const {
    return stateDirectory() + QLatin1Char('/') + m_agent.label + QStringLiteral(".registered");
}

QString ProcessServiceManager::pidFilePath() const {
    return stateDirectory() + QLatin1Char('/') + m_agent.label + QStringLiteral(".pid");
}

qint64 ProcessServiceManager::status() {
    if (!QFileInfo::exists(m_agent.plistPath()))
        return notFound;
    return QFileInfo::exists(registrationFilePath()) ? enabled : notRegistered;
}

void ProcessServiceManager::registerAgent() {
    const LaunchAgentJob job = LaunchAgentJob::read(m_agent);
    const Companion companion{job.program, job.arguments, registrationFilePath(), pidFilePath(), &m_log};

    QDir().mkpath(stateDirectory());
    const QVariantMap registration{{programKey, job.program}, {argumentsKey, job.arguments}};
    QSaveFile file(companion.registrationFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(PropertyList::serialize(registration)) < 0 || !file.commit()) {
        throw ServiceError(QStringLiteral("The registration %1 cannot be written: %2")
                               .arg(companion.registrationFile, file.errorString())
                               .toStdString());
    }
    if (!job.runAtLoad)
        return;
    try {
        startUnlessRunning(companion);
    } catch (const ServiceError&) {
        // A registration whose program cannot run is no registration.
        QFile::remove(companion.registrationFile);
        throw;
    }
}

void ProcessServiceManager::unregisterAgent() {
    const Companion companion{{}, {}, registrationFilePath(), pidFilePath(), &m_log};
    if (!QFileInfo::exists(companion.registrationFile) && !QFileInfo::exists(companion.pidFile))
        return;
    stopCompanion(companion);
    if (!QFile::remove(companion.registrationFile) && QFileInfo::exists(companion.registrationFile)) {
        throw ServiceError(
            QStringLiteral("The registration %1 cannot be removed.").arg(companion.registrationFile).toStdString());
    }
}

void ProcessServiceManager::openLoginItemsSettings() {
    m_log.debug(QStringLiteral("process: no login-items settings to open"));
}

void ProcessServiceManager::kickstart(Kickstart how) {
    auto companion = readRegistration(registrationFilePath());
    if (!companion) {
        m_log.info(QStringLiteral("process: %1 is not registered, nothing to start").arg(m_agent.label));
        return;
    }
    companion->registrationFile = registrationFilePath();
    companion->pidFile = pidFilePath();
    companion->log = &m_log;
    const QFileInfo program(companion->program);
    if (!program.isFile() || !program.isExecutable()) {
        throw ServiceError(QStringLiteral("The companion program %1 is missing or not executable.")
                               .arg(companion->program)
                               .toStdString());
    }
    if (how == Kickstart::restart) {
        restart(*companion, m_restarting);
        return;
    }
    // A restart under way decides on its own whether the companion runs.
    if (!*m_restarting)
        startUnlessRunning(*companion);
}

} // namespace pylon
