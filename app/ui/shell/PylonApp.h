#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

namespace pylon {

class AppServices;
class BuildEnvironment;
class PylonController;
class UpdateController;

namespace ui {

class ControllerAlertsPresenter;
class MainWindow;
class MenuBarView;
class OnboardingMenuContent;
class OnboardingStore;
class LoginStartItem;
class TrayHostWatch;

// The application as a whole: the onboarding store, the controller and the update controller,
// the main window (onboarding until it is complete, then the setup window) with its menus, the
// tray item, the controller's alerts, URLs of the application's scheme and the uninstall.
//
// Without a tray host the window is the way in: closing it leaves Pylon running (said once, the
// first time), a later launch brings it forward, alerts open over it. A tray host that appears
// later gets the tray item then.
class PylonApp : public QObject {
    Q_OBJECT
public:
    // `services` must outlive the application object; `arguments` are the launch arguments
    // ("-resetOnboarding" is honoured).
    PylonApp(AppServices& services, const QStringList& arguments, QObject* parent = nullptr);
    ~PylonApp() override;

    // Puts the item in the tray (or, without a tray host, only the window) and opens the window.
    void show();
    // As at login: the tray item only, the controller started, no window raised (a later launch
    // brings it forward). Before the onboarding is done, the same as show().
    void showInBackground();

    // Acts on a URL of the application's scheme (another launch's, or this launch's argument).
    void handleURL(const QString& url);
    // A later launch without a URL: bring the window forward.
    void activate();

    void showUninstallConfirmation();
    void saveDiagnosticReport();
    void checkForUpdates();
    void showHelp();

    PylonController& controller() { return *m_controller; }
    UpdateController& updateController() { return *m_updates; }
    OnboardingStore& onboardingStore() { return *m_store; }
    MainWindow& mainWindow() { return *m_window; }
    MenuBarView* menuBarView() const;
    OnboardingMenuContent* onboardingMenu() const;
    bool isTrayShown() const { return m_trayAvailable; }

    // The user-defaults key recording that the window's first close without a tray was explained.
    static inline const QString keepsRunningNoticeKey = QStringLiteral("pylon.shell.keepsRunningNoticeShown");

signals:
    // The uninstall clean-up has run; the application is about to quit.
    void uninstalled();

private:
    void showContent();
    void showTray();
    void stayInTray(); // the tray item shown, and closing the window keeps Pylon running
    void startWork();  // polling, discovery and update checks, as the setup window starts them
    void hideTray();
    void completeOnboarding();
    void onApplicationStateChanged(Qt::ApplicationState state);
    void onTrayHostChanged(bool available);
    void onWindowClosed();
    QWidget* alertHost();

    AppServices& m_services;
    const BuildEnvironment& m_environment;
    std::unique_ptr<OnboardingStore> m_store;
    std::unique_ptr<PylonController> m_controller;
    std::unique_ptr<UpdateController> m_updates;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<TrayHostWatch> m_trayWatch;
    std::unique_ptr<ControllerAlertsPresenter> m_alerts;
    LoginStartItem* m_loginStartItem;
    QPointer<MenuBarView> m_menuBar;
    QPointer<OnboardingMenuContent> m_onboardingMenu;
    bool m_trayAvailable = false;
};

} // namespace ui
} // namespace pylon
