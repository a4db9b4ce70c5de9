#include "MessageCapture.h"
#include "ShellSupport.h"
#include "TemporaryHome.h"

#include "core/AppServices.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"
#include "status/DynamicStatus.h"
#include "ui/common/Alerts.h"
#include "ui/onboarding/OnboardingFlow.h"
#include "ui/onboarding/OnboardingPage.h"
#include "ui/onboarding/OnboardingStore.h"
#include "ui/setup/SetupWindowView.h"
#include "ui/shell/FileDialogSaveLocation.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/OnboardingMenuContent.h"
#include "ui/shell/PylonApp.h"

#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

namespace {

// A menu's entries top to bottom, a divider as "-".
QStringList entries(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

// The menu bar as "<menu>: <entry> | <entry> | …", one string per menu.
QStringList menuBarEntries(MainWindow& window) {
    QStringList menus;
    for (const QAction* action : window.menuBar()->actions())
        menus << action->text() + QStringLiteral(": ") + entries(action->menu()->actions()).join(QStringLiteral(" | "));
    return menus;
}

QStringList productionMenus() {
    return {"Pylon: Check for Updates\u2026 | - | Uninstall Pylon\u2026 | - | Quit Pylon",
            "Help: Save Diagnostic Report\u2026 | - | Pylon Help"};
}

void publishStatus(PylonController& controller) {
    StatusResponse response;
    response.companion.condition = CompanionCondition::running;
    response.companion.isAcceleratorAddonLoaded = true;
    response.companion.isAcceleratorAvailable = true;
    response.companion.permissions = CompanionPermissions{true, true};
    response.companion.version = QStringLiteral("1.0.0");
    controller.dynamicStatus().setLastResponse(response);
}

void pressPrimary(OnboardingFlow* flow) {
    QTest::mouseClick(flow->currentPage()->primaryButton(), Qt::LeftButton);
}

const AlertContent uninstallConfirmation{
    QStringLiteral("Uninstall Pylon?"),
    QStringLiteral("This will stop the background service and remove all app data. You can delete the app from "
                   "Applications afterward."),
    {AlertButton{QStringLiteral("Uninstall"), false}, AlertButton{QStringLiteral("Cancel"), true}},
    true,
};

// Answers the uninstall confirmation with `button` and records it; any other alert is cancelled.
struct ConfirmationAnswer {
    explicit ConfirmationAnswer(int button) {
        Alerts::nextAnswer = [this, button](const AlertContent& content) {
            if (!content.title.startsWith(QStringLiteral("Uninstall")))
                return Alerts::cancelIndex(content);
            asked << content;
            return button;
        };
    }
    ~ConfirmationAnswer() { Alerts::nextAnswer = {}; }
    QList<AlertContent> asked;
};

// The messages of the process's menu-bar log so far.
QStringList sharedMenubarLog() {
    FileLogger::flushShared();
    return messagesOf(logLines(readFile(BuildEnvironment::current().menubarLogFile())), QStringLiteral("menubar"));
}

QString dataFolder() {
    return SystemInfo::dataHome() + QStringLiteral("/Pylon");
}

} // namespace

// Runs in the process's own home (HOME set by main() before anything was built): the application
// services take their environment and folders from it.
class FirstRunTest : public QObject {
    Q_OBJECT
private slots:
    void menusCarryTheApplicationCommands_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("menus");
        QTest::newRow("production") << "Pylon" << productionMenus();
        QTest::newRow("development") << "Pylon-Dev"
                                     << QStringList{"Pylon-Dev: Check for Updates\u2026 | - | Uninstall Pylon-Dev\u2026 | - "
                                                    "| Quit Pylon-Dev",
                                                    "Help: Save Diagnostic Report\u2026 | - | Pylon-Dev Help"};
    }
    void menusCarryTheApplicationCommands() {
        QFETCH(QString, name);
        QFETCH(QStringList, menus);
        MainWindow window(name);
        QCOMPARE(window.windowTitle(), QStringLiteral("Pylon"));
        QCOMPARE(window.objectName(), QStringLiteral("setup"));
        QCOMPARE(menuBarEntries(window), menus);
        QCOMPARE(window.checkForUpdatesAction()->text(), QStringLiteral("Check for Updates\u2026"));
        QCOMPARE(window.uninstallAction()->text(), QStringLiteral("Uninstall ") + name + QStringLiteral("\u2026"));
        QCOMPARE(window.quitAction()->text(), QStringLiteral("Quit ") + name);
        QCOMPARE(window.quitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QCOMPARE(window.saveDiagnosticReportAction()->text(), QStringLiteral("Save Diagnostic Report\u2026"));
        QCOMPARE(window.helpAction()->text(), name + QStringLiteral(" Help"));

        OnboardingMenuContent tray(name);
        QCOMPARE(entries(tray.menu().actions()), (QStringList{"Open Pylon Window", "-", "Quit " + name}));
        QCOMPARE(tray.menu().actions().last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QSignalSpy open(&tray, &OnboardingMenuContent::openWindowRequested);
        QSignalSpy quit(&tray, &OnboardingMenuContent::quitRequested);
        tray.menu().actions().first()->trigger();
        QCOMPARE(open.size(), 1);
        QCOMPARE(quit.size(), 0);
        tray.menu().actions().last()->trigger();
        QCOMPARE(quit.size(), 1);
    }

    void firstRunGoesThroughOnboardingToTheSetupWindow() {
        AppServices services;
        QVERIFY(!services.environment().isDevelopment());
        QVERIFY(!QFileInfo::exists(services.defaults().filePath()));
        PylonApp app(services, {QStringLiteral("Pylon")});
        QVERIFY(!app.onboardingStore().isComplete());
        app.show();
        MainWindow& window = app.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Pylon"));
        QCOMPARE(window.objectName(), QStringLiteral("setup"));
        QCOMPARE(menuBarEntries(window), productionMenus());

        QPointer<OnboardingFlow> flow = qobject_cast<OnboardingFlow*>(window.content());
        QVERIFY(flow);
        QVERIFY(flow->isVisible());
        QCOMPARE(flow->step(), OnboardingStep::intro);
        pressPrimary(flow);
        QCOMPARE(flow->step(), OnboardingStep::eula);
        QVERIFY(!app.controller().hasStarted());
        pressPrimary(flow); // accepts the agreement and starts the controller
        QCOMPARE(flow->step(), OnboardingStep::automation);
        QVERIFY(app.controller().hasStarted());
        publishStatus(app.controller());
        pressPrimary(flow);
        QCOMPARE(flow->step(), OnboardingStep::accessibility);
        publishStatus(app.controller());
        pressPrimary(flow);
        QCOMPARE(flow->step(), OnboardingStep::getStarted);
        QVERIFY(!app.onboardingStore().isComplete());
        QVERIFY(qobject_cast<OnboardingFlow*>(window.content()));

        pressPrimary(flow);
        QVERIFY(app.onboardingStore().isComplete());
        UserDefaults stored(productionIdentifier);
        QCOMPARE(stored.string(OnboardingStore::acceptedEulaVersionKey), std::optional<QString>(QStringLiteral("1.2")));
        auto* setup = qobject_cast<SetupWindowView*>(window.content());
        QVERIFY(setup);
        QTRY_VERIFY(setup->isVisible());
        QTRY_VERIFY(flow.isNull());
        QVERIFY(window.isVisible());
        QCOMPARE(menuBarEntries(window), productionMenus());
    }

    void aLaterStartShowsTheSetupWindowAndStartsTheController() {
        AppServices services;
        PylonApp app(services, {QStringLiteral("Pylon")});
        QVERIFY(app.onboardingStore().isComplete());
        QVERIFY(!app.controller().hasStarted());
        app.show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.mainWindow()));
        auto* setup = qobject_cast<SetupWindowView*>(app.mainWindow().content());
        QVERIFY(setup);
        QVERIFY(setup->isVisible());
        QTRY_VERIFY(app.controller().hasStarted());

        // Closing the window only hides it; activating the application brings it back.
        QVERIFY(app.mainWindow().close());
        QVERIFY(!app.mainWindow().isVisible());
        app.activate();
        QTRY_VERIFY(app.mainWindow().isVisible());
        QCOMPARE(app.mainWindow().content(), static_cast<QWidget*>(setup));
    }

