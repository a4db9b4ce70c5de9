// Pylon against a real Wine prefix, made by Debian's Wine with tests/support/wine/make-prefix and kept in
// the build tree (shared with the accelerator's Wine test, so only the first run pays for Wine's first
// start). Wine's own winepath maps User Library paths to the folders Pylon maps them to, and the built
// `Pylon --headless` finds a Library.cfg planted in the prefix's AppData and installs the control script
// into the mapped User Library, writing nowhere else. What the test plants in the shared prefix it
// removes again; Pylon and its companion run in a network namespace of their own.
#include "TemporaryHome.h"
#include "live/WindowsPath.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <csignal>

using namespace pylon;
using namespace pylon::test;

namespace {

// Every item below `folder` with its size, links not followed; what an installation must not change.
QStringList itemsBelow(const QString& folder) {
    QStringList items;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        it.next();
        items << it.filePath() + ' ' + QString::number(it.fileInfo().isSymLink() ? -1 : it.fileInfo().size());
    }
    items.sort();
    return items;
}

QByteArray libraryConfig(const QString& projectPath, const QString& projectName) {
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ableton MajorVersion=\"5\" Creator=\"Ableton Live 12.1.5\">"
            "<ContentLibrary><UserLibrary><LibraryProject><ProjectPath Value=\"" +
            projectPath + "\" /><ProjectName Value=\"" + projectName +
            "\" /></LibraryProject></UserLibrary></ContentLibrary></Ableton>\n")
        .toUtf8();
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

} // namespace

class WineEndToEndTest : public QObject {
    Q_OBJECT

    QProcessEnvironment m_wine; // the environment make-prefix gives for running Wine in the prefix
    QString m_prefix;
    QString m_user;     // the Windows user's folder name under drive_c/users
    QString m_planted;  // the user's AppData/Roaming/Ableton
    QString m_wineHome; // where the prefix's Documents lead

    // Removes what the tests plant in the shared prefix and its home.
    void removePlanted() {
        QDir(m_planted).removeRecursively();
        QDir(m_wineHome + "/Ableton").removeRecursively();
    }

