#include "OnboardingFixture.h"
#include "ui/onboarding/OnboardingPage.h"
#include "ui/onboarding/OnboardingPermissionView.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace pylon::ui;

namespace {

QString screenshotDirectory() {
    return qEnvironmentVariable("PYLON_BUILD_DIR", QStringLiteral(PYLON_TEST_BUILD_DIR)) +
           QStringLiteral("/screenshots/onboarding");
}

// Saves the flow's current page; the picture must be a whole page with something drawn on it.
void saveCurrentPage(OnboardingFlow& flow, const QString& name) {
    // What the event loop would do before painting: lay out what the last status changed.
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QImage image = flow.currentPage()->grab().toImage();
    const QString path = screenshotDirectory() + QLatin1Char('/') + name + QStringLiteral(".png");
    QVERIFY2(image.save(path), qPrintable(path));
    QCOMPARE(image.size() / image.devicePixelRatio(), QSize(480, 620));
    QCOMPARE(QImage(path).size(), image.size());
}

// Scrolls a page whose content is taller than its area to the end; false when it all fits.
bool scrollToEnd(OnboardingFlow& flow) {
    QScrollArea* area = flow.currentPage()->scrollArea();
    if (!area || area->verticalScrollBar()->maximum() == 0)
        return false;
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    return true;
}

} // namespace

// Renders every onboarding page, the permission pages in both states, to PNG files under the build
// tree, for people to look at.
class OnboardingScreenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setUpProcessHome();
        QVERIFY(QDir().mkpath(screenshotDirectory()));
    }

    void pages_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("production") << productionIdentifier << QString();
        QTest::newRow("development") << developmentIdentifier << QStringLiteral("-dev");
    }
    void pages() {
        QFETCH(QString, identifier);
        QFETCH(QString, suffix);
        OnboardingFixture f(identifier);
        OnboardingFlow& flow = f.makeFlow();
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));

        saveCurrentPage(flow, "1-intro" + suffix);
        if (scrollToEnd(flow))
            saveCurrentPage(flow, "1-intro-end" + suffix);
        f.pressPrimary();
        saveCurrentPage(flow, "2-eula" + suffix);
        f.pressPrimary();

        f.publish(companionStatus(true, false, false, false));
        QTRY_VERIFY(!flow.automationView()->isGranted());
        saveCurrentPage(flow, "3-automation-not-granted" + suffix);
        f.publish(companionStatus(true, false, false, true));
        QTRY_VERIFY(flow.automationView()->isGranted());
        saveCurrentPage(flow, "3-automation-granted" + suffix);
        f.pressPrimary();

        QTRY_VERIFY(!flow.accessibilityView()->isGranted());
        saveCurrentPage(flow, "4-accessibility-not-granted" + suffix);
        f.publish(companionStatus(true, true, true, true));
        QTRY_VERIFY(flow.accessibilityView()->isGranted());
        saveCurrentPage(flow, "4-accessibility-granted" + suffix);
        f.pressPrimary();

        saveCurrentPage(flow, "5-get-started" + suffix);
        if (scrollToEnd(flow))
            saveCurrentPage(flow, "5-get-started-end" + suffix);
    }

    void agreementMissing() {
        OnboardingFixture f(productionIdentifier, {});
        OnboardingFlow& flow = f.makeFlow();
        flow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&flow));
        f.pressPrimary();
        saveCurrentPage(flow, QStringLiteral("2-eula-missing"));
    }
};

QTEST_MAIN(OnboardingScreenshots)
#include "tst_ui_onboarding_screenshots.moc"
