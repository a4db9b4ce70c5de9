#include "ShellSupport.h"
#include "TemporaryHome.h"

#include "core/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <list>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace pylon;
using namespace pylon::test;

namespace {

// A name no other test run uses.
QString uniqueIdentifier() {
    static int counter = 0;
    return QStringLiteral("net.ostrand.PylonShellTest-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

QString socketPath(const QString& directory, const QString& identifier) {
    return directory + QLatin1Char('/') + SingleInstance::serverName(identifier);
}

QStringList received(const QSignalSpy& spy) {
    QStringList messages;
    for (const QList<QVariant>& arguments : spy)
        messages << arguments.at(0).toString();
    return messages;
}

bool answers(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    return socket.waitForConnected(200);
}

// A helper process of this executable acting as an instance of `identifier`.
struct Helper {
    explicit Helper(const QString& identifier, const QString& gate = {}) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{QString::fromLatin1(singleInstanceHelperArgument), identifier};
        if (!gate.isEmpty())
            arguments << gate;
        process.start(QCoreApplication::applicationFilePath(), arguments);
    }
    ~Helper() {
        process.kill();
        process.waitForFinished(5000);
    }
    QStringList lines() {
        output += QString::fromUtf8(process.readAllStandardOutput());
        QStringList result = output.split(QLatin1Char('\n'));
        result.removeLast(); // what follows the last line feed
        return result;
    }
    QProcess process;
    QString output;
};

// Leaves a socket file nobody listens on, as a crashed instance does.
bool leaveClosedSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || size_t(name.size()) >= sizeof(address.sun_path))
        return false;
    std::copy(name.begin(), name.end(), address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 && ::listen(fd, 1) == 0;
    ::close(fd);
    return bound;
}

bool portIsFree(quint16 port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

bool processRuns(qint64 pid) {
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat.at(close + 2) != 'Z';
}

// Stops the companion the process backend started in `home`, with the rest of its session.
void stopCompanion(const QString& pidFile) {
    const qint64 pid = readFile(pidFile).split(' ').value(0).trimmed().toLongLong();
    if (pid <= 1 || !processRuns(pid))
        return;
    const bool leadsSession = ::getsid(pid_t(pid)) == pid_t(pid);
    for (int signal : {SIGTERM, SIGKILL}) {
        if (leadsSession)
            ::kill(-pid_t(pid), signal);
        ::kill(pid_t(pid), signal);
        for (int i = 0; i < 100 && processRuns(pid); ++i)
            QTest::qWait(20);
        if (!processRuns(pid))
            return;
    }
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    // Sockets of killed helpers and the election's lock files stay behind in the temporary folder.
    void cleanupTestCase() {
        QDir temporary(QDir::tempPath());
        const QString prefix = QStringLiteral("net.ostrand.PylonShellTest-%1-*").arg(QCoreApplication::applicationPid());
        for (const QString& name : temporary.entryList({prefix}, QDir::Files | QDir::System | QDir::Hidden))
            temporary.remove(name);
    }

    void theSecondInstanceHandsItsMessagesToTheFirst_data() {
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("uninstall") << QStringList{"pylon://uninstall"} << QStringList{"pylon://uninstall"};
        QTest::newRow("activate") << QStringList{""} << QStringList{""};
        QTest::newRow("several, in order") << QStringList{"pylon-dev://settings?a=b#c", "", "pylon://uninstall"}
                                           << QStringList{"pylon-dev://settings?a=b#c", "", "pylon://uninstall"};
        QTest::newRow("line feeds") << QStringList{"pylon://x\ny"} << QStringList{"pylon://x y"};
        QTest::newRow("non-ASCII") << QStringList{"pylon://caf\u00e9/\u2026"} << QStringList{"pylon://caf\u00e9/\u2026"};
    }
    void theSecondInstanceHandsItsMessagesToTheFirst() {
        QFETCH(QStringList, sent);
        QFETCH(QStringList, expected);
        const QString identifier = uniqueIdentifier();
        SingleInstance first(identifier);
        QSignalSpy firstMessages(&first, &SingleInstance::messageReceived);
        QVERIFY(first.listen());
        SingleInstance second(identifier);
        QSignalSpy secondMessages(&second, &SingleInstance::messageReceived);
        QVERIFY(!second.listen());
        for (const QString& message : sent)
            QVERIFY(second.sendToRunningInstance(message));
        QTRY_COMPARE(firstMessages.size(), expected.size());
        // Finding the running instance delivers nothing by itself.
        QCOMPARE(received(firstMessages), expected);
        QVERIFY(secondMessages.isEmpty());
    }

    void nobodyAnswersWithoutARunningInstance() {
        const QString identifier = uniqueIdentifier();
        SingleInstance lonely(identifier);
        QVERIFY(!lonely.sendToRunningInstance(QStringLiteral("pylon://uninstall"), 500));
        {
            SingleInstance first(identifier);
            QVERIFY(first.listen());
            QVERIFY(lonely.sendToRunningInstance(QStringLiteral("pylon://settings")));
        }
        // An instance that ended cleanly leaves nothing behind.
        QVERIFY(!QFileInfo(socketPath(QDir::tempPath(), identifier)).isSymLink());
        QVERIFY(!QFileInfo::exists(socketPath(QDir::tempPath(), identifier)));
        QVERIFY(!lonely.sendToRunningInstance(QStringLiteral("pylon://uninstall"), 500));
        SingleInstance next(identifier);
        QVERIFY(next.listen());
    }

    void anInstanceInAnotherProcessGetsTheMessage() {
        const QString identifier = uniqueIdentifier();
        Helper running(identifier);
        QTRY_COMPARE(running.lines(), QStringList{"listening"});
        SingleInstance second(identifier);
        QVERIFY(!second.listen());
        QVERIFY(second.sendToRunningInstance(QStringLiteral("pylon://uninstall")));
        QTRY_COMPARE(running.lines(), (QStringList{"listening", "message:pylon://uninstall"}));
    }

    void aLeftoverSocketIsTakenOver_data() {
        QTest::addColumn<QString>("leftover");
        QTest::newRow("instance killed") << "killed";
        QTest::newRow("socket closed without removal") << "closed socket";
        QTest::newRow("plain file") << "file";
    }
    void aLeftoverSocketIsTakenOver() {
        QFETCH(QString, leftover);
        const QString identifier = uniqueIdentifier();
        const QString path = socketPath(QDir::tempPath(), identifier);
        auto removeLeftover = qScopeGuard([&] { QFile::remove(path); });
        if (leftover == QLatin1String("killed")) {
            Helper crashed(identifier);
            QTRY_COMPARE(crashed.lines(), QStringList{"listening"});
            crashed.process.kill(); // SIGKILL: no clean-up runs
            QVERIFY(crashed.process.waitForFinished(5000));
        } else if (leftover == QLatin1String("closed socket")) {
            QVERIFY(leaveClosedSocket(path));
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFileInfo::exists(path));
        QVERIFY(!answers(path));

        SingleInstance successor(identifier);
        QSignalSpy messages(&successor, &SingleInstance::messageReceived);
        QVERIFY(successor.listen());
        SingleInstance later(identifier);
        QVERIFY(!later.listen());
        QVERIFY(later.sendToRunningInstance(QStringLiteral("pylon://uninstall")));
        QTRY_COMPARE(received(messages), QStringList{"pylon://uninstall"});
    }

    // Launches at the same moment: exactly one listens, the others hand their message to it.
    void instancesStartingTogetherElectOne() {
        const int count = 12;
        QTemporaryDir gates;
        for (int round = 0; round < 3; ++round) {
            const QString identifier = uniqueIdentifier();
            const QString gate = gates.filePath(QString::number(round));
            std::list<Helper> helpers;
            for (int i = 0; i < count; ++i)
                helpers.emplace_back(identifier, gate);
            auto withLines = [&](int lines) {
                int helpersWithLines = 0;
                for (Helper& helper : helpers)
                    helpersWithLines += helper.lines().size() >= lines ? 1 : 0;
                return helpersWithLines;
            };
            QTRY_COMPARE_WITH_TIMEOUT(withLines(1), count, 20000);
            QFile(gate).open(QIODevice::WriteOnly);
            QTRY_COMPARE_WITH_TIMEOUT(withLines(2), count, 20000);
            QStringList outcomes;
            Helper* running = nullptr;
            for (Helper& helper : helpers) {
                outcomes << helper.lines().at(1);
                if (outcomes.last() == QLatin1String("listening"))
                    running = &helper;
            }
            QCOMPARE(outcomes.count(QStringLiteral("listening")), 1);
            QCOMPARE(outcomes.count(QStringLiteral("forwarded")), count - 1);
            QTRY_COMPARE(running->lines().count(QStringLiteral("message:helper")), count - 1);
        }
    }

    // The built application: a second launch, windowed or not, hands its URL to the running
    // headless instance and ends at once with 0.
    void aSecondLaunchOfTheApplicationForwardsItsUrl() {
        const QString executable =
            qEnvironmentVariable("PYLON_BUILD_DIR") + QStringLiteral("/Pylon-Dev.app/Contents/MacOS/Pylon");
        QVERIFY2(QFileInfo(executable).isExecutable(), qPrintable(executable));
        if (!portIsFree(47250))
            QSKIP("port 47250 is in use (is a Pylon-Dev companion already running?)");
        TemporaryHome home;
        // The instance socket lives in the temporary folder: one of the home's own keeps the test
        // apart from a Pylon-Dev the user runs.
        const QString temporary = home.path() + QStringLiteral("/tmp");
        QVERIFY(QDir().mkpath(temporary));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("TMPDIR"), temporary);
        environment.insert(QStringLiteral("PYLON_SERVICE_BACKEND"), QStringLiteral("process"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString dataFolder = home.dataHome() + QStringLiteral("/Pylon-Dev");
        const QString log = dataFolder + QStringLiteral("/logs/pylon-menubar.log");

        QProcess first;
        first.setProcessEnvironment(environment);
        first.start(executable, {QStringLiteral("--headless")});
        QVERIFY(first.waitForStarted(5000));
        auto stop = qScopeGuard([&] {
            if (first.state() != QProcess::NotRunning) {
                first.terminate();
                if (!first.waitForFinished(5000)) {
                    first.kill();
                    first.waitForFinished(2000);
                }
            }
            stopCompanion(dataFolder + QStringLiteral("/service/net.ostrand.PylonCompanion-Dev.pid"));
        });
        QTRY_VERIFY_WITH_TIMEOUT(answers(socketPath(temporary, developmentIdentifier)), 10000);

        struct Launch {
            QStringList arguments;
            QStringList logged;
        };
        const QList<Launch> launches{
            {{"--headless", "pylon-dev://settings"}, {"Received URL: pylon-dev://settings"}},
            {{"pylon-dev://settings?from=window"}, {"Received URL: pylon-dev://settings?from=window"}},
            {{"--headless", "pylon://uninstall"},
             {"Received URL: pylon://uninstall", "Ignoring URL (scheme pylon doesn't match mode)"}},
            {{"--headless"}, {}},
            // The headless instance has no one to confirm with: it refuses, and deletes nothing.
            {{"--headless", "pylon-dev://uninstall"},
             {"Received URL: pylon-dev://uninstall", "Uninstall requested via URL scheme"}},
        };
        QStringList expected;
        auto urlLines = [&] {
            QStringList lines;
            for (const QString& message : messagesOf(logLines(readFile(log)), QStringLiteral("menubar"))) {
                if (message.contains(QStringLiteral("URL")))
                    lines << message;
            }
            return lines;
        };
        for (const Launch& launch : launches) {
            QProcess second;
            second.setProcessEnvironment(environment);
            second.start(executable, launch.arguments);
            QVERIFY2(second.waitForFinished(20000), qPrintable(launch.arguments.join(' ')));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            const QString errors = QString::fromUtf8(second.readAllStandardError());
            QVERIFY2(!errors.contains(QStringLiteral("Pylon:")), qPrintable(errors));
            expected << launch.logged;
            QTRY_COMPARE_WITH_TIMEOUT(urlLines(), expected, 10000);
        }
        QString firstErrors;
        QTRY_VERIFY((firstErrors += QString::fromUtf8(first.readAllStandardError()))
                        .contains(QStringLiteral("uninstalling needs the confirmation of the windowed application")));
        QVERIFY(QFileInfo::exists(log));
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(!answers(socketPath(temporary, developmentIdentifier)));
    }
};

std::unique_ptr<QObject> makeSingleInstanceTest() {
    return std::make_unique<SingleInstanceTest>();
}

#include "SingleInstanceTest.moc"
