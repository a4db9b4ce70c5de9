#include "ui/shell/PylonApp.h"

#include "core/AppServices.h"
#include "core/PylonController.h"
#include "core/UninstallCleanup.h"
#include "core/UrlHandler.h"
#include "diagnostics/DiagnosticReporter.h"
#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "platform/Bundle.h"
#include "platform/SettingsPages.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "ui/common/Alerts.h"
#include "ui/common/Symbols.h"
#include "ui/menu/MenuBarView.h"
#include "ui/onboarding/OnboardingFlow.h"
#include "ui/onboarding/OnboardingStore.h"
#include "ui/setup/SetupPresenter.h"
#include "ui/setup/SetupWindowView.h"
#include "ui/shell/ControllerAlertsPresenter.h"
#include "ui/shell/FileDialogSaveLocation.h"
#include "ui/shell/LoginStartItem.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/OnboardingMenuContent.h"
#include "ui/shell/TrayHostWatch.h"
#include "ui/updates/UpdateDialogs.h"
#include "updates/UpdateController.h"

#include <QApplication>
#include <QUrl>

namespace pylon::ui {

PylonApp::PylonApp(AppServices& services, const QStringList& arguments, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_environment(services.environment())
    , m_store(std::make_unique<OnboardingStore>(services.defaults(), services.loggers().menubar))
    , m_controller(std::make_unique<PylonController>(services.controllerContext()))
    , m_updates(std::make_unique<UpdateController>(
          UpdaterConfiguration::fromBundle(Bundle::atPath(m_environment.bundlePath()), m_environment.appDisplayName()),
          services.defaults(), services.workspace()))
    , m_window(std::make_unique<MainWindow>(services.environment().appDisplayName()))
    , m_trayWatch(std::make_unique<TrayHostWatch>()) {
    m_store->applyLaunchArguments(arguments);
    m_trayAvailable = MenuBarView::reportTrayHost(m_trayWatch->isAvailable(), m_services.loggers().menubar);
    QApplication::setWindowIcon(applicationIcon(m_environment.bundleIdentifier()));
    m_window->setWindowIcon(applicationIcon(m_environment.bundleIdentifier()));
    m_alerts = std::make_unique<ControllerAlertsPresenter>(*m_controller, [this] { return alertHost(); });
    m_updates->setUserDriver(std::make_unique<UpdateDialogs>(m_window.get()));
    m_loginStartItem = new LoginStartItem(
        services.loginStart(), services.defaults(), m_window->startAtLoginAction(),
        [controller = m_controller.get()](const QString& failure) { controller->setAlertMessage(failure); }, this);
    if (m_store->isComplete())
        m_loginStartItem->applyDefaultOnce();

    MainWindow* window = m_window.get();
    connect(window->quitAction(), &QAction::triggered, qApp, &QCoreApplication::quit);
    connect(window->uninstallAction(), &QAction::triggered, this, &PylonApp::showUninstallConfirmation);
    connect(window->saveDiagnosticReportAction(), &QAction::triggered, this, &PylonApp::saveDiagnosticReport);
    connect(window->checkForUpdatesAction(), &QAction::triggered, this, &PylonApp::checkForUpdates);
    connect(m_updates.get(), &UpdateController::canCheckForUpdatesChanged, window->checkForUpdatesAction(),
            &QAction::setEnabled);
    connect(window->helpAction(), &QAction::triggered, this, &PylonApp::showHelp);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &PylonApp::onApplicationStateChanged);
    connect(window, &MainWindow::closed, this, &PylonApp::onWindowClosed);
    connect(m_trayWatch.get(), &TrayHostWatch::availabilityChanged, this, &PylonApp::onTrayHostChanged);
    showContent();
}

PylonApp::~PylonApp() {
    // The alerts and the window's content refer to the controller and the store: they go first.
    m_alerts.reset();
    m_window.reset();
    delete m_menuBar;
    delete m_onboardingMenu;
}

MenuBarView* PylonApp::menuBarView() const {
    return m_menuBar;
}

OnboardingMenuContent* PylonApp::onboardingMenu() const {
    return m_onboardingMenu;
}

void PylonApp::show() {
    stayInTray();
    m_window->bringForward();
}

void PylonApp::showInBackground() {
    // Until the onboarding is done, the window is what there is to do.
    if (!m_store->isComplete()) {
        show();
        return;
    }
    stayInTray();
    // What the setup window would start when it appears, without it.
    startWork();
}

void PylonApp::stayInTray() {
    // Closing the window never ends the application: without a tray a later launch brings it back.
    QApplication::setQuitOnLastWindowClosed(false);
    showTray();
}

void PylonApp::startWork() {
    m_controller->start();
    m_updates->setAutomaticallyChecksForUpdates(true);
}

void PylonApp::showContent() {
    const SettingsPages& settings = m_services.settingsPages();
    if (!m_store->isComplete()) {
        const OnboardingPlatform platform{&m_services.wording(), settings.has(SettingsPage::accessibility),
                                          settings.has(SettingsPage::automation), m_trayAvailable};
        m_window->setContent(new OnboardingFlow(
            *m_store, *m_controller, [this] { completeOnboarding(); }, m_environment, platform));
        return;
    }
    PylonController* controller = m_controller.get();
    auto* setup = new SetupWindowView(controller->dynamicStatus(), *controller, m_environment, [this] { startWork(); });
    setup->setGuidance({settings.has(SettingsPage::accessibility), settings.has(SettingsPage::automation),
                        m_services.wording().accessibilityMissingHelp(m_environment.companionDisplayName())});
    m_window->setContent(setup);
}

QWidget* PylonApp::alertHost() {
    // With a tray the alert stands alone, as it would from the menu; without one it opens over the
    // window, which comes forward for it.
    if (m_trayAvailable)
        return nullptr;
    m_window->bringForward();
    return m_window.get();
}

void PylonApp::onTrayHostChanged(bool available) {
    m_trayAvailable = available;
    m_services.loggers().menubar.info(available ? QStringLiteral("A system tray appeared: showing the tray item")
                                                : QStringLiteral("The system tray went away"));
    if (available)
        showTray();
    else
        hideTray();
    if (auto* flow = qobject_cast<OnboardingFlow*>(m_window->content()))
        flow->setTrayShown(available);
}

void PylonApp::onWindowClosed() {
    if (m_trayAvailable)
        return;
    UserDefaults& defaults = m_services.defaults();
    if (defaults.string(keepsRunningNoticeKey).has_value())
        return;
    defaults.setString(keepsRunningNoticeKey, QStringLiteral("1"));
    const QString name = m_environment.appDisplayName();
    const PlatformWording& wording = m_services.wording();
    Alerts::present(
        {wording.keepsRunningTitle(name), wording.keepsRunningMessage(name), {{QStringLiteral("OK"), true}}},
        [](int) {}, m_window.get());
}

void PylonApp::hideTray() {
    delete m_menuBar;
    delete m_onboardingMenu;
}

void PylonApp::showTray() {
    if (!m_trayAvailable)
        return;
    hideTray();
    const QIcon icon = trayIcon(m_environment.bundleIdentifier());
    const QString toolTip = m_environment.appDisplayName();
    if (m_store->isComplete()) {
        PylonController* controller = m_controller.get();
        m_menuBar = new MenuBarView(
            *controller, m_environment.appDisplayName(), [controller] { controller->start(); }, this);
        connect(m_menuBar, &MenuBarView::openWindowRequested, this, &PylonApp::activate);
        connect(m_menuBar, &MenuBarView::quitRequested, qApp, &QCoreApplication::quit);
        m_menuBar->setLook(icon, toolTip);
        m_menuBar->show();
    } else {
        m_onboardingMenu = new OnboardingMenuContent(m_environment.appDisplayName(), this);
        connect(m_onboardingMenu, &OnboardingMenuContent::openWindowRequested, this, &PylonApp::activate);
        connect(m_onboardingMenu, &OnboardingMenuContent::quitRequested, qApp, &QCoreApplication::quit);
        m_onboardingMenu->setLook(icon, toolTip);
        m_onboardingMenu->show();
    }
}

void PylonApp::completeOnboarding() {
    m_store->completeOnboarding();
    m_loginStartItem->applyDefaultOnce();
    showContent();
    showTray();
}

void PylonApp::activate() {
    m_window->bringForward();
}

void PylonApp::onApplicationStateChanged(Qt::ApplicationState state) {
    if (state != Qt::ApplicationActive)
        return;
    // The first window titled "Pylon" comes forward, if there is one.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle() == BuildEnvironment::mainWindowTitle() && widget->isVisible()) {
            widget->raise();
            widget->activateWindow();
            return;
        }
    }
}

