#include "LiveFixture.h"
#include "live/AbletonSetupManager.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <sys/stat.h>

using namespace pylon;
using namespace pylon::test;

using PreferenceFolder = AbletonSetupManager::PreferenceFolder;

namespace {

AbletonVersion record(const QString& id, const QString& major, const std::optional<QString>& library,
                      const std::optional<QString>& expected, bool installed = false) {
    return AbletonVersion{id,      major,    QStringLiteral("Live ") + major + QStringLiteral(" User Library"),
                          library, expected, installed};
}

const char* const typicalConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<Ableton><ContentLibrary><UserLibrary><LibraryProject>
<ProjectPath Value="%1" /><ProjectName Value="%2" />
</LibraryProject></UserLibrary></ContentLibrary></Ableton>)";

// A configuration with raw attribute text (character references stay as written).
QByteArray rawConfig(const char* path, const char* name) {
    return QString::fromUtf8(typicalConfig).arg(QString::fromUtf8(path), QString::fromUtf8(name)).toUtf8();
}

// The same document in UTF-16 (little endian) with a byte order mark.
QByteArray utf16(const QByteArray& utf8Document) {
    const QString text = QString::fromUtf8(utf8Document).replace(QStringLiteral("UTF-8"), QStringLiteral("UTF-16"));
    QByteArray bytes("\xff\xfe");
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xff));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(std::optional<QString>)

