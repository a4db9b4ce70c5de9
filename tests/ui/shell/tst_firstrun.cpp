#include "ShellSupport.h"
#include "core/AppServices.h"
#include "updates/UpdateController.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"
#include "ui/common/Alerts.h"
#include "ui/common/UiText.h"
#include "ui/onboarding/OnboardingFlow.h"
#include "ui/onboarding/OnboardingPage.h"
#include "ui/onboarding/OnboardingStore.h"
#include "ui/setup/SetupWindowView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PylonApp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

namespace {

// The menu bar as "<menu>: <entry>, <entry>, …; <menu>: …", a divider as "-".
QString menuBar(MainWindow& window) {
    QStringList menus;
    for (const QAction* menu : window.menuBar()->actions()) {
        QStringList entries;
        for (const QAction* entry : menu->menu()->actions())
            entries << (entry->isSeparator() ? QStringLiteral("-") : withoutMnemonic(entry->text()));
        menus << withoutMnemonic(menu->text()) + QStringLiteral(": ") + entries.join(QStringLiteral(", "));
    }
    return menus.join(QStringLiteral("; "));
}

// On Linux the text says how Pylon itself is removed (the macOS wording is checked with the wordings).
// The message box titled `title` that is open now, if any.
QMessageBox* openBox(const QString& title) {
    QApplication::processEvents();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible() && box->text() == title)
            return box;
    }
    return nullptr;
}

const AlertContent uninstallConfirmation{"Uninstall Pylon?",
                                         "This will stop the background service and remove all app data. Afterward, "
                                         "remove Pylon with your package manager, or with make uninstall if you "
                                         "installed it from source.",
                                         {{"Uninstall", false}, {"Cancel", true}},
                                         true};

} // namespace

// Runs in the process's own home, set by main() before anything was built.
class FirstRunTest : public QObject {
    Q_OBJECT
private slots:
    void firstRunGoesThroughOnboardingToTheSetupWindow() {
        AppServices services;
        QVERIFY(!QFileInfo::exists(services.defaults().filePath()));
        PylonApp app(services, {QStringLiteral("Pylon")});
        app.show();
        MainWindow& window = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Pylon"));
        MainWindow development(QStringLiteral("Pylon-Dev")); // whose menus name the application
        QCOMPARE(menuBar(development),
                 QStringLiteral("Pylon-Dev: Check for Updates\u2026, Start at Login, -, Uninstall Pylon-Dev\u2026, -, Quit Pylon-Dev; "
                                "Help: Save Diagnostic Report\u2026, -, Pylon-Dev Help"));

        QPointer<OnboardingFlow> flow = qobject_cast<OnboardingFlow*>(window.content());
        QVERIFY(flow && flow->isVisible());
        QCOMPARE(flow->step(), OnboardingStep::intro);
        for (OnboardingStep next : {OnboardingStep::eula, OnboardingStep::automation, OnboardingStep::accessibility,
                                    OnboardingStep::getStarted}) {
            QTest::mouseClick(flow->currentPage()->primaryButton(), Qt::LeftButton);
            QCOMPARE(flow->step(), next);
            // Accepting the agreement starts the controller.
            QCOMPARE(app.controller().hasStarted(), next >= OnboardingStep::automation);
        }
        QVERIFY(!app.onboardingStore().isComplete());
        QVERIFY(!app.updateController().automaticallyChecksForUpdates());

        QTest::mouseClick(flow->currentPage()->primaryButton(), Qt::LeftButton);
        QVERIFY(app.onboardingStore().isComplete());
        QCOMPARE(UserDefaults(productionIdentifier).string(OnboardingStore::acceptedEulaVersionKey),
                 std::optional<QString>(QStringLiteral("1.2")));
        auto* setup = qobject_cast<SetupWindowView*>(window.content());
        QTRY_VERIFY(setup && setup->isVisible());
        QTRY_VERIFY(flow.isNull());
        QVERIFY(app.updateController().automaticallyChecksForUpdates());
        // Closing the window only hides it, without a tray too; the first time, a real message box says
        // so. Activating the application brings it back; a later close says nothing.
        QVERIFY(!app.isTrayShown() && !QApplication::quitOnLastWindowClosed());
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
        QMessageBox* notice = openBox(QStringLiteral("Pylon keeps running"));
        QVERIFY(notice && notice->informativeText().contains(QStringLiteral("applications menu")));
        notice->buttons().value(0)->click();
        QTRY_VERIFY(!openBox(QStringLiteral("Pylon keeps running")));
        app.activate();
        QTRY_VERIFY(window.isVisible());
        QCOMPARE(window.content(), static_cast<QWidget*>(setup));
        QVERIFY(window.close());
        QTest::qWait(50);
        QVERIFY(!openBox(QStringLiteral("Pylon keeps running")));
        app.activate();
    }

