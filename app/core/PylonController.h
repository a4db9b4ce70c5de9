#pragma once

#include "companion/CompanionManager.h"
#include "core/Clock.h"
#include "core/SetupViewControllerProtocol.h"
#include "live/AbletonSetupManager.h"
#include "status/DynamicStatus.h"

#include <QObject>
#include <QPointer>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace pylon {

class AccessibilityNotifications;
class BuildEnvironment;
class ReportSaveLocation;
struct DiagnosticReportResult;
class CompanionClient;
class FileLogger;
class PermissionObserver;
class ServiceManager;
class UserDefaults;
class Workspace;

// What the controller works with; the application passes the real ones, tests their fakes.
struct ControllerContext {
    const BuildEnvironment& environment;
    UserDefaults& defaults;
    ServiceManager& services;
    Workspace& workspace;
    const Clock& clock;
    // Called once, by the first start(), for the Accessibility change subscription.
    std::function<std::unique_ptr<AccessibilityNotifications>()> subscribeToAccessibility;
    // The companion's port; the build mode's port unless a test says otherwise.
    std::optional<quint16> companionPort = std::nullopt;
    // Where Live's preferences are looked for and the control script is staged; the user's home
    // and data home unless a test says otherwise.
    std::optional<AbletonSetupManager::Options> liveOptions = std::nullopt;
};

// The one long-lived object that runs the application: it brings the companion up once, keeps
// DynamicStatus current by polling the companion, restarts the companion when Accessibility may
// have been granted, and carries out the views' companion actions. Every failure is absorbed into
// a log line, alertMessage, the approval alert or DynamicStatus::companionError.
class PylonController : public SetupViewControllerProtocol {
    Q_OBJECT
public:
    explicit PylonController(const ControllerContext& context, QObject* parent = nullptr);
    ~PylonController() override;

    DynamicStatus& dynamicStatus() { return *m_dynamicStatus; }
    const DynamicStatus& dynamicStatus() const { return *m_dynamicStatus; }
    CompanionManager& companionManager() { return m_companionManager; }
    const FileLogger& log() const { return m_log; }

    // The error alert's text while it is to be shown; the view clears it when dismissed.
    const std::optional<QString>& alertMessage() const { return m_alertMessage; }
    void setAlertMessage(const std::optional<QString>& message);
    bool showLoginItemApprovalAlert() const { return m_showLoginItemApprovalAlert; }
    void setShowLoginItemApprovalAlert(bool show);

    // Runs the start sequence once per process; later calls do nothing.
    void start();
    bool hasStarted() const { return m_hasStarted; }
    bool isInStartupPhase() const;
    int consecutiveFailures() const { return m_consecutiveFailures; }
    const PermissionObserver* permissionObserver() const { return m_permissionObserver.get(); }

    // One status fetch with everything that follows from it, outside the polling cadence.
    QCoro::Task<> refresh();
    // One poll of the loop: fetch, publish, cache at most every 30 s, registration flags.
    QCoro::Task<> pollOnce();
    // GET /status and decode; counts failures in a row (at most 10), resets them on success.
    QCoro::Task<std::optional<StatusResponse>> fetchStatus();
    // Asks the companion to show the system prompt for `name`.
    QCoro::Task<> requestPermission(const QString& name);

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
    bool isInstallingRemoteScript() const override { return m_installing; }

    // Builds a diagnostic report of this moment and saves it where `location` says; the outcome is
    // logged and returned. `revealWhenSaved` shows the saved file in the file manager.
    QCoro::Task<DiagnosticReportResult> saveDiagnosticReport(ReportSaveLocation& location, bool revealWhenSaved = true);

signals:
    // alertMessage or showLoginItemApprovalAlert was assigned.
    void alertsChanged();
    // The start-up sequence (bring the companion up, first refresh, automatic control-script
    // installation) has finished.
    void startupSequenceFinished();
    void installationSlotFreed();

private:
    void ensureCompanionRunning();
    QCoro::Task<> runStartupSequence();
    static QCoro::Task<> runPollingLoop(QPointer<PylonController> controller);
    void updateRegistrationFlags();
    void failedFetch();
    void refreshLiveVersions();
    QCoro::Task<> userInstall(AbletonVersion version, QString archive);
    QCoro::Task<> openStaged(QString archive);
    struct InstallationOutcome {
        bool controllerGone = false; // nothing of the controller may be touched any more
        std::exception_ptr failure;  // what `job` threw, if anything
    };
    // Installations share one staging folder: runs `job` once the one before it has finished.
    QCoro::Task<InstallationOutcome> runInstallation(std::function<QCoro::Task<>()> job);

    const BuildEnvironment& m_environment;
    UserDefaults& m_defaults;
    ServiceManager& m_services;
    Workspace& m_workspace;
    const Clock& m_clock;
    std::function<std::unique_ptr<AccessibilityNotifications>()> m_subscribeToAccessibility;
    const FileLogger& m_log;

    CompanionClient* m_client;
    int m_consecutiveFailures = 0;
    CompanionManager m_companionManager;
    AbletonSetupManager m_abletonSetupManager;
    std::unique_ptr<PermissionObserver> m_permissionObserver;
    DynamicStatus* m_dynamicStatus;
    QList<AbletonVersion> m_abletonVersions;
    bool m_installing = false;
    std::optional<QString> m_alertMessage;
    bool m_showLoginItemApprovalAlert = false;
    bool m_hasStarted = false;
    std::optional<Clock::time_point> m_startTime;
    std::optional<Clock::time_point> m_lastCacheTime; // none: the distant past
};

} // namespace pylon
