#include "core/PylonController.h"

#include "companion/CompanionClient.h"
#include "core/InstallationQueue.h"
#include "core/PollingSchedule.h"
#include "core/StatusPoller.h"
#include "core/WinePrefixList.h"
#include "diagnostics/DiagnosticReporter.h"
#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "foundation/OffMainThread.h"
#include "permissions/PermissionObserver.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/Bundle.h"
#include "platform/ServiceManager.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "status/StatusCache.h"

#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <exception>
#include <qcoro/qcorofuture.h>

namespace pylon {

namespace {

const QString archiveMissingText = QStringLiteral("Remote script not found. Run `yarn bundle` and rebuild.");

QString noLibraryText(const AbletonVersion& version) {
    return QStringLiteral("Could not find user library path for ") + version.displayName + QLatin1Char('.');
}

// What a failed installation threw, in words.
QString failureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const AbletonSetupManager::RemoteScriptError& e) {
        return e.errorDescription();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

AbletonSetupManager::Options liveOptionsOf(const ControllerContext& context) {
    if (context.liveOptions)
        return *context.liveOptions;
    AbletonSetupManager::Options options{SystemInfo::homeDirectory(), SystemInfo::dataHome()};
    options.winePrefixVariable = qEnvironmentVariable("WINEPREFIX");
    options.configHome = SystemInfo::configHome();
    return options;
}

} // namespace

PylonController::PylonController(const ControllerContext& context, QObject* parent)
    : SetupViewControllerProtocol(parent)
    , m_environment(context.environment)
    , m_defaults(context.defaults)
    , m_services(context.services)
    , m_workspace(context.workspace)
    , m_clock(context.clock)
    , m_subscribeToAccessibility(context.subscribeToAccessibility)
    , m_log(context.loggers.menubar)
    , m_companionManager(new CompanionManager(context.environment, context.services, context.defaults,
                                              context.loggers.companionManager, this))
    , m_abletonSetupManager(context.loggers.installer, context.workspace, liveOptionsOf(context))
    , m_dynamicStatus(new DynamicStatus(context.defaults, this))
    , m_alerts(new ControllerAlerts(this))
    , m_poller(new StatusPoller(StatusPoller::Context{*m_dynamicStatus, context.defaults, context.services,
                                                      context.clock, m_log,
                                                      context.companionPort.value_or(context.environment.companionPort()),
                                                      [this] { return isInStartupPhase(); }},
                                this))
    , m_installations(new InstallationQueue(this)) {
    connect(m_alerts, &ControllerAlerts::changed, this, &PylonController::alertsChanged);
    connect(m_installations, &InstallationQueue::busyChanged, this,
            &SetupViewControllerProtocol::installingRemoteScriptChanged);
}

PylonController::~PylonController() = default;

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

    m_poller->startingBegan();
    // What reports of an earlier run could not clean up (it crashed or was killed) goes now.
    runOffMainThread([folder = DiagnosticReporter::Options::forCurrentUser(m_environment.bundleIdentifier())
                                   .temporaryDirectory] { DiagnosticReporter::clearLeftovers(folder); });

    runStartupSequence();
    m_poller->startLoop();
}

bool PylonController::isInStartupPhase() const {
    return m_startTime && m_clock.now() - *m_startTime < PollingSchedule::startupPhase;
}

int PylonController::consecutiveFailures() const {
    return m_poller->consecutiveFailures();
}

std::optional<QString> PylonController::lastFetchFailure() const {
    return m_poller->lastFailure();
}

QCoro::Task<> PylonController::runStartupSequence() {
    QPointer<PylonController> self(this);
    co_await ensureCompanionRunning();
    if (!self)
        co_return;
    co_await refresh();
    if (!self)
        co_return;
    co_await installRemoteScriptIfNeeded();
    if (self)
        emit self->startupSequenceFinished();
}

QCoro::Task<> PylonController::ensureCompanionRunning() {
    QPointer<PylonController> self(this);
    const LaunchOutcome outcome = co_await m_companionManager->ensureRunningViaLaunchd();
    if (!self)
        co_return;
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
        m_poller->resetFailures();
        m_dynamicStatus->setCompanionError(std::nullopt);
        break;
    }
}

QCoro::Task<> PylonController::refresh() {
    QPointer<PylonController> self(this);
    const std::optional<StatusResponse> status = co_await m_poller->fetchStatus();
    if (!self)
        co_return;
    m_dynamicStatus->setLastResponse(status);
    if (status)
        saveCachedStatus(m_defaults, *status);
    m_poller->updateRegistrationFlags();
    const QString logFile = m_environment.companionLogFile();
    m_dynamicStatus->setLogFile(QFileInfo::exists(logFile) ? std::optional(logFile) : std::nullopt);
    co_await refreshLiveVersions();
}