void PylonApp::handleURL(const QString& url) {
    pylon::handleURL(url, m_environment, m_services.loggers().menubar, [this] { showUninstallConfirmation(); });
}

void PylonApp::showUninstallConfirmation() {
    const QString name = m_environment.appDisplayName();
    const AlertContent content{
        QStringLiteral("Uninstall ") + name + QLatin1Char('?'),
        m_services.wording().uninstallInformativeText(),
        {AlertButton{QStringLiteral("Uninstall"), false}, AlertButton{QStringLiteral("Cancel"), true}},
        true,
    };
    m_window->bringForward();
    Alerts::present(
        content,
        [this](int button) {
            if (button != 0)
                return;
            const UninstallLocations locations{
                SystemInfo::dataHome() + QLatin1Char('/') + m_environment.appSupportFolderName(),
                SystemInfo::stateHome() + QLatin1Char('/') + m_environment.bundleIdentifier(),
                SystemInfo::cacheHome() + QLatin1Char('/') + m_environment.bundleIdentifier(),
                m_services.loginStart().entryPath(),
            };
            // The application quits once the service manager has answered and every step has run.
            [](QPointer<PylonApp> self, UninstallLocations where, FileLogger log) -> QCoro::Task<> {
                auto unregistering = unregisterCompanionForUninstall(&self->m_controller->companionManager(), log);
                co_await unregistering;
                if (self) {
                    removeUninstalledData(self->m_services.defaults(), where, log);
                    emit self->uninstalled();
                }
                QCoreApplication::quit();
            }(this, locations, m_services.loggers().uninstall);
        },
        m_window.get());
}

void PylonApp::saveDiagnosticReport() {
    // The controller outlives the task only while the application does; the report's own task
    // finishes its clean-up either way.
    [](QPointer<PylonApp> self) -> QCoro::Task<> {
        auto saving =
            self->m_controller->saveDiagnosticReport(std::make_shared<FileDialogSaveLocation>(&self->mainWindow()));
        co_await saving;
    }(this);
}

void PylonApp::checkForUpdates() {
    m_updates->checkForUpdates();
}

void PylonApp::showHelp() {
    const auto guide =
        Bundle::atPath(m_environment.bundlePath()).resourcePath(QStringLiteral("help/index"), QStringLiteral("html"));
    if (guide)
        m_services.workspace().openFile(*guide);
    else
        m_services.workspace().openUrl(QUrl(QStringLiteral("https://ostrand.net/pylon/help")));
}

} // namespace pylon::ui
