#include "LiveFixture.h"
#include "live/AbletonSetupManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace pylon;
using namespace pylon::test;

using RemoteScriptError = AbletonSetupManager::RemoteScriptError;
using FileError = AbletonSetupManager::FileError;

namespace {

const QString noLibraryText =
    QStringLiteral("Could not find your Ableton Live user library. Please install the remote script manually.");
const QString unpackingText = QStringLiteral("The remote script archive could not be unpacked.");

AbletonVersion versionWithLibrary(const QString& library, const QString& major = QStringLiteral("12")) {
    return AbletonVersion{library, major,   QStringLiteral("Live ") + major + QStringLiteral(" User Library"),
                          library, library, false};
}

// The files of the built archive below "Pylon/", as a tree listing ("__init__.py", …).
QStringList archiveTree() {
    QStringList tree;
    for (const QString& name : zipEntryNames(builtArchivePath())) {
        QString relative = name.mid(QStringLiteral("Pylon/").size());
        if (relative.endsWith(QLatin1Char('/')))
            relative.chop(1);
        if (!relative.isEmpty())
            tree << relative;
    }
    tree.sort();
    return tree;
}

bool isFileError(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const FileError&) {
        return true;
    } catch (...) {
        return false;
    }
}

// What reached Qt's message handler during its life, with whether it came from the main thread.
class ThreadedMessages {
public:
    struct Message {
        QtMsgType type;
        QString text;
        bool onMainThread;
    };
    ThreadedMessages() { previous = qInstallMessageHandler(&ThreadedMessages::handle); }
    ~ThreadedMessages() { qInstallMessageHandler(previous); }
    QList<Message> of(const char* category) const {
        QMutexLocker lock(&mutex);
        QList<Message> result;
        for (const auto& [name, message] : messages) {
            if (name == QLatin1String(category))
                result << message;
        }
        return result;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        QMutexLocker lock(&mutex);
        messages.append({QString::fromUtf8(context.category),
                         Message{type, text, QThread::currentThread() == QCoreApplication::instance()->thread()}});
    }
    static inline QMutex mutex;
    static inline QList<std::pair<QString, Message>> messages;
    QtMessageHandler previous;
};

// An installed copy that a failed installation must leave exactly as it is.
struct OldCopy {
    explicit OldCopy(LiveFixture& f)
        : library(LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Music/User Library"))) {
        f.home.writeFile(QStringLiteral("Music/User Library/Remote Scripts/Pylon/__init__.py"), "old");
        f.home.writeFile(QStringLiteral("Music/User Library/Remote Scripts/Pylon/extra.py"), "extra");
    }
    QString remoteScripts() const { return library + QStringLiteral("/Remote Scripts"); }
    void verifyUntouched() const {
        QCOMPARE(treeOf(remoteScripts()), (QStringList{"Pylon", "Pylon/__init__.py", "Pylon/extra.py"}));
        QCOMPARE(readFile(remoteScripts() + QStringLiteral("/Pylon/__init__.py")), QByteArray("old"));
    }
    QString library;
};

} // namespace

class LiveInstallTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFileInfo::exists(builtArchivePath()), qPrintable(builtArchivePath())); }

    void installWithoutLibraryFailsBeforeDoingAnything() {
        LiveFixture f;
        AbletonVersion version = versionWithLibrary(f.home.path() + QStringLiteral("/Lib"));
        version.userLibraryPath.reset();
        const QStringList before = f.homeTree();
        const std::exception_ptr failure = failureOf(f.manager().installRemoteScript(version, builtArchivePath()));
        QCOMPARE(descriptionOf(failure), noLibraryText);
        try {
            std::rethrow_exception(failure);
        } catch (const RemoteScriptError& error) {
            QCOMPARE(error.kind(), RemoteScriptError::Kind::unableToDetectUserLibrary);
            QCOMPARE(QString::fromUtf8(error.what()), noLibraryText);
        }
        QCOMPARE(f.logMessages(), QStringList());
        QCOMPARE(f.homeTree(), before);
    }

    void installUnpacksAndCopiesTheScriptOffTheMainThread() {
        LiveFixture f;
        const QString library = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Music/User Library"));
        const QString destination = library + QStringLiteral("/Remote Scripts/Pylon");
        const QString staged = f.home.dataHome() + QStringLiteral("/Pylon/remote-script/Pylon");
        ThreadedMessages messages;
        QVERIFY(!failureOf(f.manager().installRemoteScript(versionWithLibrary(library, "11"), builtArchivePath())));

        QCOMPARE(
            treeOf(library), QStringList{"Remote Scripts"} + [&] {
                QStringList tree;
                for (const QString& entry : archiveTree())
                    tree << QStringLiteral("Remote Scripts/Pylon/") + entry;
                return QStringList{"Remote Scripts/Pylon"} + tree;
            }());
        QCOMPARE(readFile(destination + QStringLiteral("/__init__.py")),
                 readFile(QStringLiteral(PYLON_REMOTE_SCRIPT_SOURCE_DIR "/__init__.py")));
        QCOMPARE(treeOf(staged), archiveTree());

        const QStringList expected{QStringLiteral("installRemoteScript: installing to version 11"),
                                   QStringLiteral("unzipAndStageRemoteScript: extracted to ") + staged,
                                   QStringLiteral("copyRemoteScript: installed to ") + destination,
                                   QStringLiteral("installRemoteScript: installed to ") + destination};
        QCOMPARE(f.logMessages(), expected);
        const auto logged = messages.of("test.pylon.installer");
        QCOMPARE(logged.size(), 4);
        const QList<QtMsgType> levels{QtInfoMsg, QtInfoMsg, QtDebugMsg, QtInfoMsg};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(logged[i].text, expected[i]);
            QCOMPARE(logged[i].type, levels[i]);
        }
        // The copy (which logs its line when done) ran on a worker; the caller stayed on the main thread.
        QVERIFY(!logged[2].onMainThread);
        QVERIFY(logged[3].onMainThread);

        f.addPreferenceFolder(QStringLiteral("Live 11.3.13"),
                              libraryConfig(f.home.path() + QStringLiteral("/Music"), QStringLiteral("User Library")));
        const QList<AbletonVersion> versions = f.manager().detectAbletonVersions();
        QCOMPARE(versions.size(), 1);
        QVERIFY(versions[0].isRemoteScriptInstalled);
    }

    void installReplacesAnOlderCopyAndLeavesOtherScriptsAlone() {
        LiveFixture f;
        OldCopy old(f);
        f.home.writeFile(QStringLiteral("Music/User Library/Remote Scripts/Other/__init__.py"), "other");
        QVERIFY(!failureOf(f.manager().installRemoteScript(versionWithLibrary(old.library), builtArchivePath())));
        QStringList expected{"Other", "Other/__init__.py", "Pylon"};
        for (const QString& entry : archiveTree())
            expected << QStringLiteral("Pylon/") + entry;
        // No extra file from the old copy, no temporary folder left beside it.
        QCOMPARE(treeOf(old.remoteScripts()), expected);
        QCOMPARE(readFile(old.remoteScripts() + QStringLiteral("/Other/__init__.py")), QByteArray("other"));
        QVERIFY(readFile(old.remoteScripts() + QStringLiteral("/Pylon/__init__.py")) != QByteArray("old"));
    }

    void unzipGetsExactlyItsArgumentsAndStagingKeepsOtherItems() {
        LiveFixture f;
        const QString dataHome = f.home.path() + QStringLiteral("/data 'single' \"double\" \u00fc");
        const QString archive = f.home.path() + QStringLiteral("/My Apps/Py\u00f6lon \"1\".app/Pylon.zip");
        QDir().mkpath(QFileInfo(archive).absolutePath());
        QVERIFY(QFile::copy(builtArchivePath(), archive));
        const QString record = f.home.path() + QStringLiteral("/arguments");
        const QString script = writeScript(f.home.path() + QStringLiteral("/bin/unzip"),
                                           "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
                                               QFile::encodeName(record) + "'\nexec /usr/bin/unzip \"$@\"\n");
        AbletonSetupManager& manager = f.rebuild([&](auto& options) {
            options.dataHome = dataHome;
            options.unzipPath = script;
        });
        const QString root = dataHome + QStringLiteral("/Pylon/remote-script");
        QCOMPARE(manager.stagingRoot(), root);
        f.home.writeFile(QDir(f.home.path()).relativeFilePath(root + QStringLiteral("/Pylon/stale.py")), "stale");
        f.home.writeFile(QDir(f.home.path()).relativeFilePath(root + QStringLiteral("/other.txt")), "kept");

        const QString staged = QCoro::waitFor(manager.unzipAndStageRemoteScript(archive));
        QCOMPARE(staged, root + QStringLiteral("/Pylon"));
        QCOMPARE(QString::fromUtf8(readFile(record)).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 (QStringList{"-o", "-q", archive, "-d", root}));
        QCOMPARE(treeOf(staged), archiveTree()); // the old staged folder was cleared first
        QCOMPARE(readFile(root + QStringLiteral("/other.txt")), QByteArray("kept"));
        QCOMPARE(f.logMessages(), QStringList{QStringLiteral("unzipAndStageRemoteScript: extracted to ") + staged});
    }

    void theEventLoopKeepsTurningWhileUnzipRuns() {
        // The child waits for a file that only the main thread's event loop creates, so a blocking
        // wait would make it give up (exit 7) instead of unpacking.
        LiveFixture f;
        const QString handshake = f.home.path() + QStringLiteral("/handshake");
        QDir().mkpath(handshake);
        const QByteArray dir = QFile::encodeName(handshake);
        const QString script = writeScript(f.home.path() + QStringLiteral("/bin/unzip"),
                                           "touch '" + dir + "/started'\ni=0\nwhile [ ! -e '" + dir +
                                               "/go' ]; do\n  i=$((i+1)); [ $i -gt 3000 ] && exit 7\n  sleep 0.01\n"
                                               "done\nexec /usr/bin/unzip \"$@\"\n");
        AbletonSetupManager& manager = f.rebuild([&](auto& options) { options.unzipPath = script; });
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (QFileInfo::exists(handshake + QStringLiteral("/started")))
                f.home.writeFile(QStringLiteral("handshake/go"), "");
        });
        answer.start(5);
        const QString library = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Lib"));
        QCOMPARE(descriptionOf(failureOf(manager.installRemoteScript(versionWithLibrary(library), builtArchivePath()))),
                 QString());
        QVERIFY(QFileInfo::exists(library + QStringLiteral("/Remote Scripts/Pylon/__init__.py")));
    }

    void unzipThatCannotBeStartedIsAFileError_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("missing") << "missing/unzip";
        QTest::newRow("not executable") << "plain-file";
        QTest::newRow("a folder") << "folder";
    }
    void unzipThatCannotBeStartedIsAFileError() {
        QFETCH(QString, program);
        LiveFixture f;
        f.home.writeFile(QStringLiteral("plain-file"), "not a program");
        LiveFixture::makeFolder(f.home.path() + QStringLiteral("/folder"));
        const QString path = f.home.path() + QLatin1Char('/') + program;
        AbletonSetupManager& manager = f.rebuild([&](auto& options) { options.unzipPath = path; });
        OldCopy old(f);
        const std::exception_ptr failure =
            failureOf(manager.installRemoteScript(versionWithLibrary(old.library), builtArchivePath()));
        QVERIFY(isFileError(failure));
        QVERIFY2(descriptionOf(failure).contains(QLatin1Char('"') + path + QLatin1Char('"')),
                 qPrintable(descriptionOf(failure)));
        old.verifyUntouched();
    }

    void unzipExitsAreJudgedByTheirStatus_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // empty: a FileError naming the staged folder
        QTest::addColumn<QStringList>("logged");
        const QString installing = QStringLiteral("installRemoteScript: installing to version 12");
        QTest::newRow("non-zero status") << QByteArray("exit 3\n") << unpackingText << QStringList{installing};
        QTest::newRow("killed") << QByteArray("kill -9 $$\n") << unpackingText << QStringList{installing};
        // The exit status is all that counts: a successful unzip that produced nothing fails at the copy.
        QTest::newRow("success without a folder")
            << QByteArray("exit 0\n") << QString()
            << QStringList{installing, "unzipAndStageRemoteScript: extracted to "};
    }
    void unzipExitsAreJudgedByTheirStatus() {
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        QFETCH(QStringList, logged);
        LiveFixture f;
        const QString script = writeScript(f.home.path() + QStringLiteral("/bin/unzip"), body);
        AbletonSetupManager& manager = f.rebuild([&](auto& options) { options.unzipPath = script; });
        OldCopy old(f);
        const std::exception_ptr failure =
            failureOf(manager.installRemoteScript(versionWithLibrary(old.library), builtArchivePath()));
        if (error.isEmpty()) {
            QVERIFY(isFileError(failure));
            QVERIFY(descriptionOf(failure).contains(manager.stagingRoot() + QStringLiteral("/Pylon")));
        } else {
            QCOMPARE(descriptionOf(failure), error);
        }
        old.verifyUntouched();
        if (logged.size() > 1)
            logged[1] += manager.stagingRoot() + QStringLiteral("/Pylon");
        QCOMPARE(f.logMessages(), logged);
    }

    void faultyArchivesLeaveTheInstalledCopyAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("unpackingFails");
        QTest::newRow("missing") << "missing" << true;
        QTest::newRow("empty file") << "empty file" << true;
        QTest::newRow("zip without entries") << "no entries" << true;
        QTest::newRow("not a zip") << "text" << true;
        QTest::newRow("cut short") << "truncated" << true;
        QTest::newRow("damaged data") << "damaged" << true;
        QTest::newRow("no Pylon folder") << "other folder" << false;
        QTest::newRow("Pylon is a link") << "link" << false;
    }
    void faultyArchivesLeaveTheInstalledCopyAlone() {
        QFETCH(QString, kind);
        QFETCH(bool, unpackingFails);
        LiveFixture f;
        OldCopy old(f);
        const QString outside = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/outside"));
        f.home.writeFile(QStringLiteral("outside/keep.txt"), "keep");
        const QString archive = f.home.path() + QStringLiteral("/archive.zip");
        const QByteArray good = readFile(builtArchivePath());
        if (kind == QLatin1String("empty file"))
            f.home.writeFile(QStringLiteral("archive.zip"), QByteArray());
        if (kind == QLatin1String("no entries"))
            f.home.writeFile(QStringLiteral("archive.zip"), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
        if (kind == QLatin1String("text"))
            f.home.writeFile(QStringLiteral("archive.zip"), "Pylon/__init__.py\n");
        if (kind == QLatin1String("truncated"))
            f.home.writeFile(QStringLiteral("archive.zip"), good.left(good.size() / 2));
        if (kind == QLatin1String("damaged")) {
            QByteArray damaged = good;
            for (qsizetype i = damaged.size() / 4; i < damaged.size() / 2; ++i)
                damaged[i] = char(~damaged[i]);
            f.home.writeFile(QStringLiteral("archive.zip"), damaged);
        }
        if (kind == QLatin1String("other folder"))
            writeZip(archive, {{"Other/", {}, {}}, {"Other/__init__.py", "x", {}}});
        if (kind == QLatin1String("link"))
            writeZip(archive, {{"Pylon", {}, outside}});

        const std::exception_ptr failure =
            failureOf(f.manager().installRemoteScript(versionWithLibrary(old.library), archive));
        if (unpackingFails) {
            QCOMPARE(descriptionOf(failure), unpackingText);
        } else {
            QVERIFY(isFileError(failure));
            QVERIFY2(descriptionOf(failure).contains(f.manager().stagingRoot()), qPrintable(descriptionOf(failure)));
        }
        old.verifyUntouched();
        QCOMPARE(treeOf(outside), QStringList{"keep.txt"});
    }

    void aCopyFailingPartWayKeepsTheOldCopy_data() {
        QTest::addColumn<QString>("leftover"); // what an interrupted earlier run left in Remote Scripts
        QTest::newRow("clean") << "";
        QTest::newRow("unfinished copy") << ".Pylon.installing";
        QTest::newRow("old copy set aside") << ".Pylon.previous";
    }
    void aCopyFailingPartWayKeepsTheOldCopy() {
        QFETCH(QString, leftover);
        LiveFixture f;
        // This unzip stages a folder whose FIFO cannot be copied, after the file beside it was.
        const QString script = writeScript(f.home.path() + QStringLiteral("/bin/unzip"),
                                           "mkdir -p \"$5/Pylon\" && printf new > \"$5/Pylon/__init__.py\" && "
                                           "mkfifo \"$5/Pylon/zz-pipe\"\n");
        AbletonSetupManager& manager = f.rebuild([&](auto& options) { options.unzipPath = script; });
        OldCopy old(f);
        if (leftover == QLatin1String(".Pylon.installing"))
            f.home.writeFile(QStringLiteral("Music/User Library/Remote Scripts/.Pylon.installing/junk.py"), "junk");
        if (leftover == QLatin1String(".Pylon.previous")) {
            QVERIFY(QDir().rename(old.remoteScripts() + QStringLiteral("/Pylon"),
                                  old.remoteScripts() + QStringLiteral("/.Pylon.previous")));
        }
        const std::exception_ptr failure =
            failureOf(manager.installRemoteScript(versionWithLibrary(old.library), builtArchivePath()));
        QVERIFY(isFileError(failure));
        old.verifyUntouched();
    }

    void linksInPlaceOfTheScriptFoldersAreReplacedNotFollowed_data() {
        QTest::addColumn<bool>("installedCopyIsLink");
        QTest::addColumn<bool>("stagedFolderIsLink");
        QTest::newRow("installed copy") << true << false;
        QTest::newRow("staged folder") << false << true;
        QTest::newRow("both") << true << true;
    }
    void linksInPlaceOfTheScriptFoldersAreReplacedNotFollowed() {
        QFETCH(bool, installedCopyIsLink);
        QFETCH(bool, stagedFolderIsLink);
        LiveFixture f;
        const QString outside = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/outside"));
        f.home.writeFile(QStringLiteral("outside/keep.txt"), "keep");
        f.home.writeFile(QStringLiteral("outside/__init__.py"), "mine");
        const QString library = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Lib/Remote Scripts"));
        const QString destination = library + QStringLiteral("/Pylon");
        const QString staged = f.manager().stagingRoot() + QStringLiteral("/Pylon");
        if (installedCopyIsLink)
            QVERIFY(QFile::link(outside, destination));
        if (stagedFolderIsLink) {
            QDir().mkpath(f.manager().stagingRoot());
            QVERIFY(QFile::link(outside, staged));
        }
        QCOMPARE(descriptionOf(failureOf(f.manager().installRemoteScript(
                     versionWithLibrary(f.home.path() + QStringLiteral("/Lib")), builtArchivePath()))),
                 QString());
        QCOMPARE(treeOf(outside), (QStringList{"__init__.py", "keep.txt"}));
        QCOMPARE(readFile(outside + QStringLiteral("/__init__.py")), QByteArray("mine"));
        for (const QString& folder : {destination, staged}) {
            QVERIFY(!QFileInfo(folder).isSymLink());
            QCOMPARE(treeOf(folder), archiveTree());
        }
    }

    void unwritableLibrariesFailWithAFileError_data() {
        // Tests run as root, for whom permission bits stop nothing: a file where a folder must be
        // created stands in for a library that cannot be written.
        QTest::addColumn<QString>("file");
        QTest::newRow("Remote Scripts is a file") << "Lib/Remote Scripts";
        QTest::newRow("the library is a file") << "Lib";
    }
    void unwritableLibrariesFailWithAFileError() {
        QFETCH(QString, file);
        LiveFixture f;
        const QString path = f.home.writeFile(file, "occupied");
        const std::exception_ptr failure = failureOf(f.manager().installRemoteScript(
            versionWithLibrary(f.home.path() + QStringLiteral("/Lib")), builtArchivePath()));
        QVERIFY(isFileError(failure));
        QVERIFY2(descriptionOf(failure).contains(f.home.path() + QStringLiteral("/Lib")),
                 qPrintable(descriptionOf(failure)));
        QVERIFY(QFileInfo(path).isFile());
        QCOMPARE(readFile(path), QByteArray("occupied"));
        QCOMPARE(f.logMessages().size(), 2); // installing, extracted; never "installed"
    }

    void withoutADataFolderNothingIsTouched_data() {
        QTest::addColumn<QString>("operation");
        QTest::newRow("install") << "install";
        QTest::newRow("stage") << "stage";
        QTest::newRow("open") << "open";
    }
    void withoutADataFolderNothingIsTouched() {
        QFETCH(QString, operation);
        LiveFixture f;
        const QString library = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Lib"));
        AbletonSetupManager& manager = f.rebuild([](auto& options) { options.dataHome.clear(); });
        QCOMPARE(manager.stagingRoot(), QString());
        const QStringList before = f.homeTree();
        std::exception_ptr failure;
        if (operation == QLatin1String("install"))
            failure = failureOf(manager.installRemoteScript(versionWithLibrary(library), builtArchivePath()));
        if (operation == QLatin1String("stage"))
            failure = failureOf(discardResult(manager.unzipAndStageRemoteScript(builtArchivePath())));
        if (operation == QLatin1String("open"))
            failure = failureOf(manager.openStagedRemoteScriptFolder(builtArchivePath()));
        try {
            std::rethrow_exception(failure);
        } catch (const RemoteScriptError& error) {
            QCOMPARE(error.kind(), RemoteScriptError::Kind::noDataFolder);
            QVERIFY(!error.errorDescription().isEmpty());
        } catch (...) {
            QFAIL("expected a RemoteScriptError");
        }
        QCOMPARE(f.homeTree(), before);
        QVERIFY(f.workspace.files.isEmpty() && f.workspace.urls.isEmpty());
    }

    void openingTheStagedFolderStagesOnlyWhenNeeded() {
        LiveFixture f;
        // A missing unzip shows whether it would have run.
        AbletonSetupManager& manager =
            f.rebuild([&](auto& options) { options.unzipPath = f.home.path() + QStringLiteral("/missing/unzip"); });
        const QString root = manager.stagingRoot();
        f.home.writeFile(QDir(f.home.path()).relativeFilePath(root + QStringLiteral("/Pylon/marker.txt")), "mine");
        QCOMPARE(descriptionOf(failureOf(manager.openStagedRemoteScriptFolder(builtArchivePath()))), QString());
        QCOMPARE(treeOf(root), (QStringList{"Pylon", "Pylon/marker.txt"}));
        QCOMPARE(f.workspace.files, QStringList{root});
        QCOMPARE(f.logMessages(), QStringList{QStringLiteral("openStagedRemoteScriptFolder: opened ") + root});

        LiveFixture fresh;
        const QString freshRoot = fresh.manager().stagingRoot();
        QCOMPARE(descriptionOf(failureOf(fresh.manager().openStagedRemoteScriptFolder(builtArchivePath()))), QString());
        QCOMPARE(treeOf(freshRoot + QStringLiteral("/Pylon")), archiveTree());
        QCOMPARE(fresh.workspace.files, QStringList{freshRoot}); // the "remote-script" folder, not "Pylon"
        QCOMPARE(fresh.logMessages(),
                 (QStringList{QStringLiteral("unzipAndStageRemoteScript: extracted to ") + freshRoot +
                                  QStringLiteral("/Pylon"),
                              QStringLiteral("openStagedRemoteScriptFolder: opened ") + freshRoot}));
    }
};

int runLiveInstallTests(int argc, char** argv) {
    LiveInstallTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_live_install.moc"
