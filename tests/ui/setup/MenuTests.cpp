#include "UiTestSupport.h"
#include "core/BuildEnvironment.h"
#include "diagnostics/FileLogger.h"
#include "status/PylonError.h"
#include "ui/common/Alerts.h"
#include "ui/menu/MenuBarView.h"
#include "ui/menu/MenuPresenter.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using Kind = CompanionState::Kind;
using ItemKind = MenuItem::Kind;

Q_DECLARE_METATYPE(pylon::CompanionState::Kind)
Q_DECLARE_METATYPE(std::optional<pylon::AbletonStatusResponse>)
Q_DECLARE_METATYPE(std::optional<pylon::CompanionStatusResponse>)

namespace {

CompanionState stateOf(Kind kind) {
    return kind == Kind::error ? CompanionState::failed(PylonError::companionLaunchFailed("Binary not found"))
                               : CompanionState(kind);
}

std::optional<AbletonStatusResponse> live(AbletonCondition condition, std::optional<QString> version = {}) {
    AbletonStatusResponse ableton;
    ableton.condition = condition;
    ableton.version = version;
    return ableton;
}

std::optional<CompanionStatusResponse> clients(qint64 count) {
    CompanionStatusResponse companion;
    companion.clientCount = count;
    return companion;
}

QStringList menubarLogMessages() {
    FileLogger::flushShared();
    QStringList messages;
    for (const QByteArray& line : readFile(BuildEnvironment::current().menubarLogFile()).split('\n')) {
        if (!line.isEmpty())
            messages << QString::fromUtf8(line.mid(line.indexOf("] ", line.indexOf("][")) + 2));
    }
    return messages;
}

// Answers every alert with `answer` and keeps what was shown; restores the real boxes afterwards.
struct AnsweringAlerts {
    explicit AnsweringAlerts(int answer) {
        Alerts::nextAnswer = [this, answer](const AlertContent& content) {
            shown << content;
            return answer;
        };
    }
    ~AnsweringAlerts() { Alerts::nextAnswer = nullptr; }
    QList<AlertContent> shown;
};

QMessageBox* openMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

class MenuTest : public QObject {
    Q_OBJECT
private slots:
    void companionLineByState_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isAction");
        QTest::newRow("running") << Kind::running << "Companion running" << false;
        QTest::newRow("starting") << Kind::startingUp << "Companion starting\u2026" << false;
        QTest::newRow("needs accessibility")
            << Kind::runningNeedsAccessibility << "Companion running (needs permissions)" << true;
        QTest::newRow("needs automation")
            << Kind::runningNeedsAutomation << "Companion running (needs permissions)" << true;
        QTest::newRow("needs both") << Kind::runningNeedsBothPermissions << "Companion running (needs permissions)"
                                    << true;
        QTest::newRow("not running") << Kind::notRunning << "Companion not running" << true;
        QTest::newRow("approval") << Kind::requiresLoginItemApproval << "Companion needs login item approval" << true;
        QTest::newRow("E02") << Kind::error << "Companion: Companion launch failed" << true;
    }
    void companionLineByState() {
        QFETCH(Kind, kind);
        QFETCH(QString, text);
        QFETCH(bool, isAction);
        const QList<MenuItem> items = menuItems(stateOf(kind), std::nullopt, std::nullopt, QStringLiteral("Pylon"));
        QCOMPARE(items[2].kind, ItemKind::companionLine);
        QCOMPARE(items[2].text, text);
        QCOMPARE(items[2].isAction, isAction);
        QCOMPARE(items[2].enabled(), isAction);
    }

    void liveLineByCondition_data() {
        QTest::addColumn<std::optional<AbletonStatusResponse>>("ableton");
        QTest::addColumn<QString>("text");
        QTest::newRow("no status") << std::optional<AbletonStatusResponse>() << "Live not running";
        QTest::newRow("not running") << live(AbletonCondition::notRunning) << "Live not running";
        QTest::newRow("running") << live(AbletonCondition::running, "12.1.5") << "Choose Pylon in Live's MIDI settings";
        QTest::newRow("connected 12.1.5") << live(AbletonCondition::connected, "12.1.5") << "Live 12.1.5 connected";
        QTest::newRow("connected, no version") << live(AbletonCondition::connected) << "Live connected";
        QTest::newRow("busy") << live(AbletonCondition::busy, "12.1.5") << "Live busy";
        QTest::newRow("unresponsive") << live(AbletonCondition::unresponsive) << "Live not responding";
    }
    void liveLineByCondition() {
        QFETCH(std::optional<AbletonStatusResponse>, ableton);
        QFETCH(QString, text);
        const QList<MenuItem> items = menuItems(Kind::running, ableton, std::nullopt, QStringLiteral("Pylon"));
        QCOMPARE(items[3].kind, ItemKind::liveLine);
        QCOMPARE(items[3].text, text);
        QVERIFY(!items[3].isAction);
    }