QCoro::Task<> PylonController::pollOnce() {
    return m_poller->pollOnce();
}

QCoro::Task<std::optional<StatusResponse>> PylonController::fetchStatus() {
    return m_poller->fetchStatus();
}

QCoro::Task<> PylonController::requestPermission(QString name) {
    QPointer<PylonController> self(this);
    const CompanionClient::Exchange exchange = co_await m_poller->client().postPermission(name);
    if (!self)
        co_return;
    if (exchange.completed)
        m_log.info(QStringLiteral("Requested ") + name + QStringLiteral(" permission (system prompt shown)"));
    else
        m_log.error(QStringLiteral("Failed to request ") + name + QStringLiteral(" permission: ") + exchange.error);
}

void PylonController::handleAccessibilityChange() {
    const std::optional<CompanionStatusResponse> companion = m_dynamicStatus->companionStatus();
    if (!companion || companion->permissions.accessibility)
        return;
    m_log.info(QStringLiteral("Accessibility permission may have been granted, restarting companion to apply"));
    restartCompanion();
}

void PylonController::restartCompanion() {
    m_dynamicStatus->setIsStarting(true);
    m_poller->startingBegan();
    m_poller->resetFailures();
    m_companionManager->restart();
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

// Live setup: keeping the detected User Libraries current, installing the control script at start
// and on request, and the setup window's Live actions.

void PylonController::setAbletonVersions(const QList<AbletonVersion>& versions) {
    m_abletonVersions = versions;
    emit abletonVersionsChanged();
}

bool PylonController::isInstallingRemoteScript() const {
    return m_installations->isBusy();
}

std::optional<QString> PylonController::remoteScriptArchive() const {
    return Bundle::atPath(m_environment.bundlePath())
        .resourcePath(BuildEnvironment::remoteScriptArchiveName(), BuildEnvironment::remoteScriptArchiveExtension());
}

QCoro::Task<> PylonController::refreshLiveVersions() {
    QPointer<PylonController> self(this);
    if (m_abletonVersions.isEmpty()) {
        co_await detectLiveVersions();
        if (!self)
            co_return;
    }
    const qsizetype count = m_abletonVersions.size();
    for (qsizetype i = 0; i < count; ++i) {
        m_abletonVersions[i].isRemoteScriptInstalled =
            m_abletonSetupManager.isRemoteScriptInstalled(m_abletonVersions[i]);
        emit abletonVersionsChanged();
    }
}

// Discovery reads many folders (every Wine prefix's users and Live versions), so it runs on a worker
// with a copy of the manager; the main thread only publishes the result. The manager's logger lives for
// the whole process.
QCoro::Task<> PylonController::detectLiveVersions() {
    QPointer<PylonController> self(this);
    const quint64 discovery = ++m_discoveries;
    AbletonSetupManager manager = m_abletonSetupManager;
    manager.setUserAddedWinePrefixes(userAddedWinePrefixes(m_defaults));
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto discovering = runOffMainThread([manager] { return manager.discover(); });
    WorkResult<AbletonSetupManager::Discovery> result = co_await discovering;
    // A discovery started later (a prefix was added meanwhile) publishes its own, newer result.
    if (!self || discovery != m_discoveries)
        co_return;
    try {
        const AbletonSetupManager::Discovery found = std::move(result).get();
        m_winePrefixesScanned.clear();
        for (const WinePrefix& prefix : found.winePrefixes)
            m_winePrefixesScanned << prefix.path;
        setAbletonVersions(found.versions);
    } catch (const std::exception& e) {
        m_log.error(QStringLiteral("Ableton detection failed: ") + QString::fromUtf8(e.what()));
        setAbletonVersions({});
    }
}

QCoro::Task<> PylonController::rediscoverLiveVersions() {
    return detectLiveVersions();
}

void PylonController::addWinePrefix(const QString& folder) {
    const WinePrefixAddition addition =
        addUserWinePrefix(m_defaults, folder, m_abletonSetupManager.options().homeDirectory);
    m_log.info(QStringLiteral("Add Wine prefix: ") + addition.message);
    if (addition.outcome == WinePrefixAddition::Outcome::refused) {
        setAlertMessage(addition.message);
        return;
    }
    rediscoverLiveVersions();
}

QCoro::Task<> PylonController::installRemoteScriptIfNeeded() {
    const std::optional<QString> archive = remoteScriptArchive();
    if (!archive || m_abletonVersions.isEmpty())
        co_return;
    const bool anyInstalled = std::any_of(m_abletonVersions.cbegin(), m_abletonVersions.cend(),
                                          // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
                                          // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
                                          [](const AbletonVersion& v) { return v.isRemoteScriptInstalled; });
    const QString key = BuildEnvironment::installedVersionKey();
    if (anyInstalled && m_defaults.string(key) == m_environment.appVersion())
        co_return;

    const AbletonVersion newest = m_abletonVersions.constFirst();
    const QString path = *archive;
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto install = [this, newest, path] { return m_abletonSetupManager.installRemoteScript(newest, path); };
    QPointer<PylonController> self(this);
    const InstallationQueue::Outcome outcome = co_await m_installations->run(install);
    if (outcome.queueGone || !self)
        co_return;
    // A failure is tried again at the next start; no alert now, but the log says why.
    if (outcome.failure) {
        m_log.error(QStringLiteral("Automatic control script installation into ") + newest.displayName +
                        QStringLiteral(" failed"),
                    {{QStringLiteral("error"), failureText(outcome.failure)}});
        co_return;
    }
    m_defaults.setString(key, m_environment.appVersion());
    co_await refresh();
}

void PylonController::installRemoteScriptFromBundle(const AbletonVersion& version) {
    const std::optional<QString> archive = remoteScriptArchive();
    if (!archive) {
        setAlertMessage(archiveMissingText);
        return;
    }
    userInstall(version, *archive);
}

QCoro::Task<> PylonController::userInstall(AbletonVersion version, QString archive) {
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto install = [this, version, archive] { return m_abletonSetupManager.installRemoteScript(version, archive); };
    const InstallationQueue::Outcome outcome = co_await m_installations->run(install);
    if (outcome.queueGone)
        co_return;
    if (outcome.failure) {
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const AbletonSetupManager::RemoteScriptError& e) {
            setAlertMessage(e.kind() == AbletonSetupManager::RemoteScriptError::Kind::unableToDetectUserLibrary
                                ? noLibraryText(version)
                                : QStringLiteral("Failed: ") + e.errorDescription());
        } catch (const std::exception& e) {
            setAlertMessage(QStringLiteral("Failed: ") + QString::fromUtf8(e.what()));
        }
        co_return;
    }
    m_defaults.setString(BuildEnvironment::installedVersionKey(), m_environment.appVersion());
    co_await refresh();
}

