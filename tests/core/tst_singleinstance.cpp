#include "PosixFiles.h"
#include "TemporaryHome.h"
#include "core/SingleInstance.h"
#include "platform/SystemInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace pylon;
using namespace pylon::test;

namespace {

const char* const helperArgument = "--instance-helper";
const QString identifier = QStringLiteral("net.ostrand.PylonInstanceTest");
// The user the cases that need a second user act as.
const uid_t otherUser = 65534;

// Runs as the other user: listens as the instance of `identifier` in its own home and prints every
// message it is handed.
int runHelper(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    QTextStream out(stdout);
    if (!instance.listen()) {
        out << "not listening: " << instance.failure() << Qt::endl;
        return 1;
    }
    out << "listening " << instance.socketPath() << Qt::endl;
    QObject::connect(&instance, &SingleInstance::messageReceived,
                     [&out](const QString& message) { out << "message:" << message << Qt::endl; });
    return QCoreApplication::exec();
}

// Cases that need a second user run as root (as CI does); anywhere else they fail and say why.
bool canActAsAnotherUser(QString* why) {
    if (::geteuid() == 0)
        return true;
    *why = QStringLiteral("needs root to act as another user (uid %1); CI runs the suites as root").arg(otherUser);
    return false;
}

// A folder of the other user's, for its home.
QString foreignFolder(const QString& path) {
    QDir().mkpath(path);
    if (::chown(QFile::encodeName(path).constData(), otherUser, otherUser) != 0)
        qFatal("cannot hand %s to uid %u", qPrintable(path), otherUser);
    return path;
}

} // namespace

class SingleInstanceSecurityTest : public QObject {
    Q_OBJECT
private slots:
    // The socket and its lock live in a 0700 folder of this user: the runtime folder when it is a
    // private one, else the cache home; never the shared temporary folder.
    void socketLivesInAPrivateFolderOfTheUser() {
        TemporaryHome home;
        auto restore = qScopeGuard([] { qunsetenv("XDG_RUNTIME_DIR"); });
        const QString runtime = home.path() + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(::chmod(QFile::encodeName(runtime).constData(), 0700) == 0);
        const QString fallback = home.cacheHome() + QLatin1Char('/') + identifier + QStringLiteral("/runtime");
        const std::pair<QByteArray, QString> rows[] = {
            {QByteArray(), fallback},
            {runtime.toLocal8Bit(), runtime + QLatin1Char('/') + identifier},
            {"/tmp", fallback}}; // shared with everyone: not a runtime folder
        for (const auto& [variable, folder] : rows) {
            if (variable.isNull())
                qunsetenv("XDG_RUNTIME_DIR");
            else
                qputenv("XDG_RUNTIME_DIR", variable);
            QDir().mkpath(folder);
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0); // left open by someone
            SingleInstance instance(identifier);
            QCOMPARE(instance.socketPath(), folder + QStringLiteral("/instance.socket"));
            QVERIFY2(instance.listen(), qPrintable(instance.failure()));
            QCOMPARE(modeOf(folder), 0700);
            QVERIFY(QFileInfo::exists(instance.socketPath()));
            QVERIFY(
                !QFileInfo::exists(QDir::tempPath() + QLatin1Char('/') + identifier + QStringLiteral(".instance-0")));
        }
    }

    // A folder that another user made first (a squatter) is refused, and said so.
    void aFolderOfAnotherUserIsRefused() {
        QString why;
        QVERIFY2(canActAsAnotherUser(&why), qPrintable(why));
        TemporaryHome home;
        const QString folder = foreignFolder(SingleInstance::socketFolder(identifier));
        SingleInstance instance(identifier);
        QVERIFY(!instance.listen());
        QVERIFY2(instance.failure().contains(QStringLiteral("belongs to another user")),
                 qPrintable(instance.failure()));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/instance.socket")));
    }

    // Across users nothing is handed over or accepted, whatever the folder allows: a launch does
    // not talk to another user's instance, and an instance does not hear another user's process.
    void anotherUsersInstanceIsNeitherToldNorHeard() {
        QString why;
        QVERIFY2(canActAsAnotherUser(&why), qPrintable(why));
        TemporaryHome home;
        QVERIFY(::chmod(QFile::encodeName(home.path()).constData(), 0711) == 0); // the other user passes through
        const QString otherHome = foreignFolder(home.path() + QStringLiteral("/other"));
        QProcess helper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), otherHome);
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        helper.setProcessEnvironment(environment);
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start(QStringLiteral("setpriv"),
                     {QStringLiteral("--reuid=%1").arg(otherUser), QStringLiteral("--regid=%1").arg(otherUser),
                      QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                      QString::fromLatin1(helperArgument), identifier});
        auto stop = qScopeGuard([&] {
            helper.kill();
            helper.waitForFinished(5000);
        });
        QString output;
        QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromUtf8(helper.readAllStandardOutput())).contains("listening "),
                                 10000);
        const QString socketPath = output.section(QStringLiteral("listening "), 1).section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(socketPath.startsWith(otherHome), qPrintable(output));

        // Root may enter the other user's folder, so only the check of the peer stands in the way:
        // the instance hangs up on a process of another user without hearing it...
        QLocalSocket raw;
        raw.connectToServer(socketPath);
        QVERIFY(raw.waitForConnected(2000));
        raw.write("pylon://uninstall\n");
        raw.waitForBytesWritten(2000);
        QTRY_COMPARE_WITH_TIMEOUT(raw.state(), QLocalSocket::UnconnectedState, 5000);
        QTest::qWait(300);
        output += QString::fromUtf8(helper.readAllStandardOutput());
        QVERIFY2(!output.contains(QStringLiteral("message:")), qPrintable(output));
        // ...and a launch hands nothing to an instance of another user.
        SingleInstance launch(SingleInstance::Folder{QFileInfo(socketPath).path()});
        QVERIFY(!launch.sendToRunningInstance(QStringLiteral("pylon://uninstall")));
        QTest::qWait(300);
        output += QString::fromUtf8(helper.readAllStandardOutput());
        QVERIFY2(!output.contains(QStringLiteral("message:")), qPrintable(output));
    }

    // The built program says on standard error why it cannot start, and ends with a failure.
    void theProgramSaysWhyItCannotStart() {
        QString why;
        QVERIFY2(canActAsAnotherUser(&why), qPrintable(why));
        TemporaryHome home;
        foreignFolder(home.cacheHome() + QStringLiteral("/net.ostrand.Pylon-Dev/runtime"));
        QProcess pylon;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PYLON_SERVICE_BACKEND"), QStringLiteral("process"));
        pylon.setProcessEnvironment(environment);
        pylon.start(qEnvironmentVariable("PYLON_BUILD_DIR") + QStringLiteral("/Pylon-Dev.app/Contents/MacOS/Pylon"),
                    {QStringLiteral("--headless")});
        auto stop = qScopeGuard([&] {
            pylon.kill();
            pylon.waitForFinished(5000);
        });
        QVERIFY2(pylon.waitForFinished(20000), "Pylon ran on in a folder of another user");
        QCOMPARE(pylon.exitStatus(), QProcess::NormalExit);
        QCOMPARE(pylon.exitCode(), 1);
        const QString errors = QString::fromUtf8(pylon.readAllStandardError());
        QVERIFY2(
            errors.contains(QStringLiteral("Pylon: cannot start: the instance folder is not private: the folder")) &&
                errors.contains(QStringLiteral("belongs to another user")),
            qPrintable(errors));
    }
};

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], helperArgument) == 0)
        return runHelper(argc, argv);
    QCoreApplication application(argc, argv);
    SingleInstanceSecurityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