    void clientsLineByCount_data() {
        QTest::addColumn<std::optional<CompanionStatusResponse>>("companion");
        QTest::addColumn<QString>("text");
        QTest::newRow("no status") << std::optional<CompanionStatusResponse>() << "No Pylon apps connected";
        QTest::newRow("0") << clients(0) << "No Pylon apps connected";
        QTest::newRow("1") << clients(1) << "Pylon app connected";
        QTest::newRow("2") << clients(2) << "2 Pylon apps connected";
        QTest::newRow("12") << clients(12) << "12 Pylon apps connected";
    }
    void clientsLineByCount() {
        QFETCH(std::optional<CompanionStatusResponse>, companion);
        QFETCH(QString, text);
        const QList<MenuItem> items = menuItems(Kind::running, std::nullopt, companion, QStringLiteral("Pylon"));
        QCOMPARE(items[4].kind, ItemKind::clientsLine);
        QCOMPARE(items[4].text, text);
        QVERIFY(!items[4].isAction);
    }

    void sevenItemsInOrderInBothModes_data() {
        QTest::addColumn<QString>("appDisplayName");
        QTest::addColumn<QString>("quitText");
        QTest::newRow("production") << "Pylon"
                                    << "Quit Pylon";
        QTest::newRow("development") << "Pylon-Dev"
                                     << "Quit Pylon-Dev";
    }
    void sevenItemsInOrderInBothModes() {
        QFETCH(QString, appDisplayName);
        QFETCH(QString, quitText);
        const QList<MenuItem> items = menuItems(Kind::running, std::nullopt, std::nullopt, appDisplayName);
        const QList<ItemKind> kinds{ItemKind::openWindow, ItemKind::separator,   ItemKind::companionLine,
                                    ItemKind::liveLine,   ItemKind::clientsLine, ItemKind::separator,
                                    ItemKind::quit};
        QCOMPARE(items.size(), kinds.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            QCOMPARE(items[i].kind, kinds[i]);
            QCOMPARE(items[i].shortcut.isEmpty(), kinds[i] != ItemKind::quit);
        }
        QCOMPARE(items[0].text, QStringLiteral("Open Pylon Window"));
        QVERIFY(items[0].isAction);
        QCOMPARE(items[6].text, quitText);
        QVERIFY(items[6].isAction);
        QCOMPARE(items[6].shortcut, QKeySequence(QStringLiteral("Ctrl+Q")));
    }

    void alertContents() {
        const AlertContent error = errorAlert(QStringLiteral("Companion registration failed: Binary not found"));
        QCOMPARE(error.title, QStringLiteral("Error"));
        QCOMPARE(error.message, QStringLiteral("Companion registration failed: Binary not found"));
        QCOMPARE(error.buttons, (QList<AlertButton>{{QStringLiteral("OK"), true}}));
        QCOMPARE(errorAlert(std::nullopt).message, QString());

        const AlertContent approval = loginItemApprovalAlert();
        QCOMPARE(approval.title, QStringLiteral("Pylon Companion requires approval"));
        QCOMPARE(approval.message,
                 QStringLiteral("Pylon needs permission to run its companion. Please enable it in Login Items."));
        QCOMPARE(approval.buttons, (QList<AlertButton>{{QStringLiteral("Open System Settings"), false},
                                                       {QStringLiteral("Cancel"), true}}));
        QCOMPARE(approval.buttons[openSettingsButton].text, QStringLiteral("Open System Settings"));
    }

