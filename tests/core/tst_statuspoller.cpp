#include "ControllerFixture.h"

#include "core/PollingSchedule.h"
#include "core/StatusPoller.h"
#include "status/StatusCache.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <qcoro/qcorotask.h>

using namespace pylon;
using namespace pylon::test;
using Kind = CompanionState::Kind;

namespace {

// A poller over a status model, the fakes and a loopback companion that answers with a status.
struct PollerFixture {
    PollerFixture() {
        server.body = statusDocument();
        services.statusValue = ServiceManager::enabled;
    }
    DynamicStatus& status() { return model; }
    void poll() { QCoro::waitFor(poller.pollOnce()); }
    std::optional<StatusResponse> fetch() { return QCoro::waitFor(poller.fetchStatus()); }

    TemporaryHome home;
    UserDefaults defaults{QStringLiteral("net.ostrand.Pylon"), home.configHome()};
    DynamicStatus model{defaults};
    FakeServiceManager services;
    FakeClock clock;
    FakeCompanionServer server;
    bool listening = server.listen(); // before the poller takes the port
    bool inStartupPhase = true;
    StatusPoller poller{StatusPoller::Context{model, defaults, services, clock, process::loggers().menubar,
                                              server.port(), [this] { return inStartupPhase; }}};
};

} // namespace

class StatusPollerTest : public QObject {
    Q_OBJECT
private slots:
    void pauseTable_data() {
        QTest::addColumn<bool>("startup");
        QTest::addColumn<int>("failures");
        QTest::addColumn<double>("seconds");
        const double startup[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.25, 1.25};
        const double regular[] = {1, 2, 3, 4, 5, 5, 5};
        const int failures[] = {0, 1, 2, 3, 4, 5, 10};
        for (int i = 0; i < 7; ++i) {
            QTest::addRow("startup, %d failures", failures[i]) << true << failures[i] << startup[i];
            QTest::addRow("regular, %d failures", failures[i]) << false << failures[i] << regular[i];
        }
    }
    void pauseTable() {
        QFETCH(bool, startup);
        QFETCH(int, failures);
        QFETCH(double, seconds);
        QCOMPARE(std::chrono::duration<double>(PollingSchedule::pause(startup, failures)).count(), seconds);
    }

    void failuresClimbToTenAndASuccessResetsThem() {
        PollerFixture f;
        f.server.body = "not json";
        for (int i = 1; i <= 12; ++i) {
            QVERIFY(!f.fetch());
            QCOMPARE(f.poller.consecutiveFailures(), std::min(i, 10));
        }
        f.server.body = statusDocument();
        QVERIFY(f.fetch());
        QCOMPARE(f.poller.consecutiveFailures(), 0);
    }

