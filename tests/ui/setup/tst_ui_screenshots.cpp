#include "FakeSetupController.h"
#include "UiTestSupport.h"
#include "diagnostics/FileLogger.h"
#include "ui/common/Style.h"
#include "ui/common/Symbols.h"
#include "ui/menu/MenuBarView.h"
#include "ui/setup/SetupWindowView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;
using Kind = CompanionState::Kind;

Q_DECLARE_METATYPE(pylon::CompanionState::Kind)

namespace {

const QString outputDirectory = QStringLiteral(PYLON_SCREENSHOT_DIR);

// Saves `pixmap` as <name>.png in the screenshot folder and reads it back.
void save(const QPixmap& pixmap, const QString& name) {
    QVERIFY(!pixmap.isNull());
    QVERIFY(QDir().mkpath(outputDirectory));
    const QString path = outputDirectory + QLatin1Char('/') + name + QStringLiteral(".png");
    QVERIFY(pixmap.save(path));
    const QImage written(path);
    QCOMPARE(written.size(), pixmap.size() * pixmap.devicePixelRatio());
}

// The setup picture the bundles carry, else a plain stand-in of the same size.
void addBundlePicture(const TestEnvironment& env) {
    const QString source = qEnvironmentVariable("PYLON_SOURCE_DIR") + QStringLiteral("/app/resources/images/"
                                                                                     "AbletonMidiSettings.png");
    const QString resources = env.bundlePath + QStringLiteral("/Contents/Resources");
    QDir().mkpath(resources);
    if (!QFile::copy(source, resources + QStringLiteral("/AbletonMidiSettings.png")))
        env.addSetupPicture(QSize(768, 480));
}

enum class Scene { noStatus, starting, runningConnected, needsBoth, error, setupHelp };

void enter(DynamicStatus& status, FakeSetupController& controller, Scene scene) {
    const QList<AbletonVersion> libraries{liveVersion("12", true, true), liveVersion("11", true, false),
                                          liveVersion("10", false, false, QStringLiteral("/home/user/Music/Live 10"))};
    switch (scene) {
    case Scene::noStatus:
        putInState(status, Kind::notRunning);
        break;
    case Scene::starting:
        putInState(status, Kind::startingUp);
        status.setLastResponse(std::nullopt);
        controller.setVersions(libraries);
        break;
    case Scene::runningConnected:
        status.setIsStarting(false);
        status.setLastResponse(statusWith(true, true, true, 2, AbletonCondition::connected, "12.1.5"));
        controller.setVersions(libraries);
        break;
    case Scene::needsBoth:
        putInState(status, Kind::runningNeedsBothPermissions);
        controller.setVersions(libraries);
        break;
    case Scene::error:
        putInState(status, Kind::error);
        controller.setVersions(libraries);
        break;
    case Scene::setupHelp:
        status.setIsStarting(false);
        status.setLastResponse(statusWith(true, true, true, 1, AbletonCondition::running, "12.1.5"));
        controller.setVersions(libraries);
        break;
    }
}

QPixmap grabSetupWindow(Scene scene, bool development) {
    StatusFixture status;
    TestEnvironment env(development);
    addBundlePicture(env);
    FakeSetupController controller;
    SetupWindowView view(status.status, controller, env.environment);
    enter(status.status, controller, scene);
    view.show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return view.grab();
}

QPixmap grabMenu(Kind kind) {
    UnstartedController f;
    putInState(f.status(), kind);
    if (kind == Kind::running)
        f.status().setLastResponse(statusWith(true, true, true, 2, AbletonCondition::connected, "12.1.5"));
    MenuBarView view(*f.controller, f.env.environment.appDisplayName());
    view.menu().ensurePolished();
    view.menu().resize(view.menu().sizeHint());
    return view.menu().grab();
}

// Every drawn symbol in the colours it is used in, and the tray icon on light and dark panels.
QPixmap symbolSheet() {
    const QList<Symbol> symbols{Symbol::iphone,       Symbol::laptopcomputer,      Symbol::arrowLeftArrowRight,
                                Symbol::wifi,         Symbol::checkmarkCircleFill, Symbol::exclamationmarkTriangleFill,
                                Symbol::circleDashed, Symbol::chevronDown,         Symbol::chevronRight};
    const QList<Tint> tints{Tint::green, Tint::gray, Tint::yellow, Tint::red, Tint::orange, Tint::secondary};
    const int cell = 72;
    QPixmap sheet(cell * int(symbols.size()), cell * int(tints.size() + 1));
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int column = 0; column < symbols.size(); ++column) {
        for (int row = 0; row < tints.size(); ++row) {
            const QPixmap pixmap = bundledSymbolPixmap(symbols[column], tintColor(tints[row]), 56);
            painter.drawPixmap(column * cell + 8, row * cell + 8, pixmap);
        }
    }
    const int trayRow = int(tints.size()) * cell;
    painter.fillRect(QRect(0, trayRow, 2 * cell, cell), QColor(0xEC, 0xEC, 0xEC));
    painter.fillRect(QRect(2 * cell, trayRow, 2 * cell, cell), QColor(0x2A, 0x2A, 0x2A));
    painter.drawPixmap(12, trayRow + 12, trayIcon(false).pixmap(48));
    painter.drawPixmap(cell + 20, trayRow + 24, trayIcon(false).pixmap(22));
    painter.drawPixmap(2 * cell + 12, trayRow + 12, trayIcon(true).pixmap(48));
    painter.drawPixmap(3 * cell + 20, trayRow + 24, trayIcon(true).pixmap(22));
    return sheet;
}

} // namespace

