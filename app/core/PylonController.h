#pragma once

#include "companion/CompanionManager.h"
#include "core/Clock.h"
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
};

// The one long-lived object that runs the application: it brings the companion up once, keeps
// DynamicStatus current by polling the companion, restarts the companion when Accessibility may
// have been granted, and carries out the views' companion actions. Every failure is absorbed into
// a log line, alertMessage, the approval alert or DynamicStatus::companionError.
class PylonController : public QObject {
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
    void restartCompanion();
    void openLoginItemsSettings();
    void openAccessibilitySettings();
    void openAutomationSettings();
    void openLogFile();

signals:
    // alertMessage or showLoginItemApprovalAlert was assigned.
    void alertsChanged();
    // The start-up sequence (bring the companion up, first refresh) has finished.
    void startupSequenceFinished();

private:
    void ensureCompanionRunning();
    QCoro::Task<> runStartupSequence();
    static QCoro::Task<> runPollingLoop(QPointer<PylonController> controller);
    void updateRegistrationFlags();
    void failedFetch();

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
    std::unique_ptr<PermissionObserver> m_permissionObserver;
    DynamicStatus* m_dynamicStatus;
    std::optional<QString> m_alertMessage;
    bool m_showLoginItemApprovalAlert = false;
    bool m_hasStarted = false;
    std::optional<Clock::time_point> m_startTime;
    std::optional<Clock::time_point> m_lastCacheTime; // none: the distant past
};

} // namespace pylon
