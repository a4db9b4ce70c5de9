#include "Fakes.h"
#include "TemporaryHome.h"
#include "TestBundle.h"

#include "companion/CompanionManager.h"
#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <qcoro/qcorotask.h>
#include <unistd.h>

using namespace pylon;
using namespace pylon::test;

namespace {

// One bundle, its environment, defaults, a fake service manager and a private log file.
struct Setup {
    explicit Setup(const QString& identifier = QStringLiteral("net.ostrand.Pylon"), bool withCompanion = true)
        : bundlePath(makeBundle(home.path(), QStringLiteral("Pylon"), bundleInfo(identifier, "2.1.0", "57")))
        , environment(Bundle::atPath(bundlePath).facts(), QStringLiteral("arm64"), home.dataHome())
        , defaults(identifier, home.configHome())
        , writer(home.path() + QStringLiteral("/logs"), home.path() + QStringLiteral("/logs/test.log"))
        , logger(QStringLiteral("companion-manager"), identifier, writer)
        , manager(environment, services, defaults, logger) {
        if (withCompanion) {
            const QString executable = manager.companionExecutablePath();
            QDir().mkpath(QFileInfo(executable).absolutePath());
            QFile file(executable);
            file.open(QIODevice::WriteOnly);
        }
    }

    QStringList logMessages() {
        writer.flush();
        QStringList messages;
        for (const QByteArray& line : readFile(home.path() + QStringLiteral("/logs/test.log")).split('\n')) {
            if (!line.isEmpty())
                messages << QString::fromUtf8(line.mid(line.indexOf("] ", line.indexOf("][")) + 2));
        }
        return messages;
    }

    TemporaryHome home;
    QString bundlePath;
    BuildEnvironment environment;
    UserDefaults defaults;
    FakeServiceManager services;
    LogWriter writer;
    FileLogger logger;
    CompanionManager manager;
};

const QString key = QString::fromLatin1(CompanionManager::registeredVersionKey);

} // namespace

class CompanionManagerTest : public QObject {
    Q_OBJECT
private slots:
    void companionExecutableLivesInTheBundlePerArchitecture() {
        Setup production;
        QCOMPARE(production.manager.companionExecutablePath(),
                 production.bundlePath +
                     QStringLiteral("/Contents/Helpers/arm64/Pylon Companion.app/Contents/MacOS/Pylon Companion"));
        Setup development(QStringLiteral("net.ostrand.Pylon-Dev"));
        QVERIFY(development.manager.companionExecutablePath().endsWith(
            QStringLiteral("/Helpers/arm64/Pylon Companion-Dev.app/Contents/MacOS/Pylon Companion-Dev")));
    }

