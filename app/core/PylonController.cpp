#include "core/PylonController.h"

#include "companion/CompanionClient.h"
#include "core/BuildEnvironment.h"
#include "core/PollingSchedule.h"
#include "diagnostics/FileLogger.h"
#include "permissions/PermissionObserver.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/ServiceManager.h"
#include "platform/SystemInfo.h"
#include "platform/Workspace.h"
#include "status/StatusCache.h"
#include "status/StatusCodec.h"

#include <QFileInfo>
#include <QTimer>
#include <qcoro/qcorotimer.h>

namespace pylon {

PylonController::PylonController(const ControllerContext& context, QObject* parent)
    : SetupViewControllerProtocol(parent)
    , m_environment(context.environment)
    , m_defaults(context.defaults)
    , m_services(context.services)
    , m_workspace(context.workspace)
    , m_clock(context.clock)
    , m_subscribeToAccessibility(context.subscribeToAccessibility)
    , m_log(FileLogger::menubar())
    , m_client(new CompanionClient(context.companionPort.value_or(context.environment.companionPort()), this))
    , m_companionManager(context.environment, context.services, context.defaults, FileLogger::companionManager())
    , m_abletonSetupManager(FileLogger::installer(), context.workspace,
                            context.liveOptions.value_or(AbletonSetupManager::Options{SystemInfo::homeDirectory(),
                                                                                       SystemInfo::dataHome()}))
    , m_dynamicStatus(new DynamicStatus(context.defaults, this)) {}

PylonController::~PylonController() = default;

void PylonController::setAlertMessage(const std::optional<QString>& message) {
    m_alertMessage = message;
    emit alertsChanged();
}

void PylonController::setShowLoginItemApprovalAlert(bool show) {
    m_showLoginItemApprovalAlert = show;
    emit alertsChanged();
}

void PylonController::start() {
    if (m_hasStarted)
        return;
    m_hasStarted = true;
    m_startTime = m_clock.now();

    QPointer<PylonController> self(this);
    m_permissionObserver = std::make_unique<PermissionObserver>(
        [this] { return isInStartupPhase(); },
        [self] {
            // Acts on the main thread, after the notification has been handled, if still there.
            QTimer::singleShot(0, self, [self] {
                if (self)
                    self->handleAccessibilityChange();
            });
        },
        m_subscribeToAccessibility ? m_subscribeToAccessibility() : nullptr, m_clock);

    runStartupSequence();
    runPollingLoop(self);
}

bool PylonController::isInStartupPhase() const {
    return m_startTime && secondsBetween(*m_startTime, m_clock.now()) < PollingSchedule::startupPhaseSeconds;
}

QCoro::Task<> PylonController::runStartupSequence() {
    QPointer<PylonController> self(this);
    ensureCompanionRunning();
    co_await refresh();
    if (!self)
        co_return;
    co_await installRemoteScriptIfNeeded();
    if (self)
        emit self->startupSequenceFinished();
}

void PylonController::ensureCompanionRunning() {
    const LaunchOutcome outcome = m_companionManager.ensureRunningViaLaunchd();
    switch (outcome.kind) {
    case LaunchOutcome::Kind::failed: {
        const QString text = QStringLiteral("Companion registration failed: ") + outcome.message;
        m_log.error(text);
        setAlertMessage(text);
        m_dynamicStatus->setCompanionError(PylonError::companionLaunchFailed(outcome.message));
        break;
    }
    case LaunchOutcome::Kind::requiresApproval:
        setShowLoginItemApprovalAlert(true);
        break;
    case LaunchOutcome::Kind::kickstarted:
    case LaunchOutcome::Kind::registered:
        m_consecutiveFailures = 0;
        m_dynamicStatus->setCompanionError(std::nullopt);
        break;
    }
}

QCoro::Task<> PylonController::refresh() {
    QPointer<PylonController> self(this);
    const std::optional<StatusResponse> status = co_await fetchStatus();
    if (!self)
        co_return;
    m_dynamicStatus->setLastResponse(status);
    if (status)
        saveCachedStatus(m_defaults, *status);
    updateRegistrationFlags();
    const QString logFile = m_environment.companionLogFile();
    m_dynamicStatus->setLogFile(QFileInfo::exists(logFile) ? std::optional(logFile) : std::nullopt);
    refreshLiveVersions();
}

QCoro::Task<> PylonController::pollOnce() {
    QPointer<PylonController> self(this);
    const std::optional<StatusResponse> status = co_await fetchStatus();
    if (!self)
        co_return;
    m_dynamicStatus->setLastResponse(status);
    if (status) {
        const Clock::time_point now = m_clock.now();
        if (!m_lastCacheTime || secondsBetween(*m_lastCacheTime, now) >= PollingSchedule::cacheIntervalSeconds) {
            saveCachedStatus(m_defaults, *status);
            m_lastCacheTime = now;
        }
        if (m_dynamicStatus->isStarting())
            m_dynamicStatus->setIsStarting(false);
    } else {
        m_log.debug(QStringLiteral("Companion not reachable"));
        // A companion that never answers must not leave the views starting for ever: at the
        // failure ceiling the starting state ends and they fall back to "not running".
        if (m_dynamicStatus->isStarting() && m_consecutiveFailures >= PollingSchedule::failureCeiling)
            m_dynamicStatus->setIsStarting(false);
    }
    updateRegistrationFlags();
}

void PylonController::updateRegistrationFlags() {
    const qint64 status = m_services.status();
    m_dynamicStatus->setIsCompanionRegistered(status == ServiceManager::enabled);
    m_dynamicStatus->setRequiresLoginItemApproval(status == ServiceManager::requiresApproval);
}

void PylonController::failedFetch() {
    m_consecutiveFailures = PollingSchedule::afterFailure(m_consecutiveFailures);
}

QCoro::Task<std::optional<StatusResponse>> PylonController::fetchStatus() {
    QPointer<PylonController> self(this);
    const std::optional<QByteArray> body = co_await m_client->fetchStatusBody();
    if (!self)
        co_return std::nullopt;
    if (!body) {
        failedFetch();
        co_return std::nullopt;
    }
    std::optional<StatusResponse> status = tryDecodeStatusResponse(*body);
    if (!status) {
        failedFetch();
        co_return std::nullopt;
    }
    m_consecutiveFailures = 0;
    co_return status;
}

QCoro::Task<> PylonController::requestPermission(const QString& name) {
    QPointer<PylonController> self(this);
    const CompanionClient::Exchange exchange = co_await m_client->postPermission(name);
    if (!self)
        co_return;
    if (exchange.completed)
        m_log.info(QStringLiteral("Requested ") + name + QStringLiteral(" permission (system prompt shown)"));
    else
        m_log.error(QStringLiteral("Failed to request ") + name + QStringLiteral(" permission: ") + exchange.error);
}

QCoro::Task<> PylonController::runPollingLoop(QPointer<PylonController> controller) {
    // Owned by the controller: once it is gone the loop ends at its next step.
    while (controller) {
        co_await controller->pollOnce();
        if (!controller)
            break;
        const auto pause = PollingSchedule::pause(controller->isInStartupPhase(), controller->m_consecutiveFailures);
        co_await QCoro::sleepFor(std::chrono::duration_cast<std::chrono::milliseconds>(pause));
    }
}

void PylonController::handleAccessibilityChange() {
    const std::optional<CompanionStatusResponse> companion = m_dynamicStatus->companionStatus();
    if (!companion || companion->permissions.accessibility)
        return;
    m_log.info(QStringLiteral("Accessibility permission may have been granted, restarting companion to apply"));
    m_dynamicStatus->setIsStarting(true);
    m_consecutiveFailures = 0;
    m_companionManager.restart();
}

void PylonController::restartCompanion() {
    m_dynamicStatus->setIsStarting(true);
    m_consecutiveFailures = 0;
    m_companionManager.restart();
}

void PylonController::openLoginItemsSettings() {
    m_services.openLoginItemsSettings();
}

void PylonController::openAccessibilitySettings() {
    m_workspace.openUrl(QUrl(QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility")));
}

void PylonController::openAutomationSettings() {
    m_workspace.openUrl(QUrl(QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation")));
}

void PylonController::openLogFile() {
    if (const auto& logFile = m_dynamicStatus->logFile())
        m_workspace.openFile(*logFile);
}

} // namespace pylon
