#include "ControllerSurroundings.h"
#include "Fakes.h"
#include "UiTestSupport.h"
#include "core/Process.h"
#include "core/PylonController.h"
#include "foundation/FileLogger.h"
#include "platform/AccessibilityNotifications.h"
#include "ui/common/Alerts.h"
#include "ui/common/SymbolView.h"
#include "ui/menu/MenuBarView.h"
#include "ui/shell/ControllerAlertsPresenter.h"
#include "ui/setup/DevModeButtonsView.h"
#include "ui/setup/LiveSetupHelpView.h"
#include "ui/setup/MainConnectionSection.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using Condition = AbletonCondition;

namespace {

// "[Text -> operation]" per button ("!" before the text when prominent, "(disabled)" after), "~" before secondary text.
QString describe(const SetupButton& button) {
    static const char* const operations[] = {"openLoginItemsSettings", "openAccessibilitySettings", "openAutomationSettings",
                                             "restartCompanion", "openLogFile", "installRemoteScriptFromBundle",
                                             "openRemoteScriptsFolder", "showStagedRemoteScript"};
    return "[" + QString(button.prominent ? "!" : "") + button.text + " -> " + operations[int(button.operation)] + "]" +
           (button.enabled ? "" : "(disabled)");
}
QStringList describe(const ActionsContent& content) {
    QStringList lines;
    if (content.showsSetupHelp)
        lines << "setup help";
    if (content.showsProgress)
        lines << "progress";
    for (const ActionsBlock& block : content.blocks)
        lines << ((block.button ? describe(*block.button) + " " : "") + (block.secondary ? "~" : "") + block.text).trimmed();
    return lines;
}

// A controller on fakes that is never started, with its tray menu.
struct Menu : ControllerSurroundings {
    explicit Menu(bool development = false)
        : ControllerSurroundings(development ? QStringLiteral("net.ostrand.Pylon-Dev")
                                             : QStringLiteral("net.ostrand.Pylon"))
        , controller(context()) {}
    // The tray menu, and the controller's alerts as the application shows them beside it.
    MenuBarView& makeView(std::function<void()> onAppear = {}) {
        view = std::make_unique<MenuBarView>(controller, environment.appDisplayName(), onAppear);
        alerts = std::make_unique<ControllerAlertsPresenter>(controller, [] { return nullptr; });
        return *view;
    }
    DynamicStatus& status() { return controller.dynamicStatus(); }
    PylonController controller;
    std::unique_ptr<MenuBarView> view;
    std::unique_ptr<ControllerAlertsPresenter> alerts;
};

QMessageBox* openMessageBox() {
    settle();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

// The tray menu and the setup window: presenters as tables, widgets offscreen.
class SetupUiTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { (void)process::loggers(); } // the process's log, in m_home
    void cleanupTestCase() { process::flushLog(); }

    // The companion's state decides the companion's caption and colour, the menu's companion line and the actions.
    void companionStateRules() {
        const QString needs = "Running, but needs permission for some features",
                      needsLine = "Companion running (needs permissions)";
        const QString accessibility = "[Open Accessibility Settings -> openAccessibilitySettings] ~Accessibility "
                                      "permission lets you save your Live Set from Pylon on your iPhone.";
        const QString automation = "[Open Automation Settings -> openAutomationSettings] ~Automation permission lets "
                                   "Pylon read the name of the open Live Set.";
        const QString restart = "~You may need to restart Pylon after granting permission.";
        const struct { Kind kind; QString caption; Tint tint; QString line; bool action; QStringList actions; } rows[] = {
            {Kind::running, "Running", Tint::green, "Companion running", false, {}},
            {Kind::startingUp, "Starting\u2026", Tint::gray, "Companion starting\u2026", false,
             {"progress", "Starting companion\u2026"}},
            {Kind::runningNeedsAccessibility, needs, Tint::green, needsLine, true, {accessibility, restart}},
            {Kind::runningNeedsAutomation, needs, Tint::green, needsLine, true, {automation, restart}},
            {Kind::runningNeedsBothPermissions, needs, Tint::green, needsLine, true, {accessibility, automation, restart}},
            {Kind::notRunning, "Not running", Tint::gray, "Companion not running", true, {"[!Start -> restartCompanion]"}},
            {Kind::requiresLoginItemApproval, "Requires login item approval", Tint::yellow,
             "Companion needs login item approval", true,
             {"[!Open Login Items Settings -> openLoginItemsSettings] Pylon needs permission to run in the background."}},
            {Kind::error, "Companion launch failed", Tint::red, "Companion: Companion launch failed", true,
             {"[!Try Restarting -> restartCompanion] Pylon Companion couldn't start. Try restarting it. (E02)"}},
        };
        for (const auto& row : rows) {
            const ConnectionContent content = connectionContent(stateOf(row.kind), StatusFacts{});
            QCOMPARE(content.mac, (DeviceCaption{"Pylon Companion", row.caption}));
            QCOMPARE(content.macTint, row.tint);
            const MenuItem item = menuItems(stateOf(row.kind), std::nullopt, std::nullopt, "Pylon")[2];
            QCOMPARE(item.text, row.line);
            QVERIFY(item.isAction == row.action && item.enabled() == row.action);
            QCOMPARE(describe(actionsContent(stateOf(row.kind), Condition::connected)), row.actions);
        }
        QCOMPARE(describe(actionsContent(Kind::running, Condition::running)), QStringList{"setup help"});
        QCOMPARE(describe(actionsContent(Kind::startingUp, Condition::running)).first(), QStringLiteral("progress"));
    }

    // The last status document decides the Live and phone captions and colours, and the menu's Live and apps lines.
    void statusDocumentRules() {
        const auto status = [](Condition live, std::optional<QString> version, qint64 clients) {
            return std::optional(statusWith(true, true, clients, live, version));
        };
        const QString open = "Open Pylon on your iPhone", none = "No Pylon apps connected";
        const struct { std::optional<StatusResponse> status; QString live; Tint liveTint; QString phone; Tint phoneTint;
                       QString menuLive, menuApps; } rows[] = {
            {std::nullopt, "Live not running", Tint::gray, open, Tint::gray, "Live not running", none},
            {status(Condition::notRunning, "12.1.5", 1), "Live not running", Tint::gray, "Connected", Tint::green,
             "Live not running", "Pylon app connected"},
            {status(Condition::running, "12.1.5", 2), "Live 12.1.5 running", Tint::green, "2 devices connected",
             Tint::green, "Choose Pylon in Live's MIDI settings", "2 Pylon apps connected"},
            {status(Condition::connected, {}, 0), "Live connected", Tint::green, open, Tint::gray, "Live connected", none},
            {status(Condition::connected, "12.1.5", 0), "Live 12.1.5 connected", Tint::green, open, Tint::gray,
             "Live 12.1.5 connected", none},
            {status(Condition::busy, "12.1.5", 0), "Live busy (dialog open)", Tint::green, open, Tint::gray, "Live busy",
             none},
            {status(Condition::unresponsive, {}, 0), "Live not responding", Tint::green, open, Tint::gray,
             "Live not responding", none},
        };
        for (const auto& row : rows) {
            const ConnectionContent content = connectionContent(Kind::running, statusFacts(row.status));
            QCOMPARE(content.live, (DeviceCaption{"Live", row.live}));
            QCOMPARE(content.phone, (DeviceCaption{"Pylon App", row.phone}));
            QCOMPARE(QList({content.liveTint, content.liveLinkTint}), QList({row.liveTint, row.liveTint}));
            QCOMPARE(QList({content.phoneTint, content.phoneLinkTint}), QList({row.phoneTint, row.phoneTint}));
            const auto ableton = row.status ? std::optional(row.status->ableton) : std::nullopt;
            const auto companion = row.status ? std::optional(row.status->companion) : std::nullopt;
            const QList<MenuItem> items = menuItems(Kind::running, ableton, companion, "Pylon");
            QCOMPARE(QStringList({items[3].text, items[4].text}), QStringList({row.menuLive, row.menuApps}));
        }
        // Secondary text follows the palette, dimmed.
        const QColor light = tintColor(Tint::secondary, QPalette(Qt::black, Qt::white));
        QVERIFY(light.rgb() == QColor(Qt::black).rgb() && light.alphaF() < 0.7f);
        QCOMPARE(tintColor(Tint::secondary, QPalette(Qt::white, Qt::black)).rgb(), QColor(Qt::white).rgb());
        QVERIFY(isDarkPalette(QPalette(Qt::white, Qt::black)) && !isDarkPalette(QPalette(Qt::black, Qt::white)));
    }

    void versionRows() {
        const AbletonVersion live12 = liveVersion("12", true, true), missing12 = liveVersion("12", true, false);
        const Symbol check = Symbol::checkmarkCircleFill, dashed = Symbol::circleDashed;
        const struct { AbletonVersion version; StatusFacts facts; RowHeader header; } headers[] = {
            {liveVersion("12", false, false), {Condition::connected, "12.1.5", 1},
             {Symbol::exclamationmarkTriangleFill, Tint::orange, "Live 12 User Library not found"}},
            {missing12, {Condition::connected, "12.1.5", 0}, {check, Tint::green, "Live 12.1.5 connected"}},
            {live12, {Condition::running, "12.1.5", 0}, {check, Tint::green, "Live 12.1.5 running"}},
            {live12, {Condition::notRunning, "12.1.5", 0}, {check, Tint::secondary, "Live 12 control script installed", true}},
            {liveVersion("11", true, false), {Condition::connected, "12.1.5", 0},
             {dashed, Tint::secondary, "Live 11 control script not installed", true}},
            {live12, {Condition::connected, {}, 0}, {check, Tint::secondary, "Live 12 control script installed", true}},
            {missing12, {}, {dashed, Tint::secondary, "Live 12 control script not installed", true}},
        };
        for (const auto& row : headers)
            QCOMPARE(rowHeader(row.version, row.facts), row.header);

        QVERIFY(!rowStartsExpanded(live12));
        QVERIFY(rowStartsExpanded(missing12));
        QVERIFY(rowStartsExpanded(liveVersion("11", false, true))); // no library, flagged installed

        const QString advice = " You may need to manually install the Pylon control script.";
        const QString openFolder = "[Open Control Script Folder -> showStagedRemoteScript]";
        const struct { AbletonVersion version; QStringList expected; } contents[] = {
            {live12, {"[Reinstall for Live 12 -> installRemoteScriptFromBundle]",
                      "[Open Live 12 User Library -> openRemoteScriptsFolder]"}},
            {liveVersion("11", true, false), {"~The Pylon control script for Live 11 must be installed to use Pylon.",
                                              "[Install for Live 11 -> installRemoteScriptFromBundle]",
                                              "[Open Live 11 User Library -> openRemoteScriptsFolder]"}},
            {liveVersion("12", false, false, QStringLiteral("/home/user/Music/Gone")),
             {"~Pylon couldn't find the Live 12 User Library at \"/home/user/Music/Gone\"." + advice, openFolder}},
            {liveVersion("10", false, false), {"~Pylon couldn't find the Live 10 User Library." + advice, openFolder}},
        };
        for (const auto& row : contents) {
            const RowContent content = rowContent(row.version, false);
            QStringList lines;
            if (content.explanation)
                lines << "~" + *content.explanation;
            for (const SetupButton& button : content.buttons)
                lines << describe(button);
            QCOMPARE(lines, row.expected);
        }
    }

    // The seven entries, kept and redrawn from the model in every state, in both modes, and what they request; the
    // alerts' contents.
    void menuDrawsTheModel() {
        for (bool development : {false, true}) {
            Menu f(development);
            f.status().setLastResponse(statusWith(true, true, 2, Condition::connected, "12.1.5"));
            int appeared = 0;
            MenuBarView& view = f.makeView([&] { ++appeared; });
            const QList<QAction*> actions = view.actions(); // the cached status shows before any poll
            QCOMPARE(actions.size(), 7);
            QCOMPARE(actions[2]->text(), QStringLiteral("Companion starting\u2026"));
            QCOMPARE(actions[4]->text(), QStringLiteral("2 Pylon apps connected"));
            for (Kind kind : {Kind::running, Kind::startingUp, Kind::runningNeedsAccessibility,
                              Kind::runningNeedsAutomation, Kind::runningNeedsBothPermissions, Kind::notRunning,
                              Kind::requiresLoginItemApproval, Kind::error}) {
                putInState(f.status(), kind);
                QCOMPARE(f.view->actions(), actions);
                const QList<MenuItem> items = menuItems(f.status(), f.environment.appDisplayName());
                for (int i = 0; i < 7; ++i) {
                    QCOMPARE(actions[i]->isSeparator(), i == 1 || i == 5);
                    QCOMPARE(actions[i]->text(), items[i].text);
                    QCOMPARE(actions[i]->isEnabled(), items[i].enabled() || actions[i]->isSeparator());
                }
            }
            QCOMPARE(actions[0]->text(), QStringLiteral("Open Pylon Window"));
            QVERIFY(actions[0]->isEnabled() && actions[2]->isEnabled() && !actions[3]->isEnabled());
            QCOMPARE(f.view->quitAction(), actions[6]);
            QCOMPARE(actions[6]->text(), QString(development ? "Quit Pylon-Dev" : "Quit Pylon"));
            QCOMPARE(actions[6]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
            QSignalSpy open(&view, &MenuBarView::openWindowRequested);
            QSignalSpy quit(&view, &MenuBarView::quitRequested);
            actions[0]->trigger();
            actions[2]->trigger(); // the companion line is an action in the error state
            putInState(f.status(), Kind::running);
            actions[2]->trigger(); // plain text again: nothing happens
            QVERIFY(open.size() == 2 && quit.size() == 0 && appeared == 0);
            actions[6]->trigger();
            view.show();
            QVERIFY(open.size() == 2 && quit.size() == 1 && appeared == 1);
        }
        const AlertContent error = errorAlert(QStringLiteral("Companion registration failed: Binary not found"));
        QCOMPARE(error, (AlertContent{"Error", "Companion registration failed: Binary not found", {{"OK", true}}, true}));
        const QList<AlertButton> approval = loginItemApprovalAlert().buttons;
        QCOMPARE(approval, (QList<AlertButton>{{"Open System Settings", false}, {"Cancel", true}}));
        QCOMPARE(approval[openSettingsButton].text, QStringLiteral("Open System Settings"));
    }

    void alertsAnsweredThroughTheHook() {
        for (int answer : {0, 1}) { // "Open System Settings", "Cancel"
            Menu f;
            f.controller.setAlertMessage(QStringLiteral("Companion registration failed: x"));
            f.controller.setShowLoginItemApprovalAlert(true);
            QList<AlertContent> shown;
            Alerts::nextAnswer = [&](const AlertContent& content) { shown << content; return answer; };
            const auto restore = qScopeGuard([] { Alerts::nextAnswer = nullptr; });
            f.makeView(); // alerts raised before the menu show one after the other
            QCOMPARE(shown, (QList{errorAlert(QStringLiteral("Companion registration failed: x")), loginItemApprovalAlert()}));
            QVERIFY(!f.controller.alertMessage() && !f.controller.showLoginItemApprovalAlert());
            QCOMPARE(f.services.actions(), answer == 0 ? QStringList{"openLoginItems"} : QStringList{});
            f.controller.setShowLoginItemApprovalAlert(false); // lowering the flag shows nothing
            putInState(f.status(), Kind::notRunning);           // nor does a re-render; a new failure does
            f.controller.setAlertMessage(QStringLiteral("Failed: disk full"));
            QCOMPARE(shown.value(2), errorAlert(QStringLiteral("Failed: disk full")));
            QVERIFY(shown.size() == 3 && !f.controller.alertMessage());
        }
    }

    // Without the hook the alert is a real box that does not block: it is found, read and clicked.
    void alertsAsMessageBoxes() {
        Menu f;
        f.makeView();
        f.controller.setAlertMessage(QStringLiteral("first"));
        QMessageBox* box = openMessageBox();
        QVERIFY(box && box->windowModality() == Qt::ApplicationModal && box->informativeText() == "first");
        box->buttons().value(0)->click();
        QVERIFY(!f.controller.alertMessage() && !openMessageBox());
        f.controller.setAlertMessage(QStringLiteral("going away")); // a cleared message closes its box
        QVERIFY(openMessageBox());
        f.controller.setAlertMessage(std::nullopt);
        QVERIFY(!openMessageBox());
    }

    void missingTrayHostIsLoggedOnce() {
        const QByteArray line = "No system tray available: showing the main window instead, so Pylon stays reachable";
        const auto logged = [&] {
            process::flushLog();
            return readFile(process::environment().menubarLogFile()).count(line);
        };
        QVERIFY(MenuBarView::reportTrayHost(true, process::loggers().menubar) && logged() == 0);
        QVERIFY(!MenuBarView::reportTrayHost(false, process::loggers().menubar) &&
                !MenuBarView::reportTrayHost(false, process::loggers().menubar));
        QCOMPARE(logged(), 1);
    }

    void eachButtonCallsItsOperation() {
        const QString live12 = liveVersion("12", true, true).id, live11 = liveVersion("11", true, false).id;
        const struct { Kind kind; bool development; QString button; QString call; } rows[] = {
            {Kind::notRunning, false, "Start", "restartCompanion"},
            {Kind::requiresLoginItemApproval, false, "Open Login Items Settings", "openLoginItemsSettings"},
            {Kind::runningNeedsBothPermissions, false, "Open Accessibility Settings", "openAccessibilitySettings"},
            {Kind::runningNeedsBothPermissions, false, "Open Automation Settings", "openAutomationSettings"},
            {Kind::running, false, "Install for Live 11", "installRemoteScriptFromBundle " + live11},
            {Kind::running, false, "Open Live 12 User Library", "openRemoteScriptsFolder " + live12},
            {Kind::running, false, "Open Control Script Folder", "showStagedRemoteScript"},
            {Kind::running, true, "View Log", "openLogFile"},
        };
        for (const auto& row : rows) {
            Window window(row.development);
            window.enter(row.kind);
            QPushButton* target = window.button(row.button);
            QVERIFY2(target && target->isEnabled(), qPrintable(row.button));
            QCOMPARE(window.view->findChildren<DevModeButtonsView*>().size(), row.development ? 1 : 0);
            QTest::mouseClick(target, Qt::LeftButton);
            QCOMPARE(window.controller.calls, QStringList{row.call});
        }
    }

    void rowsNameTheirPlaceWhenTheListNamesPlaces() {
        AbletonVersion wine = liveVersion("12", true, false);
        wine.placeLabel = QStringLiteral("Wine: ~/.wine");
        QCOMPARE(rowHeader(wine, {}).text, "Live 12 (Wine: ~/.wine) control script not installed");
        // The running Live is still matched by its version number.
        QCOMPARE(rowHeader(wine, {Condition::connected, "12.1.5", 0}).text, "Live 12.1.5 connected");
        QStringList buttons;
        for (const SetupButton& button : rowContent(wine, false).buttons)
            buttons << button.text;
        QCOMPARE(buttons,
                 (QStringList{"Install for Live 12 (Wine: ~/.wine)", "Open Live 12 (Wine: ~/.wine) User Library"}));
        wine.userLibraryPath.reset();
        QCOMPARE(rowHeader(wine, {}).text, "Live 12 (Wine: ~/.wine) User Library not found");
    }

    // Beside "Ableton Live not found": the folder chooser (the real dialog), whose choice goes to the controller.
    void addWinePrefixChoosesAFolder() {
        Window window;
        QVERIFY(window.view->instancesSection()->showsNotice());
        QPushButton* add = window.button(QStringLiteral("Add Wine Prefix\u2026"));
        QVERIFY(add);
        const QString chosen = window.home.path();
        for (const bool accept : {false, true}) {
            bool answered = false;
            QTimer::singleShot(0, [&] {
                auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                answered = chooser && chooser->windowTitle() == "Add Wine Prefix" &&
                           chooser->fileMode() == QFileDialog::Directory;
                if (!chooser)
                    return;
                if (accept) {
                    chooser->setDirectory(chosen);
                    chooser->selectFile(chosen);
                    static_cast<QDialog*>(chooser)->accept(); // QFileDialog's own, through QDialog's public one
                } else {
                    chooser->reject();
                }
            });
            QTest::mouseClick(add, Qt::LeftButton);
            QVERIFY(answered);
        }
        QCOMPARE(window.controller.calls, QStringList{"addWinePrefix " + chosen});
    }

    void installButtonsWaitForARunningInstallation() {
        Window window;
        window.enter(Kind::running);
        window.controller.setInstalling(true);
        settle();
        QTest::mouseClick(window.button(QStringLiteral("Install for Live 11")), Qt::LeftButton);
        QVERIFY(window.controller.calls.isEmpty());
        window.controller.setInstalling(false);
        settle();
        QVERIFY(window.button(QStringLiteral("Install for Live 11"))->isEnabled());
    }

    void rowsStartByTheRuleAndFollowClicks() {
        Window window(false, {liveVersion("12", true, true), liveVersion("11", true, false)});
        AbletonVersionRow* installed = window.row(0);
        AbletonVersionRow* missing = window.row(1);
        QVERIFY(!installed->isExpanded() && missing->isExpanded() && !window.button("Reinstall for Live 12"));
        QCOMPARE(installed->disclosure()->chevron()->symbol(), Symbol::chevronRight);
        QTest::mouseClick(installed->disclosure()->header(), Qt::LeftButton);
        QTest::mouseClick(missing->disclosure()->header(), Qt::LeftButton);
        QCOMPARE(installed->disclosure()->chevron()->symbol(), Symbol::chevronDown);
        QVERIFY(installed->isExpanded() && !missing->isExpanded() && window.button("Reinstall for Live 12"));
        // The choices outlive re-renders and a new list with the same libraries, even when a script's state changes.
        putInState(window.status, Kind::runningNeedsAutomation);
        window.controller.setVersions({liveVersion("12", true, true), liveVersion("11", true, true)});
        QVERIFY(window.row(0) == installed && installed->isExpanded() && !missing->isExpanded());
    }

    // The window is 720 wide, starts the controller on every appearance, and redraws devices, Live rows and the
    // setup help on every status; its height follows its content.
    void windowFollowsTheStatus() {
        Window window;
        MainConnectionSection* devices = window.view->connectionSection();
        const auto tints = [&] {
            return QList<Tint>{devices->liveBox()->tint(), devices->liveLink()->tint(), devices->mac()->tint(),
                               devices->phoneLink()->tint(), devices->phone()->tint()};
        };
        const auto height = [&] { // the height the window is held at; the window system applies it later
            settle();
            return window.view->minimumHeight() == window.view->maximumHeight() ? window.view->maximumHeight() : -1;
        };
        const auto help = [&] { return window.view->findChildren<LiveSetupHelpView*>(); };
        QVERIFY(window.view->minimumWidth() == 720 && window.view->maximumWidth() == 720);
        putInState(window.status, Kind::notRunning);
        QVERIFY(tints() == QList<Tint>(5, Tint::gray) && window.view->instancesSection()->showsNotice());
        window.controller.setVersions({liveVersion("12", true, true)});
        QVERIFY(!window.view->instancesSection()->showsNotice() && window.view->instancesSection()->height() == 140);
        window.status.setLastResponse(statusWith(true, true, 0, Condition::notRunning));
        settle();
        const int plainHeight = height();
        QVERIFY(help().isEmpty() && plainHeight == window.view->sizeHint().height());
        window.status.setLastResponse(statusWith(true, true, 0, Condition::running, "12.1.5"));
        settle();
        QVERIFY(help().size() == 1 && help().first()->hasPicture() && height() > plainHeight + 250);
        QCOMPARE(help().first()->findChild<QLabel*>("AbletonMidiSettings")->width(), 500); // 1000 wide, fitted
        window.status.setLastResponse(statusWith(true, true, 2, Condition::connected, "12.1.5"));
        settle();
        QVERIFY(help().isEmpty() && height() == plainHeight);
        QCOMPARE(tints(), QList<Tint>(5, Tint::green));
        QCOMPARE(window.row(0)->headerLabel()->text(), QStringLiteral("Live 12.1.5 connected"));
        window.view->hide();
        window.view->show();
        QCOMPARE(window.appeared, 2);
    }

private:
    TemporaryHome m_home; // the process's log lives here
};

QTEST_MAIN(SetupUiTest)
#include "tst_ui_setup.moc"
