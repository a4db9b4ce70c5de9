#include "ControllerFixture.h"

#include "foundation/BuildEnvironment.h"
#include "core/PollingSchedule.h"
#include "core/PylonController.h"
#include "foundation/FileLogger.h"
#include "permissions/PermissionObserver.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "status/StatusCache.h"

#include <QSignalSpy>
#include <QTest>
#include <qcoro/qcorotask.h>
#include <unistd.h>

using namespace pylon;
using namespace pylon::test;
using namespace std::chrono_literals;
using Kind = CompanionState::Kind;

class ControllerTest : public QObject {
    Q_OBJECT
private slots:
    void refreshAlwaysCachesAndSetsTheLogFileButNeverEndsStarting() {
        ControllerFixture f;
        QCoro::waitFor(f.controller->refresh());
        QVERIFY(f.status().lastResponse());
        QVERIFY(f.status().isStarting());
        QVERIFY(loadCachedStatus(f.defaults));
        QVERIFY(!f.status().logFile());
        f.home.writeFile(QStringLiteral(".local/share/Pylon/logs/pylon-companion.log"), "x\n");
        QCoro::waitFor(f.controller->refresh());
        QCOMPARE(f.status().logFile(), std::optional<QString>(f.environment.companionLogFile()));
        f.controller->openLogFile();
        QCOMPARE(f.workspace.files, QStringList{f.environment.companionLogFile()});
    }

    void launchOutcomesReachTheViews() {
        {
            ControllerFixture f; // no companion executable in the bundle: "Binary not found"
            f.services.statusValue = ServiceManager::notFound;
            QSignalSpy finished(f.controller.get(), &PylonController::startupSequenceFinished);
            f.controller->start();
            QVERIFY(finished.wait(5000));
            const QString text = QStringLiteral("Companion registration failed: Binary not found");
            QCOMPARE(f.controller->alertMessage(), std::optional<QString>(text));
            QCOMPARE(f.status().companionError()->detail, QStringLiteral("error=Binary not found"));
            QCOMPARE(f.status().companionError()->code, QStringLiteral("E02"));
            QVERIFY(ControllerFixture::menubarLogMessages().contains(text));
        }
        {
            ControllerFixture f;
            f.services.statusValue = ServiceManager::requiresApproval;
            f.server.close();
            QSignalSpy finished(f.controller.get(), &PylonController::startupSequenceFinished);
            f.controller->start();
            QVERIFY(finished.wait(5000));
            QVERIFY(f.controller->showLoginItemApprovalAlert());
            QVERIFY(!f.controller->alertMessage());
            QVERIFY(!f.status().companionError());
        }
        {
            ControllerFixture f;
            f.defaults.setString(QStringLiteral("PylonCompanion.registeredAppVersion"), f.environment.appVersion());
            f.status().setCompanionError(PylonError::companionLaunchFailed(QStringLiteral("earlier")));
            QSignalSpy finished(f.controller.get(), &PylonController::startupSequenceFinished);
            f.controller->start();
            QVERIFY(finished.wait(5000));
            QVERIFY(!f.status().companionError());
            QCOMPARE(f.services.kickstarts.size(), 1);
        }
    }

    void startingTwiceRunsOneSequenceOneLoopAndOneObserver() {
        ControllerFixture f;
        f.defaults.setString(QStringLiteral("PylonCompanion.registeredAppVersion"), f.environment.appVersion());
        QSignalSpy finished(f.controller.get(), &PylonController::startupSequenceFinished);
        f.controller->start();
        const PermissionObserver* observer = f.controller->permissionObserver();
        f.controller->start();
        // Past the start-up phase the loop pauses a whole second between polls, which leaves room to
        // count: one loop polls once before that pause, a second loop would poll again at once.
        f.clock.advance(PollingSchedule::startupPhase);
        QCOMPARE(f.controller->permissionObserver(), observer);
        QCOMPARE(f.subscriptions, 1);
        QVERIFY(finished.wait(5000));
        QCOMPARE(f.services.kickstarts.size(), 1);
        // The loop's first poll and the sequence's refresh.
        QTRY_COMPARE_WITH_TIMEOUT(f.server.requests.size(), 2, 2000);
        QTest::qWait(200);
        QCOMPARE(f.server.requests.size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requests.size() >= 3, 4000); // the loop keeps polling
        QCOMPARE(finished.size(), 1);
    }

    void destroyingTheControllerStopsPolling() {
        ControllerFixture f;
        f.controller->start();
        QTRY_VERIFY_WITH_TIMEOUT(f.server.requests.size() >= 3, 3000);
        f.controller.reset();
        QTest::qWait(100);
        const auto seen = f.server.requests.size();
        QTest::qWait(700);
        QCOMPARE(f.server.requests.size(), seen);
    }

    void startupPhaseLastsOneHundredEightySeconds() {
        ControllerFixture f;
        QVERIFY(!f.controller->isInStartupPhase());
        f.server.close();
        f.controller->start();
        QVERIFY(f.controller->isInStartupPhase());
        f.clock.advance(179.9);
        QVERIFY(f.controller->isInStartupPhase());
        f.clock.advance(0.1);
        QVERIFY(!f.controller->isInStartupPhase());
    }