    // Runs Wine's winepath -u on `windowsPaths`; one Linux path per line.
    QStringList winepath(const QStringList& windowsPaths) {
        QProcess winepath;
        winepath.setProcessEnvironment(m_wine);
        winepath.start("winepath", QStringList{"-u"} + windowsPaths);
        if (!winepath.waitForFinished(120000))
            return {"winepath did not finish: " + winepath.errorString()};
        return QString::fromUtf8(winepath.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase() {
        const QString makePrefix = qEnvironmentVariable("PYLON_SOURCE_DIR") + "/tests/support/wine/make-prefix";
        QProcess make;
        make.start(makePrefix, {qEnvironmentVariable("PYLON_BUILD_DIR") + "/addon/wine/test-prefix"});
        QVERIFY2(make.waitForFinished(900000), qPrintable("make-prefix did not finish: " + make.errorString()));
        QVERIFY2(make.exitStatus() == QProcess::NormalExit && make.exitCode() == 0,
                 qPrintable("no Wine prefix for the test: " + QString::fromUtf8(make.readAllStandardError())));
        m_wine = QProcessEnvironment::systemEnvironment();
        for (const QString& line : QString::fromUtf8(make.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
            m_wine.insert(line.section('=', 0, 0), line.section('=', 1));
        m_prefix = QFileInfo(m_wine.value("WINEPREFIX")).canonicalFilePath();
        m_wineHome = QFileInfo(m_wine.value("HOME")).canonicalFilePath();
        QStringList users = QDir(m_prefix + "/drive_c/users").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        users.removeAll("Public");
        QVERIFY2(users.size() == 1 && !m_wineHome.isEmpty(), qPrintable(users.join(", ")));
        m_user = users.first();
        m_planted = m_prefix + "/drive_c/users/" + m_user + "/AppData/Roaming/Ableton";
        removePlanted(); // what a run that was stopped left
    }

    void cleanupTestCase() {
        removePlanted();
        // Ends what winepath started in the prefix and waits for Wine's server to go.
        for (const char* option : {"-k", "-w"}) {
            QProcess server;
            server.setProcessEnvironment(m_wine);
            server.start("wineserver", {option});
            server.waitForFinished(30000);
        }
    }

    void winesOwnMappingIsPylons() {
        const auto cleanup = qScopeGuard([&] { removePlanted(); });
        QTemporaryDir outside;
        QVERIFY(QDir().mkpath(m_wineHome + "/Ableton/User Library") && QDir().mkpath(outside.path() + "/Lib 11"));
        const QString user = m_user;
        const QStringList windowsPaths{
            "C:\\users\\" + user + "\\Documents\\Ableton\\User Library",
            "c:\\USERS\\" + user.toUpper() + "\\documents\\ABLETON\\user library",
            "C:\\users\\" + user + "\\Documents\\Ableton\\User Library\\..\\User Library",
            "Z:" + QString(outside.path()).replace('/', '\\') + "\\Lib 11",
        };
        const QStringList wine = winepath(windowsPaths);
        QCOMPARE(wine.size(), windowsPaths.size());
        for (qsizetype i = 0; i < windowsPaths.size(); ++i) {
            const QString wineFolder = QFileInfo(wine[i]).canonicalFilePath();
            QVERIFY2(!wineFolder.isEmpty(), qPrintable(wine[i]));
            QCOMPARE(mapWindowsPath(m_prefix, windowsPaths[i]), wineFolder);
        }
        QCOMPARE(mapWindowsPath(m_prefix, windowsPaths[0]), m_wineHome + "/Ableton/User Library");
    }

    void headlessPylonInstallsIntoTheMappedUserLibrary() {
        const auto cleanup = qScopeGuard([&] { removePlanted(); });
        TemporaryHome home;
        QTemporaryDir outside;
        const QString library = m_wineHome + "/Ableton/User Library";
        const QString library11 = outside.path() + "/Live 11 Library";
        QVERIFY(QDir().mkpath(library) && QDir().mkpath(library11));
        QVERIFY(writeFile(m_planted + "/Live 12.1.5/Preferences/Library.cfg",
                          libraryConfig("C:\\users\\" + m_user + "\\Documents\\Ableton\\", "User Library")));
        QVERIFY(writeFile(m_planted + "/Live 11.3.13/Preferences/Library.cfg",
                          libraryConfig("Z:" + QString(outside.path()).replace('/', '\\'), "Live 11 Library")));
        const QStringList prefixBefore = itemsBelow(m_prefix + "/drive_c");
        const QStringList homeBefore = itemsBelow(m_wineHome);
        const QStringList outsideBefore = itemsBelow(outside.path());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            environment.remove(name);
        environment.insert("HOME", home.path());
        environment.insert("TMPDIR", home.path());
        environment.insert("WINEPREFIX", m_wine.value("WINEPREFIX"));
        environment.insert("PYLON_SERVICE_BACKEND", "process");
        const QString pidFile = home.dataHome() + "/Pylon/service/net.ostrand.PylonCompanion.pid";
        QProcess pylon;
        pylon.setProcessEnvironment(environment);
        // Its own network namespace: the companion's fixed port is never one of the machine's.
        pylon.start("unshare", {"-rn", "sh", "-c", "ip link set lo up && exec \"$0\" --headless",
                                qEnvironmentVariable("PYLON_BUILD_DIR") + "/Pylon.app/Contents/MacOS/Pylon"});
        QVERIFY2(pylon.waitForStarted(5000),
                 qPrintable("unshare (util-linux) could not start: " + pylon.errorString()));
        const auto stop = qScopeGuard([&] {
            if (const qint64 pid = readFile(pidFile).split(' ').value(0).trimmed().toLongLong(); pid > 0)
                ::kill(pid_t(pid), SIGKILL);
            pylon.terminate();
            if (!pylon.waitForFinished(5000))
                pylon.kill();
            pylon.waitForFinished(2000);
        });

        const QString log = home.dataHome() + "/Pylon/logs/pylon-menubar.log";
        QTRY_VERIFY2_WITH_TIMEOUT(readFile(log).contains("installRemoteScript: installed to "),
                                  pylon.readAllStandardError().constData(), 30000);
        const QString text = QString::fromUtf8(readFile(log));
        QVERIFY2(text.contains("Ableton detection: found 2 user libraries\n  Live 12: " + library +
                               "\n  Live 11: " + QFileInfo(library11).canonicalFilePath() + "\n"),
                 qPrintable(text));
        QVERIFY2(text.contains("installRemoteScript: installed to " + library + "/Remote Scripts/Pylon"),
                 qPrintable(text));
        QVERIFY(QFileInfo::exists(library + "/Remote Scripts/Pylon/__init__.py"));

        // Written: the script in the mapped library, nothing else in the prefix, its home or Live 11's library.
        QStringList homeAfter = itemsBelow(m_wineHome);
        homeAfter.removeIf([&](const QString& item) { return item.startsWith(library + "/Remote Scripts"); });
        QCOMPARE(homeAfter, homeBefore);
        QCOMPARE(itemsBelow(m_prefix + "/drive_c"), prefixBefore);
        QCOMPARE(itemsBelow(outside.path()), outsideBefore);
    }
};

QTEST_GUILESS_MAIN(WineEndToEndTest)
#include "tst_wine_endtoend.moc"
