// The process backend with real companion processes: registration, start, stop, restart off the
// main thread, keeping the companion alive with back-off and a start limit, and private state files.
#include "Awaiting.h"
#include "Fakes.h"
#include "MessageCapture.h"
#include "PosixFiles.h"
#include "TemporaryHome.h"
#include "TestBundle.h"
#include "core/Process.h"
#include "foundation/BuildEnvironment.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"
#include "platform/linux/KeepAlive.h"
#include "platform/linux/ProcessServiceManager.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <sys/stat.h>

using namespace pylon;
using namespace std::chrono_literals;
using pylon::test::modeOf;
using pylon::test::readFile;
using pylon::test::serviceErrorOf;
using pylon::test::TemporaryHome;
using pylon::test::writeFileAt;

namespace {

constexpr auto start = ServiceManager::Kickstart::start;
constexpr auto restart = ServiceManager::Kickstart::restart;
const QString programInBundle =
    QStringLiteral("Contents/Helpers/x86_64/Pylon Companion.app/Contents/MacOS/Pylon Companion");
// Short pauses and a small start limit, so keeping alive can be watched within a test.
const KeepAlivePolicy quickPolicy{50ms, 200ms, 3, 5s};

QStringList lines(const QString& path) {
    return QString::fromUtf8(readFile(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Running and not a zombie (stopped companions may wait unreaped under a container's init).
bool isAlive(qint64 pid) {
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat.at(close + 2) != 'Z';
}

} // namespace

class ProcessServiceManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_suiteHome; // where the shared log writer settles on first use
    std::unique_ptr<TemporaryHome> m_home;
    QString m_bundle, m_record;

    QString plistPath() const { return m_bundle + "/Contents/Library/LaunchAgents/PylonCompanion-x86_64.plist"; }
    QString companionPath() const { return m_bundle + QLatin1Char('/') + programInBundle; }
    ServiceAgent agent() const {
        const BuildEnvironment environment(Bundle::atPath(m_bundle).facts(), QStringLiteral("x86_64"),
                                           m_home->dataHome());
        return ServiceAgent::companion(environment, m_home->dataHome());
    }
    static const FileLogger& log() { return process::loggers().companionManager; }
    void writeAgent(const QVariantMap& plist) { QVERIFY(writeFileAt(plistPath(), PropertyList::serialize(plist))); }
    void writeStandardAgent(bool keepAlive = true) {
        writeAgent({{"Label", "net.ostrand.PylonCompanion"},
                    {"BundleProgram", programInBundle},
                    {"RunAtLoad", true},
                    {"KeepAlive", keepAlive}});
    }
    // The companion records "<pid> <arguments>" and goes on as `sleep`, keeping its pid; or exits.
    void writeCompanion(bool ignoreTerm, bool exitAtOnce = false) {
        QVERIFY(writeFileAt(companionPath(),
                            QByteArray("#!/bin/sh\n") + (ignoreTerm ? "trap '' TERM\n" : "") + "echo \"$$ $*\" >> '" +
                                QFile::encodeName(m_record) + "'\n" + (exitAtOnce ? "exit 1\n" : "exec sleep 300\n"),
                            true));
    }
    QList<qint64> companionPids() const {
        QList<qint64> pids;
        for (const QString& line : lines(m_record))
            pids << line.section(QLatin1Char(' '), 0, 0).toLongLong();
        return pids;
    }
    static qint64 recordedPid(const ProcessServiceManager& manager) {
        return QString::fromLatin1(readFile(manager.pidFilePath())).section(QLatin1Char(' '), 0, 0).toLongLong();
    }

private slots:
    void initTestCase() { m_suiteHome = std::make_unique<TemporaryHome>(); }
    void cleanupTestCase() { m_suiteHome.reset(); }

    void init() {
        m_home = std::make_unique<TemporaryHome>();
        m_bundle = test::makeBundle(m_home->path() + "/My Apps 100%", "Pylon",
                                    test::bundleInfo("net.ostrand.Pylon", "1.0.0", "7"));
        m_record = m_home->path() + "/companion-runs";
    }

    void cleanup() {
        for (qint64 pid : companionPids()) {
            if (isAlive(pid))
                ::kill(pid_t(pid), SIGKILL);
        }
        m_home.reset();
    }

    void pauseTable_data() {
        QTest::addColumn<QList<int>>("starts"); // seconds
        QTest::addColumn<int>("exit");          // seconds
        QTest::addColumn<int>("pause");         // milliseconds; -1: give up
        // The default policy: 0.5 s doubling to 8 s, 5 starts within 10 s.
        QTest::newRow("no start recorded") << QList<int>{} << 100 << 500;
        QTest::newRow("a long run") << QList<int>{0} << 600 << 500;
        QTest::newRow("one short run") << QList<int>{0} << 2 << 500;
        QTest::newRow("two short runs") << QList<int>{0, 3} << 5 << 1000;
        QTest::newRow("three short runs") << QList<int>{0, 3, 6} << 8 << 2000;
        QTest::newRow("long run, then short") << QList<int>{0, 100} << 101 << 500;
        QTest::newRow("five runs in 10 s") << QList<int>{0, 1, 2, 4, 7} << 9 << -1;
        QTest::newRow("five runs in 10 s, to the limit") << QList<int>{0, 1, 2, 4, 7} << 10 << -1;
        QTest::newRow("five runs in 11 s") << QList<int>{0, 1, 2, 4, 7} << 11 << 8000;
        QTest::newRow("pause capped") << QList<int>{0, 9, 18, 27, 36, 45, 54, 63, 72} << 80 << 8000;
    }
    void pauseTable() {
        QFETCH(QList<int>, starts);
        QFETCH(int, exit);
        QFETCH(int, pause);
        const Clock::time_point origin{std::chrono::hours(1000)};
        QList<Clock::time_point> points;
        for (int s : starts)
            points << origin + std::chrono::seconds(s);
        const auto decided = pauseBeforeRestart(KeepAlivePolicy{}, points, origin + std::chrono::seconds(exit));
        QCOMPARE(decided ? int(decided->count()) : -1, pause);
    }

    void registrationFailures() {
        writeCompanion(false);
        ProcessServiceManager process(agent(), log());
        QCOMPARE(process.status(), qint64(ServiceManager::notFound));
        QVERIFY(serviceErrorOf(process.registerAgent()).has_value());

        writeStandardAgent();
        QCOMPARE(QCoro::waitFor(process.queryStatus()), qint64(ServiceManager::notRegistered));
        QFile::setPermissions(companionPath(), QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(serviceErrorOf(process.registerAgent()).has_value());
        QCOMPARE(process.status(), qint64(ServiceManager::notRegistered));
        QCOMPARE(QCoro::waitFor(process.queryStatus()), qint64(ServiceManager::notRegistered));
        QVERIFY(lines(m_record).isEmpty());
    }

    void registerStartsOnceAndUnregisterStops() {
        writeStandardAgent();
        writeCompanion(false);
        ProcessServiceManager manager(agent(), log());
        QCOMPARE(manager.status(), qint64(ServiceManager::notRegistered));
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QCOMPARE(manager.status(), qint64(ServiceManager::enabled));
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);
        const qint64 pid = companionPids().constFirst();
        QCOMPARE(recordedPid(manager), pid);
        // The registration and the pid file are the user's own.
        QCOMPARE(modeOf(manager.stateDirectory()), 0700);
        QCOMPARE(modeOf(manager.registrationFilePath()), 0600);
        QCOMPARE(modeOf(manager.pidFilePath()), 0600);

        QCOMPARE(serviceErrorOf(manager.kickstart(start)), std::nullopt);
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QTest::qWait(300);
        QCOMPARE(companionPids(), QList<qint64>({pid}));

        QCOMPARE(serviceErrorOf(manager.unregisterAgent()), std::nullopt);
        QVERIFY(!isAlive(pid));
        QCOMPARE(manager.status(), qint64(ServiceManager::notRegistered));
        QVERIFY(!QFileInfo::exists(manager.pidFilePath()));
        QCOMPARE(serviceErrorOf(manager.unregisterAgent()), std::nullopt); // not registered: nothing to do
        // A backend started later finds what an earlier one recorded.
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QCOMPARE(ProcessServiceManager(agent(), log()).status(), qint64(ServiceManager::enabled));
    }

    void stateFilesOfAnEarlierVersionBecomePrivate() {
        writeStandardAgent();
        writeCompanion(false);
        ProcessServiceManager manager(agent(), log());
        QVERIFY(QDir().mkpath(manager.stateDirectory()));
        QFile::setPermissions(manager.stateDirectory(), QFileDevice::Permissions(0x7755));
        QVERIFY(writeFileAt(manager.pidFilePath(), "1 1\n"));
        QFile::setPermissions(manager.pidFilePath(), QFileDevice::Permissions(0x6644));
        QCOMPARE(modeOf(manager.pidFilePath()), 0644);
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QCOMPARE(modeOf(manager.stateDirectory()), 0700);
        QCOMPARE(modeOf(manager.pidFilePath()), 0600);
        QCOMPARE(modeOf(manager.registrationFilePath()), 0600);
    }

    void restartRunsOffTheCallersThread() {
        writeStandardAgent();
        writeCompanion(true); // ignores SIGTERM, so only SIGKILL after the grace period stops it
        auto manager = std::make_unique<ProcessServiceManager>(agent(), log());
        QCOMPARE(serviceErrorOf(manager->registerAgent()), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);
        const qint64 first = companionPids().constFirst();

        QCoro::Task<> restarting = manager->kickstart(restart);
        QVERIFY(!restarting.isReady()); // waits for the stop, which the event loop does not
        QVERIFY(isAlive(first));
        manager.reset(); // the restart goes on without the manager
        QCOMPARE(serviceErrorOf(std::move(restarting)), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 2, 5000);
        const qint64 second = companionPids().constLast();
        QVERIFY(second != first);
        QVERIFY(!isAlive(first));

        ProcessServiceManager later(agent(), log());
        QCOMPARE(recordedPid(later), second);
        QCOMPARE(serviceErrorOf(later.unregisterAgent()), std::nullopt); // escalates to SIGKILL as well
        QVERIFY(!isAlive(second));
    }

    void stalePidFileIsNotTakenForTheCompanion() {
        writeStandardAgent(false);
        writeCompanion(false);
        QProcess bystander; // stands for a process that got the companion's pid after it died
        bystander.start(QStringLiteral("sleep"), {QStringLiteral("300")});
        QVERIFY(bystander.waitForStarted());
        const qint64 bystanderPid = bystander.processId();
        QTest::qWait(50); // so the companion's start time differs from the bystander's
        ProcessServiceManager manager(agent(), log());
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);

        // A dead companion: kickstart starts a new one.
        ::kill(pid_t(companionPids().constFirst()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!isAlive(companionPids().constFirst()), 5000);
        QCOMPARE(serviceErrorOf(manager.kickstart(start)), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 2, 5000);

        // Its pid now belongs to another program, which is neither stopped nor taken for the companion.
        ::kill(pid_t(companionPids().constLast()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!isAlive(companionPids().constLast()), 5000);
        const QByteArray startTime = readFile(manager.pidFilePath()).simplified().split(' ').value(1);
        QVERIFY(writeFileAt(manager.pidFilePath(), QByteArray::number(bystanderPid) + ' ' + startTime + '\n'));
        QCOMPARE(serviceErrorOf(manager.kickstart(restart)), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 3, 5000);
        QVERIFY(isAlive(bystanderPid));
        QCOMPARE(serviceErrorOf(manager.unregisterAgent()), std::nullopt);
        QVERIFY(!isAlive(companionPids().constLast()));
        bystander.kill();
        bystander.waitForFinished();
    }

    void companionThatExitsIsStartedAgainUntilTheStartLimit() {
        writeStandardAgent();
        writeCompanion(false);
        test::MessageCapture capture;
        ProcessServiceManager manager(agent(), log(), quickPolicy);
        QSignalSpy restarted(&manager, &ProcessServiceManager::companionRestarted);
        QSignalSpy gaveUp(&manager, &ProcessServiceManager::startLimitReached);
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);

        // Killed twice: started again each time, after 50 ms, then 100 ms (a second short run).
        for (int round = 1; round <= 2; ++round) {
            const qint64 pid = companionPids().constLast();
            QCOMPARE(manager.watchedCompanion()->pid, pid);
            ::kill(pid_t(pid), SIGKILL);
            QVERIFY(restarted.wait(5000));
            QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), round + 1, 5000);
            QCOMPARE(restarted.last().constFirst().toLongLong(), companionPids().constLast());
            QCOMPARE(recordedPid(manager), companionPids().constLast());
            QVERIFY(capture.texts().contains(
                QStringLiteral("process: companion %1 exited, starting it again in %2 ms").arg(pid).arg(50 * round)));
        }
        // The third exit within 5 s of the first start reaches the start limit.
        ::kill(pid_t(companionPids().constLast()), SIGKILL);
        QVERIFY(gaveUp.wait(5000));
        QVERIFY(capture.texts().contains("process: companion started 3 times within 5 s; not starting it again"));
        QVERIFY(!manager.watchedCompanion());
        QTest::qWait(300);
        QCOMPARE(companionPids().size(), 3);

        // Starting it by hand begins afresh.
        QCOMPARE(serviceErrorOf(manager.kickstart(start)), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 4, 5000);
        QCOMPARE(manager.watchedCompanion()->pid, companionPids().constLast());
    }

    void companionThatCannotRunIsGivenUpOn() {
        writeStandardAgent();
        writeCompanion(false, true); // exits at once, as without node
        ProcessServiceManager manager(agent(), log(), quickPolicy);
        QSignalSpy gaveUp(&manager, &ProcessServiceManager::startLimitReached);
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QVERIFY(gaveUp.wait(5000));
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), quickPolicy.startLimitBurst, 5000);
    }

    void onlyAKeptAliveCompanionThatExitsOnItsOwnIsStartedAgain() {
        writeStandardAgent();
        writeCompanion(false);
        ProcessServiceManager manager(agent(), log(), quickPolicy);
        QSignalSpy restarted(&manager, &ProcessServiceManager::companionRestarted);
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);

        // A restart's own stop is no exit to answer; nor is an unregistration's.
        QCOMPARE(serviceErrorOf(manager.kickstart(restart)), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 2, 5000);
        QCOMPARE(manager.watchedCompanion()->pid, companionPids().constLast());
        QCOMPARE(serviceErrorOf(manager.unregisterAgent()), std::nullopt);
        QTest::qWait(300);
        QCOMPARE(companionPids().size(), 2);
        QVERIFY(restarted.isEmpty());

        // Without KeepAlive in the plist the companion stays down.
        writeStandardAgent(false);
        QCOMPARE(serviceErrorOf(manager.registerAgent()), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 3, 5000);
        QVERIFY(!manager.watchedCompanion());
        ::kill(pid_t(companionPids().constLast()), SIGKILL);
        QTest::qWait(300);
        QCOMPARE(companionPids().size(), 3);
        QVERIFY(restarted.isEmpty());
    }

    void companionFromAnEarlierRunIsWatchedOnceKickstarted() {
        writeStandardAgent();
        writeCompanion(false);
        {
            ProcessServiceManager earlier(agent(), log(), quickPolicy);
            QCOMPARE(serviceErrorOf(earlier.registerAgent()), std::nullopt);
        }
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);
        const qint64 pid = companionPids().constFirst();
        ProcessServiceManager manager(agent(), log(), quickPolicy);
        QSignalSpy restarted(&manager, &ProcessServiceManager::companionRestarted);
        QCOMPARE(serviceErrorOf(manager.kickstart(start)), std::nullopt);
        QCOMPARE(companionPids().size(), 1); // still running: left alone
        QCOMPARE(manager.watchedCompanion()->pid, pid);
        ::kill(pid_t(pid), SIGKILL);
        QVERIFY(restarted.wait(5000));
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 2, 5000);
    }
};

QTEST_GUILESS_MAIN(ProcessServiceManagerTest)
#include "tst_processservicemanager.moc"
