// The systemd backend against a fake systemd user manager on the private session bus of the test
// run (dbus-run-session): the calls it makes, the unit file it writes, and the unit state that
// systemd's signals bring into status(). A tripwire `systemctl` first on PATH catches any child.
#include "Awaiting.h"
#include "FakeSystemdManager.h"
#include "MessageCapture.h"
#include "PosixFiles.h"
#include "TemporaryHome.h"
#include "TestBundle.h"
#include "core/Process.h"
#include "foundation/BuildEnvironment.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"
#include "platform/linux/SystemdServiceManager.h"
#include "platform/linux/SystemdUnitFile.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace pylon;
using pylon::test::FakeSystemdManager;
using pylon::test::readFile;
using pylon::test::serviceErrorOf;
using pylon::test::TemporaryHome;
using pylon::test::writeFileAt;

namespace {

const QString unit = QStringLiteral("net.ostrand.PylonCompanion.service");
const QString unitObject = QStringLiteral("/org/freedesktop/systemd1/unit/net_2eostrand_2ePylonCompanion_2eservice");
const QString programInBundle =
    QStringLiteral("Contents/Helpers/x86_64/Pylon Companion.app/Contents/MacOS/Pylon Companion");

} // namespace

class SystemdServiceManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryHome> m_suiteHome; // where the shared log writer settles on first use
    std::unique_ptr<TemporaryHome> m_home;
    std::unique_ptr<FakeSystemdManager> m_fake;
    QByteArray m_savedPath;
    QString m_bundle, m_tripwire;

    QString plistPath() const { return m_bundle + "/Contents/Library/LaunchAgents/PylonCompanion-x86_64.plist"; }
    QString unitPath() const { return m_home->configHome() + "/systemd/user/" + unit; }
    ServiceAgent agent() const {
        const BuildEnvironment environment(Bundle::atPath(m_bundle).facts(), QStringLiteral("x86_64"),
                                           m_home->dataHome());
        return ServiceAgent::companion(environment, m_home->dataHome());
    }
    static const FileLogger& log() { return process::loggers().companionManager; }
    void writeAgent(const QVariantMap& plist) { QVERIFY(writeFileAt(plistPath(), PropertyList::serialize(plist))); }
    void writeStandardAgent() {
        writeAgent({{"Label", "net.ostrand.PylonCompanion"},
                    {"BundleProgram", programInBundle},
                    {"RunAtLoad", true},
                    {"KeepAlive", true}});
    }
    // A backend whose first question (subscription and unit file state) systemd has answered.
    std::unique_ptr<SystemdServiceManager> answeredBackend() {
        auto manager = std::make_unique<SystemdServiceManager>(agent(), log());
        QSignalSpy reported(manager.get(), &SystemdServiceManager::unitStateReported);
        if (!reported.wait(5000))
            return nullptr;
        return manager;
    }
    QStringList takeCalls() { return std::exchange(m_fake->calls, {}); }
    // The calls that change something; the state questions that systemd's own signals prompt
    // interleave with them.
    QStringList takeActions() {
        QStringList actions = takeCalls();
        actions.removeAll("GetUnitFileState " + unit);
        return actions;
    }