    void uninstallCancelledDeletesNothing_data() {
        QTest::addColumn<QString>("via");
        QTest::addColumn<int>("confirmations");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("menu") << "menu" << 1 << QStringList{};
        QTest::newRow("URL") << "pylon://uninstall" << 1
                             << QStringList{"Received URL: pylon://uninstall", "Uninstall requested via URL scheme"};
        QTest::newRow("URL of the other mode")
            << "pylon-dev://uninstall" << 0
            << QStringList{"Received URL: pylon-dev://uninstall", "Ignoring URL (scheme pylon-dev doesn't match mode)"};
        QTest::newRow("URL with another host") << "pylon://settings" << 0 << QStringList{"Received URL: pylon://settings"};
    }
    void uninstallCancelledDeletesNothing() {
        QFETCH(QString, via);
        QFETCH(int, confirmations);
        QFETCH(QStringList, logged);
        AppServices services;
        PylonApp app(services, {QStringLiteral("Pylon")});
        app.show();
        QSignalSpy uninstalled(&app, &PylonApp::uninstalled);
        ConfirmationAnswer answer(1);
        QVERIFY(QFileInfo::exists(dataFolder()));
        QVERIFY(QFileInfo::exists(services.defaults().filePath()));
        const qsizetype before = sharedMenubarLog().size();

        if (via == QLatin1String("menu"))
            app.mainWindow().uninstallAction()->trigger();
        else
            app.handleURL(via);

        QCOMPARE(answer.asked.size(), confirmations);
        if (confirmations > 0)
            QCOMPARE(answer.asked.first(), uninstallConfirmation);
        QStringList urlLines;
        for (const QString& message : sharedMenubarLog().mid(before)) {
            if (message.contains(QStringLiteral("URL")))
                urlLines << message;
        }
        QCOMPARE(urlLines, logged);
        QCOMPARE(uninstalled.size(), 0);
        QVERIFY(QFileInfo::exists(dataFolder()));
        QVERIFY(QFileInfo::exists(BuildEnvironment::current().menubarLogFile()));
        QVERIFY(app.onboardingStore().isComplete());
    }