void PylonController::openRemoteScriptsFolder(const AbletonVersion& version) {
    if (!version.userLibraryPath) {
        setAlertMessage(noLibraryText(version));
        return;
    }
    m_workspace.openUrl(QUrl::fromLocalFile(*version.userLibraryPath + QStringLiteral("/Remote Scripts")));
}

void PylonController::showStagedRemoteScript() {
    const std::optional<QString> archive = remoteScriptArchive();
    if (!archive) {
        setAlertMessage(archiveMissingText);
        return;
    }
    openStaged(*archive);
}

QCoro::Task<> PylonController::openStaged(QString archive) {
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto open = [this, archive] { return m_abletonSetupManager.openStagedRemoteScriptFolder(archive); };
    const InstallationQueue::Outcome outcome = co_await m_installations->run(open);
    if (outcome.queueGone || !outcome.failure)
        co_return;
    try {
        std::rethrow_exception(outcome.failure);
    } catch (const std::exception& e) {
        setAlertMessage(QStringLiteral("Failed to open remote script: ") + QString::fromUtf8(e.what()));
    }
}

// The diagnostic report: a fresh reporter per request over the live status model and the known Live
// libraries.
QCoro::Task<DiagnosticReportResult> PylonController::saveDiagnosticReport(std::shared_ptr<ReportSaveLocation> location,
                                                                          bool revealWhenSaved) {
    DiagnosticReporter::Options options = DiagnosticReporter::Options::forCurrentUser(m_environment.bundleIdentifier());
    options.workspace = revealWhenSaved ? &m_workspace : nullptr;
    options.winePrefixes = m_winePrefixesScanned;
    const DiagnosticReporter reporter(*m_dynamicStatus, m_abletonVersions, m_environment, m_services.status(), m_log,
                                      DiagnosticReporter::operatingSystemVersion(), options);
    co_return co_await reporter.generateReport(std::move(location));
}

} // namespace pylon