    void accessibilityChangeRestartsOnlyACompanionMissingIt() {
        ControllerFixture f;
        f.controller->start();
        QTRY_VERIFY(f.status().lastResponse());
        const auto kickstartsBefore = f.services.kickstarts.size();

        // The companion has the permission: no restart.
        emit f.notifications->changed();
        QTest::qWait(20);
        QCOMPARE(f.services.kickstarts.size(), kickstartsBefore);

        f.server.body = statusDocument(true, false, true);
        QTRY_VERIFY(!f.status().lastResponse()->companion.permissions.accessibility);
        f.clock.advance(1); // past the start-up throttle
        emit f.notifications->changed();
        QTRY_COMPARE(f.services.kickstarts.size(), kickstartsBefore + 1);
        QCOMPARE(f.services.kickstarts.last(), ServiceManager::Kickstart::restart);
        QVERIFY(ControllerFixture::menubarLogMessages().contains(
            QStringLiteral("Accessibility permission may have been granted, restarting companion to apply")));
    }

    void accessibilityChangeWithoutStatusDoesNothing() {
        ControllerFixture f;
        f.controller->handleAccessibilityChange();
        QVERIFY(f.services.kickstarts.isEmpty());
        QVERIFY(f.status().isStarting());
    }

    void restartShowsStartingAndStartsTheBackOffAfresh() {
        ControllerFixture f;
        f.server.body = "broken";
        f.poll();
        f.poll();
        QCOMPARE(f.controller->consecutiveFailures(), 2);
        f.status().setIsStarting(false);
        f.controller->restartCompanion();
        QVERIFY(f.status().isStarting());
        QCOMPARE(f.controller->consecutiveFailures(), 0);
        QCOMPARE(f.services.kickstarts.last(), ServiceManager::Kickstart::restart);
    }

    void permissionRequestIsPostedAndLogged() {
        ControllerFixture f;
        QCoro::waitFor(f.controller->requestPermission(QStringLiteral("accessibility")));
        QCOMPARE(f.server.requests.last().path, QByteArray("/permission/accessibility"));
        QVERIFY(ControllerFixture::menubarLogMessages().contains(QStringLiteral("Requested accessibility permission (system prompt shown)")));
        f.server.close();
        QCoro::waitFor(f.controller->requestPermission(QStringLiteral("accessibility")));
        const QStringList log = ControllerFixture::menubarLogMessages();
        // The error's kind by name and number first, so the line reads the same in every language.
        QVERIFY2(log.last().startsWith(QStringLiteral("Failed to request accessibility permission: "
                                                      "CompanionClient::noConnection (1): ")),
                 qPrintable(log.last()));
        QCOMPARE(f.controller->consecutiveFailures(), 0);
    }

    // An answer on the port that is not the companion's says so, in the log once each time it
    // appears and to whoever asks for the last failure; plain unreachability does not.
    void anotherProgramOnThePortIsNamed() {
        ControllerFixture f;
        f.server.statusCode = 404;
        f.server.contentType = "text/html";
        f.server.body = "<html><body>Not Found</body></html>";
        const QString logged = QStringLiteral("Companion port %1 answers, but not as the companion (another program "
                                              "may be using it): 127.0.0.1:%1 answered (HTTP 404) with something that "
                                              "is not a status document: ")
                                   .arg(f.server.port());
        const auto foreignLines = [&] {
            return ControllerFixture::menubarLogMessages().filter(QStringLiteral("answers, but not as the companion"));
        };
        const qsizetype before = foreignLines().size();
        for (int i = 0; i < 3; ++i)
            f.poll();
        QVERIFY(!f.status().lastResponse());
        QCOMPARE(foreignLines().size(), before + 1);
        QVERIFY2(foreignLines().constLast().startsWith(logged), qPrintable(foreignLines().constLast()));
        QVERIFY(f.controller->lastFetchFailure() && f.controller->lastFetchFailure()->startsWith(logged.mid(10)));

        f.server.statusCode = 200; // the companion is back: nothing to say
        f.server.body = statusDocument();
        f.poll();
        QCOMPARE(f.controller->lastFetchFailure(), std::nullopt);
        f.server.close(); // gone: a plain failure, not another program
        f.poll();
        QVERIFY(f.controller->lastFetchFailure() &&
                f.controller->lastFetchFailure()->contains(QStringLiteral("refused")));
        QCOMPARE(foreignLines().size(), before + 1);
    }

    // The permission's name is the coroutine's own: the caller's string may be gone before the
    // companion answers.
    void permissionNameOutlivesTheCaller() {
        ControllerFixture f;
        QCoro::Task<> request = [&] {
            QString name = QStringLiteral("access");
            name += QStringLiteral("ibility");
            return f.controller->requestPermission(name);
        }();
        QString scribble(64, QLatin1Char('#')); // reuses what the caller's string held, if anything does
        Q_UNUSED(scribble);
        QCoro::waitFor(std::move(request));
        QCOMPARE(ControllerFixture::menubarLogMessages().constLast(),
                 QStringLiteral("Requested accessibility permission (system prompt shown)"));
    }

    void settingsLinks() {
        ControllerFixture f;
        f.controller->openAccessibilitySettings();
        f.controller->openAutomationSettings();
        f.controller->openLoginItemsSettings();
        f.controller->openLogFile(); // no log file: nothing
        QCOMPARE(f.workspace.urls.size(), 2);
        QCOMPARE(f.workspace.urls[0].toString(),
                 QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"));
        QCOMPARE(f.workspace.urls[1].toString(),
                 QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation"));
        QVERIFY(f.workspace.files.isEmpty());
        QVERIFY(f.services.calls.contains(QStringLiteral("openLoginItems")));
    }
};

int runControllerTests(int argc, char** argv) {
    ControllerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_controller.moc"
