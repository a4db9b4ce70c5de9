#include "MessageCapture.h"
#include "TemporaryHome.h"
#include "TestBundle.h"
#include "core/Process.h"
#include "foundation/BuildEnvironment.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"
#include "platform/linux/ProcessServiceManager.h"
#include "platform/linux/SystemdServiceManager.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <csignal>

using namespace pylon;
using pylon::test::readFile;
using pylon::test::TemporaryHome;

namespace {

const QString unit = QStringLiteral("net.ostrand.PylonCompanion.service");
constexpr auto start = ServiceManager::Kickstart::start;
constexpr auto restart = ServiceManager::Kickstart::restart;
const QString programInBundle =
    QStringLiteral("Contents/Helpers/x86_64/Pylon Companion.app/Contents/MacOS/Pylon Companion");

// Logs its arguments, keeps the enabled state in a file, fails a verb whose fail-<verb> file exists.
const QByteArray fakeSystemctl =
    "printf '%s\\n' \"$*\" >> \"$dir/calls\"\n"
    "if [ -f \"$dir/fail-$2\" ]; then cat \"$dir/fail-$2\" >&2; exit 1; fi\n"
    "case \"$2\" in\n"
    "is-enabled) [ -f \"$dir/enabled\" ] && echo enabled || { echo disabled; exit 1; } ;;\n"
    "enable) : > \"$dir/enabled\" ;;\n"
    "disable) rm -f \"$dir/enabled\" ;;\n"
    "show-environment) exit \"$(cat \"$dir/show-environment-rc\" 2>/dev/null || echo 0)\" ;;\n"
    "esac\n";

void writeFile(const QString& path, const QByteArray& text, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

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

class ServicesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_suiteHome; // where the shared log writer settles on first use
    std::unique_ptr<TemporaryHome> m_home;
    QByteArray m_savedPath;
    QString m_bundle, m_fake, m_record;

    QString plistPath() const { return m_bundle + "/Contents/Library/LaunchAgents/PylonCompanion-x86_64.plist"; }
    QString companionPath() const { return m_bundle + QLatin1Char('/') + programInBundle; }
    QString unitPath() const { return m_home->configHome() + "/systemd/user/" + unit; }
    ServiceAgent agent() const {
        const BuildEnvironment environment(Bundle::atPath(m_bundle).facts(), QStringLiteral("x86_64"),
                                           m_home->dataHome());
        return ServiceAgent::companion(environment, m_home->dataHome());
    }
    static const FileLogger& log() { return process::loggers().companionManager; }
    QStringList takeCalls() const {
        const QStringList calls = lines(m_fake + "/calls");
        QFile::remove(m_fake + "/calls");
        return calls;
    }
    void writeAgent(const QVariantMap& plist) { writeFile(plistPath(), PropertyList::serialize(plist)); }
    void writeStandardAgent() {
        writeAgent({{"Label", "net.ostrand.PylonCompanion"},
                    {"BundleProgram", programInBundle},
                    {"RunAtLoad", true},
                    {"KeepAlive", true}});
    }
    // The companion records "<pid> <arguments>" and goes on as `sleep`, keeping its pid.
    void writeCompanion(bool ignoreTerm) {
        writeFile(companionPath(),
                  QByteArray("#!/bin/sh\n") + (ignoreTerm ? "trap '' TERM\n" : "") + "echo \"$$ $*\" >> '" +
                      QFile::encodeName(m_record) + "'\nexec sleep 300\n",
                  true);
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
        m_fake = m_home->path() + "/fake";
        writeFile(m_fake + "/systemctl", "#!/bin/sh\ndir='" + QFile::encodeName(m_fake) + "'\n" + fakeSystemctl, true);
        m_savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_fake) + ':' + m_savedPath);
    }

    void cleanup() {
        for (qint64 pid : companionPids()) {
            if (isAlive(pid))
                ::kill(pid_t(pid), SIGKILL);
        }
        qputenv("PATH", m_savedPath);
        qunsetenv("PYLON_SERVICE_BACKEND");
        m_home.reset();
    }

    // --- systemd backend, against the fake systemctl ---

    void systemdRunsTheExpectedCommands() {
        writeStandardAgent();
        SystemdServiceManager manager(agent(), log());
        QCOMPARE(manager.status(), qint64(ServiceManager::notRegistered));
        manager.registerAgent();
        QCOMPARE(manager.status(), qint64(ServiceManager::enabled));
        QCOMPARE(takeCalls(), QStringList({"--user is-enabled " + unit, "--user daemon-reload", "--user enable " + unit,
                                           "--user start " + unit, "--user is-enabled " + unit}));
        const QString program = m_home->path() + "/My Apps 100%%/Pylon.app/" + programInBundle;
        QCOMPARE(QString::fromUtf8(readFile(unitPath())),
                 "# Written by Pylon from " + plistPath() + " at every registration; edits are overwritten.\n" +
                     "[Unit]\nDescription=Pylon Companion\nStartLimitIntervalSec=0\n\n[Service]\nType=exec\n" +
                     "ExecStart=\"" + program + "\"\nRestart=always\nRestartSec=5s\n\n" +
                     "[Install]\nWantedBy=default.target\n");

        // systemd-analyze parses ExecStart as systemd does and rejects a program it cannot execute.
        writeCompanion(false);
        if (const QString analyze = QStandardPaths::findExecutable("systemd-analyze"); !analyze.isEmpty()) {
            QProcess verify;
            verify.start(analyze, {QStringLiteral("verify"), QStringLiteral("--man=no"), unitPath()});
            QVERIFY(verify.waitForFinished(30000));
            QVERIFY2(verify.exitCode() == 0, verify.readAllStandardError().constData());
        }

        // kickstart is launched, not awaited.
        manager.kickstart(start);
        QTRY_COMPARE_WITH_TIMEOUT(lines(m_fake + "/calls"), QStringList({"--user start " + unit}), 5000);
        manager.kickstart(restart);
        QTRY_COMPARE_WITH_TIMEOUT(lines(m_fake + "/calls").size(), 2, 5000);
        QCOMPARE(takeCalls().constLast(), "--user restart " + unit);

        manager.unregisterAgent();
        QCOMPARE(takeCalls(), QStringList({"--user disable " + unit, "--user stop " + unit, "--user daemon-reload"}));
        QVERIFY(!QFileInfo::exists(unitPath()));
        QCOMPARE(manager.status(), qint64(ServiceManager::notRegistered));
        takeCalls();
        manager.unregisterAgent(); // no unit file: nothing to undo
        QCOMPARE(takeCalls(), QStringList());
    }

    void systemdUnitQuotesEveryWordOfProgramArguments() {
        writeAgent({{"ProgramArguments",
                     QVariantList{"/opt/pylon/companion x", "--name", "say \"hi\" $USER", "back\\slash", "50%"}},
                    {"KeepAlive", QVariantMap{{"SuccessfulExit", false}}},
                    {"ThrottleInterval", qint64(12)}});
        SystemdServiceManager(agent(), log()).registerAgent();
        // Without RunAtLoad the unit has no [Install] section and is neither enabled nor started.
        QCOMPARE(takeCalls(), QStringList({"--user daemon-reload"}));
        const QString text = QString::fromUtf8(readFile(unitPath()));
        const QString expected = "ExecStart=\"/opt/pylon/companion x\" \"--name\" \"say \\\"hi\\\" $$USER\" "
                                 "\"back\\\\slash\" \"50%%\"\nRestart=on-failure\nRestartSec=12s\n";
        QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY(!text.contains("[Install]"));
    }

    void systemdFailuresCarrySystemctlsErrorText() {
        writeStandardAgent();
        SystemdServiceManager manager(agent(), log());
        writeFile(m_fake + "/fail-enable", "Failed to enable unit: Access denied\n");
        try {
            manager.registerAgent();
            QFAIL("register succeeded although enable failed");
        } catch (const ServiceError& e) {
            QCOMPARE(e.description(), QStringLiteral("Failed to enable unit: Access denied"));
        }
        QVERIFY(!takeCalls().contains("--user start " + unit));

        // A failing step does not keep unregister from removing the unit; the failure is reported.
        QFile::remove(m_fake + "/fail-enable");
        writeFile(m_fake + "/fail-stop", "Failed to stop unit: Connection timed out\n");
        QVERIFY_THROWS_EXCEPTION(ServiceError, manager.unregisterAgent());
        QVERIFY(!QFileInfo::exists(unitPath()));
        QCOMPARE(takeCalls().constLast(), QStringLiteral("--user daemon-reload"));

        // No systemctl at all: kickstart cannot be launched, the state cannot be read.
        qputenv("PATH", QFile::encodeName(m_home->path() + "/empty"));
        QVERIFY_THROWS_EXCEPTION(ServiceError, manager.kickstart(start));
        QCOMPARE(manager.status(), qint64(ServiceManager::notRegistered));
    }

    // --- both backends ---

    void registrationFailures() {
        writeCompanion(false);
        SystemdServiceManager systemd(agent(), log());
        ProcessServiceManager process(agent(), log());
        for (ServiceManager* manager : std::initializer_list<ServiceManager*>{&systemd, &process}) {
            QCOMPARE(manager->status(), qint64(ServiceManager::notFound));
            QVERIFY_THROWS_EXCEPTION(ServiceError, manager->registerAgent());
        }
        QVERIFY(takeCalls().isEmpty());

        writeStandardAgent();
        QFile::setPermissions(companionPath(), QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY_THROWS_EXCEPTION(ServiceError, process.registerAgent());
        QCOMPARE(process.status(), qint64(ServiceManager::notRegistered));
        QVERIFY(lines(m_record).isEmpty());
    }

    void factoryHonoursOverrideAndProbesTheUserManager() {
        test::MessageCapture capture;
        qputenv("PYLON_SERVICE_BACKEND", "process");
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("process"));
        qputenv("PYLON_SERVICE_BACKEND", "systemd");
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("systemd"));
        QVERIFY(takeCalls().isEmpty());

        qunsetenv("PYLON_SERVICE_BACKEND");
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("systemd"));
        QCOMPARE(takeCalls(), QStringList({"--user show-environment"}));
        writeFile(m_fake + "/show-environment-rc", "1");
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("process"));

        QStringList logged;
        for (const auto& message : capture.messages())
            logged << message.text;
        QCOMPARE(logged.filter("Service backend: "),
                 QStringList({"Service backend: process (forced by PYLON_SERVICE_BACKEND)",
                              "Service backend: systemd (forced by PYLON_SERVICE_BACKEND)",
                              "Service backend: systemd (the systemd user manager answered)",
                              "Service backend: process (no systemd user manager answered)"}));
    }

    // --- process backend, with a real companion ---

    void processRegisterStartsOnceAndUnregisterStops() {
        writeStandardAgent();
        writeCompanion(false);
        ProcessServiceManager manager(agent(), log());
        QCOMPARE(manager.status(), qint64(ServiceManager::notRegistered));
        manager.registerAgent();
        QCOMPARE(manager.status(), qint64(ServiceManager::enabled));
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);
        const qint64 pid = companionPids().constFirst();
        QCOMPARE(recordedPid(manager), pid);

        manager.kickstart(start);
        manager.registerAgent();
        QTest::qWait(300);
        QCOMPARE(companionPids(), QList<qint64>({pid}));

        manager.unregisterAgent();
        QVERIFY(!isAlive(pid));
        QCOMPARE(manager.status(), qint64(ServiceManager::notRegistered));
        QVERIFY(!QFileInfo::exists(manager.pidFilePath()));
        manager.unregisterAgent(); // not registered: nothing to do
    }

    void processRestartRunsOffTheCallersThread() {
        writeStandardAgent();
        writeCompanion(true); // ignores SIGTERM, so only SIGKILL after the grace period stops it
        auto manager = std::make_unique<ProcessServiceManager>(agent(), log());
        manager->registerAgent();
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);
        const qint64 first = companionPids().constFirst();

        manager->kickstart(restart);
        QVERIFY(isAlive(first)); // returned before the stop could finish
        manager.reset();         // the restart goes on without the manager
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 2, 10000);
        const qint64 second = companionPids().constLast();
        QVERIFY(second != first);
        QVERIFY(!isAlive(first));

        ProcessServiceManager later(agent(), log());
        QTRY_COMPARE_WITH_TIMEOUT(recordedPid(later), second, 5000); // the worker writes it after the start
        later.unregisterAgent();                                     // escalates to SIGKILL as well
        QVERIFY(!isAlive(second));
    }

    void processStalePidFileIsNotTakenForTheCompanion() {
        writeStandardAgent();
        writeCompanion(false);
        QProcess bystander; // stands for a process that got the companion's pid after it died
        bystander.start(QStringLiteral("sleep"), {QStringLiteral("300")});
        QVERIFY(bystander.waitForStarted());
        const qint64 bystanderPid = bystander.processId();
        QTest::qWait(50); // so the companion's start time differs from the bystander's
        ProcessServiceManager manager(agent(), log());
        manager.registerAgent();
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 1, 5000);

        // A dead companion: kickstart starts a new one.
        ::kill(pid_t(companionPids().constFirst()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!isAlive(companionPids().constFirst()), 5000);
        manager.kickstart(start);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 2, 5000);

        // Its pid now belongs to another program, which is neither stopped nor taken for the companion.
        ::kill(pid_t(companionPids().constLast()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(!isAlive(companionPids().constLast()), 5000);
        const QByteArray startTime = readFile(manager.pidFilePath()).simplified().split(' ').value(1);
        writeFile(manager.pidFilePath(), QByteArray::number(bystanderPid) + ' ' + startTime + '\n');
        manager.kickstart(restart);
        QTRY_COMPARE_WITH_TIMEOUT(companionPids().size(), 3, 5000);
        QVERIFY(isAlive(bystanderPid));
        manager.unregisterAgent();
        QVERIFY(!isAlive(companionPids().constLast()));
        bystander.kill();
        bystander.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(ServicesTest)
#include "tst_servicemanagers.moc"
