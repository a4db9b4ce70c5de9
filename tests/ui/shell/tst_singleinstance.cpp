#include "core/SingleInstance.h"

#include "ShellSupport.h"
#include "core/Process.h"
#include "TemporaryHome.h"
#include "platform/linux/ProcessServiceManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <list>
#include <unistd.h>

using namespace pylon;
using namespace pylon::test;

namespace {

QString socketPath(const QString& identifier) {
    return SingleInstance::serverName(identifier);
}

bool answers(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    return socket.waitForConnected(200);
}

// A helper process of this executable acting as an instance of `identifier`.
struct Helper {
    Helper(const QString& identifier, const QString& gate) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(),
                      {QString::fromLatin1(singleInstanceHelperArgument), identifier, gate});
    }
    ~Helper() {
        process.kill();
        process.waitForFinished(5000);
    }
    // Each line is written at once, so none arrives split.
    QStringList lines() { return (output += process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts); }
    QProcess process;
    QString output;
};

// The menu-bar log lines about URLs in the log file at `path`.
QStringList urlLines(const QString& path) {
    QStringList lines =
        QString::fromUtf8(readFile(path)).split('\n').filter(QRegularExpression("\\]\\[menubar\\] .*URL"));
    return lines.replaceInStrings(QRegularExpression("^.*?\\]\\[menubar\\] "), QString());
}

} // namespace

