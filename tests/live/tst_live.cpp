#include "Fakes.h"
#include "TemporaryHome.h"
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"
#include "foundation/VersionCompare.h"
#include "live/AbletonSetupManager.h"

#include <QDirIterator>
#include <QLoggingCategory>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <sys/stat.h>
#include <zip.h>

using namespace pylon;
using namespace pylon::test;
using namespace Qt::StringLiterals;
using std::nullopt;
using OptionalText = std::optional<QString>;

namespace {

const QString unpackingText = "The remote script archive could not be unpacked.";
const QString builtArchive = PYLON_PRODUCTION_BUNDLE_DIR "/Contents/Resources/Pylon.zip";

// What the managers' logger passes to Qt's message handler: texts, levels, whether from the main thread.
struct Logged {
    QtMsgType type;
    bool onMainThread;
};
QMutex loggedMutex;
QList<Logged> logged;
QStringList loggedTexts;
QtMessageHandler previousHandler = nullptr;
void recordMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (qstrcmp(context.category, "test.pylon.installer") == 0) {
        QMutexLocker lock(&loggedMutex);
        logged.append({type, QThread::currentThread() == qApp->thread()});
        loggedTexts.append(text);
    }
    previousHandler(type, context, text);
}

// A Library.cfg with these attribute texts as they are (callers escape what XML needs).
QByteArray libraryConfig(const QString& path, const QString& name) {
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ableton MajorVersion=\"5\"><ContentLibrary><UserLibrary>"
            "<LibraryProject><ProjectPath Value=\"" +
            path + "\" /><ProjectName Value=\"" + name +
            "\" /></LibraryProject></UserLibrary></ContentLibrary></Ableton>")
        .toUtf8();
}

QString makeFolder(const QString& path) {
    QDir().mkpath(path);
    return path;
}

// Every item below `root`, relative and sorted ("a", "a/b.py"); links are not followed.
QStringList treeOf(const QString& root) {
    QStringList entries;
    for (QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

// The script's sources, which the archive holds in its one folder "Pylon" (see openingTheStagedFolder…).
QStringList scriptFiles(const QString& prefix = {}) {
    return QDir(PYLON_REMOTE_SCRIPT_SOURCE_DIR)
        .entryList({"*.py"}, QDir::Files, QDir::Name)
        .replaceInStrings(QRegularExpression("^"), prefix);
}

// Writes a zip whose only entry, "Pylon", is a symbolic link to `target`.
bool writeLinkZip(const QString& path, const QByteArray& target) {
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    zip_source_t* link = zip_source_buffer(archive, target.constData(), zip_uint64_t(target.size()), 0);
    const zip_uint64_t index = zip_uint64_t(zip_file_add(archive, "Pylon", link, 0));
    return zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16) == 0 &&
           zip_close(archive) == 0;
}

// A temporary home with its own log and a fake workspace, and a manager working in it.
struct Fixture {
    TemporaryHome home;
    FakeWorkspace workspace;
    QTemporaryDir logs;
    LogWriter writer{logs.path(), logs.path() + "/test.log"};
    FileLogger logger{"installer", "test.pylon", writer};
    std::unique_ptr<AbletonSetupManager> manager;
    qsizetype firstMessage = logged.size();

    Fixture() { rebuild(); }
    // Replaces the manager; `unzip` is a program or, starting with "#!", a script to write.
    AbletonSetupManager& rebuild(QString unzip = "/usr/bin/unzip", bool withDataHome = true) {
        if (unzip.startsWith("#!")) {
            unzip = home.writeFile("bin/unzip", unzip.toUtf8());
            QFile::setPermissions(unzip, QFile::ReadOwner | QFile::ExeOwner);
        }
        const AbletonSetupManager::Options options{
            .homeDirectory = home.path(), .dataHome = withDataHome ? home.dataHome() : QString(), .unzipPath = unzip};
        manager = std::make_unique<AbletonSetupManager>(logger, workspace, options);
        return *manager;
    }
    QString path(const QString& relative) const { return home.path() + '/' + relative; }
    void addPreferenceFolder(const QString& name, const std::optional<QByteArray>& config = nullopt) {
        makeFolder(path("Library/Preferences/Ableton/" + name));
        if (config)
            home.writeFile("Library/Preferences/Ableton/" + name + "/Library.cfg", *config);
    }
    QStringList messages() const { return loggedTexts.mid(firstMessage); }
};

// `task`'s end: empty on success, else the RemoteScriptError's description or "FileError: " + its text.
template <typename T> QCoro::Task<QString> outcome(QCoro::Task<T> task) {
    try {
        co_await std::move(task);
    } catch (const AbletonSetupManager::RemoteScriptError& error) {
        co_return error.errorDescription();
    } catch (const AbletonSetupManager::FileError& error) {
        co_return "FileError: " + error.description();
    } catch (const std::exception& error) {
        co_return "unexpected: " + QString::fromUtf8(error.what());
    }
    co_return QString();
}
template <typename T> QString failureOf(QCoro::Task<T> task) {
    return QCoro::waitFor(outcome(std::move(task)));
}

AbletonVersion record(const QString& id, const QString& major, const OptionalText& library,
                      const OptionalText& expected, bool installed = false) {
    return {id, major, "Live " + major + " User Library", library, expected, installed, {}, {}};
}
AbletonVersion target(const QString& library, const QString& major = "12") {
    return record(library, major, library, library);
}

// An installed copy in "~/Music/User Library" that a failed installation must leave as it is.
QString addOldCopy(Fixture& f) {
    f.home.writeFile("Music/User Library/Remote Scripts/Pylon/__init__.py", "old");
    f.home.writeFile("Music/User Library/Remote Scripts/Pylon/extra.py", "extra");
    return f.path("Music/User Library");
}
bool oldCopyUntouched(const Fixture& f) {
    const QString scripts = f.path("Music/User Library/Remote Scripts");
    return treeOf(scripts) == QStringList{"Pylon", "Pylon/__init__.py", "Pylon/extra.py"} &&
           readFile(scripts + "/Pylon/__init__.py") == "old";
}

} // namespace

class LiveTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QLoggingCategory::setFilterRules("test.pylon.installer.debug=true");
        previousHandler = qInstallMessageHandler(recordMessage);
        QVERIFY2(QFileInfo::exists(builtArchive) && scriptFiles().contains("__init__.py"), qPrintable(builtArchive));
    }

    // Discovery

    void versionsCompareNumerically() {
        for (const char* line : {"12.10 > 12.9", "12.1b10 > 12.1b9", "12.1b10 > 12.1", "12.01 = 12.1", " < 1",
                                 "12.1b1 < 12.1c1", "1.99999999999999999999 > 1.9999999999999999999"}) {
            const QStringList a_order_b = QString(line).split(' ');
            const int order = a_order_b[1] == ">" ? 1 : a_order_b[1] == "<" ? -1 : 0;
            QCOMPARE(compareVersionsNumerically(a_order_b[0], a_order_b[2]), order);
            QCOMPARE(compareVersionsNumerically(a_order_b[2], a_order_b[0]), -order);
        }
    }

    void libraryConfigNamesTheUserLibrary_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<OptionalText>("expected"); // "HOME" stands for the home folder
        const auto row = [](const char* name, const QByteArray& contents, const OptionalText& expected) {
            QTest::newRow(name) << contents << expected;
        };
        row("home-relative, trailing slash", libraryConfig("~/Music/Ableton/", "User Library"),
            "HOME/Music/Ableton/User Library");
        row("other user's home kept", libraryConfig("~someone/Music", "Lib"), "~someone/Music/Lib");
        row("outer spaces, tabs and Unicode space separators trimmed, inner kept",
            libraryConfig(u" &#9;\u00a0\u2003/My\u00a0Music\u3000 "_s, u"&#9;User  Library\u202f"_s),
            u"/My\u00a0Music/User  Library"_s);
        row("line breaks and zero-width space kept", libraryConfig(u"&#10;/Music\u200b"_s, "Lib&#13;"),
            u"\n/Music\u200b/Lib\r"_s);
        row("quotes and non-ASCII",
            libraryConfig(u"~/&quot;Live&quot; &apos;Sets&apos; \u00fc"_s, u"Biblioth\u00e8que \u65e5\u672c"_s),
            u"HOME/\"Live\" 'Sets' \u00fc/Biblioth\u00e8que \u65e5\u672c"_s);
        // Declared entities are never expanded: no file is read, nothing grows.
        row("entities",
            "<!DOCTYPE Ableton [<!ENTITY xxe SYSTEM \"file:///etc/passwd\"><!ENTITY a \"aaaaaaaaaa\">"
            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
                libraryConfig("&xxe;", "&c;"),
            "&xxe;/&c;");
        // Each value comes from the first element at its place in document order, whichever project
        // or library holds it; an element without the attribute, a prefixed name or a deeper element is
        // not at that place.
        row("values from different projects, first in document order",
            "<Ableton><ContentLibrary><UserLibrary>"
            "<LibraryProject><ProjectName Value=\"Lib\"/><Deeper><ProjectPath Value=\"/No\"/></Deeper></LibraryProject>"
            "<LibraryProject><ProjectPath/><x:ProjectPath Value=\"/No\"/><ProjectPath Value=\"/Music\"/>"
            "<ProjectName Value=\"Later\"/></LibraryProject></UserLibrary>"
            "<UserLibrary><LibraryProject><ProjectPath Value=\"/Later\"/></LibraryProject></UserLibrary>"
            "</ContentLibrary></Ableton>",
            "/Music/Lib");
        row("exactly 16 MB", libraryConfig("/Music", "Lib").leftJustified(16 << 20), "/Music/Lib");
        row("one byte more", libraryConfig("/Music", "Lib").leftJustified((16 << 20) + 1), nullopt);
        row("blank name", libraryConfig("/Music", u" &#9;\u00a0"_s), nullopt);
        row("empty file", "", nullopt);
        row("not XML", "ProjectPath=/Music\nProjectName=Lib\n", nullopt);
    }
    void libraryConfigNamesTheUserLibrary() {
        QFETCH(QByteArray, contents);
        QFETCH(OptionalText, expected);
        Fixture f;
        if (expected)
            expected->replace("HOME", f.home.path());
        QCOMPARE(f.manager->readUserLibraryPath(f.home.writeFile("prefs/Library.cfg", contents)), expected);
    }

    void unusableLibraryConfigFilesNameNothing() {
        // Missing, a folder, a FIFO (a reader would block), an endless device.
        Fixture f;
        const QString prefs = makeFolder(f.path("prefs")) + '/';
        QVERIFY(QDir().mkdir(prefs + "folder") && QFile::link("/dev/zero", prefs + "zero"));
        QCOMPARE(::mkfifo(QFile::encodeName(prefs + "fifo").constData(), 0644), 0);
        for (const char* name : {"missing", "folder", "fifo", "zero"})
            QVERIFY2(!f.manager->readUserLibraryPath(prefs + name), name);
    }

    void onlyVisibleLiveFoldersWithADottedVersionQualify() {
        Fixture f;
        for (const char* name :
             {"Live 12", "live 12.1.5", "Live  12.1.5", "Live 12..3", "Ableton 12.1", ".Live 12.1.5"})
            f.addPreferenceFolder(name, libraryConfig(f.home.path(), "Lib"));
        f.home.writeFile("Library/Preferences/Ableton/Live 12.2.1", "a file, not a folder");
        QVERIFY(f.manager->detectAbletonVersions().isEmpty());
        QCOMPARE(f.messages(),
                 QStringList{"Ableton detection: no user libraries found (0 preference folders scanned)"});

        for (const char* name : {"Live 12.1.5", "Live 12.1b10", "Live 11.3.13 Suite"})
            f.addPreferenceFolder(name);
        const QString root = f.path("Library/Preferences/Ableton/");
        QVERIFY(QFile::link(makeFolder(f.path("elsewhere")), root + "Live 10.1.30")); // a link is not Live's folder
        QList<AbletonSetupManager::PreferenceFolder> folders = f.manager->scanPreferenceFolders();
        std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.version < b.version; });
        const QList<AbletonSetupManager::PreferenceFolder> expected{
            {"11.3.13 Suite", "Live 11.3", root + "Live 11.3.13 Suite"},
            {"12.1.5", "Live 12.1", root + "Live 12.1.5"},
            {"12.1b10", "Live 12.1b10", root + "Live 12.1b10"}};
        QCOMPARE(folders, expected);
    }

    void libraryRecordsKeepTheNewestVersionAndAreListedNewestMajorFirst() {
        Fixture f;
        // 11.3.13, 12.0.5 and 12.1.5, two naming one library (where any item "Pylon" counts as the script), and
        // 9.7.7 naming it too (newer than 12.1.5 as text, not as a number).
        const QString library = f.path(u"Music \"Live\" \u00fc/User Library"_s); // quotes, non-ASCII
        f.home.writeFile(u"Music \"Live\" \u00fc/User Library/Remote Scripts/Pylon"_s, "a file");
        const QByteArray config = libraryConfig(u"~/Music &quot;Live&quot; \u00fc"_s, "User Library");
        for (const char* name : {"Live 11.3.13", "Live 12.1.5", "Live 9.7.7"})
            f.addPreferenceFolder(name, config);
        f.addPreferenceFolder("Live 12.0.5");
        f.addPreferenceFolder("Live 12.1b10");
        // Found: a file as the library. Never found: a relative path (existing from the working folder), a missing
        // one, a Qt resource path.
        const QString file = f.home.writeFile("Old Library", "a file");
        f.addPreferenceFolder("Live 8.1", libraryConfig(f.home.path(), "Old Library"));
        f.home.writeFile("Music/Lib/Remote Scripts/Pylon/__init__.py", "");
        f.addPreferenceFolder("Live 10.1.30", libraryConfig("Music", "Lib"));
        f.addPreferenceFolder("Live 10.0");
        f.addPreferenceFolder("Live 7.0.18", libraryConfig("~/Gone", "Lib"));
        QVERIFY(QFileInfo(":/Resource Library").isDir()); // a Qt resource, not a folder of the file system
        f.addPreferenceFolder("Live 6.0.1", libraryConfig(":", "Resource Library"));
        const QStringList before = treeOf(f.home.path());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(f.home.path()));
        QList<AbletonVersion> versions = f.manager->detectAbletonVersions();
        QDir::setCurrent(previous);

        // The two records of major 12 have no defined order.
        QCOMPARE(versions.size(), 6);
        const bool libraryFirst = versions[0].userLibraryPath.has_value();
        if (!libraryFirst)
            versions.swapItemsAt(0, 1);
        QCOMPARE(versions,
                 (QList<AbletonVersion>{record(library, "12", library, library, true),
                                        record("no-library-12", "12", nullopt, nullopt),
                                        record("no-library-10", "10", nullopt, "Music/Lib"), target(file, "8"),
                                        record("no-library-7", "7", nullopt, f.path("Gone/Lib")),
                                        record("no-library-6", "6", nullopt, ":/Resource Library")}));
        QStringList majors12{"  Live 12: " + library, "  Live 12: (no library)"};
        if (!libraryFirst)
            majors12.swapItemsAt(0, 1);
        QCOMPARE(f.messages(), QStringList{"Ableton detection: found 2 user libraries\n" + majors12.join('\n') +
                                           "\n  Live 10: (no library)\n  Live 8: " + file +
                                           "\n  Live 7: (no library)\n  Live 6: (no library)"});
        QCOMPARE(treeOf(f.home.path()), before); // discovery only reads
    }

    // Installation

    void nothingIsTouchedWithoutLibraryOrDataFolder() {
        Fixture f;
        const QString library = makeFolder(f.path("Lib"));
        const QStringList before = treeOf(f.home.path());
        QCOMPARE(failureOf(f.manager->installRemoteScript(record("x", "12", nullopt, library), builtArchive)),
                 "Could not find your Ableton Live user library. Please install the remote script manually.");
        AbletonSetupManager& withoutDataFolder = f.rebuild("/usr/bin/unzip", false);
        using Error = AbletonSetupManager::RemoteScriptError;
        const QString noDataFolder = Error(Error::Kind::noDataFolder).errorDescription();
        QCOMPARE(failureOf(withoutDataFolder.unzipAndStageRemoteScript(builtArchive)), noDataFolder);
        QCOMPARE(failureOf(withoutDataFolder.openStagedRemoteScriptFolder(builtArchive)), noDataFolder);
        QCOMPARE(treeOf(f.home.path()), before);
        QCOMPARE(f.messages(), QStringList());
        QVERIFY(f.workspace.files.isEmpty() && f.workspace.urls.isEmpty());
    }

    void installReplacesWhatIsThereOffTheMainThread_data() {
        QTest::addColumn<QString>("existing");
        QTest::newRow("an old copy") << "old copy";
        // Links in place of the script folders are replaced, never followed.
        QTest::newRow("a link as the installed copy") << "link";
        QTest::newRow("a link as the staged folder") << "staged link";
    }
    void installReplacesWhatIsThereOffTheMainThread() {
        QFETCH(QString, existing);
        Fixture f;
        const QString library = addOldCopy(f);
        f.home.writeFile("Music/User Library/Remote Scripts/Other/__init__.py", "other");
        const QString outside = f.home.writeFile("outside/__init__.py", "mine");
        const QString destination = library + "/Remote Scripts/Pylon";
        const QString staged = makeFolder(f.manager->stagingRoot()) + "/Pylon";
        if (existing == "link")
            QVERIFY(QDir(destination).removeRecursively() && QFile::link(QFileInfo(outside).path(), destination));
        if (existing == "staged link")
            QVERIFY(QFile::link(QFileInfo(outside).path(), staged));
        QCOMPARE(failureOf(f.manager->installRemoteScript(target(library, "11"), builtArchive)), QString());

        // No file of the old copy and no temporary folder stay; other scripts and link targets are left alone.
        QCOMPARE(treeOf(library + "/Remote Scripts"),
                 QStringList({"Other", "Other/__init__.py", "Pylon"}) + scriptFiles("Pylon/"));
        QCOMPARE(readFile(destination + "/__init__.py"), readFile(PYLON_REMOTE_SCRIPT_SOURCE_DIR "/__init__.py"));
        QCOMPARE(treeOf(staged), scriptFiles());
        QCOMPARE(treeOf(QFileInfo(outside).path()), QStringList{"__init__.py"});
        QCOMPARE(readFile(outside), "mine");
        QCOMPARE(f.messages(), (QStringList{"installRemoteScript: installing to version 11",
                                            "unzipAndStageRemoteScript: extracted to " + staged,
                                            "copyRemoteScript: installed to " + destination,
                                            "installRemoteScript: installed to " + destination}));
        const QList<Logged> messages = logged.mid(f.firstMessage);
        QCOMPARE((QList<QtMsgType>{messages[0].type, messages[1].type, messages[2].type, messages[3].type}),
                 (QList<QtMsgType>{QtInfoMsg, QtInfoMsg, QtDebugMsg, QtInfoMsg}));
        // The copy logs its line on a worker thread; the caller stays on the main thread.
        QVERIFY(!messages[2].onMainThread && messages[3].onMainThread);
    }

    void unzipGetsExactlyItsArgumentsWhileTheEventLoopTurns() {
        // The script records its arguments, then waits for a file that only the main thread's event loop
        // creates: a blocking wait would make it give up (exit 7) instead of unpacking.
        Fixture f;
        const QString home = f.home.path();
        AbletonSetupManager& manager = f.rebuild("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" + home +
                                                 "/arguments'\ntouch '" + home + "/started'\ni=0\nwhile [ ! -e '" +
                                                 home + "/go' ]; do\n  i=$((i+1)); [ $i -gt 3000 ] && exit 7\n" +
                                                 "  sleep 0.01\ndone\nexec /usr/bin/unzip \"$@\"\n");
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (QFileInfo::exists(f.path("started")))
                f.home.writeFile("go", "");
        });
        answer.start(5);
        const QString root = f.home.dataHome() + "/Pylon/remote-script";
        f.home.writeFile(".local/share/Pylon/remote-script/Pylon/stale.py", "stale");
        f.home.writeFile(".local/share/Pylon/remote-script/other.txt", "kept");

        QCOMPARE(failureOf(manager.unzipAndStageRemoteScript(builtArchive)), QString());
        QCOMPARE(QString::fromUtf8(readFile(f.path("arguments"))).split('\n', Qt::SkipEmptyParts),
                 (QStringList{"-o", "-q", builtArchive, "-d", root}));
        QCOMPARE(treeOf(root + "/Pylon"), scriptFiles()); // the old staged folder was cleared first
        QCOMPARE(readFile(root + "/other.txt"), "kept");
        QCOMPARE(f.messages(), QStringList{"unzipAndStageRemoteScript: extracted to " + root + "/Pylon"});
    }

    void failedInstallationsKeepTheOldCopy_data() {
        QTest::addColumn<QString>("unzip");      // a program, or a script starting with "#!"
        QTest::addColumn<QByteArray>("archive"); // its contents, or "link" (to a folder outside)
        QTest::addColumn<QString>("library");    // what is in "Remote Scripts" besides the old copy
        QTest::addColumn<QString>("failure");    // the description, or a FileError naming UNZIP, STAGED or LIBRARY
        const QByteArray built = readFile(builtArchive);
        const QByteArray damaged =
            QByteArray(built).replace(built.size() / 4, built.size() / 4, QByteArray(built.size() / 4, 'x'));
        const auto row = [](const char* name, const char* unzip, const QByteArray& archive, const char* library,
                            const QString& failure) { QTest::newRow(name) << unzip << archive << library << failure; };
        // Stages a folder whose FIFO cannot be copied, after the file beside it was.
        const char* fifo = "#!/bin/sh\nmkdir -p $5/Pylon && echo new > $5/Pylon/__init__.py && mkfifo $5/Pylon/p";
        const char* unzip = "/usr/bin/unzip";
        row("unzip missing", "/nonexistent/unzip", built, "", "UNZIP");
        row("unzip exits with 3", "#!/bin/sh\nexit 3", built, "", unpackingText);
        row("unzip killed", "#!/bin/sh\nkill -9 $$", built, "", unpackingText);
        // Only the status counts: a successful unzip that produced nothing fails at the copy.
        row("unzip succeeds without a folder", "#!/bin/sh\nexit 0", built, "", "STAGED");
        row("archive damaged", unzip, damaged, "", unpackingText);
        row("archive's Pylon is a link", unzip, "link", "", "STAGED");
        row("copy fails part-way", fifo, built, "", "LIBRARY");
        // What an interrupted earlier run left: an unfinished copy, or the old copy set aside.
        row("copy fails after an unfinished copy", fifo, built, ".Pylon.installing", "LIBRARY");
        row("copy fails with the old copy set aside", fifo, built, ".Pylon.previous", "LIBRARY");
        // Tests run as root, whom permissions do not stop: a file where a folder must be made stands in.
        row("Remote Scripts is a file", unzip, built, "a file", "LIBRARY");
    }
    void failedInstallationsKeepTheOldCopy() {
        QFETCH(QString, unzip);
        QFETCH(QByteArray, archive);
        QFETCH(QString, library);
        QFETCH(QString, failure);
        Fixture f;
        f.rebuild(unzip);
        const QString outside = QFileInfo(f.home.writeFile("outside/keep.txt", "keep")).path();
        if (archive == "link")
            QVERIFY(writeLinkZip(f.path("archive.zip"), QFile::encodeName(outside)));
        else
            f.home.writeFile("archive.zip", archive);
        const QString into =
            library == "a file" ? QFileInfo(f.home.writeFile("Lib/Remote Scripts", "a file")).path() : addOldCopy(f);
        if (library == ".Pylon.installing")
            f.home.writeFile("Music/User Library/Remote Scripts/.Pylon.installing/junk.py", "junk");
        if (library == ".Pylon.previous")
            QVERIFY(QDir().rename(into + "/Remote Scripts/Pylon", into + "/Remote Scripts/" + library));

        const QString actual = failureOf(f.manager->installRemoteScript(target(into), f.path("archive.zip")));
        const QString staged = f.manager->stagingRoot() + "/Pylon";
        const QMap<QString, QString> named{{"UNZIP", '"' + unzip + '"'}, {"STAGED", staged}, {"LIBRARY", into}};
        if (named.contains(failure))
            QVERIFY2(actual.startsWith("FileError: ") && actual.contains(named[failure]), qPrintable(actual));
        else
            QCOMPARE(actual, failure);
        QVERIFY(library == "a file" ? readFile(into + "/Remote Scripts") == "a file" : oldCopyUntouched(f));
        QCOMPARE(treeOf(outside), QStringList{"keep.txt"});
        QStringList messages{"installRemoteScript: installing to version 12"};
        if (failure == "STAGED" || failure == "LIBRARY") // unzip succeeded
            messages << "unzipAndStageRemoteScript: extracted to " + staged;
        QCOMPARE(f.messages(), messages);
    }

    void openingTheStagedFolderStagesOnlyWhenNeeded() {
        Fixture f;
        const QString root = f.manager->stagingRoot();
        QCOMPARE(failureOf(f.manager->openStagedRemoteScriptFolder(builtArchive)), QString());
        QCOMPARE(treeOf(root), QStringList{"Pylon"} + scriptFiles("Pylon/")); // the archive's one folder
        // A second time the staged folder is opened as it is: this unzip would fail.
        f.home.writeFile(".local/share/Pylon/remote-script/Pylon/marker.txt", "mine");
        QCOMPARE(failureOf(f.rebuild("/nonexistent/unzip").openStagedRemoteScriptFolder(builtArchive)), QString());
        QCOMPARE(readFile(root + "/Pylon/marker.txt"), "mine");
        QCOMPARE(f.workspace.files, (QStringList{root, root})); // the "remote-script" folder, not "Pylon"
        QCOMPARE(f.messages(), (QStringList{"unzipAndStageRemoteScript: extracted to " + root + "/Pylon",
                                            "openStagedRemoteScriptFolder: opened " + root,
                                            "openStagedRemoteScriptFolder: opened " + root}));
    }

    // The control script

    void bothBundlesShipAScriptThatLoadsInLiveAndLogsOneLine() {
        // Imports the package from the archive, as Live does from "Remote Scripts", with a stand-in for
        // Live's framework, and creates one instance with a c_instance that records what it logs.
        QCOMPARE(readFile(PYLON_DEVELOPMENT_BUNDLE_DIR "/Contents/Resources/Pylon.zip"), readFile(builtArchive));
        QProcess process;
        process.start("python3", {"-B", "-c", R"(
import sys, types
class ControlSurface(object):
    def __init__(self, c_instance): self.log_message = lambda *m: c_instance.log_message("(framework) " + " ".join(m))
sys.modules.update({"_Framework": types.ModuleType("_Framework"),
                    "_Framework.ControlSurface": types.SimpleNamespace(ControlSurface=ControlSurface)})
sys.path.insert(0, sys.argv[1])
import Pylon
lines = []
surface = Pylon.create_instance(types.SimpleNamespace(log_message=lines.append))
assert Pylon.__file__.startswith(sys.argv[1]) and isinstance(surface, ControlSurface)
print(lines)
)",
                                  builtArchive});
        if (!process.waitForStarted())
            QFAIL("python3 cannot be started (scripts/install-deps installs it)");
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 process.readAllStandardError().constData());
        QCOMPARE(process.readAllStandardOutput().trimmed(), "['(framework) Pylon control script loaded']");
    }
};

QTEST_GUILESS_MAIN(LiveTest)
#include "tst_live.moc"