class LiveDiscoveryTest : public QObject {
    Q_OBJECT
private slots:
    void versionsCompareByTheValueOfTheirDigitRuns_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("minor 10 after 9") << "12.10"
                                          << "12.9" << 1;
        QTest::newRow("patch 10 after 9") << "12.10.1"
                                          << "12.9.3" << 1;
        QTest::newRow("major 12 after 9") << "12"
                                          << "9" << 1;
        QTest::newRow("beta number") << "12.1b10"
                                     << "12.1b9" << 1;
        QTest::newRow("beta after release prefix") << "12.1b10"
                                                   << "12.1" << 1;
        QTest::newRow("more pieces") << "12.1.0"
                                     << "12.1" << 1;
        QTest::newRow("equal") << "12.1.5"
                               << "12.1.5" << 0;
        QTest::newRow("leading zeros") << "12.01"
                                       << "12.1" << 0;
        QTest::newRow("letters as they are") << "12.1b1"
                                             << "12.1c1" << -1;
        QTest::newRow("longer than 64 bits") << "1.99999999999999999999"
                                             << "1.9999999999999999999" << 1;
        QTest::newRow("empty") << ""
                               << "1" << -1;
    }
    void versionsCompareByTheValueOfTheirDigitRuns() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(compareVersionsNumerically(a, b), order);
        QCOMPARE(compareVersionsNumerically(b, a), -order);
    }

    void libraryConfigNamesTheUserLibrary_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<std::optional<QString>>("expected"); // "HOME" stands for the home folder

        const auto some = [](const char* text) { return std::optional<QString>(QString::fromUtf8(text)); };
        const std::optional<QString> none;
        QTest::newRow("home-relative") << libraryConfig("~/Music/Ableton", "User Library")
                                       << some("HOME/Music/Ableton/User Library");
        QTest::newRow("trailing slash not doubled")
            << libraryConfig("/Volumes/Music/", "Lib") << some("/Volumes/Music/Lib");
        QTest::newRow("spaces and tabs trimmed")
            << rawConfig("  &#9;/Music/Ableton &#9;", "&#9;User Library  ") << some("/Music/Ableton/User Library");
        QTest::newRow("unicode space separators trimmed")
            << libraryConfig(QStringLiteral(u"\u00a0\u2003/Music\u3000"), QStringLiteral(u"Lib\u202f\u205f"))
            << some("/Music/Lib");
        QTest::newRow("inner separators kept")
            << libraryConfig(QStringLiteral(u"/My\u00a0Music"), QStringLiteral("User  Library"))
            << std::optional(QStringLiteral(u"/My\u00a0Music/User  Library"));
        QTest::newRow("line breaks kept") << rawConfig("&#10;/Music", "Lib&#13;") << some("\n/Music/Lib\r");
        QTest::newRow("zero-width space kept") << libraryConfig(QStringLiteral(u"/Music\u200b"), QStringLiteral("Lib"))
                                               << std::optional(QStringLiteral(u"/Music\u200b/Lib"));
        QTest::newRow("tilde only") << libraryConfig("~", "Lib") << some("HOME/Lib");
        QTest::newRow("tilde slash") << libraryConfig("~/", "Lib") << some("HOME/Lib");
        QTest::newRow("other user's home kept") << libraryConfig("~someone/Music", "Lib") << some("~someone/Music/Lib");
        QTest::newRow("relative kept") << libraryConfig("Music/Ableton", "Lib") << some("Music/Ableton/Lib");
        QTest::newRow("quotes and non-ASCII")
            << libraryConfig(QStringLiteral("~/Music/\"Live\" 'Sets' \u00fc"),
                             QStringLiteral(u"Biblioth\u00e8que \u65e5\u672c"))
            << std::optional(QStringLiteral(u"HOME/Music/\"Live\" 'Sets' \u00fc/Biblioth\u00e8que \u65e5\u672c"));
        QTest::newRow("first project in document order")
            << QByteArray("<Ableton><ContentLibrary><UserLibrary>"
                          "<LibraryProject><ProjectPath Value='/First'/><ProjectName Value='A'/></LibraryProject>"
                          "<LibraryProject><ProjectPath Value='/Second'/><ProjectName Value='B'/></LibraryProject>"
                          "</UserLibrary></ContentLibrary></Ableton>")
            << some("/First/A");
        QTest::newRow("utf-16 with byte order mark")
            << utf16(libraryConfig(QStringLiteral(u"/M\u00fcsic"), QStringLiteral("Lib")))
            << std::optional(QStringLiteral(u"/M\u00fcsic/Lib"));
        // Declared entities are never expanded: no file is read, nothing grows.
        QTest::newRow("internal entity") << QByteArray("<!DOCTYPE Ableton [<!ENTITY lib \"/Secret\">]>") +
                                                rawConfig("&lib;", "Lib")
                                         << some("&lib;/Lib");
        QTest::newRow("external entity") << QByteArray(
                                                "<!DOCTYPE Ableton [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>") +
                                                rawConfig("&xxe;", "Lib")
                                         << some("&xxe;/Lib");
        QTest::newRow("entity expansion bomb")
            << QByteArray(
                   "<!DOCTYPE Ableton [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                   "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">]>") +
                   rawConfig("/&d;", "Lib")
            << some("/&d;/Lib");

        QTest::newRow("empty path") << libraryConfig("", "Lib") << none;
        QTest::newRow("blank name") << rawConfig("/Music", " &#9;\xc2\xa0") << none;
        QTest::newRow("no name") << QByteArray("<Ableton><ContentLibrary><UserLibrary><LibraryProject>"
                                               "<ProjectPath Value='/Music'/></LibraryProject></UserLibrary>"
                                               "</ContentLibrary></Ableton>")
                                 << none;
        QTest::newRow("values as text") << QByteArray("<Ableton><ContentLibrary><UserLibrary><LibraryProject>"
                                                      "<ProjectPath>/Music</ProjectPath><ProjectName>Lib</ProjectName>"
                                                      "</LibraryProject></UserLibrary></ContentLibrary></Ableton>")
                                        << none;
        QTest::newRow("other root") << libraryConfig("/Music", "Lib").replace("Ableton", "Live") << none;
        QTest::newRow("empty file") << QByteArray() << none;
        QTest::newRow("not XML") << QByteArray("ProjectPath=/Music\nProjectName=Lib\n") << none;
        QTest::newRow("cut short") << libraryConfig("/Music", "Lib").left(120) << none;
        QTest::newRow("binary") << QByteArray("\x00\x01\xff\xfe<\x00", 6) << none;
    }
    void libraryConfigNamesTheUserLibrary() {
        QFETCH(QByteArray, contents);
        QFETCH(std::optional<QString>, expected);
        LiveFixture f;
        const QString path = f.home.writeFile(QStringLiteral("prefs/Library.cfg"), contents);
        if (expected)
            expected->replace(QStringLiteral("HOME"), f.home.path());
        QCOMPARE(f.manager().readUserLibraryPath(path), expected);
    }

    void unusableLibraryConfigFilesNameNothing() {
        LiveFixture f;
        const QString folder = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/prefs"));
        const QString cfg = folder + QStringLiteral("/Library.cfg");
        QCOMPARE(f.manager().readUserLibraryPath(cfg), std::nullopt); // missing

        QVERIFY(QDir().mkdir(cfg));
        QCOMPARE(f.manager().readUserLibraryPath(cfg), std::nullopt); // a folder
        QVERIFY(QDir().rmdir(cfg));

        // A FIFO would block a reader forever; it is not opened.
        QCOMPARE(::mkfifo(QFile::encodeName(cfg).constData(), 0644), 0);
        QCOMPARE(f.manager().readUserLibraryPath(cfg), std::nullopt);
        QVERIFY(QFile::remove(cfg));

        QVERIFY(QFile::link(folder + QStringLiteral("/nowhere.cfg"), cfg));
        QCOMPARE(f.manager().readUserLibraryPath(cfg), std::nullopt); // dangling link
        QVERIFY(QFile::remove(cfg));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), cfg));
        QCOMPARE(f.manager().readUserLibraryPath(cfg), std::nullopt); // endless device
        QVERIFY(QFile::remove(cfg));
    }

    void hugeLibraryConfigFilesAreReadUpToTheLimit_data() {
        QTest::addColumn<qint64>("padding");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("found");
        QTest::newRow("10 MB of XML") << qint64(10 * 1024 * 1024) << true << true;
        QTest::newRow("10 MB of garbage") << qint64(10 * 1024 * 1024) << false << false;
        QTest::newRow("beyond the limit") << qint64(17 * 1024 * 1024) << true << false;
    }
    void hugeLibraryConfigFilesAreReadUpToTheLimit() {
        QFETCH(qint64, padding);
        QFETCH(bool, valid);
        QFETCH(bool, found);
        LiveFixture f;
        QByteArray contents = libraryConfig(QStringLiteral("/Music"), QStringLiteral("Lib"));
        if (valid)
            contents.insert(contents.indexOf("<Ableton"), "<!--" + QByteArray(padding, 'x') + "-->\n");
        else
            contents = QByteArray(padding, '<');
        const QString path = f.home.writeFile(QStringLiteral("prefs/Library.cfg"), contents);
        QCOMPARE(f.manager().readUserLibraryPath(path).has_value(), found);
        if (found)
            QCOMPARE(*f.manager().readUserLibraryPath(path), QStringLiteral("/Music/Lib"));
    }

    void onlyVisibleLiveFoldersWithADottedVersionQualify() {
        LiveFixture f;
        for (const char* name :
             {"Live 12.1.5", "Live 12.1b10", "Live 9.7.7", "Live 11.3.13 Suite", "Live 12", "Live Beta", "live 12.1.5",
              "Live  12.1.5", "Live 12..3", "Live .12.1", "Ableton 12.1", ".Live 12.1.5"})
            f.addPreferenceFolder(QString::fromUtf8(name));
        f.home.writeFile(QStringLiteral("Library/Preferences/Ableton/Live 12.2.1"), "a file, not a folder");
        // A link to a folder is followed like the folder itself.
        const QString elsewhere = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/elsewhere/Live 10.1.30"));
        QVERIFY(QFile::link(elsewhere, f.preferencesRoot() + QStringLiteral("/Live 10.1.30")));

        QList<PreferenceFolder> folders = f.manager().scanPreferenceFolders();
        std::sort(folders.begin(), folders.end(),
                  [](const PreferenceFolder& a, const PreferenceFolder& b) { return a.version < b.version; });
        const QString root = f.preferencesRoot() + QLatin1Char('/');
        const QList<PreferenceFolder> expected{
            {"10.1.30", "Live 10.1", root + "Live 10.1.30"},
            {"11.3.13 Suite", "Live 11.3", root + "Live 11.3.13 Suite"},
            {"12.1.5", "Live 12.1", root + "Live 12.1.5"},
            {"12.1b10", "Live 12.1b10", root + "Live 12.1b10"},
            {"9.7.7", "Live 9.7", root + "Live 9.7.7"},
        };
        QCOMPARE(folders, expected);

        // Without Library.cfg files, each major version is one record; "12.1b10" counts as 12.
        QStringList ids;
        for (const AbletonVersion& version : f.manager().detectAbletonVersions())
            ids << version.id;
        QCOMPARE(ids, (QStringList{"no-library-12", "no-library-11", "no-library-10", "no-library-9"}));
    }

    void versionsSharingALibraryGiveOneRecordWithTheNewestMajor() {
        // Three preference folders, two of them naming one existing library, one without Library.cfg.
        LiveFixture f;
        const QString library = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Music/Ableton/User Library"));
        const QByteArray config = libraryConfig(QStringLiteral("~/Music/Ableton"), QStringLiteral("User Library"));
        f.addPreferenceFolder(QStringLiteral("Live 11.3.13"), config);
        f.addPreferenceFolder(QStringLiteral("Live 12.0.5"));
        f.addPreferenceFolder(QStringLiteral("Live 12.1.5"), config);
        const QStringList before = f.homeTree();

        const QList<AbletonVersion> versions = f.manager().detectAbletonVersions();
        QCOMPARE(versions.size(), 2);
        // Equal versions have no defined order; both records are major 12.
        const bool libraryFirst = versions[0].userLibraryPath.has_value();
        QCOMPARE(versions[libraryFirst ? 0 : 1], record(library, "12", library, library));
        QCOMPARE(versions[libraryFirst ? 1 : 0], record("no-library-12", "12", std::nullopt, std::nullopt));
        const QString first =
            libraryFirst ? QStringLiteral("  Live 12: ") + library : QStringLiteral("  Live 12: (no library)");
        const QString second =
            libraryFirst ? QStringLiteral("  Live 12: (no library)") : QStringLiteral("  Live 12: ") + library;
        QCOMPARE(f.logMessages(),
                 QStringList{QStringLiteral("Ableton detection: found 1 user libraries\n") + first + "\n" + second});
        // Discovery only reads (the log lives in its own folder).
        QCOMPARE(f.homeTree(), before);
    }

    void newerVersionWinsByNumberNotByText() {
        LiveFixture f;
        const QString library = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Lib"));
        const QByteArray config = libraryConfig(f.home.path(), QStringLiteral("Lib"));
        // "9.7.7" sorts after "10.1.30" as text; by number 10 is newer, whatever the listing order.
        for (const char* name : {"Live 9.7.7", "Live 10.1.30", "Live 9.7.8"})
            f.addPreferenceFolder(QString::fromUtf8(name), config);
        QCOMPARE(f.manager().detectAbletonVersions(), QList<AbletonVersion>{record(library, "10", library, library)});
    }

    void missingLibrariesGroupByMajorAndSortNewestFirst() {
        LiveFixture f;
        const QString missing = f.home.path() + QStringLiteral("/Music/Gone/User Library");
        f.addPreferenceFolder(QStringLiteral("Live 9.7.7"));
        f.addPreferenceFolder(QStringLiteral("Live 11.3.13"), QByteArray("not xml"));
        f.addPreferenceFolder(QStringLiteral("Live 12.0.5"),
                              libraryConfig(QStringLiteral("~/Music/Gone"), "User Library"));
        f.addPreferenceFolder(QStringLiteral("Live 12.1.5"),
                              libraryConfig(QStringLiteral("~/Music/Gone"), "User Library"));
        f.addPreferenceFolder(QStringLiteral("Live 11.1"));

        const QList<AbletonVersion> expected{
            record("no-library-12", "12", std::nullopt, missing),
            record("no-library-11", "11", std::nullopt, std::nullopt),
            record("no-library-9", "9", std::nullopt, std::nullopt),
        };
        QCOMPARE(f.manager().detectAbletonVersions(), expected);
        QCOMPARE(f.logMessages(), QStringList{"Ableton detection: found 0 user libraries\n"
                                              "  Live 12: (no library)\n"
                                              "  Live 11: (no library)\n"
                                              "  Live 9: (no library)"});
    }

    void severalLibrariesAreListedNewestMajorFirst() {
        LiveFixture f;
        const QString music = f.home.path() + QStringLiteral("/Music \"Live\" \u00fc");
        const QString lib12 = LiveFixture::makeFolder(music + QStringLiteral("/User Library"));
        const QString lib9 = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Old Library"));
        f.addPreferenceFolder(QStringLiteral("Live 9.7.7"),
                              libraryConfig(f.home.path(), QStringLiteral("Old Library")));
        f.addPreferenceFolder(QStringLiteral("Live 12.1.5"), libraryConfig(music, QStringLiteral("User Library")));
        f.addPreferenceFolder(QStringLiteral("Live 10.1.30"));

        const QList<AbletonVersion> expected{record(lib12, "12", lib12, lib12),
                                             record("no-library-10", "10", std::nullopt, std::nullopt),
                                             record(lib9, "9", lib9, lib9)};
        QCOMPARE(f.manager().detectAbletonVersions(), expected);
        QCOMPARE(f.logMessages(), QStringList{QStringLiteral("Ableton detection: found 2 user libraries\n  Live 12: ") +
                                              lib12 + "\n  Live 10: (no library)\n  Live 9: " + lib9});
    }

    void noPreferenceFoldersGiveAnEmptyList_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("no folder") << "none";
        QTest::newRow("empty folder") << "empty";
        QTest::newRow("a file in its place") << "file";
        QTest::newRow("only unqualified entries") << "unqualified";
    }
    void noPreferenceFoldersGiveAnEmptyList() {
        QFETCH(QString, setup);
        LiveFixture f;
        if (setup == QLatin1String("empty"))
            LiveFixture::makeFolder(f.preferencesRoot());
        if (setup == QLatin1String("file"))
            f.home.writeFile(QStringLiteral("Library/Preferences/Ableton"), "not a folder");
        if (setup == QLatin1String("unqualified"))
            f.addPreferenceFolder(QStringLiteral("Live 12"), libraryConfig(f.home.path(), "Lib"));
        QVERIFY(f.manager().detectAbletonVersions().isEmpty());
        QCOMPARE(f.logMessages(),
                 QStringList{"Ableton detection: no user libraries found (0 preference folders scanned)"});
    }

    void remoteScriptCountsAsInstalledWhenAnyItemIsThere_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("installed");
        QTest::newRow("folder") << "Remote Scripts/Pylon/" << true;
        QTest::newRow("empty folder") << "Remote Scripts/Pylon/." << true;
        QTest::newRow("file") << "Remote Scripts/Pylon" << true;
        QTest::newRow("other script only") << "Remote Scripts/Other/__init__.py" << false;
        QTest::newRow("similar name") << "Remote Scripts/Pylon.py" << false;
        QTest::newRow("no Remote Scripts") << "" << false;
    }
    void remoteScriptCountsAsInstalledWhenAnyItemIsThere() {
        QFETCH(QString, item);
        QFETCH(bool, installed);
        LiveFixture f;
        const QString library = LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Lib"));
        if (item.endsWith(QLatin1Char('.')))
            LiveFixture::makeFolder(library + QLatin1Char('/') + item);
        else if (item.endsWith(QLatin1Char('/')))
            f.home.writeFile(QStringLiteral("Lib/") + item + QStringLiteral("__init__.py"), "");
        else if (!item.isEmpty())
            f.home.writeFile(QStringLiteral("Lib/") + item, "");
        f.addPreferenceFolder(QStringLiteral("Live 12.1.5"), libraryConfig(f.home.path(), "Lib"));

        const QList<AbletonVersion> versions = f.manager().detectAbletonVersions();
        QCOMPARE(versions.size(), 1);
        QCOMPARE(versions[0].isRemoteScriptInstalled, installed);
        QCOMPARE(f.manager().isRemoteScriptInstalled(versions[0]), installed);
        AbletonVersion withoutLibrary = versions[0];
        withoutLibrary.userLibraryPath.reset();
        QVERIFY(!f.manager().isRemoteScriptInstalled(withoutLibrary));
    }

    void relativeLibraryPathsAreNeverFound() {
        LiveFixture f;
        LiveFixture::makeFolder(f.home.path() + QStringLiteral("/Music/Lib"));
        LiveFixture::makeFolder(f.home.path() + QStringLiteral("/~someone/Lib"));
        f.addPreferenceFolder(QStringLiteral("Live 12.1.5"), libraryConfig("Music", "Lib"));
        f.addPreferenceFolder(QStringLiteral("Live 11.3.13"), libraryConfig("~someone", "Lib"));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(f.home.path())); // where both would resolve
        const QList<AbletonVersion> versions = f.manager().detectAbletonVersions();
        QDir::setCurrent(previous);
        const QList<AbletonVersion> expected{
            record("no-library-12", "12", std::nullopt, QStringLiteral("Music/Lib")),
            record("no-library-11", "11", std::nullopt, QStringLiteral("~someone/Lib"))};
        QCOMPARE(versions, expected);
    }

    void aUserLibraryThatIsAFileStillCountsAsFound() {
        LiveFixture f;
        const QString library = f.home.writeFile(QStringLiteral("Lib"), "a file");
        f.addPreferenceFolder(QStringLiteral("Live 12.1.5"), libraryConfig(f.home.path(), "Lib"));
        QCOMPARE(f.manager().detectAbletonVersions(), QList<AbletonVersion>{record(library, "12", library, library)});
    }
};

int runLiveDiscoveryTests(int argc, char** argv) {
    LiveDiscoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_live_discovery.moc"