    void saveDiagnosticReportAsksWhereAndSaves() {
        AppServices services;
        PylonApp app(services, {QStringLiteral("Pylon")});
        app.show();
        QTemporaryDir target;
        const QString report = target.path() + QStringLiteral("/report.zip");
        QStringList suggested;
        FileDialogSaveLocation::nextAnswer = [&](const QString& path) -> std::optional<QString> {
            suggested << path;
            return report;
        };
        auto reset = qScopeGuard([] { FileDialogSaveLocation::nextAnswer = {}; });
        app.mainWindow().saveDiagnosticReportAction()->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(report).size() > 0, 60000);
        QCOMPARE(suggested.size(), 1);
        QVERIFY2(suggested.first().startsWith(QDir::homePath() + QLatin1Char('/')), qPrintable(suggested.first()));
        QVERIFY(suggested.first().endsWith(QStringLiteral(".zip")));
    }

    // Last: the clean-up removes this process's own data folder and settings.
    void uninstallConfirmedRemovesEverythingTheApplicationStored() {
        const QString logs = SystemInfo::stateHome() + QStringLiteral("/net.ostrand.Pylon");
        const QString caches = SystemInfo::cacheHome() + QStringLiteral("/net.ostrand.Pylon");
        QVERIFY(QDir().mkpath(logs + QStringLiteral("/old")));
        QVERIFY(QDir().mkpath(caches + QStringLiteral("/downloads")));
        const QString script = QDir::homePath() + QStringLiteral("/Music/Ableton/User Library/Remote Scripts/Pylon");
        QVERIFY(QDir().mkpath(script));
        AppServices services;
        const QString settings = services.defaults().filePath();
        PylonApp app(services, {QStringLiteral("Pylon")});
        app.show();
        QSignalSpy uninstalled(&app, &PylonApp::uninstalled);
        ConfirmationAnswer answer(0);
        MessageCapture capture;

        app.mainWindow().uninstallAction()->trigger();

        QCOMPARE(answer.asked, QList<AlertContent>{uninstallConfirmation});
        QCOMPARE(uninstalled.size(), 1);
        QStringList system;
        for (const MessageCapture::Message& message : capture.messages(productionIdentifier + QStringLiteral(".uninstall")))
            system << message.text;
        QCOMPARE(system, (QStringList{"Starting uninstall cleanup...", "Launch agent unregistered",
                                      "Application Support deleted: " + dataFolder(), "Logs deleted: " + logs,
                                      "Cache deleted: " + caches, "UserDefaults cleared", "Uninstall cleanup complete"}));
        QVERIFY(!QFileInfo::exists(dataFolder()));
        QVERIFY(!QFileInfo::exists(logs));
        QVERIFY(!QFileInfo::exists(caches));
        QVERIFY(!QFileInfo::exists(settings));
        QVERIFY(!UserDefaults(productionIdentifier).string(OnboardingStore::acceptedEulaVersionKey));
        QVERIFY(QFileInfo(script).isDir());
    }
};

std::unique_ptr<QObject> makeFirstRunTest() {
    return std::make_unique<FirstRunTest>();
}

#include "FirstRunTest.moc"