    void undecodableOrErrorAnswers_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("success");
        QTest::newRow("500 with a valid document") << 500 << statusDocument() << true;
        QTest::newRow("200 with a required key missing") << 200 << QByteArray(R"({"ableton":{"condition":"busy"}})") << false;
        QTest::newRow("200 with an empty body") << 200 << QByteArray() << false;
    }
    void undecodableOrErrorAnswers() {
        QFETCH(int, code);
        QFETCH(QByteArray, body);
        QFETCH(bool, success);
        PollerFixture f;
        f.server.statusCode = code;
        f.server.body = body;
        QCOMPARE(bool(f.fetch()), success);
        QCOMPARE(f.poller.consecutiveFailures(), success ? 0 : 1);
    }

    void everyPollPublishesItsResultAndTheRegistrationFlags() {
        PollerFixture f;
        QSignalSpy changes(&f.status(), &DynamicStatus::changed);
        f.poll();
        QVERIFY(f.status().lastResponse());
        QVERIFY(!f.status().isStarting());
        QVERIFY(f.status().isCompanionRegistered());
        QVERIFY(!f.status().requiresLoginItemApproval());
        QCOMPARE(f.status().companionState(), CompanionState(Kind::running));

        // An unreachable companion clears the shown status at once.
        const auto unreachableBefore =
            ControllerFixture::menubarLogMessages().count(QStringLiteral("Companion not reachable"));
        f.server.close();
        f.services.statusValue = ServiceManager::requiresApproval;
        changes.clear();
        f.poll();
        QVERIFY(!f.status().lastResponse());
        QVERIFY(!f.status().isCompanionRegistered());
        QVERIFY(f.status().requiresLoginItemApproval());
        QCOMPARE(changes.size(), 3); // the response and both flags; isStarting is not assigned again
        QCOMPARE(ControllerFixture::menubarLogMessages().count(QStringLiteral("Companion not reachable")),
                 unreachableBefore + 1);
    }

    void cacheIsWrittenAtMostEveryThirtySeconds() {
        PollerFixture f;
        f.server.body = statusDocument(true, true, true, 1);
        f.poll(); // the first status is always written
        QCOMPARE(loadCachedStatus(f.defaults)->companion.clientCount, 1);
        f.server.body = statusDocument(true, true, true, 2);
        f.clock.advance(10);
        f.poll();
        QCOMPARE(loadCachedStatus(f.defaults)->companion.clientCount, 1);
        f.clock.advance(19.9);
        f.poll();
        QCOMPARE(loadCachedStatus(f.defaults)->companion.clientCount, 1);
        f.clock.advance(0.1); // 30 s after the last write
        f.poll();
        QCOMPARE(loadCachedStatus(f.defaults)->companion.clientCount, 2);
    }

    // The starting state of a companion that never answers ends once both hold: ten failures in a
    // row and thirty seconds since the starting state began, in whichever order they come.
    void companionThatNeverAnswersEndsStartingAfterTheCeilingAndTheGrace_data() {
        QTest::addColumn<bool>("timeFirst");
        QTest::newRow("failures first") << false;
        QTest::newRow("time first") << true;
    }
    void companionThatNeverAnswersEndsStartingAfterTheCeilingAndTheGrace() {
        QFETCH(bool, timeFirst);
        PollerFixture f;
        f.server.close();
        f.poller.startingBegan();
        if (timeFirst)
            f.clock.advance(PollingSchedule::startingGrace);
        for (int i = 1; i < PollingSchedule::failureCeiling; ++i) {
            f.poll();
            QVERIFY(f.status().isStarting());
        }
        f.poll(); // the tenth failure
        if (!timeFirst) {
            QVERIFY(f.status().isStarting());
            f.clock.advance(PollingSchedule::startingGrace - std::chrono::milliseconds(1));
            f.poll();
            QVERIFY(f.status().isStarting());
            f.clock.advance(std::chrono::milliseconds(1));
            f.poll();
        }
        QVERIFY(!f.status().isStarting());
        QCOMPARE(f.status().companionState(), CompanionState(Kind::notRunning));
    }

    void aRestartGivesTheStartingStateItsTimeAgain() {
        PollerFixture f;
        f.server.close();
        f.poller.startingBegan();
        f.clock.advance(PollingSchedule::startingGrace);
        for (int i = 0; i < PollingSchedule::failureCeiling; ++i)
            f.poll();
        QVERIFY(!f.status().isStarting());
        f.status().setIsStarting(true); // the restart
        f.poller.startingBegan();
        f.poll();
        QVERIFY(f.status().isStarting());
    }

    void loopPollsAtOnceThenAtTheScheduledPauseUntilThePollerIsGone() {
        PollerFixture f;
        auto* poller = new StatusPoller(StatusPoller::Context{f.model, f.defaults, f.services, f.clock,
                                                             process::loggers().menubar, f.server.port(),
                                                             [] { return true; }});
        QElapsedTimer timer;
        timer.start();
        poller->startLoop();
        QTRY_COMPARE_WITH_TIMEOUT(f.server.requests.size(), 1, 1000);
        const qint64 first = timer.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(f.server.requests.size(), 2, 2000);
        // The start-up phase pauses a quarter of a second between polls without failures.
        QVERIFY2(timer.elapsed() - first >= 200, qPrintable(QString::number(timer.elapsed() - first)));
        delete poller;
        const auto seen = f.server.requests.size();
        QTest::qWait(600);
        QCOMPARE(f.server.requests.size(), seen);
    }
};

int runStatusPollerTests(int argc, char** argv) {
    StatusPollerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_statuspoller.moc"