int pylon::test::runSingleInstanceHelper(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    QTextStream out(stdout);
    out << "ready" << Qt::endl;
    while (!QFile::exists(QString::fromLocal8Bit(argv[3])))
        ::usleep(100);
    if (!instance.listen()) {
        out << (instance.sendToRunningInstance(QStringLiteral("helper")) ? "forwarded" : "unanswered") << Qt::endl;
        return 0;
    }
    out << "listening" << Qt::endl;
    QObject::connect(&instance, &SingleInstance::messageReceived,
                     [&out](const QString& message) { out << "message:" << message << Qt::endl; });
    return QCoreApplication::exec();
}

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    // The socket a killed instance leaves is taken over; a later launch hands its messages over.
    void theSocketOfAKilledInstanceIsTakenOver() {
        const QString identifier = QStringLiteral("net.ostrand.PylonShellTest");
        {
            Helper crashed(identifier, QCoreApplication::applicationFilePath()); // a gate that is open
            QTRY_COMPARE(crashed.lines(), (QStringList{"ready", "listening"}));
            crashed.process.kill(); // SIGKILL: no clean-up runs
            QVERIFY(crashed.process.waitForFinished(5000));
        }
        QVERIFY(QFileInfo::exists(socketPath(identifier)));
        QVERIFY(!answers(socketPath(identifier)));
        SingleInstance later(identifier);
        QVERIFY(!later.sendToRunningInstance(QStringLiteral("pylon://uninstall"), std::chrono::milliseconds(500)));
        {
            SingleInstance successor(identifier);
            QSignalSpy messages(&successor, &SingleInstance::messageReceived);
            QVERIFY(successor.listen());
            QVERIFY(!later.listen());
            for (const QString& message : QStringList{"pylon://a?b#c", "", "pylon://x\ny", "pylon://caf\u00e9/\u2026"})
                QVERIFY(later.sendToRunningInstance(message));
            // Finding the running instance delivers nothing by itself.
            QTRY_COMPARE(messages,
                         (QList<QVariantList>{{"pylon://a?b#c"}, {""}, {"pylon://x y"}, {"pylon://caf\u00e9/\u2026"}}));
        }
        // An instance that ended cleanly leaves nothing behind.
        QVERIFY(!QFileInfo(socketPath(identifier)).exists() && !QFileInfo(socketPath(identifier)).isSymLink());
    }

    // Launches at the same moment: exactly one listens, the others hand their message to it.
    void instancesStartingTogetherElectOne() {
        const int count = 12;
        for (int round = 0; round < 3; ++round) {
            const QString identifier = QStringLiteral("net.ostrand.PylonShellTest-%1").arg(round);
            const QString gate = QDir::temp().filePath(identifier + QStringLiteral(".gate"));
            std::list<Helper> helpers;
            for (int i = 0; i < count; ++i)
                helpers.emplace_back(identifier, gate);
            auto allPrinted = [&](int lines) {
                return std::all_of(helpers.begin(), helpers.end(),
                                   [&](Helper& h) { return h.lines().size() >= lines; });
            };
            QTRY_VERIFY_WITH_TIMEOUT(allPrinted(1), 20000); // all wait at the gate
            QFile(gate).open(QIODevice::WriteOnly);
            QTRY_VERIFY_WITH_TIMEOUT(allPrinted(2), 20000);
            QStringList outcomes;
            for (Helper& helper : helpers)
                outcomes << helper.lines().at(1);
            QCOMPARE(outcomes.count(QStringLiteral("listening")), 1);
            QCOMPARE(outcomes.count(QStringLiteral("forwarded")), count - 1);
            Helper& running = *std::next(helpers.begin(), outcomes.indexOf(QStringLiteral("listening")));
            QTRY_COMPARE(running.lines().count(QStringLiteral("message:helper")), count - 1);
        }
    }

    // The built application: a second launch hands its URL to the running headless one and ends with 0.
    void aSecondLaunchOfTheApplicationForwardsItsUrl() {
        const QString executable =
            qEnvironmentVariable("PYLON_BUILD_DIR") + QStringLiteral("/Pylon-Dev.app/Contents/MacOS/Pylon");
        // The suite runs in a network namespace of its own (tests/support/in-network-namespace).
        QVERIFY2(QTcpServer().listen(QHostAddress::LocalHost, 47250),
                 "port 47250 is in use: this case needs the development companion's port to itself");
        TemporaryHome home;
        const QString log = home.dataHome() + QStringLiteral("/Pylon-Dev/logs/pylon-menubar.log");
        QProcess first;
        first.start(executable, {QStringLiteral("--headless")});
        QVERIFY(first.waitForStarted(5000));
        auto stop = qScopeGuard([&] {
            first.kill();
            first.waitForFinished(5000);
            try { // the companion the instance started, with its process group
                const ServiceAgent agent =
                    ServiceAgent::companion(builtEnvironment(QStringLiteral("Pylon-Dev"), home.dataHome()), home.dataHome());
                ProcessServiceManager(agent, process::loggers().companionManager).unregisterAgent();
            } catch (const ServiceError&) {
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(answers(socketPath(developmentIdentifier)), 10000);

        const QList<std::pair<QStringList, QStringList>> launches{
            {{"pylon-dev://settings?from=window"}, {"Received URL: pylon-dev://settings?from=window"}},
            // The headless instance has no one to confirm with: it refuses, and deletes nothing.
            {{"--headless", "pylon-dev://uninstall"},
             {"Received URL: pylon-dev://uninstall", "Uninstall requested via URL scheme"}},
        };
        QStringList expected;
        for (const auto& [arguments, logged] : launches) {
            QProcess second;
            second.start(executable, arguments);
            QVERIFY2(second.waitForFinished(20000), qPrintable(arguments.join(' ')));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            expected << logged;
            QTRY_COMPARE_WITH_TIMEOUT(urlLines(log), expected, 10000);
        }
        QString firstErrors;
        QTRY_VERIFY((firstErrors += QString::fromUtf8(first.readAllStandardError()))
                        .contains(QStringLiteral("uninstalling needs the confirmation of the windowed application")));
        QVERIFY(QFileInfo::exists(log));

        first.terminate();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(!answers(socketPath(developmentIdentifier)));
    }
};

std::unique_ptr<QObject> makeSingleInstanceTest() {
    return std::make_unique<SingleInstanceTest>();
}

#include "tst_singleinstance.moc"
