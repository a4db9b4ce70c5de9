#include "OnboardingFixture.h"
#include "ui/onboarding/OnboardingPermissionView.h"

#include <QDir>

using namespace pylon::test;

// Renders every onboarding page, the permission pages in both states, to PNG files under the build tree for
// people to look at; each check only makes sure a whole page was drawn and written.
class OnboardingScreenshots : public QObject {
    Q_OBJECT
private slots:
    void pages() {
        setUpProcessHome();
        const QString directory = PYLON_TEST_BUILD_DIR "/screenshots/onboarding/";
        QVERIFY(QDir().mkpath(directory));
        OnboardingFixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.makeFlow()));
        f.flow->resize(f.flow->sizeHint()); // the size the pages ask for, whatever the screen
        const std::pair<QString, std::optional<pylon::CompanionStatusResponse>> pages[] = {
            {"1-intro", std::nullopt},
            {"2-eula", std::nullopt},
            {"3-automation-not-granted", companionStatus(true, false, false, false)},
            {"3-automation-granted", companionStatus(true, false, false, true)},
            {"4-accessibility-not-granted", companionStatus(true, false, false, true)},
            {"4-accessibility-granted", companionStatus(true, true, true, true)},
            {"5-get-started", std::nullopt},
        };
        for (const auto& [name, status] : pages) {
            if (status)
                f.publish(status);
            for (int pass = 0; pass < 3; ++pass) // lay out what the last status changed, as before painting
                QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            const QImage image = f.flow->currentPage()->grab().toImage();
            QCOMPARE(image.size() / image.devicePixelRatio(), QSize(480, 620));
            QVERIFY(image.save(directory + name + ".png"));
            if (!name.endsWith("not-granted")) // the next page
                f.pressPrimary();
        }
        QCOMPARE(f.completions, 1);
    }
};

QTEST_MAIN(OnboardingScreenshots)
#include "tst_ui_onboarding_screenshots.moc"