private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(),
                 "no session bus: run this suite inside dbus-run-session (ctest does)");
        m_suiteHome = std::make_unique<TemporaryHome>();
    }
    void cleanupTestCase() { m_suiteHome.reset(); }

    void init() {
        m_home = std::make_unique<TemporaryHome>();
        m_bundle = test::makeBundle(m_home->path() + "/My Apps 100%", "Pylon",
                                    test::bundleInfo("net.ostrand.Pylon", "1.0.0", "7"));
        m_fake = std::make_unique<FakeSystemdManager>(m_home->configHome() + "/systemd/user");
        const QString failure = m_fake->publish();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        m_tripwire = m_home->path() + "/tripwire";
        QVERIFY(writeFileAt(m_home->path() + "/bin/systemctl",
                            "#!/bin/sh\necho \"$*\" >> '" + QFile::encodeName(m_tripwire) + "'\n", true));
        m_savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_home->path() + "/bin") + ':' + m_savedPath);
    }

    void cleanup() {
        qputenv("PATH", m_savedPath);
        qunsetenv("PYLON_SERVICE_BACKEND");
        const QByteArray children = readFile(m_tripwire);
        m_fake.reset();
        m_home.reset();
        QVERIFY2(children.isEmpty(), "systemctl was run: " + children);
    }

    void unitObjectPathsAreEscapedAsSystemdDoes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("path");
        QTest::newRow("companion") << unit << unitObject;
        QTest::newRow("leading digit, dash, at") << "1a-b@c.service"
                                                 << "/org/freedesktop/systemd1/unit/_31a_2db_40c_2eservice";
        QTest::newRow("non-ASCII bytes") << QString::fromUtf8("ü.service")
                                         << "/org/freedesktop/systemd1/unit/_c3_bc_2eservice";
        QTest::newRow("empty") << QString() << "/org/freedesktop/systemd1/unit/_";
    }
    void unitObjectPathsAreEscapedAsSystemdDoes() {
        QFETCH(QString, name);
        QFETCH(QString, path);
        QCOMPARE(SystemdUnitFile::objectPath(name), path);
        QCOMPARE(FakeSystemdManager::unitPath(name), path); // the fake sends where systemd would
    }

    void registerWritesTheUnitAndAsksSystemdToEnableReloadAndStart() {
        writeStandardAgent();
        auto manager = answeredBackend();
        QVERIFY(manager);
        QCOMPARE(takeCalls(), QStringList({"Subscribe", "GetUnitFileState " + unit}));
        QCOMPARE(manager->status(), qint64(ServiceManager::notRegistered));

        QCOMPARE(serviceErrorOf(manager->registerAgent()), std::nullopt);
        QCOMPARE(manager->status(), qint64(ServiceManager::enabled));
        QCOMPARE(manager->unitFileState(), QStringLiteral("enabled"));
        QCOMPARE(m_fake->activeStates.value(unit), QStringLiteral("active"));
        QVERIFY(m_fake->calls.endsWith("GetUnitFileState " + unit)); // the state after the last step
        QCOMPARE(takeActions(),
                 QStringList({"EnableUnitFiles " + unit + " false false", "Reload", "StartUnit " + unit + " replace"}));

        const QString program = m_home->path() + "/My Apps 100%%/Pylon.app/" + programInBundle;
        QCOMPARE(QString::fromUtf8(readFile(unitPath())),
                 "# Written by Pylon from " + plistPath() + " at every registration; edits are overwritten.\n" +
                     "[Unit]\nDescription=Pylon Companion\nAfter=graphical-session.target\n"
                     "PartOf=graphical-session.target\nConditionFileIsExecutable=" +
                     program +
                     "\n\n"
                     "[Service]\nType=exec\nExecStart=\"" +
                     program +
                     "\"\nRestart=on-failure\n"
                     "RestartPreventExitStatus=127\nStandardOutput=null\n\n"
                     "[Install]\nWantedBy=graphical-session.target\n");
        // systemd's own parser takes the unit, checks that the program is executable, and finds
        // no StartLimitIntervalSec: systemd's default start limits apply.
        QVERIFY(writeFileAt(m_bundle + QLatin1Char('/') + programInBundle, "#!/bin/sh\nexit 0\n", true));
        const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
        QVERIFY2(!analyze.isEmpty(), "systemd-analyze is missing (scripts/install-deps installs systemd)");
        QProcess verify;
        verify.start(analyze, {QStringLiteral("verify"), QStringLiteral("--man=no"), unitPath()});
        QVERIFY(verify.waitForFinished(30000));
        QVERIFY2(verify.exitCode() == 0, verify.readAllStandardError().constData());

        QCOMPARE(serviceErrorOf(manager->kickstart(ServiceManager::Kickstart::start)), std::nullopt);
        QCOMPARE(serviceErrorOf(manager->kickstart(ServiceManager::Kickstart::restart)), std::nullopt);
        QCOMPARE(takeActions(), QStringList({"StartUnit " + unit + " replace", "RestartUnit " + unit + " replace"}));

        QCOMPARE(serviceErrorOf(manager->unregisterAgent()), std::nullopt);
        QCOMPARE(takeActions(),
                 QStringList({"DisableUnitFiles " + unit + " false", "StopUnit " + unit + " replace", "Reload"}));
        QVERIFY(!QFileInfo::exists(unitPath()));
        QCOMPARE(manager->status(), qint64(ServiceManager::notRegistered));
        QCOMPARE(m_fake->activeStates.value(unit), QStringLiteral("inactive"));
        QCOMPARE(serviceErrorOf(manager->unregisterAgent()), std::nullopt); // no unit file: nothing to undo
        QCOMPARE(takeCalls(), QStringList());
    }

    void unitFollowsThePlist() {
        writeAgent({{"ProgramArguments",
                     QVariantList{"/opt/pylon/companion x", "--name", "say \"hi\" $USER", "back\\slash", "50%"}},
                    {"KeepAlive", QVariantMap{{"SuccessfulExit", false}}},
                    {"ThrottleInterval", qint64(12)}});
        auto manager = answeredBackend();
        QVERIFY(manager);
        takeCalls();
        QCOMPARE(serviceErrorOf(manager->registerAgent()), std::nullopt);
        // Without RunAtLoad the unit has no [Install] section and is neither enabled nor started;
        // systemd still loads it ("static").
        QCOMPARE(takeActions(), QStringList({"Reload"}));
        QCOMPARE(manager->unitFileState(), QStringLiteral("static"));
        QCOMPARE(manager->status(), qint64(ServiceManager::enabled));
        const QString text = QString::fromUtf8(readFile(unitPath()));
        const QString expected = "ExecStart=\"/opt/pylon/companion x\" \"--name\" \"say \\\"hi\\\" $$USER\" "
                                 "\"back\\\\slash\" \"50%%\"\nRestart=on-failure\nRestartSec=12s\n"
                                 "RestartPreventExitStatus=127\n";
        QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY(!text.contains("[Install]"));

        // A job that launchd would not keep alive is not restarted by systemd either.
        writeAgent({{"Program", "/opt/pylon/once"}, {"RunAtLoad", true}});
        QCOMPARE(serviceErrorOf(manager->registerAgent()), std::nullopt);
        QVERIFY(!QString::fromUtf8(readFile(unitPath())).contains("Restart"));
    }

    void unitStateChangesReachStatusWithoutAPoll() {
        writeStandardAgent();
        auto manager = answeredBackend();
        QVERIFY(manager);
        QCOMPARE(serviceErrorOf(manager->registerAgent()), std::nullopt);
        QCOMPARE(manager->status(), qint64(ServiceManager::enabled));
        takeCalls();
        QSignalSpy reported(manager.get(), &SystemdServiceManager::unitStateReported);

        // Polling status() asks nobody.
        for (int i = 0; i < 100; ++i)
            QCOMPARE(manager->status(), qint64(ServiceManager::enabled));
        QTest::qWait(50);
        QCOMPARE(takeCalls(), QStringList());

        // Disabled behind Pylon's back (`systemctl --user disable`): UnitFilesChanged makes the
        // backend ask for the unit file state once.
        m_fake->enabledUnits.clear();
        m_fake->sendUnitFilesChanged();
        QTRY_COMPARE(manager->status(), qint64(ServiceManager::notRegistered));
        QCOMPARE(takeCalls(), QStringList({"GetUnitFileState " + unit}));

        // The unit's own PropertiesChanged carries the state: nothing to ask.
        reported.clear();
        m_fake->sendUnitProperties(unit, {{"UnitFileState", "enabled"}});
        QVERIFY(reported.wait(5000));
        QCOMPARE(manager->status(), qint64(ServiceManager::enabled));
        test::MessageCapture capture;
        m_fake->sendUnitProperties(unit, {{"ActiveState", "failed"}, {"SubState", "failed"}});
        QTRY_COMPARE(manager->activeState(), QStringLiteral("failed"));
        QVERIFY(capture.texts().contains("systemd: " + unit + " failed"));
        QCOMPARE(takeCalls(), QStringList());

        // An invalidated state is asked for; another interface of the object is not the unit's.
        m_fake->enabledUnits.insert(unit);
        m_fake->sendUnitProperties(unit, {}, {"UnitFileState"});
        QTRY_VERIFY(!m_fake->calls.isEmpty());
        QCOMPARE(takeCalls(), QStringList({"GetUnitFileState " + unit}));
        m_fake->sendUnitProperties(unit, {{"ActiveState", "active"}}, {}, "org.freedesktop.systemd1.Service");
        // Only systemd speaks for the unit: the same signal from another connection is ignored.
        QDBusMessage forged =
            QDBusMessage::createSignal(unitObject, "org.freedesktop.DBus.Properties", "PropertiesChanged");
        forged << QStringLiteral("org.freedesktop.systemd1.Unit")
               << QVariantMap{{"UnitFileState", "disabled"}, {"ActiveState", "active"}} << QStringList();
        QDBusConnection forger = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "forger");
        QVERIFY(forger.send(forged));
        m_fake->sendUnitProperties(unit, {{"ActiveState", "failed"}}); // a marker after both
        reported.clear();
        QVERIFY(reported.wait(5000));
        QTest::qWait(100);
        QDBusConnection::disconnectFromBus("forger");
        QCOMPARE(manager->activeState(), QStringLiteral("failed"));
        QCOMPARE(manager->status(), qint64(ServiceManager::enabled));

        // The bundle's plist gone: "not found" from the next report on.
        QFile::remove(plistPath());
        QCOMPARE(QCoro::waitFor(manager->queryStatus()), qint64(ServiceManager::notFound));
    }

    void systemdsErrorsBecomeServiceErrors() {
        writeStandardAgent();
        auto manager = answeredBackend();
        QVERIFY(manager);
        m_fake->failures.insert("EnableUnitFiles",
                                {"org.freedesktop.DBus.Error.AccessDenied", "Access denied to unit file."});
        QCOMPARE(serviceErrorOf(manager->registerAgent()), QStringLiteral("Access denied to unit file."));
        QVERIFY(m_fake->calls.filter("StartUnit").isEmpty());

        // A failing step does not keep unregister from removing the unit; the failure is reported.
        m_fake->failures.clear();
        m_fake->failures.insert("StopUnit", {"org.freedesktop.systemd1.JobTimeout", "Job timed out."});
        takeCalls();
        QCOMPARE(serviceErrorOf(manager->unregisterAgent()), QStringLiteral("Job timed out."));
        QVERIFY(!QFileInfo::exists(unitPath()));
        QVERIFY(takeActions().contains("Reload"));

        // A unit that systemd has not loaded has nothing to stop: no failure.
        m_fake->failures.clear();
        QCOMPARE(serviceErrorOf(manager->registerAgent()), std::nullopt);
        m_fake->activeStates.clear();
        QCOMPARE(serviceErrorOf(manager->unregisterAgent()), std::nullopt);

        m_fake->failures.insert("RestartUnit", {"org.freedesktop.systemd1.NoSuchUnit", "Unit x not found."});
        QCOMPARE(serviceErrorOf(manager->kickstart(ServiceManager::Kickstart::restart)),
                 QStringLiteral("Unit x not found."));
        QCOMPARE(serviceErrorOf(manager->registerAgent()), std::nullopt);
        QCOMPARE(manager->status(), qint64(ServiceManager::enabled));
    }

    void withoutSystemdNothingIsRegisteredAndCallsFail() {
        writeStandardAgent();
        m_fake->unpublish();
        test::MessageCapture capture;
        SystemdServiceManager manager(agent(), log());
        QCOMPARE(QCoro::waitFor(manager.queryStatus()), qint64(ServiceManager::notRegistered));
        QVERIFY(capture.texts().filter("systemd: unit state unknown - ").size() >= 1);
        QVERIFY(serviceErrorOf(manager.registerAgent()).has_value());
        QVERIFY(serviceErrorOf(manager.kickstart(ServiceManager::Kickstart::start)).has_value());

        // systemd arriving later (a new session, daemon-reexec) is subscribed to and asked.
        QVERIFY(m_fake->publish().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(m_fake->hasSubscribers(), 5000);
        QTRY_VERIFY(m_fake->calls.contains("GetUnitFileState " + unit));
        m_fake->sendUnitProperties(unit, {{"UnitFileState", "enabled"}});
        QTRY_COMPARE(manager.status(), qint64(ServiceManager::enabled));
    }

    void destroyedWhileSystemdAnswersEndsTheTaskWithAnError() {
        writeStandardAgent();
        auto manager = answeredBackend();
        QVERIFY(manager);
        QCoro::Task<> registering = manager->registerAgent(); // waits for EnableUnitFiles' answer
        manager.reset();
        QCOMPARE(serviceErrorOf(std::move(registering)),
                 QStringLiteral("The service manager was closed before systemd answered."));
    }

    void factoryAsksTheBusNotSystemctl() {
        test::MessageCapture capture;
        qputenv("PYLON_SERVICE_BACKEND", "process");
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("process"));
        qputenv("PYLON_SERVICE_BACKEND", "systemd");
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("systemd"));
        qputenv("PYLON_SERVICE_BACKEND", "launchd");
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("systemd"));
        qunsetenv("PYLON_SERVICE_BACKEND");
        m_fake->unpublish();
        QCOMPARE(createServiceManager(agent(), log())->backendName(), QStringLiteral("process"));
        QCOMPARE(capture.texts().filter("Service backend: "),
                 QStringList({"Service backend: process (forced by PYLON_SERVICE_BACKEND)",
                              "Service backend: systemd (forced by PYLON_SERVICE_BACKEND)",
                              "Service backend: systemd (PYLON_SERVICE_BACKEND=launchd ignored, the systemd user "
                              "manager is on the session bus)",
                              "Service backend: process (no systemd user manager on the session bus)"}));
    }
};

QTEST_GUILESS_MAIN(SystemdServiceManagerTest)
#include "tst_systemdservicemanager.moc"