Q_DECLARE_METATYPE(Scene)

// Renders the setup window, the tray menu and the symbols to PNG files under the build tree, for
// people to look at; each check only makes sure the picture was drawn and written.
class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        m_home = std::make_unique<TemporaryHome>();
        FileLogger::menubar();
    }
    void cleanupTestCase() {
        FileLogger::flushShared();
        m_home.reset();
    }

    void setupWindow_data() {
        QTest::addColumn<Scene>("scene");
        QTest::addColumn<bool>("development");
        QTest::newRow("setup-no-status") << Scene::noStatus << false;
        QTest::newRow("setup-starting") << Scene::starting << false;
        QTest::newRow("setup-running-connected") << Scene::runningConnected << false;
        QTest::newRow("setup-needs-permissions") << Scene::needsBoth << false;
        QTest::newRow("setup-error-e02") << Scene::error << false;
        QTest::newRow("setup-live-setup-help") << Scene::setupHelp << false;
        QTest::newRow("setup-development") << Scene::runningConnected << true;
    }
    void setupWindow() {
        QFETCH(Scene, scene);
        QFETCH(bool, development);
        const QPixmap pixmap = grabSetupWindow(scene, development);
        QCOMPARE(qRound(pixmap.width() / pixmap.devicePixelRatio()), 720);
        save(pixmap, QString::fromLatin1(QTest::currentDataTag()));
    }

    void setupWindowWithThemeIcons() {
        // The offscreen platform names no theme and no search path; a desktop session does.
        const QString theme = QIcon::themeName();
        const QStringList paths = QIcon::themeSearchPaths();
        QIcon::setThemeSearchPaths(paths + QStringList{QStringLiteral("/usr/share/icons")});
        QIcon::setThemeName(QStringLiteral("Adwaita"));
        if (!QIcon::hasThemeIcon(QStringLiteral("dialog-warning-symbolic")))
            QSKIP("The Adwaita icon theme is not installed");
        const QPixmap pixmap = grabSetupWindow(Scene::needsBoth, false);
        QIcon::setThemeName(theme);
        QIcon::setThemeSearchPaths(paths);
        save(pixmap, QStringLiteral("setup-theme-icons"));
    }

    void trayMenu_data() {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("menu-running") << Kind::running;
        QTest::newRow("menu-error-e02") << Kind::error;
    }
    void trayMenu() {
        QFETCH(Kind, kind);
        save(grabMenu(kind), QString::fromLatin1(QTest::currentDataTag()));
    }

    void symbols() { save(symbolSheet(), QStringLiteral("symbols")); }

private:
    std::unique_ptr<TemporaryHome> m_home;
};

QTEST_MAIN(ScreenshotTest)
#include "tst_ui_screenshots.moc"
