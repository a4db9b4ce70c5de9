#include "UiTestSupport.h"

#include <QTest>

using namespace pylon;
using namespace pylon::test;

// Renders the setup window in five states to PNG files under the build tree, for people to look at; each
// check only makes sure the picture was drawn and written.
class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void setupWindowInFiveStates() {
        QVERIFY(QDir().mkpath(PYLON_SCREENSHOT_DIR));
        const std::pair<QString, Kind> states[] = {{"no-status", Kind::notRunning},
                                                   {"starting", Kind::startingUp},
                                                   {"running-connected", Kind::running},
                                                   {"needs-permissions", Kind::runningNeedsBothPermissions},
                                                   {"error-e02", Kind::error}};
        for (const auto& [name, kind] : states) {
            Window window;
            window.enter(kind);
            if (kind == Kind::notRunning)
                window.controller.setVersions({});
            if (kind == Kind::running) // Live connected and two phones
                window.status.setLastResponse(statusWith(true, true, 2, AbletonCondition::connected, "12.1.5"));
            settle();
            QCoreApplication::processEvents();
            const QPixmap pixmap = window.view->grab();
            QCOMPARE(qRound(pixmap.width() / pixmap.devicePixelRatio()), 720);
            QVERIFY(pixmap.save(PYLON_SCREENSHOT_DIR "/setup-" + name + ".png"));
        }
    }

private:
    TemporaryHome m_home; // the process's own files go here
};

QTEST_MAIN(ScreenshotTest)
#include "tst_ui_screenshots.moc"