    // The widget: actions and enabled states for each state of the model.
    void menuFollowsTheModel_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("companionText");
        QTest::addColumn<bool>("companionEnabled");
        QTest::newRow("running") << Kind::running << "Companion running" << false;
        QTest::newRow("starting") << Kind::startingUp << "Companion starting\u2026" << false;
        QTest::newRow("needs accessibility")
            << Kind::runningNeedsAccessibility << "Companion running (needs permissions)" << true;
        QTest::newRow("needs automation")
            << Kind::runningNeedsAutomation << "Companion running (needs permissions)" << true;
        QTest::newRow("needs both") << Kind::runningNeedsBothPermissions << "Companion running (needs permissions)"
                                    << true;
        QTest::newRow("not running") << Kind::notRunning << "Companion not running" << true;
        QTest::newRow("approval") << Kind::requiresLoginItemApproval << "Companion needs login item approval" << true;
        QTest::newRow("E02") << Kind::error << "Companion: Companion launch failed" << true;
    }
    void menuFollowsTheModel() {
        QFETCH(Kind, kind);
        QFETCH(QString, companionText);
        QFETCH(bool, companionEnabled);
        UnstartedController f;
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        const QList<QAction*> before = view.actions();
        putInState(f.status(), kind);
        const QList<QAction*> actions = view.actions();
        QCOMPARE(actions, before); // the same entries, redrawn
        QCOMPARE(actions.size(), 7);
        const bool separators[] = {false, true, false, false, false, true, false};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(actions[i]->isSeparator(), separators[i]);
        QCOMPARE(actions[0]->text(), QStringLiteral("Open Pylon Window"));
        QVERIFY(actions[0]->isEnabled());
        QCOMPARE(actions[2]->text(), companionText);
        QCOMPARE(actions[2]->isEnabled(), companionEnabled);
        QCOMPARE(actions[3]->text(), QStringLiteral("Live not running"));
        QVERIFY(!actions[3]->isEnabled());
        QCOMPARE(actions[4]->text(), QStringLiteral("No Pylon apps connected"));
        QVERIFY(!actions[4]->isEnabled());
        QCOMPARE(actions[6]->text(), QStringLiteral("Quit Pylon"));
        QVERIFY(actions[6]->isEnabled());
        QCOMPARE(actions[6]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    }

    void cachedStatusShowsBeforeTheFirstPoll() {
        UnstartedController f;
        f.status().setLastResponse(statusWith(true, true, true, 2, AbletonCondition::connected, "12.1.5"));
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        const QList<QAction*> actions = view.actions();
        QCOMPARE(actions[2]->text(), QStringLiteral("Companion starting\u2026"));
        QVERIFY(!actions[2]->isEnabled());
        QCOMPARE(actions[3]->text(), QStringLiteral("Live 12.1.5 connected"));
        QCOMPARE(actions[4]->text(), QStringLiteral("2 Pylon apps connected"));
    }

    void quitNamesTheDevelopmentBuild() {
        UnstartedController f(true);
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        QCOMPARE(view.quitAction()->text(), QStringLiteral("Quit Pylon-Dev"));
    }

    void entriesEmitTheirRequests() {
        UnstartedController f;
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        QSignalSpy open(&view, &MenuBarView::openWindowRequested);
        QSignalSpy quit(&view, &MenuBarView::quitRequested);
        view.actions()[0]->trigger();
        QCOMPARE(open.size(), 1);
        putInState(f.status(), Kind::notRunning);
        view.actions()[2]->trigger(); // the companion line is an action now
        QCOMPARE(open.size(), 2);
        putInState(f.status(), Kind::running);
        view.actions()[2]->trigger(); // plain text again: nothing happens
        QCOMPARE(open.size(), 2);
        QCOMPARE(quit.size(), 0);
        view.quitAction()->trigger();
        QCOMPARE(quit.size(), 1);
        QCOMPARE(open.size(), 2);
    }

    void showRunsOnAppear() {
        UnstartedController f;
        int appeared = 0;
        MenuBarView view(*f.controller, f.env.environment.appDisplayName(), [&] { ++appeared; });
        QCOMPARE(appeared, 0);
        view.show();
        QCOMPARE(appeared, 1);
    }

    void errorAlertIsClearedWhenDismissed() {
        UnstartedController f;
        AnsweringAlerts alerts(0);
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        QVERIFY(alerts.shown.isEmpty());
        f.controller->setAlertMessage(QStringLiteral("Companion registration failed: Binary not found"));
        QCOMPARE(alerts.shown.size(), 1);
        QCOMPARE(alerts.shown[0], errorAlert(QStringLiteral("Companion registration failed: Binary not found")));
        QVERIFY(!f.controller->alertMessage());
        // A re-render does not bring it back; a new failure does.
        putInState(f.status(), Kind::notRunning);
        QCOMPARE(alerts.shown.size(), 1);
        f.controller->setAlertMessage(QStringLiteral("Failed: disk full"));
        QCOMPARE(alerts.shown.size(), 2);
        QCOMPARE(alerts.shown[1].message, QStringLiteral("Failed: disk full"));
        QVERIFY(!f.controller->alertMessage());
    }

    void approvalAlertAnswers_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("serviceActions");
        QTest::newRow("Open System Settings") << 0 << QStringList{QStringLiteral("openLoginItems")};
        QTest::newRow("Cancel") << 1 << QStringList{};
    }
    void approvalAlertAnswers() {
        QFETCH(int, answer);
        QFETCH(QStringList, serviceActions);
        UnstartedController f;
        AnsweringAlerts alerts(answer);
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        f.controller->setShowLoginItemApprovalAlert(true);
        QCOMPARE(alerts.shown, QList<AlertContent>{loginItemApprovalAlert()});
        QCOMPARE(f.services.actions(), serviceActions);
        QVERIFY(!f.controller->showLoginItemApprovalAlert());
        f.controller->setShowLoginItemApprovalAlert(false); // lowering the flag shows nothing
        QCOMPARE(alerts.shown.size(), 1);
    }

    void alertsRaisedBeforeTheMenuShowOneAfterTheOther() {
        UnstartedController f;
        f.controller->setAlertMessage(QStringLiteral("Companion registration failed: x"));
        f.controller->setShowLoginItemApprovalAlert(true);
        AnsweringAlerts alerts(1);
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        QCOMPARE(alerts.shown.size(), 2);
        QCOMPARE(alerts.shown[0].title, QStringLiteral("Error"));
        QCOMPARE(alerts.shown[1].title, QStringLiteral("Pylon Companion requires approval"));
        QVERIFY(!f.controller->alertMessage());
        QVERIFY(!f.controller->showLoginItemApprovalAlert());
    }

    // Without the hook the alert is a real box that does not block: it is found, read and clicked.
    void errorAlertAsMessageBox() {
        UnstartedController f;
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        f.controller->setAlertMessage(QStringLiteral("first"));
        QMessageBox* box = openMessageBox();
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
        QCOMPARE(box->informativeText(), QStringLiteral("first"));
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        f.controller->setAlertMessage(QStringLiteral("second")); // one message at a time, the latest
        QCOMPARE(openMessageBox(), box);
        QCOMPARE(box->informativeText(), QStringLiteral("second"));
        QCOMPARE(box->buttons().size(), 1);
        box->buttons().first()->click();
        QVERIFY(!f.controller->alertMessage());
        settle();
        QVERIFY(!openMessageBox());
    }

    void approvalAsMessageBoxOpensSettings() {
        UnstartedController f;
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        f.controller->setShowLoginItemApprovalAlert(true);
        QMessageBox* box = openMessageBox();
        QVERIFY(box);
        QList<QAbstractButton*> open;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == QStringLiteral("Open System Settings"))
                open << button;
        }
        QCOMPARE(open.size(), 1);
        open.first()->click();
        QCOMPARE(f.services.actions(), QStringList{QStringLiteral("openLoginItems")});
        QVERIFY(!f.controller->showLoginItemApprovalAlert());
        settle();
    }

    void clearedMessageClosesTheBox() {
        UnstartedController f;
        MenuBarView view(*f.controller, f.env.environment.appDisplayName());
        f.controller->setAlertMessage(QStringLiteral("going away"));
        QVERIFY(openMessageBox());
        f.controller->setAlertMessage(std::nullopt);
        settle();
        QVERIFY(!openMessageBox());
        QVERIFY(!f.controller->alertMessage());
    }

    void missingTrayHostIsLoggedOnce() {
        const QString line =
            QStringLiteral("No system tray available: showing the main window instead, so Pylon stays reachable");
        const qsizetype before = menubarLogMessages().count(line);
        QVERIFY(MenuBarView::reportTrayHost(true));
        QCOMPARE(menubarLogMessages().count(line), before);
        QVERIFY(!MenuBarView::reportTrayHost(false));
        QVERIFY(!MenuBarView::reportTrayHost(false));
        QCOMPARE(menubarLogMessages().count(line), 1);
    }
};

int runMenuTests(int argc, char** argv) {
    MenuTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MenuTests.moc"
