#include "core/StatusPoller.h"

#include "companion/CompanionClient.h"
#include "core/PollingSchedule.h"
#include "core/StatusAnswer.h"
#include "foundation/FileLogger.h"
#include "platform/ServiceManager.h"
#include "status/DynamicStatus.h"
#include "status/StatusCache.h"

#include <qcoro/qcorotimer.h>

namespace pylon {

StatusPoller::StatusPoller(Context context, QObject* parent)
    : QObject(parent)
    , m_context(std::move(context))
    , m_client(new CompanionClient(m_context.port, this)) {}

StatusPoller::~StatusPoller() = default;

void StatusPoller::startLoop() {
    runLoop(QPointer<StatusPoller>(this));
}

QCoro::Task<> StatusPoller::runLoop(QPointer<StatusPoller> poller) {
    // Owned by the poller: once it is gone the loop ends at its next step.
    while (poller) {
        co_await poller->pollOnce();
        if (!poller)
            break;
        const auto pause = PollingSchedule::pause(poller->m_context.isInStartupPhase(), poller->m_consecutiveFailures);
        co_await QCoro::sleepFor(std::chrono::duration_cast<std::chrono::milliseconds>(pause));
    }
}

QCoro::Task<> StatusPoller::pollOnce() {
    QPointer<StatusPoller> self(this);
    const std::optional<StatusResponse> status = co_await fetchStatus();
    if (!self)
        co_return;
    DynamicStatus& model = m_context.status;
    model.setLastResponse(status);
    if (status) {
        const Clock::time_point now = m_context.clock.now();
        if (!m_lastCacheTime || now - *m_lastCacheTime >= PollingSchedule::cacheInterval) {
            saveCachedStatus(m_context.defaults, *status);
            m_lastCacheTime = now;
        }
        if (model.isStarting())
            model.setIsStarting(false);
    } else {
        m_context.log.debug(QStringLiteral("Companion not reachable"));
        // A companion that never answers must not leave the views starting for ever: at the
        // failure ceiling, and once a slow start has had its time, the starting state ends and they
        // fall back to "not running".
        const bool hadItsTime =
            m_startingSince && m_context.clock.now() - *m_startingSince >= PollingSchedule::startingGrace;
        if (model.isStarting() && m_consecutiveFailures >= PollingSchedule::failureCeiling && hadItsTime)
            model.setIsStarting(false);
    }
    updateRegistrationFlags();
}

void StatusPoller::updateRegistrationFlags() {
    const qint64 status = m_context.services.status();
    m_context.status.setIsCompanionRegistered(status == ServiceManager::enabled);
    m_context.status.setRequiresLoginItemApproval(status == ServiceManager::requiresApproval);
}

void StatusPoller::failedFetch(QString reason, bool foreignAnswer) {
    m_consecutiveFailures = PollingSchedule::afterFailure(m_consecutiveFailures);
    if (foreignAnswer) {
        reason = foreignAnswerText(m_context.port, reason);
        // Logged when it first shows, not on every poll of the loop.
        if (reason != m_loggedForeignAnswer)
            m_context.log.error(QStringLiteral("Companion ") + reason);
        m_loggedForeignAnswer = reason;
    } else {
        m_loggedForeignAnswer.clear();
    }
    m_lastFailure = std::move(reason);
}

QCoro::Task<std::optional<StatusResponse>> StatusPoller::fetchStatus() {
    QPointer<StatusPoller> self(this);
    const CompanionClient::StatusFetch fetched = co_await m_client->fetchStatusBody();
    if (!self)
        co_return std::nullopt;
    StatusAnswer answer = interpretStatusFetch(fetched, m_context.port);
    if (!answer.status) {
        failedFetch(answer.failure, answer.foreign);
        co_return std::nullopt;
    }
    m_consecutiveFailures = 0;
    m_lastFailure.reset();
    m_loggedForeignAnswer.clear();
    co_return std::move(answer.status);
}

} // namespace pylon
