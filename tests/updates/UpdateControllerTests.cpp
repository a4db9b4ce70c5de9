#include "UpdateTestSupport.h"

#include <QSignalSpy>
#include <QTest>

using namespace pylon;
using namespace pylon::test;
using namespace std::chrono_literals;

namespace {

// Server answers both kinds of check are tried against; the running version is 1.9.
void serverAnswers_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("stall"); // 0: answers at once, 1: never answers, 2: trickles without end
    QTest::addColumn<QString>("skipped");
    QTest::addColumn<QString>("userSees");       // what a check the user asked for shows (its start)
    QTest::addColumn<QString>("automaticShows"); // what an automatic check shows; empty: nothing
    const QString none;
    const QString timeout = QStringLiteral("error: The update feed did not answer within 0.3 seconds.");
    QTest::newRow("newer") << appcast({{"1.10"}}) << 200 << 0 << none << "found 1.10"
                           << "found 1.10";
    QTest::newRow("same") << appcast({{"1.9"}}) << 200 << 0 << none << "up to date 1.9" << none;
    QTest::newRow("older") << appcast({{"1.8"}}) << 200 << 0 << none << "up to date 1.9" << none;
    QTest::newRow("skipped") << appcast({{"1.10"}}) << 200 << 0 << "1.10"
                             << "found 1.10" << none;
    QTest::newRow("newer than the skipped one") << appcast({{"1.11"}, {"1.10"}}) << 200 << 0 << "1.10"
                                                << "found 1.11"
                                                << "found 1.11";
    QTest::newRow("only for another system")
        << appcast({{"2.0", "macos"}}) << 200 << 0 << none << "up to date 1.9" << none;
    QTest::newRow("malformed XML") << QByteArray("<rss><channel><item>") << 200 << 0 << none
                                   << "error: The update feed is not valid XML" << none;
    QTest::newRow("HTTP 404") << appcast({{"1.10"}}) << 404 << 0 << none
                              << "error: The update feed answered with HTTP status 404." << none;
    QTest::newRow("HTTP 500") << QByteArray("oops") << 500 << 0 << none
                              << "error: The update feed answered with HTTP status 500." << none;
    QTest::newRow("no answer") << QByteArray() << 200 << 1 << none << timeout << none;
    QTest::newRow("an answer that trickles") << QByteArray() << 200 << 2 << none << timeout << none;
}

void serveRow(UpdateFixture& fixture) {
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(int, stall);
    QFETCH(QString, skipped);
    fixture.server.body = body;
    fixture.server.statusCode = status;
    fixture.server.silent = stall == 1;
    fixture.server.trickling = stall == 2;
    if (stall != 0)
        fixture.timeLimit = 300ms; // the other answers come at once, so they keep the real limit
    if (!skipped.isEmpty())
        fixture.defaults.setString(UpdateController::skippedVersionKey(), skipped);
}

// Each shown line cut to the length of `expected`, so texts can be matched by their start.
QStringList startsOf(const QStringList& shown, const QString& expected) {
    QStringList result;
    for (const QString& line : shown)
        result << line.left(expected.size());
    return result;
}

} // namespace

class UpdateControllerTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithEverythingAutomaticOff() {
        UpdateFixture fixture;
        UpdateController& controller = fixture.makeController();
        QCOMPARE(controller.automaticallyChecksForUpdates(), false);
        QCOMPARE(controller.automaticallyDownloadsUpdates(), false);
        QCOMPARE(controller.updateCheckInterval(), 86400s);
        QCOMPARE(controller.timeUntilNextAutomaticCheck(), std::nullopt);
        QVERIFY(!controller.checkInBackgroundIfDue());
        QCoreApplication::processEvents();
        QCOMPARE(fixture.server.requestCount(), 0);
    }

    void userCheckShowsEveryOutcome_data() { serverAnswers_data(); }
    void userCheckShowsEveryOutcome() {
        QFETCH(QString, userSees);
        UpdateFixture fixture;
        serveRow(fixture);
        UpdateController& controller = fixture.makeController();
        QSignalSpy canCheck(&controller, &UpdateController::canCheckForUpdatesChanged);
        QVERIFY(fixture.checkAndWait());
        QCOMPARE(startsOf(fixture.recorder().shown, userSees), QStringList{userSees});
        QVERIFY(fixture.lastCheckWasUserInitiated);
        QCOMPARE(fixture.server.requestCount(), 1);
        QCOMPARE(controller.lastCheckTime(), std::optional(fixture.now));
        QCOMPARE(canCheck, (QList<QVariantList>{{false}, {true}}));
    }

    void automaticCheckSpeaksOnlyOfAnUpdateNotSkipped_data() { serverAnswers_data(); }
    void automaticCheckSpeaksOnlyOfAnUpdateNotSkipped() {
        QFETCH(QString, automaticShows);
        UpdateFixture fixture;
        serveRow(fixture);
        UpdateController& controller = fixture.makeController();
        controller.setAutomaticallyChecksForUpdates(true);
        QVERIFY(fixture.waitForFinishedChecks(1));
        QVERIFY(!fixture.lastCheckWasUserInitiated);
        QCOMPARE(fixture.recorder().shown, automaticShows.isEmpty() ? QStringList() : QStringList{automaticShows});
        QCOMPARE(fixture.server.requestCount(), 1);
        QCOMPARE(controller.lastCheckTime(), std::optional(fixture.now));
    }

    void automaticChecksWaitAnIntervalAfterTheLastCheckOfAnyRun_data() {
        QTest::addColumn<bool>("checkedBefore");
        QTest::addColumn<qint64>("secondsSince");
        QTest::addColumn<bool>("checksNow");
        QTest::newRow("never checked") << false << qint64(0) << true;
        QTest::newRow("just checked") << true << qint64(0) << false;
        QTest::newRow("a second short of a day") << true << qint64(86399) << false;
        QTest::newRow("a day") << true << qint64(86400) << true;
        QTest::newRow("a month") << true << qint64(30 * 86400) << true;
        QTest::newRow("clock set back an hour") << true << qint64(-3600) << true;
    }
    void automaticChecksWaitAnIntervalAfterTheLastCheckOfAnyRun() {
        QFETCH(bool, checkedBefore);
        QFETCH(qint64, secondsSince);
        QFETCH(bool, checksNow);
        UpdateFixture fixture;
        fixture.server.body = appcast({{"1.9"}});
        if (checkedBefore) {
            fixture.makeController();
            QVERIFY(fixture.checkAndWait());
        }
        const int before = fixture.server.requestCount();
        fixture.advanceSeconds(secondsSince);

        UpdateController& controller = fixture.makeController(); // the next run
        controller.setAutomaticallyChecksForUpdates(true);
        if (checksNow) {
            QVERIFY(fixture.waitForFinishedChecks(before + 1));
            QCOMPARE(controller.lastCheckTime(), std::optional(fixture.now));
            QCOMPARE(controller.timeUntilNextAutomaticCheck(), std::optional(std::chrono::milliseconds(86400s)));
        } else {
            const std::chrono::milliseconds left = 86400s - std::chrono::seconds(secondsSince);
            QCOMPARE(controller.timeUntilNextAutomaticCheck(), std::optional(left));
            QVERIFY(!controller.checkInBackgroundIfDue());
            QCoreApplication::processEvents();
        }
        QCOMPARE(fixture.server.requestCount(), before + (checksNow ? 1 : 0));
    }

    void theScheduleRunsOncePerIntervalAndOnlyWhileSwitchedOn() {
        UpdateFixture fixture;
        fixture.server.body = appcast({{"1.9"}});
        UpdateController& controller = fixture.makeController();
        controller.setAutomaticallyChecksForUpdates(true);
        QVERIFY(fixture.waitForFinishedChecks(1));
        controller.setAutomaticallyChecksForUpdates(true); // as each time the setup window appears
        fixture.advanceSeconds(86399);
        QVERIFY(!controller.checkInBackgroundIfDue());
        fixture.advanceSeconds(1);
        QVERIFY(controller.checkInBackgroundIfDue());
        QVERIFY(fixture.waitForFinishedChecks(2));

        fixture.advanceSeconds(86400);
        controller.setAutomaticallyChecksForUpdates(false);
        QCOMPARE(controller.timeUntilNextAutomaticCheck(), std::nullopt);
        QVERIFY(!controller.checkInBackgroundIfDue());
        QCoreApplication::processEvents();
        QCOMPARE(fixture.server.requestCount(), 2);
        QVERIFY(fixture.recorder().shown.isEmpty());
    }

    void userAskingDuringAnAutomaticCheckJoinsIt() {
        UpdateFixture fixture;
        fixture.server.silent = true;
        fixture.timeLimit = 200ms;
        UpdateController& controller = fixture.makeController();
        controller.setAutomaticallyChecksForUpdates(true);
        QVERIFY(controller.checkInBackgroundIfDue());
        QVERIFY(!controller.canCheckForUpdates());
        controller.checkForUpdates();
        controller.checkForUpdates();
        QVERIFY(fixture.waitForFinishedChecks(1));
        QVERIFY(fixture.lastCheckWasUserInitiated);
        QCOMPARE(startsOf(fixture.recorder().shown, QStringLiteral("error: ")), QStringList{"error: "});
        QCOMPARE(fixture.server.requestCount(), 1);
        QVERIFY(controller.canCheckForUpdates());
    }

    void aMissingFeedAddressIsShownOnlyWhenAskedFor() {
        UpdateFixture fixture;
        fixture.configuration.feedUrl = QUrl();
        UpdateController& controller = fixture.makeController();
        QVERIFY(fixture.checkAndWait());
        QCOMPARE(fixture.recorder().shown, QStringList{"error: No update feed address is set for this application."});
        fixture.advanceSeconds(86400);
        controller.setAutomaticallyChecksForUpdates(true);
        QVERIFY(fixture.waitForFinishedChecks(2));
        QCOMPARE(fixture.recorder().shown.size(), 1);
        QCOMPARE(fixture.server.requestCount(), 0);
    }
};

int runUpdateControllerTests(int argc, char** argv) {
    UpdateControllerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "UpdateControllerTests.moc"
