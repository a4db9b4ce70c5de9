#include "TemporaryHome.h"

#include "platform/UserDefaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <csignal>
#include <functional>

using namespace pylon;
using namespace pylon::test;

namespace {

const quint16 productionPort = 47150;

bool portIsFree(quint16 port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

QProcessEnvironment environmentFor(const TemporaryHome& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("PYLON_SERVICE_BACKEND"), QStringLiteral("process"));
    return environment;
}

// Stops the companion that the process backend started in `home`.
void stopCompanion(const TemporaryHome& home) {
    const QString pidFile = home.dataHome() + QStringLiteral("/Pylon/service/net.ostrand.PylonCompanion.pid");
    if (const qint64 pid = readFile(pidFile).split(' ').value(0).trimmed().toLongLong(); pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

    QString m_bundle;

private slots:
    void initTestCase() {
        m_bundle = qEnvironmentVariable("PYLON_BUILD_DIR") + QStringLiteral("/Pylon.app");
        QVERIFY2(QFile::exists(m_bundle + QStringLiteral("/Contents/MacOS/Pylon")), qPrintable(m_bundle));
    }

    void headlessPylonBringsUpTheCompanionAndNoticesItsDeath() {
        if (!portIsFree(productionPort))
            QSKIP("port 47150 is in use (is a Pylon companion already running?)");
        TemporaryHome home;
        QProcess pylon;
        pylon.setProcessEnvironment(environmentFor(home));
        pylon.setProcessChannelMode(QProcess::SeparateChannels);
        pylon.start(m_bundle + QStringLiteral("/Contents/MacOS/Pylon"), {QStringLiteral("--headless")});
        QVERIFY(pylon.waitForStarted(5000));
        QString output;
        auto readOutput = [&] {
            output += QString::fromUtf8(pylon.readAllStandardOutput());
            return output;
        };
        const QString pidFile =
            home.dataHome() + QStringLiteral("/Pylon/service/net.ostrand.PylonCompanion.pid");
        auto companionPid = [&]() -> qint64 {
            return readFile(pidFile).split(' ').value(0).trimmed().toLongLong();
        };
        // Pylon first: while it runs, it starts the companion again.
        auto cleanup = qScopeGuard([&] {
            if (pylon.state() != QProcess::NotRunning) {
                pylon.kill();
                pylon.waitForFinished(2000);
            }
            stopCompanion(home);
        });

        QVERIFY(readOutput().contains(QStringLiteral("Companion starting\u2026")) || pylon.waitForReadyRead(5000));
        QTRY_VERIFY_WITH_TIMEOUT(readOutput().contains(QStringLiteral("Companion running")), 5000);

        const QString log = QString::fromUtf8(readFile(home.dataHome() + QStringLiteral("/Pylon/logs/pylon-menubar.log")));
        QVERIFY2(log.contains(QStringLiteral("[pylon-companion][companion-manager] [Pylon][CompanionManager] "
                                             "ensureRunningViaLaunchd: status=notRegistered")),
                 qPrintable(log));
        QVERIFY(log.contains(QStringLiteral("[Pylon][CompanionManager] registered successfully")));
        QVERIFY(QFile::exists(home.dataHome() + QStringLiteral("/Pylon/logs/pylon-companion.log")));

        const qint64 pid = companionPid();
        QVERIFY(pid > 0);
        output.clear();
        QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(readOutput().contains(QStringLiteral("Companion not running")), 5000);

        // The launch agent's KeepAlive: Pylon starts it again, and the views follow.
        output.clear();
        QTRY_VERIFY_WITH_TIMEOUT(readOutput().contains(QStringLiteral("Companion running")), 10000);
        QVERIFY(companionPid() > 0 && companionPid() != pid);
        QVERIFY(QString::fromUtf8(readFile(home.dataHome() + QStringLiteral("/Pylon/logs/pylon-menubar.log")))
                    .contains(QStringLiteral("process: companion %1 exited, starting it again in 500 ms").arg(pid)));

        pylon.terminate();
        QVERIFY(pylon.waitForFinished(1000));
        QCOMPARE(pylon.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pylon.exitCode(), 0);
    }

    void startInstallsTheControlScriptOncePerVersion() {
        if (!portIsFree(productionPort))
            QSKIP("port 47150 is in use (is a Pylon companion already running?)");
        TemporaryHome home;
        home.writeFile(QStringLiteral("Library/Preferences/Ableton/Live 12.1.5/Library.cfg"),
                       R"(<?xml version="1.0" encoding="UTF-8"?>
<Ableton><ContentLibrary><UserLibrary><LibraryProject>
<ProjectPath Value="~/Music/Ableton"/><ProjectName Value="User Library"/>
</LibraryProject></UserLibrary></ContentLibrary></Ableton>
)");
        QDir().mkpath(home.path() + QStringLiteral("/Music/Ableton/User Library"));
        const QString script = home.path() + QStringLiteral("/Music/Ableton/User Library/Remote Scripts/Pylon");
        const QString log = home.dataHome() + QStringLiteral("/Pylon/logs/pylon-menubar.log");
        auto cleanup = qScopeGuard([&] { stopCompanion(home); });

        auto runOnce = [&](const std::function<bool()>& settled) {
            QProcess pylon;
            pylon.setProcessEnvironment(environmentFor(home));
            pylon.start(m_bundle + QStringLiteral("/Contents/MacOS/Pylon"), {QStringLiteral("--headless")});
            QVERIFY(pylon.waitForStarted(5000));
            // The start-up sequence ends with the control-script check; give it until the first
            // status line shows the companion running.
            QString output;
            QTRY_VERIFY_WITH_TIMEOUT(
                (output += QString::fromUtf8(pylon.readAllStandardOutput())).contains(QStringLiteral("Companion running")),
                5000);
            QTRY_VERIFY_WITH_TIMEOUT(settled(), 10000);
            pylon.terminate();
            QVERIFY(pylon.waitForFinished(2000));
        };

        runOnce([&] { return QString::fromUtf8(readFile(log)).contains(QStringLiteral("installRemoteScript: installed to ")); });
        QVERIFY(QFile::exists(script + QStringLiteral("/__init__.py")));
        UserDefaults defaults(QStringLiteral("net.ostrand.Pylon"), home.configHome());
        const auto version = defaults.string(QStringLiteral("PylonRemoteScript.installedAppVersion"));
        QVERIFY(version && !version->isEmpty());
        QCOMPARE(QString::fromUtf8(readFile(log)).count(QStringLiteral("installRemoteScript: installed to ")), 1);

        // The same version with the script in place: nothing is installed again.
        home.writeFile(QStringLiteral("Music/Ableton/User Library/Remote Scripts/Pylon/user-note.txt"), "mine");
        QElapsedTimer second;
        second.start();
        runOnce([&] { return second.elapsed() > 1500; }); // well past the start-up sequence
        QCOMPARE(QString::fromUtf8(readFile(log)).count(QStringLiteral("installRemoteScript: installing to version")), 1);
        QVERIFY(QFile::exists(script + QStringLiteral("/user-note.txt")));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