    // Started in the background, as at login, once onboarding is done: the controller and the update
    // checks start. (That no window shows is checked on a real display by the acceptance suite: here
    // the companion is missing, and its alert, with no tray, brings the window forward.)
    void backgroundStartShowsNoWindowUntilActivated() {
        AppServices services;
        QVERIFY(OnboardingStore(services.defaults(), services.loggers().menubar).isComplete());
        PylonApp app(services, {QStringLiteral("Pylon"), QStringLiteral("--background")});
        app.showInBackground();
        QVERIFY(app.controller().hasStarted());
        QVERIFY(app.updateController().automaticallyChecksForUpdates());
        QVERIFY(!QApplication::quitOnLastWindowClosed());
        app.activate();
        QVERIFY(QTest::qWaitForWindowExposed(&app.mainWindow()));
        QVERIFY(qobject_cast<SetupWindowView*>(app.mainWindow().content()));
    }

    // A later start shows the setup window and starts the controller itself. Last: the uninstall
    // removes this process's own data folder and settings.
    void uninstallRemovesWhatTheApplicationStoredOnceConfirmed() {
        const QString data = SystemInfo::dataHome() + QStringLiteral("/Pylon");
        const QString script = QDir::homePath() + QStringLiteral("/Music/Ableton/User Library/Remote Scripts/Pylon");
        QVERIFY(QDir().mkpath(script));
        // Other suites in this process may have left the runtime folder in the cache: make it certain.
        const QString cache = SystemInfo::cacheHome() + QStringLiteral("/net.ostrand.Pylon");
        QVERIFY(QDir().mkpath(cache));
        AppServices services;
        const QString settings = services.defaults().filePath();
        PylonApp app(services, {QStringLiteral("Pylon")});
        app.show();
        QVERIFY(qobject_cast<SetupWindowView*>(app.mainWindow().content()));
        QTRY_VERIFY(app.controller().hasStarted());
        QSignalSpy uninstalled(&app, &PylonApp::uninstalled);
        QList<AlertContent> asked;
        int answer = 1; // Cancel
        Alerts::nextAnswer = [&](const AlertContent& content) {
            asked << content;
            return answer;
        };
        auto restore = qScopeGuard([] { Alerts::nextAnswer = {}; });
        MessageCapture capture;

        app.handleURL(QStringLiteral("pylon://uninstall"));
        QCOMPARE(asked, QList<AlertContent>{uninstallConfirmation});
        QVERIFY(uninstalled.isEmpty() && QFileInfo::exists(data) && QFileInfo::exists(settings));

        answer = 0; // Uninstall
        app.mainWindow().uninstallAction()->trigger();
        QCOMPARE(asked, QList<AlertContent>(2, uninstallConfirmation));
        QTRY_COMPARE(uninstalled.size(), 1); // once the service manager has answered
        QCOMPARE(systemLog(capture, productionIdentifier + QStringLiteral(".uninstall")),
                 (QStringList{"Starting uninstall cleanup...", "Launch agent unregistered",
                              "Application Support deleted: " + data,
                              "Logs not found, skipping: " + SystemInfo::stateHome() + "/net.ostrand.Pylon",
                              "Cache deleted: " + cache,
                              "Autostart entry deleted: " + services.loginStart().entryPath(),
                              "UserDefaults cleared", "Uninstall cleanup complete"}));
        QVERIFY(!QFileInfo::exists(data) && !QFileInfo::exists(cache) && !QFileInfo::exists(settings));
        QVERIFY(!QFileInfo::exists(services.loginStart().entryPath()));
        QVERIFY(QFileInfo(script).isDir());
    }
};

std::unique_ptr<QObject> makeFirstRunTest() {
    return std::make_unique<FirstRunTest>();
}

#include "tst_firstrun.moc"
