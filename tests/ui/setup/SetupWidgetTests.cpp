#include "FakeSetupController.h"
#include "UiTestSupport.h"
#include "ui/common/SymbolView.h"
#include "ui/common/Symbols.h"
#include "ui/setup/AbletonInstancesSection.h"
#include "ui/setup/AbletonVersionRow.h"
#include "ui/setup/ActionsView.h"
#include "ui/setup/AlignedDisclosure.h"
#include "ui/setup/DevModeButtonsView.h"
#include "ui/setup/LiveSetupHelpView.h"
#include "ui/setup/MainConnectionSection.h"
#include "ui/setup/SetupWindowView.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using Kind = CompanionState::Kind;

Q_DECLARE_METATYPE(pylon::CompanionState::Kind)
Q_DECLARE_METATYPE(pylon::ui::Symbol)

namespace {

// A shown setup window over a status model and a fake controller.
struct Window {
    explicit Window(bool development = false, QList<AbletonVersion> versions = {})
        : env(development) {
        controller.versions = std::move(versions);
        env.addSetupPicture(QSize(1000, 600));
        view = std::make_unique<SetupWindowView>(status.status, controller, env.environment, [this] { ++appeared; });
        view->show();
    }
    DynamicStatus& model() { return status.status; }
    QPushButton* button(const QString& text) {
        const QList<QPushButton*> found = visibleWithText<QPushButton>(view.get(), text);
        return found.size() == 1 ? found.first() : nullptr;
    }
    QStringList visibleButtons() {
        QStringList texts;
        for (QPushButton* button : view->findChildren<QPushButton*>()) {
            if (button->isVisibleTo(view.get()))
                texts << button->text();
        }
        return texts;
    }
    // The size the window is held at (the window system applies it on its next turn).
    int fixedHeight() const {
        settle();
        return view->minimumHeight() == view->maximumHeight() ? view->maximumHeight() : -1;
    }
    AbletonVersionRow* row(int index) { return view->instancesSection()->rows().value(index); }

