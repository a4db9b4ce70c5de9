#include "TemporaryHome.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <csignal>

using namespace pylon::test;

namespace {

const quint16 productionPort = 47150;

bool portIsFree(quint16 port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
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
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("PYLON_SERVICE_BACKEND"), QStringLiteral("process"));

        QProcess pylon;
        pylon.setProcessEnvironment(environment);
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
        auto cleanup = qScopeGuard([&] {
            if (const qint64 pid = companionPid(); pid > 0)
                ::kill(pid_t(pid), SIGKILL);
            if (pylon.state() != QProcess::NotRunning) {
                pylon.kill();
                pylon.waitForFinished(2000);
            }
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

        pylon.terminate();
        QVERIFY(pylon.waitForFinished(1000));
        QCOMPARE(pylon.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pylon.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