    void freshOrMissingAgentIsRegisteredAndTheVersionStored_data() {
        QTest::addColumn<qint64>("status");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("statusText");
        // Not found: a stale registration is removed first, and its failure does not matter.
        QTest::newRow("not found") << qint64(3) << QStringList{"unregister", "register"} << "notFound";
        // Not registered: nothing to remove.
        QTest::newRow("not registered") << qint64(0) << QStringList{"register"} << "notRegistered";
    }
    void freshOrMissingAgentIsRegisteredAndTheVersionStored() {
        QFETCH(qint64, status);
        QFETCH(QStringList, actions);
        QFETCH(QString, statusText);
        Setup s;
        s.services.statusValue = status;
        s.services.unregisterError = QStringLiteral("not loaded");
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()), LaunchOutcome::registered());
        QCOMPARE(s.services.actions(), actions);
        QCOMPARE(s.defaults.string(key), std::optional<QString>(QStringLiteral("2.1.0-57")));
        const QStringList log = s.logMessages();
        QCOMPARE(log.first(), QStringLiteral("[Pylon][CompanionManager] ensureRunningViaLaunchd: status=") + statusText +
                                  QStringLiteral(", version=2.1.0-57, stored=nil"));
        QVERIFY(log.contains(QStringLiteral("[Pylon][CompanionManager] register: calling SMAppService.register()")));
        QCOMPARE(log.last(), QStringLiteral("[Pylon][CompanionManager] registered successfully"));
    }

    void missingCompanionExecutableFailsWithoutRegistering() {
        Setup s(QStringLiteral("net.ostrand.Pylon"), false);
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()),
                 LaunchOutcome::failed(QStringLiteral("Binary not found")));
        QVERIFY(s.services.actions().isEmpty());
        QVERIFY(!s.defaults.string(key));
        QCOMPARE(s.logMessages().last(),
                 QStringLiteral("[Pylon][CompanionManager] binary not found at ") + s.manager.companionExecutablePath());
    }

    void registrationErrorIsReturnedAndLogged() {
        Setup s;
        s.services.registerError = QStringLiteral("Operation not permitted");
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()),
                 LaunchOutcome::failed(QStringLiteral("Operation not permitted")));
        QVERIFY(!s.defaults.string(key));
        QCOMPARE(s.logMessages().last(),
                 QStringLiteral("[Pylon][CompanionManager] registration failed: Operation not permitted"));
    }

    void enabledAgentOfThisVersionIsOnlyKickstarted() {
        Setup s;
        s.services.statusValue = ServiceManager::enabled;
        s.defaults.setString(key, QStringLiteral("2.1.0-57"));
        s.defaults.synchronize();
        const QByteArray before = readFile(s.defaults.filePath());
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()), LaunchOutcome::kickstarted());
        QCOMPARE(s.services.kickstarts.size(), 1);
        QCOMPARE(s.services.kickstarts.first(), ServiceManager::Kickstart::start);
        QVERIFY(s.services.actions().isEmpty());
        s.defaults.synchronize();
        QCOMPARE(readFile(s.defaults.filePath()), before);
        QCOMPARE(s.logMessages().last(), QStringLiteral("[Pylon][CompanionManager] start: launchctl kickstart gui/%1/"
                                                        "net.ostrand.PylonCompanion")
                                             .arg(::getuid()));
    }

    void enabledAgentOfAnotherVersionIsRegisteredAgain_data() {
        QTest::addColumn<std::optional<QString>>("stored");
        QTest::newRow("older version") << std::optional<QString>(QStringLiteral("2.0.0-50"));
        QTest::newRow("nothing stored") << std::optional<QString>();
    }
    void enabledAgentOfAnotherVersionIsRegisteredAgain() {
        QFETCH(std::optional<QString>, stored);
        Setup s;
        s.services.statusValue = ServiceManager::enabled;
        if (stored)
            s.defaults.setString(key, *stored);
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()), LaunchOutcome::registered());
        QCOMPARE(s.services.actions(), (QStringList{"unregister", "register"}));
        QVERIFY(s.services.kickstarts.isEmpty());
        QCOMPARE(s.defaults.string(key), std::optional<QString>(QStringLiteral("2.1.0-57")));
        const QStringList log = s.logMessages();
        QVERIFY(log.contains(QStringLiteral("[Pylon][CompanionManager] reregister: unregister + register")));
        QCOMPARE(log.last(), QStringLiteral("[Pylon][CompanionManager] re-registered successfully (app updated)"));
    }

    void failedUnregisterAbortsReregistration() {
        Setup s;
        s.services.statusValue = ServiceManager::enabled;
        s.services.unregisterError = QStringLiteral("busy");
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()), LaunchOutcome::failed(QStringLiteral("busy")));
        QCOMPARE(s.services.actions(), QStringList{"unregister"});
        QVERIFY(!s.defaults.string(key));
        QCOMPARE(s.logMessages().last(), QStringLiteral("[Pylon][CompanionManager] re-registration failed: busy"));
    }

    void pendingApprovalLeavesTheStoredVersion() {
        Setup s;
        s.services.statusValue = ServiceManager::requiresApproval;
        s.defaults.setString(key, QStringLiteral("1.0.0-1"));
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()), LaunchOutcome::requiresApproval());
        QCOMPARE(s.defaults.string(key), std::optional<QString>(QStringLiteral("1.0.0-1")));
        QVERIFY(s.services.actions().isEmpty());
        QCOMPARE(s.logMessages().last(),
                 QStringLiteral("[Pylon][CompanionManager] requires approval in System Settings > Login Items"));
    }

    void unknownStatusFailsWithoutFurtherLog() {
        Setup s;
        s.services.statusValue = 7;
        QCOMPARE(QCoro::waitFor(s.manager.ensureRunningViaLaunchd()),
                 LaunchOutcome::failed(QStringLiteral("Unknown status: 7")));
        QCOMPARE(s.logMessages(), QStringList{QStringLiteral("[Pylon][CompanionManager] ensureRunningViaLaunchd: "
                                                             "status=unknown(7), version=2.1.0-57, stored=nil")});
    }

    void developmentModeTagsEveryLineAndTargetsTheDevLabel() {
        Setup s(QStringLiteral("net.ostrand.Pylon-Dev"));
        QCoro::waitFor(s.manager.restart());
        QCOMPARE(s.services.kickstarts.first(), ServiceManager::Kickstart::restart);
        QCoro::waitFor(s.manager.ensureRunningViaLaunchd());
        for (const QString& line : s.logMessages())
            QVERIFY2(line.startsWith(QStringLiteral("[Pylon-Dev][CompanionManager] ")), qPrintable(line));
    }

    void launchFailuresAreOnlyLogged() {
        Setup s;
        s.services.kickstartError = QStringLiteral("No such file or directory");
        QCoro::waitFor(s.manager.start());
        QCoro::waitFor(s.manager.restart());
        const QStringList log = s.logMessages();
        QCOMPARE(log.size(), 4);
        QCOMPARE(log[1], QStringLiteral("[Pylon][CompanionManager] start: launchctl failed - No such file or directory"));
        QCOMPARE(log[2], QStringLiteral("[Pylon][CompanionManager] restart: launchctl kickstart -k gui/%1/"
                                        "net.ostrand.PylonCompanion")
                             .arg(::getuid()));
        QCOMPARE(log[3], QStringLiteral("[Pylon][CompanionManager] restart: launchctl failed - No such file or directory"));
    }

    void unregisterOfAnUnregisteredAgentDoesNothing() {
        Setup s;
        s.services.statusValue = ServiceManager::notRegistered;
        QCoro::waitFor(s.manager.unregisterAgent());
        QVERIFY(s.services.actions().isEmpty());
        QVERIFY(s.logMessages().isEmpty());
        s.services.statusValue = ServiceManager::enabled;
        QCoro::waitFor(s.manager.unregisterAgent());
        QCOMPARE(s.services.actions(), QStringList{"unregister"});
        QCOMPARE(s.logMessages(), QStringList{"[Pylon][CompanionManager] unregister: calling SMAppService.unregister()"});
    }

    // notRegistered, notFound and unknown(n) are read in the log lines above.
    void statusTexts() {
        QCOMPARE(CompanionManager::statusText(1), QStringLiteral("enabled"));
        QCOMPARE(CompanionManager::statusText(2), QStringLiteral("requiresApproval"));
    }
};

int runCompanionManagerTests(int argc, char** argv) {
    CompanionManagerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_companionmanager.moc"
