#include "ui/shell/PylonApp.h"

#include "core/AppServices.h"
#include "foundation/BuildEnvironment.h"
#include "core/PylonController.h"
#include "core/UninstallCleanup.h"
#include "updates/UpdateController.h"
#include "core/UrlHandler.h"
#include "diagnostics/DiagnosticReporter.h"
#include "foundation/FileLogger.h"
#include "platform/Bundle.h"
#include "platform/SystemInfo.h"
#include "platform/Workspace.h"
#include "ui/common/Alerts.h"
#include "ui/menu/MenuBarView.h"
#include "ui/onboarding/OnboardingFlow.h"
#include "ui/onboarding/OnboardingStore.h"
#include "ui/setup/SetupWindowView.h"
#include "ui/shell/FileDialogSaveLocation.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/OnboardingMenuContent.h"
#include "ui/updates/UpdateDialogs.h"

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
    , m_window(std::make_unique<MainWindow>(services.environment().appDisplayName())) {
    m_store->applyLaunchArguments(arguments);
    m_updates->setUserDriver(std::make_unique<UpdateDialogs>(m_window.get()));

    MainWindow* window = m_window.get();
    connect(window->quitAction(), &QAction::triggered, qApp, &QCoreApplication::quit);
    connect(window->uninstallAction(), &QAction::triggered, this, &PylonApp::showUninstallConfirmation);
    connect(window->saveDiagnosticReportAction(), &QAction::triggered, this, &PylonApp::saveDiagnosticReport);
    connect(window->checkForUpdatesAction(), &QAction::triggered, this, &PylonApp::checkForUpdates);
    connect(m_updates.get(), &UpdateController::canCheckForUpdatesChanged, window->checkForUpdatesAction(),
            &QAction::setEnabled);
    connect(window->helpAction(), &QAction::triggered, this, &PylonApp::showHelp);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &PylonApp::onApplicationStateChanged);
    showContent();
}

PylonApp::~PylonApp() {
    // The window's content refers to the controller and the store: it goes first.
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
    m_trayAvailable = MenuBarView::isTrayHostAvailable(m_services.loggers().menubar);
    // Without a tray the window is the only way in: closing it then ends the application.
    QApplication::setQuitOnLastWindowClosed(!m_trayAvailable);
    showTray();
    m_window->bringForward();
}

void PylonApp::showContent() {
    if (!m_store->isComplete()) {
        m_window->setContent(new OnboardingFlow(*m_store, *m_controller, [this] { completeOnboarding(); },
                                                m_environment));
        return;
    }
    PylonController* controller = m_controller.get();
    UpdateController* updates = m_updates.get();
    m_window->setContent(
        new SetupWindowView(controller->dynamicStatus(), *controller, m_environment, [controller, updates] {
            controller->start();
            updates->setAutomaticallyChecksForUpdates(true);
        }));
}

void PylonApp::showTray() {
    if (!m_trayAvailable)
        return;
    delete m_menuBar;
    delete m_onboardingMenu;
    if (m_store->isComplete()) {
        PylonController* controller = m_controller.get();
        m_menuBar = new MenuBarView(*controller, m_environment.appDisplayName(), [controller] { controller->start(); },
                                    this);
        connect(m_menuBar, &MenuBarView::openWindowRequested, this, &PylonApp::activate);
        connect(m_menuBar, &MenuBarView::quitRequested, qApp, &QCoreApplication::quit);
        m_menuBar->show();
    } else {
        m_onboardingMenu = new OnboardingMenuContent(m_environment.appDisplayName(), this);
        connect(m_onboardingMenu, &OnboardingMenuContent::openWindowRequested, this, &PylonApp::activate);
        connect(m_onboardingMenu, &OnboardingMenuContent::quitRequested, qApp, &QCoreApplication::quit);
        m_onboardingMenu->show();
    }
}

void PylonApp::completeOnboarding() {
    m_store->completeOnboarding();
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
        QStringLiteral("This will stop the background service and remove all app data. You can delete the app from "
                       "Applications afterward."),
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
            };
            // The application quits once the service manager has answered and every step has run.
            [](QPointer<PylonApp> self, UninstallLocations where) -> QCoro::Task<> {
                co_await performUninstallCleanup(self->m_controller->companionManager(), self->m_services.defaults(),
                                                 where, self->m_services.loggers().uninstall);
                if (self)
                    emit self->uninstalled();
                QCoreApplication::quit();
            }(this, locations);
        },
        m_window.get());
}

void PylonApp::saveDiagnosticReport() {
    [](QPointer<PylonApp> self) -> QCoro::Task<> {
        co_await self->m_controller->saveDiagnosticReport(std::make_shared<FileDialogSaveLocation>(&self->mainWindow()));
    }(this);
}

void PylonApp::checkForUpdates() {
    m_updates->checkForUpdates();
}

void PylonApp::showHelp() {
    const auto readme = Bundle::atPath(m_environment.bundlePath()).resourcePath(QStringLiteral("README"),
                                                                                QStringLiteral("md"));
    if (readme)
        m_services.workspace().openFile(*readme);
    else
        m_services.workspace().openUrl(QUrl(QStringLiteral("https://ostrand.net/pylon/help")));
}

} // namespace pylon::ui