    StatusFixture status;
    TestEnvironment env;
    FakeSetupController controller;
    int appeared = 0;
    std::unique_ptr<SetupWindowView> view;
};

enum class Scene { notRunning, approval, error, needsBoth, rows };

void enter(Window& window, Scene scene) {
    switch (scene) {
    case Scene::notRunning:
        putInState(window.model(), Kind::notRunning);
        break;
    case Scene::approval:
        putInState(window.model(), Kind::requiresLoginItemApproval);
        break;
    case Scene::error:
        putInState(window.model(), Kind::error);
        break;
    case Scene::needsBoth:
        putInState(window.model(), Kind::runningNeedsBothPermissions);
        break;
    case Scene::rows:
        putInState(window.model(), Kind::running);
        window.controller.setVersions(
            {liveVersion("12", true, true), liveVersion("11", true, false), liveVersion("10", false, false)});
        for (AbletonVersionRow* row : window.view->instancesSection()->rows())
            row->disclosure()->setExpanded(true);
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Scene)

class SetupWidgetTest : public QObject {
    Q_OBJECT
private slots:
    void eachButtonCallsItsOperation_data() {
        QTest::addColumn<Scene>("scene");
        QTest::addColumn<bool>("development");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("call");
        const QString live12 = liveVersion("12", true, true).id;
        const QString live11 = liveVersion("11", true, false).id;
        QTest::newRow("Start") << Scene::notRunning << false << "Start"
                               << "restartCompanion";
        QTest::newRow("Open Login Items Settings") << Scene::approval << false << "Open Login Items Settings"
                                                   << "openLoginItemsSettings";
        QTest::newRow("Try Restarting") << Scene::error << false << "Try Restarting"
                                        << "restartCompanion";
        QTest::newRow("Open Accessibility Settings") << Scene::needsBoth << false << "Open Accessibility Settings"
                                                     << "openAccessibilitySettings";
        QTest::newRow("Open Automation Settings") << Scene::needsBoth << false << "Open Automation Settings"
                                                  << "openAutomationSettings";
        QTest::newRow("Reinstall for Live 12") << Scene::rows << false << "Reinstall for Live 12"
                                               << "installRemoteScriptFromBundle " + live12;
        QTest::newRow("Install for Live 11") << Scene::rows << false << "Install for Live 11"
                                             << "installRemoteScriptFromBundle " + live11;
        QTest::newRow("Open Live 12 User Library") << Scene::rows << false << "Open Live 12 User Library"
                                                   << "openRemoteScriptsFolder " + live12;
        QTest::newRow("Open Live 11 User Library") << Scene::rows << false << "Open Live 11 User Library"
                                                   << "openRemoteScriptsFolder " + live11;
        QTest::newRow("Open Control Script Folder") << Scene::rows << false << "Open Control Script Folder"
                                                    << "showStagedRemoteScript";
        QTest::newRow("dev Restart") << Scene::rows << true << "Restart"
                                     << "restartCompanion";
        QTest::newRow("dev View Log") << Scene::rows << true << "View Log"
                                      << "openLogFile";
    }
    void eachButtonCallsItsOperation() {
        QFETCH(Scene, scene);
        QFETCH(bool, development);
        QFETCH(QString, button);
        QFETCH(QString, call);
        Window window(development);
        enter(window, scene);
        QPushButton* target = window.button(button);
        QVERIFY2(target, qPrintable(window.visibleButtons().join(QStringLiteral(", "))));
        QVERIFY(target->isEnabled());
        QTest::mouseClick(target, Qt::LeftButton);
        QCOMPARE(window.controller.calls, QStringList{call});
    }

    void buttonsOfEachState_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("running") << Kind::running << QStringList{};
        QTest::newRow("starting") << Kind::startingUp << QStringList{};
        QTest::newRow("needs accessibility")
            << Kind::runningNeedsAccessibility << QStringList{"Open Accessibility Settings"};
        QTest::newRow("needs automation") << Kind::runningNeedsAutomation << QStringList{"Open Automation Settings"};
        QTest::newRow("needs both") << Kind::runningNeedsBothPermissions
                                    << QStringList{"Open Accessibility Settings", "Open Automation Settings"};
        QTest::newRow("not running") << Kind::notRunning << QStringList{"Start"};
        QTest::newRow("approval") << Kind::requiresLoginItemApproval << QStringList{"Open Login Items Settings"};
        QTest::newRow("E02") << Kind::error << QStringList{"Try Restarting"};
    }
    void buttonsOfEachState() {
        QFETCH(Kind, kind);
        QFETCH(QStringList, buttons);
        Window window;
        putInState(window.model(), kind);
        settle();
        QCOMPARE(window.visibleButtons(), buttons);
        QCOMPARE(window.view->findChildren<Spinner*>().size(), kind == Kind::startingUp ? 1 : 0);
    }

    void installButtonsWaitForARunningInstallation() {
        Window window;
        enter(window, Scene::rows);
        window.controller.setInstalling(true);
        settle();
        QVERIFY(!window.button(QStringLiteral("Reinstall for Live 12"))->isEnabled());
        QVERIFY(!window.button(QStringLiteral("Install for Live 11"))->isEnabled());
        QVERIFY(window.button(QStringLiteral("Open Live 12 User Library"))->isEnabled());
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
        QVERIFY(!installed->isExpanded());
        QVERIFY(missing->isExpanded());
        QCOMPARE(installed->disclosure()->chevron()->symbol(), Symbol::chevronRight);
        QCOMPARE(missing->disclosure()->chevron()->symbol(), Symbol::chevronDown);
        QVERIFY(!window.button(QStringLiteral("Reinstall for Live 12")));

        QTest::mouseClick(installed->disclosure()->header(), Qt::LeftButton);
        QVERIFY(installed->isExpanded());
        QCOMPARE(installed->disclosure()->chevron()->symbol(), Symbol::chevronDown);
        QVERIFY(window.button(QStringLiteral("Reinstall for Live 12")));
        // Expanded, an installed library explains nothing.
        QCOMPARE(installed->content().explanation, std::nullopt);
        QTest::mouseClick(missing->disclosure()->header(), Qt::LeftButton);
        QVERIFY(!missing->isExpanded());

        // The choices outlive re-renders and a new list with the same libraries, even when the
        // script's state changes.
        putInState(window.model(), Kind::runningNeedsAutomation);
        window.controller.setVersions({liveVersion("12", true, true), liveVersion("11", true, true)});
        QCOMPARE(window.row(0), installed);
        QVERIFY(installed->isExpanded());
        QVERIFY(!missing->isExpanded());

        // A row that went away and comes back starts by the rule again.
        window.controller.setVersions({liveVersion("12", true, true)});
        window.controller.setVersions({liveVersion("12", true, true), liveVersion("11", true, false)});
        QVERIFY(window.row(0)->isExpanded());
        QVERIFY(window.row(1)->isExpanded());
    }

    void rowHeaderFollowsTheStatus() {
        Window window(false, {liveVersion("12", true, true), liveVersion("11", true, true)});
        window.model().setIsStarting(false);
        window.model().setLastResponse(statusWith(true, true, true, 0, AbletonCondition::connected, "12.1.5"));
        QCOMPARE(window.row(0)->headerLabel()->text(), QStringLiteral("Live 12.1.5 connected"));
        QCOMPARE(window.row(0)->headerSymbol()->tint(), Tint::green);
        QCOMPARE(window.row(1)->headerLabel()->text(), QStringLiteral("Live 11 control script installed"));
        QCOMPARE(window.row(1)->headerSymbol()->tint(), Tint::secondary);
        window.model().setLastResponse(statusWith(true, true, true, 0, AbletonCondition::busy, "12.1.5"));
        QCOMPARE(window.row(0)->headerLabel()->text(), QStringLiteral("Live 12.1.5 running"));
    }

    void liveSectionNoticeAndRows() {
        Window window;
        AbletonInstancesSection* section = window.view->instancesSection();
        QCOMPARE(section->height(), 140);
        QVERIFY(section->showsNotice());
        QCOMPARE(visibleWithText<QLabel>(section, QStringLiteral("Ableton Live not found")).size(), 1);
        window.controller.setVersions({liveVersion("12", true, true), liveVersion("10", false, false)});
        QVERIFY(!section->showsNotice());
        QCOMPARE(section->rows().size(), 2);
        QCOMPARE(section->rows()[0]->version().id, liveVersion("12", true, true).id);
        QCOMPARE(section->rows()[1]->version().id, QStringLiteral("no-library-10"));
        QCOMPARE(section->height(), 140);
        window.controller.setVersions({});
        QVERIFY(section->showsNotice());
    }

    void devicesFollowTheStatus() {
        Window window;
        MainConnectionSection* devices = window.view->connectionSection();
        putInState(window.model(), Kind::notRunning);
        const QList<Tint> allGray{Tint::gray, Tint::gray, Tint::gray, Tint::gray, Tint::gray};
        const auto tints = [&] {
            return QList<Tint>{devices->liveBox()->tint(), devices->liveLink()->tint(), devices->mac()->tint(),
                               devices->phoneLink()->tint(), devices->phone()->tint()};
        };
        QCOMPARE(tints(), allGray);
        QCOMPARE(visibleWithText<QLabel>(devices, QStringLiteral("Open Pylon on your iPhone")).size(), 1);
        QCOMPARE(visibleWithText<QLabel>(devices, QStringLiteral("Not running")).size(), 1);

        window.model().setLastResponse(statusWith(true, true, true, 2, AbletonCondition::connected, "12.1.5"));
        QCOMPARE(tints(), (QList<Tint>{Tint::green, Tint::green, Tint::green, Tint::green, Tint::green}));
        QCOMPARE(visibleWithText<QLabel>(devices, QStringLiteral("2 devices connected")).size(), 1);
        QCOMPARE(visibleWithText<QLabel>(devices, QStringLiteral("Live 12.1.5 connected")).size(), 1);
        QCOMPARE(visibleWithText<QLabel>(devices, QStringLiteral("Running")).size(), 1);

        window.model().setCompanionError(PylonError::companionLaunchFailed("x"));
        QCOMPARE(devices->mac()->tint(), Tint::red);
        QCOMPARE(devices->macIconSize, 76);
        QCOMPARE(devices->mac()->symbolSize(), 76);
        QCOMPARE(devices->phone()->symbolSize(), 78);
        QCOMPARE(devices->liveBox()->size(), QSize(74, 74));
        QCOMPARE(devices->liveLink()->width(), 50);
        QCOMPARE(devices->phoneLink()->width(), 50);
    }

    void setupHelpComesAndGoesWithLive() {
        Window window;
        window.model().setIsStarting(false);
        window.model().setLastResponse(statusWith(true, true, true, 0, AbletonCondition::notRunning));
        settle();
        const int plainHeight = window.fixedHeight();
        QVERIFY(window.view->findChildren<LiveSetupHelpView*>().isEmpty());

        window.model().setLastResponse(statusWith(true, true, true, 0, AbletonCondition::running, "12.1.5"));
        settle();
        const QList<LiveSetupHelpView*> help = window.view->findChildren<LiveSetupHelpView*>();
        QCOMPARE(help.size(), 1);
        QVERIFY(help.first()->hasPicture());
        const auto* picture = help.first()->findChild<QLabel*>(QStringLiteral("AbletonMidiSettings"));
        QVERIFY(picture);
        QCOMPARE(picture->width(), 500); // a 1000 wide picture, fitted to 500
        QCOMPARE(visibleWithText<QLabel>(help.first(), ui::setupHelpText()).size(), 1);
        QVERIFY(window.fixedHeight() > plainHeight + 250);

        window.model().setLastResponse(statusWith(true, true, true, 0, AbletonCondition::connected, "12.1.5"));
        settle();
        QVERIFY(window.view->findChildren<LiveSetupHelpView*>().isEmpty());
        QCOMPARE(window.fixedHeight(), plainHeight);
    }

    void windowSizeInBothModes_data() {
        QTest::addColumn<bool>("development");
        QTest::newRow("production") << false;
        QTest::newRow("development") << true;
    }
    void windowSizeInBothModes() {
        QFETCH(bool, development);
        Window window(development);
        QCOMPARE(window.view->minimumWidth(), 720);
        QCOMPARE(window.view->maximumWidth(), 720);
        QCOMPARE(window.fixedHeight(), window.view->sizeHint().height());
        QCOMPARE(window.view->devModeButtons() != nullptr, development);
        QCOMPARE(window.view->findChildren<DevModeButtonsView*>().size(), development ? 1 : 0);
        QCOMPARE(window.view->findChildren<QWidget*>(QStringLiteral("divider")).size(), development ? 2 : 1);
        QCOMPARE(visibleWithText<QLabel>(window.view.get(), QStringLiteral("Dev Mode")).size(), development ? 1 : 0);
    }

    // The bundled drawings are there for every symbol, in one colour, and so is the tray icon.
    void everySymbolHasADrawing_data() {
        QTest::addColumn<Symbol>("symbol");
        QTest::newRow("iphone") << Symbol::iphone;
        QTest::newRow("laptopcomputer") << Symbol::laptopcomputer;
        QTest::newRow("arrow.left.arrow.right") << Symbol::arrowLeftArrowRight;
        QTest::newRow("wifi") << Symbol::wifi;
        QTest::newRow("checkmark.circle.fill") << Symbol::checkmarkCircleFill;
        QTest::newRow("exclamationmark.triangle.fill") << Symbol::exclamationmarkTriangleFill;
        QTest::newRow("circle.dashed") << Symbol::circleDashed;
        QTest::newRow("chevron.down") << Symbol::chevronDown;
        QTest::newRow("chevron.right") << Symbol::chevronRight;
    }
    void everySymbolHasADrawing() {
        QFETCH(Symbol, symbol);
        const QColor red(0xFF, 0x3B, 0x30);
        const QImage image = bundledSymbolPixmap(symbol, red, 40, 2.0).toImage();
        QCOMPARE(image.size(), QSize(80, 80));
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 255) {
                    ++opaque;
                    QCOMPARE(pixel.rgb(), red.rgb());
                }
            }
        }
        QVERIFY2(opaque > 40, qPrintable(QString::number(opaque)));
        QVERIFY(!symbolPixmap(symbol, red, 40).isNull());
    }
    void trayIconInBothVariants() {
        const QImage light = trayIcon(false).pixmap(32).toImage();
        const QImage dark = trayIcon(true).pixmap(32).toImage();
        QVERIFY(!light.isNull() && !dark.isNull());
        // Dark strokes for light panels, light strokes for dark panels.
        const QColor lightInk = light.pixelColor(light.width() / 2 - 3, light.height() - 6);
        const QColor darkInk = dark.pixelColor(dark.width() / 2 - 3, dark.height() - 6);
        QCOMPARE(lightInk.alpha(), 255);
        QCOMPARE(darkInk.alpha(), 255);
        QVERIFY(lightInk.lightness() < 64);
        QVERIFY(darkInk.lightness() > 192);
        QVERIFY(isDarkPalette(QPalette(Qt::white, Qt::black)));
        QVERIFY(!isDarkPalette(QPalette(Qt::black, Qt::white)));
    }

    void appearingCallsOnAppear() {
        Window window;
        QCOMPARE(window.appeared, 1);
        window.view->hide();
        window.view->show();
        QCOMPARE(window.appeared, 2);
    }
};

int runSetupWidgetTests(int argc, char** argv) {
    SetupWidgetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SetupWidgetTests.moc"
