#pragma once

#include "companion/CompanionManager.h"
#include "core/ControllerAlerts.h"
#include "core/SetupViewControllerProtocol.h"
#include "core/ViewControllerProtocols.h"
#include "foundation/Clock.h"
#include "live/AbletonSetupManager.h"
#include "status/DynamicStatus.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace pylon {

class AccessibilityNotifications;
class BuildEnvironment;
class InstallationQueue;
class PermissionObserver;
class ReportSaveLocation;
class ServiceManager;
class StatusPoller;
class UserDefaults;
class Workspace;
struct DiagnosticReportResult;
struct Loggers;

// What the controller works with; the application passes the real ones, tests their fakes.
struct ControllerContext {
    const BuildEnvironment& environment;
    UserDefaults& defaults;
    ServiceManager& services;
    Workspace& workspace;
    const Clock& clock;
    const Loggers& loggers;
    // Called once, by the first start(), for the Accessibility change subscription.
    std::function<std::unique_ptr<AccessibilityNotifications>()> subscribeToAccessibility;
    // The companion's port; the build mode's port unless a test says otherwise.
    std::optional<quint16> companionPort = std::nullopt;
    // Where Live's preferences are looked for and the control script is staged; the user's home
    // and data home unless a test says otherwise.
    std::optional<AbletonSetupManager::Options> liveOptions = std::nullopt;
};

// The one long-lived object that runs the application: it brings the companion up once, keeps
// DynamicStatus current through its status poller, restarts the companion when Accessibility may
// have been granted, carries out the views' companion and Live actions (installations go through
// its installation queue) and saves diagnostic reports. Every failure is absorbed into a log line,
// an alert or DynamicStatus::companionError.
class PylonController : public SetupViewControllerProtocol,
                        public MenuControllerProtocol,
                        public OnboardingControllerProtocol {
    Q_OBJECT
public:
    explicit PylonController(const ControllerContext& context, QObject* parent = nullptr);
    ~PylonController() override;

    DynamicStatus& dynamicStatus() { return *m_dynamicStatus; }
    const DynamicStatus& dynamicStatus() const override { return *m_dynamicStatus; }
    CompanionManager& companionManager() { return *m_companionManager; }
    const FileLogger& log() const { return m_log; }

    // The error alert's text while it is to be shown, and the approval alert; the views clear them
    // when dismissed.
    ControllerAlerts& alerts() override { return *m_alerts; }
    const std::optional<QString>& alertMessage() const { return m_alerts->alertMessage(); }
    void setAlertMessage(const std::optional<QString>& message) { m_alerts->setAlertMessage(message); }
    bool showLoginItemApprovalAlert() const { return m_alerts->showLoginItemApprovalAlert(); }
    void setShowLoginItemApprovalAlert(bool show) { m_alerts->setShowLoginItemApprovalAlert(show); }

    // Runs the start sequence once per process; later calls do nothing.
    void start() override;
    bool hasStarted() const { return m_hasStarted; }
    bool isInStartupPhase() const;
    int consecutiveFailures() const;
    // Why the last status fetch brought nothing, in words (see StatusPoller::lastFailure).
    std::optional<QString> lastFetchFailure() const;
    const PermissionObserver* permissionObserver() const { return m_permissionObserver.get(); }

    // One status fetch with everything that follows from it, outside the polling cadence.
    QCoro::Task<> refresh();
    // One poll of the loop: fetch, publish, cache at most every 30 s, registration flags.
    QCoro::Task<> pollOnce();
    // GET /status and decode; counts failures in a row (at most 10), resets them on success.
    QCoro::Task<std::optional<StatusResponse>> fetchStatus();
    // Asks the companion to show the system prompt for `name`.
    QCoro::Task<> requestPermission(QString name) override;

    // Restarts the companion if it reports Accessibility missing.
    void handleAccessibilityChange();
    void restartCompanion() override;
    void openLoginItemsSettings() override;
    void openAccessibilitySettings() override;
    void openAutomationSettings() override;
    void openLogFile() override;

    // Live setup.
    AbletonSetupManager& abletonSetupManager() { return m_abletonSetupManager; }
    const QList<AbletonVersion>& abletonVersions() const override { return m_abletonVersions; }
    void setAbletonVersions(const QList<AbletonVersion>& versions);
    // The bundle's control-script archive, if it is there.
    std::optional<QString> remoteScriptArchive() const;
    // At start: installs into the newest Live version unless this version already installed it and
    // some library still has it.
    QCoro::Task<> installRemoteScriptIfNeeded();
    void installRemoteScriptFromBundle(const AbletonVersion& version) override;
    void openRemoteScriptsFolder(const AbletonVersion& version) override;
    void showStagedRemoteScript() override;
    bool isInstallingRemoteScript() const override;
    void addWinePrefix(const QString& folder) override;
    // Looks for Live afresh, off the main thread, and publishes what it finds, whatever was known.
    QCoro::Task<> rediscoverLiveVersions();
    // The Wine prefixes the last discovery searched (canonical paths).
    const QStringList& winePrefixesScanned() const { return m_winePrefixesScanned; }

    // Builds a diagnostic report of this moment and saves it where `location` says; the outcome is
    // logged and returned. `revealWhenSaved` shows the saved file in the file manager.
    QCoro::Task<DiagnosticReportResult> saveDiagnosticReport(std::shared_ptr<ReportSaveLocation> location,
                                                        bool revealWhenSaved = true);

signals:
    // alertMessage or showLoginItemApprovalAlert was assigned.
    void alertsChanged();
    // The start-up sequence (bring the companion up, first refresh, automatic control-script
    // installation) has finished.
    void startupSequenceFinished();

private:
    QCoro::Task<> ensureCompanionRunning();
    QCoro::Task<> runStartupSequence();
    QCoro::Task<> refreshLiveVersions();
    QCoro::Task<> detectLiveVersions();
    QCoro::Task<> userInstall(AbletonVersion version, QString archive);
    QCoro::Task<> openStaged(QString archive);

    const BuildEnvironment& m_environment;
    UserDefaults& m_defaults;
    ServiceManager& m_services;
    Workspace& m_workspace;
    const Clock& m_clock;
    std::function<std::unique_ptr<AccessibilityNotifications>()> m_subscribeToAccessibility;
    const FileLogger& m_log;

    CompanionManager* m_companionManager;
    AbletonSetupManager m_abletonSetupManager;
    std::unique_ptr<PermissionObserver> m_permissionObserver;
    DynamicStatus* m_dynamicStatus;
    ControllerAlerts* m_alerts;
    StatusPoller* m_poller;
    InstallationQueue* m_installations;
    QList<AbletonVersion> m_abletonVersions;
    QStringList m_winePrefixesScanned;
    // Counts discoveries started; only the latest one publishes its result.
    quint64 m_discoveries = 0;
    bool m_hasStarted = false;
    std::optional<Clock::time_point> m_startTime;
};

} // namespace pylon
