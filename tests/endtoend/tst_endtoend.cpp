#include "TemporaryHome.h"

#include "platform/UserDefaults.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <functional>
#include <memory>
#include <vector>

using namespace pylon;
using namespace pylon::test;

namespace {

const quint16 productionPort = 47150;
// The suite runs in a network namespace of its own (support/in-network-namespace): a port in use
// there is the suite's own fault, and never a reason to skip.
const char* const portInUse = "port 47150 is in use: the suite needs the production companion's port to itself";

bool portIsFree(quint16 port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

QProcessEnvironment environmentFor(const TemporaryHome& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("HOME"), home.path());
    // The shared temporary folder, as the programs see it: nothing of theirs may end up there.
    environment.insert(QStringLiteral("TMPDIR"), home.path() + QStringLiteral("/shared-tmp"));
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
        // A companion killed by the suite before may take a moment to let go of it.
        QTRY_VERIFY2_WITH_TIMEOUT(portIsFree(productionPort), portInUse, 5000);
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
        // A companion killed by the suite before may take a moment to let go of it.
        QTRY_VERIFY2_WITH_TIMEOUT(portIsFree(productionPort), portInUse, 5000);
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

    // Another program on the companion's port: --status fails and says so on standard error, naming
    // the port and what answered, and writes nothing; the companion, which cannot bind it, is not
    // needed.
    void statusNamesAnotherProgramOnThePort() {
        QTcpServer other;
        QTRY_VERIFY2_WITH_TIMEOUT(other.isListening() || other.listen(QHostAddress::LocalHost, productionPort), portInUse,
                                  5000);
        QObject::connect(&other, &QTcpServer::newConnection, &other, [&other] {
            while (QTcpSocket* socket = other.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->readAll();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 22\r\n"
                                  "Connection: close\r\n\r\n<html>a printer</html>");
                    socket->disconnectFromHost();
                });
            }
        });
        TemporaryHome home;
        QProcess pylon;
        pylon.setProcessEnvironment(environmentFor(home));
        pylon.start(m_bundle + QStringLiteral("/Contents/MacOS/Pylon"), {QStringLiteral("--status")});
        QTRY_VERIFY_WITH_TIMEOUT(pylon.state() == QProcess::NotRunning, 10000);
        QCOMPARE(pylon.exitCode(), 1);
        const QString errors = QString::fromUtf8(pylon.readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("Pylon: no status from the companion: port 47150 answers, but not as "
                                                "the companion (another program may be using it): 127.0.0.1:47150 "
                                                "answered (HTTP 200) with something that is not a status document")),
                 qPrintable(errors));
        QVERIFY(QString::fromUtf8(pylon.readAllStandardOutput()).contains(QStringLiteral("Companion not running")));
        // --status leaves nothing behind: no log file, no settings, no status cache.
        QStringList left;
        for (QDirIterator it(home.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            left << it.next();
        left.removeAll(home.path() + QStringLiteral("/shared-tmp"));
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }

    // Reports saved by four programs at the same moment, five times over: every report is whole
    // and its own, and nothing of them is left in the shared or the private temporary folders.
    void simultaneousReportsNeverCollide() {
        TemporaryHome home;
        home.writeFile(QStringLiteral(".local/share/Pylon/logs/pylon-companion.log"),
                       QByteArray(300 * 1024, 'c') + "\n");
        for (int round = 0; round < 5; ++round) {
            std::vector<std::unique_ptr<QProcess>> saves;
            for (int i = 0; i < 4; ++i) {
                saves.push_back(std::make_unique<QProcess>());
                saves.back()->setProcessEnvironment(environmentFor(home));
                saves.back()->start(m_bundle + QStringLiteral("/Contents/MacOS/Pylon"),
                                    {QStringLiteral("--save-diagnostic-report"),
                                     home.path() + QStringLiteral("/report-%1-%2.zip").arg(round).arg(i)});
            }
            QStringList tops;
            for (int i = 0; i < 4; ++i) {
                QVERIFY(saves[size_t(i)]->waitForFinished(30000));
                QVERIFY2(saves[size_t(i)]->exitCode() == 0, saves[size_t(i)]->readAllStandardError().constData());
                const QString archive = home.path() + QStringLiteral("/report-%1-%2.zip").arg(round).arg(i);
                QProcess test;
                test.start(QStringLiteral("unzip"), {QStringLiteral("-t"), archive});
                QVERIFY(test.waitForFinished(30000) && test.exitCode() == 0);
                QProcess list;
                list.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
                QVERIFY(list.waitForFinished(30000));
                tops << QString::fromUtf8(list.readAllStandardOutput()).section(QLatin1Char('/'), 0, 0);
            }
            tops.removeDuplicates();
            QCOMPARE(tops.size(), 4);
            for (const QString& folder : {home.cacheHome() + QStringLiteral("/net.ostrand.Pylon/runtime/reports"),
                                          home.path() + QStringLiteral("/shared-tmp")})
                QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                         QStringList());
        }
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
