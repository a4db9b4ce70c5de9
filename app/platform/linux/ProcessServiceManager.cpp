#include "platform/linux/ProcessServiceManager.h"

#include "foundation/FileLogger.h"
#include "foundation/OffMainThread.h"
#include "platform/PropertyList.h"
#include "platform/linux/LaunchAgentJob.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <qcoro/qcorofuture.h>

namespace pylon {

namespace {

const QString programKey = QStringLiteral("Program");
const QString argumentsKey = QStringLiteral("ProgramArguments");
const QString keepAliveKey = QStringLiteral("KeepAlive");

// Enough history for the start limit and the longest pause.
constexpr qsizetype startsKept = 16;

} // namespace

ProcessServiceManager::ProcessServiceManager(ServiceAgent agent, const FileLogger& log, KeepAlivePolicy keepAlive,
                                             const Clock* clock, QObject* parent)
    : QObject(parent)
    , m_agent(std::move(agent))
    , m_log(log)
    , m_policy(keepAlive)
    , m_clock(clock ? *clock : m_steadyClock)
    , m_restartTimer(new QTimer(this)) {
    m_restartTimer->setSingleShot(true);
    connect(m_restartTimer, &QTimer::timeout, this, &ProcessServiceManager::restartAfterPause);
    if (!QFileInfo::exists(m_agent.plistPath()))
        m_status = notFound;
    else if (const auto companion = registeredCompanion()) {
        m_status = enabled;
        m_keepAlive = companion->keepAlive;
    }
}

ProcessServiceManager::~ProcessServiceManager() = default;

QString ProcessServiceManager::stateDirectory() const {
    return m_agent.stateDirectory;
}

QString ProcessServiceManager::registrationFilePath() const {
    return stateDirectory() + QLatin1Char('/') + m_agent.label + QStringLiteral(".registered");
}

QString ProcessServiceManager::pidFilePath() const {
    return stateDirectory() + QLatin1Char('/') + m_agent.label + QStringLiteral(".pid");
}

std::optional<ProcessIdentity> ProcessServiceManager::watchedCompanion() const {
    return m_watch ? std::optional(m_watch->identity()) : std::nullopt;
}

qint64 ProcessServiceManager::status() {
    return m_status;
}

QCoro::Task<qint64> ProcessServiceManager::queryStatus() {
    if (!QFileInfo::exists(m_agent.plistPath()))
        m_status = notFound;
    else
        m_status = QFileInfo::exists(registrationFilePath()) ? enabled : notRegistered;
    co_return m_status;
}

// The registration recorded in the registration file; nothing when there is none.
std::optional<ProcessServiceManager::RegisteredCompanion> ProcessServiceManager::registeredCompanion() const {
    const auto root = PropertyList::parseFile(registrationFilePath());
    if (!root)
        return std::nullopt;
    const QVariantMap map = root->toMap();
    RegisteredCompanion registered;
    registered.process = CompanionProcess{map.value(programKey).toString(), map.value(argumentsKey).toStringList(),
                                          registrationFilePath(), pidFilePath(), &m_log};
    registered.keepAlive = map.value(keepAliveKey).toBool();
    if (registered.process.program.isEmpty())
        return std::nullopt;
    return registered;
}

QCoro::Task<> ProcessServiceManager::registerAgent() {
    const LaunchAgentJob job = LaunchAgentJob::read(m_agent);
    const CompanionProcess companion{job.program, job.arguments, registrationFilePath(), pidFilePath(), &m_log};
    const bool keepAlive = job.keepAlive || job.restartOnFailure;
    const QVariantMap registration{{programKey, job.program}, {argumentsKey, job.arguments}, {keepAliveKey, keepAlive}};
    QString error;
    if (!writePrivateFile(companion.registrationFile, PropertyList::serialize(registration), &error)) {
        throw ServiceError(QStringLiteral("The registration %1 cannot be written: %2")
                               .arg(companion.registrationFile, error)
                               .toStdString());
    }
    m_status = enabled;
    m_keepAlive = keepAlive;
    if (!job.runAtLoad)
        co_return;
    try {
        m_starts.clear();
        startAndWatch(companion);
    } catch (const ServiceError&) {
        // A registration whose program cannot run is no registration.
        QFile::remove(companion.registrationFile);
        m_status = notRegistered;
        throw;
    }
}

QCoro::Task<> ProcessServiceManager::unregisterAgent() {
    QPointer<ProcessServiceManager> self(this);
    const CompanionProcess companion{{}, {}, registrationFilePath(), pidFilePath(), &m_log};
    if (!QFileInfo::exists(companion.registrationFile) && !QFileInfo::exists(companion.pidFile))
        co_return;
    stopWatching();
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto stopping = runOffMainThread([companion] { companion.stop(stopGrace); });
    (co_await stopping).get();
    if (!QFile::remove(companion.registrationFile) && QFileInfo::exists(companion.registrationFile)) {
        throw ServiceError(
            QStringLiteral("The registration %1 cannot be removed.").arg(companion.registrationFile).toStdString());
    }
    if (self)
        self->m_status = notRegistered;
}

void ProcessServiceManager::openLoginItemsSettings() {
    m_log.debug(QStringLiteral("process: no login-items settings to open"));
}

QCoro::Task<> ProcessServiceManager::kickstart(Kickstart how) {
    const auto registered = registeredCompanion();
    if (!registered) {
        m_log.info(QStringLiteral("process: %1 is not registered, nothing to start").arg(m_agent.label));
        co_return;
    }
    const QFileInfo program(registered->process.program);
    if (!program.isFile() || !program.isExecutable()) {
        throw ServiceError(QStringLiteral("The companion program %1 is missing or not executable.")
                               .arg(registered->process.program)
                               .toStdString());
    }
    m_keepAlive = registered->keepAlive;
    m_starts.clear();
    if (how == Kickstart::restart) {
        co_await restart(registered->process);
        co_return;
    }
    // A restart under way decides on its own whether the companion runs.
    if (!m_restarting)
        startAndWatch(registered->process);
}

// Stops the companion off the main thread (the stop may take the whole grace period), then starts
// it again unless it was unregistered meanwhile. Without the backend any more, the companion is
// started all the same, only no longer kept alive.
QCoro::Task<> ProcessServiceManager::restart(CompanionProcess companion) {
    QPointer<ProcessServiceManager> self(this);
    m_restarting = true;
    stopWatching();
    auto stopping = runOffMainThread([companion] { companion.stop(stopGrace); });
    (co_await stopping).get();
    if (self)
        self->m_restarting = false;
    if (!QFileInfo::exists(companion.registrationFile))
        co_return; // unregistered meanwhile
    if (self)
        self->startAndWatch(companion);
    else
        companion.startUnlessRunning();
}

void ProcessServiceManager::startAndWatch(const CompanionProcess& companion) {
    bool startedNow = false;
    const ProcessIdentity identity = companion.startUnlessRunning(&startedNow);
    if (startedNow) {
        m_starts.append(m_clock.now());
        if (m_starts.size() > startsKept)
            m_starts.removeFirst();
    }
    if (m_watch && m_watch->identity() == identity)
        return;
    stopWatching();
    if (!m_keepAlive)
        return;
    m_watch = new ProcessExitWatch(identity, this);
    connect(m_watch, &ProcessExitWatch::exited, this, &ProcessServiceManager::companionExited);
}

void ProcessServiceManager::stopWatching() {
    m_restartTimer->stop();
    delete m_watch;
}

void ProcessServiceManager::companionExited() {
    if (!m_watch)
        return;
    const qint64 pid = m_watch->identity().pid;
    m_watch->deleteLater(); // it is telling us this very moment
    m_watch = nullptr;
    if (!m_keepAlive || m_status != enabled || m_restarting)
        return;
    const auto pause = pauseBeforeRestart(m_policy, m_starts, m_clock.now());
    if (!pause) {
        m_log.error(QStringLiteral("process: companion started %1 times within %2 s; not starting it again")
                        .arg(m_policy.startLimitBurst)
                        .arg(double(m_policy.startLimitInterval.count()) / 1000.0));
        emit startLimitReached();
        return;
    }
    m_log.info(QStringLiteral("process: companion %1 exited, starting it again in %2 ms").arg(pid).arg(pause->count()));
    m_restartTimer->start(*pause);
}

void ProcessServiceManager::restartAfterPause() {
    const auto registered = registeredCompanion();
    if (!registered || m_restarting)
        return;
    try {
        startAndWatch(registered->process);
        if (m_watch)
            emit companionRestarted(m_watch->identity().pid);
    } catch (const ServiceError& e) {
        m_log.error(QStringLiteral("process: restart failed - ") + e.description());
    }
}

} // namespace pylon
