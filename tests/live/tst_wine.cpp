#include "FolderTree.h"
#include "live/WindowsPath.h"
#include "live/WinePrefixes.h"

#include <QDirIterator>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace pylon;
using namespace Qt::StringLiterals;
using std::nullopt;
using OptionalText = std::optional<QString>;

namespace {

using Tree = pylon::test::FolderTree;

QString windowsForm(const QString& linuxPath) {
    return QString(linuxPath).replace('/', '\\');
}

// "~/.wine (default)" for each prefix.
QStringList describe(const QList<WinePrefix>& prefixes) {
    QStringList rows;
    for (const WinePrefix& prefix : prefixes)
        rows << prefix.displayPath + " (" + winePrefixSourceName(prefix.source) + ')';
    return rows;
}

// "me 12.1.5 Live 12.1 <Library.cfg path below root>" for each preference folder of `prefix`.
QStringList describe(const QList<WineLivePreferences>& folders, const Tree& tree, const QString& prefix) {
    QStringList rows;
    for (const WineLivePreferences& f : folders)
        rows << f.windowsUser + ' ' + f.version + ' ' + f.displayName + ' ' +
                    f.libraryConfigPath.mid(tree.root.size() + 1) + (f.prefix == prefix ? "" : " in another prefix");
    return rows;
}

} // namespace

class WineTest : public QObject {
    Q_OBJECT
private slots:
    void windowsPathsParseAsWindowsResolvesThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<OptionalText>("expected");
        const auto row = [](const char* name, const QString& text, const OptionalText& expected) {
            QTest::newRow(name) << text << expected;
        };
        row("backslashes", R"(C:\Users\me\Documents\User Library)", R"(C:\Users\me\Documents\User Library)");
        row("forward slashes, lower-case drive, trailing separator", "c:/Users/me/", R"(C:\Users\me)");
        row("doubled and mixed separators", R"(C:\\Users/\me\\)", R"(C:\Users\me)");
        row("root", R"(C:\)", R"(C:\)");
        row("dots", R"(D:\.\a\.\b\.\...)", R"(D:\a\b\...)");
        row("dot-dot climbs lexically", R"(C:\a\b\..\c\..)", R"(C:\a)");
        row("dot-dot stops at the drive root", R"(C:\a\..\..\..\Windows)", R"(C:\Windows)");
        row("non-ASCII", u"C:\\Users\\J\u00fcrgen\\\u65e5\u672c"_s, u"C:\\Users\\J\u00fcrgen\\\u65e5\u672c"_s);
        row("UNC", R"(\\server\share\User Library)", nullopt);
        row("UNC with slashes", "//server/share/User Library", nullopt);
        row("device path", R"(\\?\C:\Users\me)", nullopt);
        row("rooted without a drive", R"(\Users\me)", nullopt);
        row("relative", R"(Users\me)", nullopt);
        row("drive-relative", "C:Users", nullopt);
        row("bare drive", "C:", nullopt);
        row("digit as drive", R"(1:\x)", nullopt);
        row("a macOS path", "~/Music/Ableton/User Library", nullopt);
        row("alternate data stream", R"(C:\Users\me:stream)", nullopt);
        row("wildcard", R"(C:\Users\*)", nullopt);
        row("control character", "C:\\a\tb", nullopt);
    }
    void windowsPathsParseAsWindowsResolvesThem() {
        QFETCH(QString, text);
        QFETCH(OptionalText, expected);
        const std::optional<WindowsPath> parsed = WindowsPath::parse(text);
        QCOMPARE(parsed ? OptionalText(parsed->toString()) : nullopt, expected);
        if (parsed)
            QCOMPARE(WindowsPath::parse(parsed->toString()), parsed);
    }

    void windowsPathsCompareCaseInsensitively() {
        const auto key = [](const QString& text) { return WindowsPath::parse(text)->comparisonKey(); };
        QCOMPARE(key(R"(C:\Users\Me\Documents\)"), key("c:/users/ME/documents"));
        QCOMPARE(key(u"C:\\\u00dcBER\\\u0391\u0392"_s), key(u"c:\\\u00fcber\\\u03b1\u03b2"_s));
        QCOMPARE(key(R"(C:\a\..\b)"), key(R"(C:\b)"));
        for (const char* other : {R"(D:\Users\me)", R"(C:\Users\me2)", R"(C:\Users\me\x)"})
            QVERIFY2(key(R"(C:\Users\me)") != key(other), other);
    }

    // Expected paths: PREFIX, OTHER (a second prefix) and HOME stand for those folders. Windows paths:
    // <HOME> and <OTHER> for the same folders after drive Z:, <HOME-UPPER> for the home in upper case.
    void windowsPathsMapIntoThePrefix_data() {
        QTest::addColumn<QString>("windowsPath");
        QTest::addColumn<OptionalText>("expected");
        const auto row = [](const char* name, const QString& path, const OptionalText& expected) {
            QTest::newRow(name) << path << expected;
        };
        const QString library = "HOME/Documents/Ableton/User Library";
        row("Documents linked to the home's folder", R"(C:\users\me\Documents\Ableton\User Library)", library);
        row("every component in other case", R"(c:\USERS\Me\documents\ABLETON\user library)", library);
        row("forward slashes and trailing separator", "C:/users/me/Documents/Ableton/User Library/", library);
        row("through drive Z:", R"(Z:<HOME>\Documents\Ableton\User Library)", library);
        row("through drive Z: in other case", R"(z:<HOME-UPPER>\DOCUMENTS\ableton\USER LIBRARY\)", library);
        row("drive linked to an absolute folder", R"(D:\Libraries\Live)", "HOME/data/Libraries/Live");
        row("non-ASCII in other case", u"C:\\users\\me\\Documents\\Ableton\\BIBLIOTH\u00c8QUE \u65e5\u672c"_s,
            u"HOME/Documents/Ableton/Biblioth\u00e8que \u65e5\u672c"_s);
        row("missing part appended as written", R"(C:\USERS\me\Documents\Ableton\New Library\Sub)",
            "HOME/Documents/Ableton/New Library/Sub");
        row("missing part below the prefix's folders", R"(C:\Users\ME\Music)", "PREFIX/drive_c/users/me/Music");
        row("exact name wins over another case", R"(C:\lib)", "PREFIX/drive_c/lib");
        row("first name in order among case variants", R"(C:\LIB)", "PREFIX/drive_c/Lib");
        row("dot-dot cannot leave drive C:", R"(C:\..\..\..\..\etc\passwd)", "PREFIX/drive_c/etc/passwd");
        row("dot-dot after a linked folder", R"(C:\users\me\Documents\..\..\..\windows)", "PREFIX/drive_c/windows");
        row("dot-dot cannot leave a linked drive", R"(D:\..\..\Libraries)", "HOME/data/Libraries");
        row("into another prefix through Z:", R"(Z:<OTHER>\drive_c\users\me\Documents)",
            "OTHER/drive_c/users/me/Documents");
        row("circular link inside the drive", R"(C:\loop\User Library)", "PREFIX/drive_c/loop/User Library");
        row("unknown drive", R"(Q:\Libraries)", nullopt);
        row("broken drive link", R"(E:\Libraries)", nullopt);
        row("drive linked to itself", R"(F:\Libraries)", nullopt);
        row("drives linked in a circle", R"(G:\Libraries)", nullopt);
        row("drive linked to a file", R"(H:\Libraries)", nullopt);
        row("UNC", R"(\\server\share\User Library)", nullopt);
    }
    void windowsPathsMapIntoThePrefix() {
        QFETCH(QString, windowsPath);
        QFETCH(OptionalText, expected);
        Tree tree;
        const QString home = tree.folder(u"home/J\u00fcrgen"_s);
        tree.folder(u"home/J\u00fcrgen/Documents/Ableton/User Library"_s);
        tree.folder(u"home/J\u00fcrgen/Documents/Ableton/Biblioth\u00e8que \u65e5\u672c"_s);
        tree.folder(u"home/J\u00fcrgen/data/Libraries/Live"_s);
        const QString prefix = tree.prefix("prefix");
        const QString other = tree.prefix("other");
        tree.folder("other/drive_c/users/me/Documents");
        tree.link("prefix/drive_c/users/me/Documents", home + "/Documents");
        for (const char* folder : {"windows", "Lib", "lib"})
            tree.folder(QString("prefix/drive_c/") + folder);
        tree.link("prefix/drive_c/loop", "loop");
        tree.link("prefix/dosdevices/d:", home + "/data");
        tree.link("prefix/dosdevices/e:", tree.path("nowhere"));
        tree.link("prefix/dosdevices/f:", "f:");
        tree.link("prefix/dosdevices/g:", "g2");
        tree.link("prefix/dosdevices/g2", "g:");
        tree.link("prefix/dosdevices/h:", tree.file("a file"));
        windowsPath.replace("<HOME-UPPER>", windowsForm(home).toUpper())
            .replace("<HOME>", windowsForm(home))
            .replace("<OTHER>", windowsForm(other));
        if (expected)
            expected->replace("PREFIX", prefix).replace("OTHER", other).replace("HOME", home);
        const QStringList before = tree.snapshot();

        QCOMPARE(mapWindowsPath(prefix, windowsPath), expected);
        QCOMPARE(tree.snapshot(), before);
    }

    void drivesAreOnlyTheLowerCaseLinks() {
        Tree tree;
        const QString prefix = tree.prefix("prefix");
        QCOMPARE(wineDriveRoot(prefix, 'C'), tree.path("prefix/drive_c"));
        QCOMPARE(wineDriveRoot(prefix, 'z'), OptionalText("/"));
        tree.prefix("upper");
        QVERIFY(QFile::rename(tree.path("upper/dosdevices/c:"), tree.path("upper/dosdevices/C:")));
        QCOMPARE(wineDriveRoot(tree.path("upper"), 'c'), nullopt);
        tree.folder("bare/drive_c/users/me"); // drive_c alone makes no C: drive
        QCOMPARE(mapWindowsPath(tree.path("bare"), uR"(C:\users\me)"), nullopt);
    }

    void livePreferenceFoldersAreFoundForEveryUserButPublic() {
        Tree tree;
        const QString prefix = tree.prefix("prefix");
        const QString roaming = "prefix/drive_c/users/me/AppData/Roaming/Ableton/";
        tree.file(roaming + "Live 12.1.5/Preferences/Library.cfg", "<Ableton/>");
        tree.file(roaming + "Live 11.3.13/preferences/library.CFG", "<Ableton/>"); // found as Wine finds it
        tree.folder(roaming + "Live 12.1b10");                                     // no Library.cfg yet
        for (const char* skipped : {"Live 12", "Live Beta", "live 12.1.6", "Live 12..1", "Ableton 12.1"})
            tree.folder(roaming + skipped + "/Preferences");
        tree.file(roaming + "Live 12.0.1", "a file");
        // Older Wine's "Application Data", here also reached through AppData/Roaming: listed once.
        const QString user = u"J\u00fcrgen"_s;
        tree.folder("prefix/drive_c/users/" + user + "/Application Data/Ableton/Live 10.1.30/Preferences");
        tree.link("prefix/drive_c/users/" + user + "/AppData/Roaming", "../Application Data");
        tree.folder("prefix/drive_c/users/Public/AppData/Roaming/Ableton/Live 12.1.5/Preferences");
        tree.folder("prefix/drive_c/users/public/Application Data/Ableton/Live 12.1.5/Preferences");
        const QStringList before = tree.snapshot();

        QCOMPARE(describe(findWineLivePreferences(prefix), tree, prefix),
                 (QStringList{user + " 10.1.30 Live 10.1 prefix/drive_c/users/" + user +
                                  "/Application Data/Ableton/Live 10.1.30/Preferences/Library.cfg",
                              "me 11.3.13 Live 11.3 " + roaming + "Live 11.3.13/preferences/library.CFG",
                              "me 12.1.5 Live 12.1 " + roaming + "Live 12.1.5/Preferences/Library.cfg",
                              "me 12.1b10 Live 12.1b10 " + roaming + "Live 12.1b10/Preferences/Library.cfg"}));
        QCOMPARE(tree.snapshot(), before);
        QCOMPARE(findWineLivePreferences(tree.path("no prefix here")), QList<WineLivePreferences>());
    }

    void readOnlyPrefixIsReadLikeAnyOther() {
        Tree tree;
        const QString prefix = tree.prefix("ro");
        tree.link("ro/drive_c/users/me/Documents", tree.folder("Documents"));
        tree.file("ro/drive_c/users/me/AppData/Roaming/Ableton/Live 12.1.5/Preferences/Library.cfg", "<Ableton/>");
        const auto restore = qScopeGuard([&] { tree.setWritable("ro", true); }); // so that it can be removed
        QVERIFY(tree.setWritable("ro", false));
        const QStringList readOnly = tree.snapshot();
        const auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        QVERIFY(!(QFileInfo(tree.path("ro/drive_c/users/me")).permissions() & anyWrite));

        QCOMPARE(describe(findWinePrefixes({tree.root, {}, {}, prefix, {}})), QStringList{"~/ro (WINEPREFIX)"});
        QCOMPARE(findWineLivePreferences(prefix).size(), 1);
        QCOMPARE(mapWindowsPath(prefix, uR"(C:\users\me\Documents\Ableton\User Library)"),
                 tree.path("Documents/Ableton/User Library"));
        QCOMPARE(tree.snapshot(), readOnly);
    }

    // Every place, with duplicates, non-prefixes and unusable entries; the home is reached through a
    // link, so the canonical prefixes must still show under "~".
    void prefixesAreFoundOnceEachInSearchOrder() {
        Tree tree;
        const QString home = tree.link("home", tree.folder("real-home"));
        const QString h = "real-home/";
        for (const QString& prefix : QStringList{
                 ".wine", "custom", "Games/lutris-live", "Games/lutris-new", "Games/linked", "added",
                 ".var/app/com.usebottles.bottles/data/bottles/bottles/flat", ".cxoffice/Live 12",
                 u".PlayOnLinux/wineprefix/Ableton \u65e5\u672c"_s, ".local/share/bottles/bottles/default-data"})
            tree.prefix(h + prefix);
        const QString bottles = h + "xdg-data/bottles/bottles/";
        for (const char* prefix : {"b-studio", "a-live", ".hidden"})
            tree.prefix(bottles + prefix);
        tree.folder(bottles + "not-a-prefix/dosdevices");
        tree.folder(h + ".cxoffice/installers");
        tree.file(bottles + "bottle.yml", "Name: x\n");
        tree.link(bottles + "c-link-to-default", "../../../.wine");
        tree.link(bottles + "d-broken", "../../../gone");
        const QString games = h + "xdg-config/lutris/games/";
        tree.file(games + "live-1234.yml", "game:\n  exe: drive_c/Live.exe\n  prefix: ~/Games/lutris-live\nwine: {}\n");
        tree.file(games + "none-1.yml", "game:\n  exe: /usr/bin/true\nsystem: {}\n");
        tree.file(games + "dup-1.yml", "game:\n  prefix: " + tree.path(h + ".wine").toUtf8());
        tree.link(games + "linked-1.yml", tree.file(h + "linked.yml", "game:\n  prefix: ~/Games/linked\n"));
        tree.file(h + "xdg-data/lutris/games/new-1.yml", "game:\n  prefix: ~/Games/lutris-new\n");
        QProcessEnvironment environment;
        environment.insert("WINEPREFIX", home + "/custom/");
        environment.insert("XDG_DATA_HOME", home + "/xdg-data");
        environment.insert("XDG_CONFIG_HOME", home + "/xdg-config");
        const QStringList added{"~/added", tree.path(bottles + "a-live"), "added", tree.path(h + "missing")};
        const QStringList before = tree.snapshot();

        const QList<WinePrefix> prefixes =
            findWinePrefixes(WinePrefixSearch::fromEnvironment(environment, home, added));
        const QStringList all{"~/custom (WINEPREFIX)",
                              "~/.wine (default)",
                              "~/xdg-data/bottles/bottles/a-live (Bottles)",
                              "~/xdg-data/bottles/bottles/b-studio (Bottles)",
                              "~/.var/app/com.usebottles.bottles/data/bottles/bottles/flat (Bottles Flatpak)",
                              "~/.cxoffice/Live 12 (CrossOver)",
                              u"~/.PlayOnLinux/wineprefix/Ableton \u65e5\u672c (PlayOnLinux)"_s,
                              "~/Games/lutris-live (Lutris)",
                              "~/Games/lutris-new (Lutris)",
                              "~/added (user)"};
        QCOMPARE(describe(prefixes), all);
        QCOMPARE(prefixes.first().path, tree.path(h + "custom"));
        QCOMPARE(tree.snapshot(), before);

        // A relative XDG data home is ignored for the default, which holds one bottle and no Lutris folder.
        environment.insert("XDG_DATA_HOME", "xdg-data");
        environment.remove("WINEPREFIX");
        QCOMPARE(describe(findWinePrefixes(WinePrefixSearch::fromEnvironment(environment, home, {}))),
                 (QStringList{all[1], "~/.local/share/bottles/bottles/default-data (Bottles)"} + all.mid(4, 4)));
    }

    void fiveHundredBottlesAreSortedAndChecked() {
        Tree tree;
        QStringList expected;
        for (int i = 499; i >= 0; --i) {
            const QString bottle = QString(".local/share/bottles/bottles/bottle-%1").arg(i, 3, 10, QChar('0'));
            tree.folder("home/" + bottle + (i % 2 == 0 ? "/drive_c" : "/dosdevices"));
            if (i % 2 == 0)
                expected.prepend("~/" + bottle + " (Bottles)");
        }
        QCOMPARE(describe(findWinePrefixes({tree.path("home"), {}, {}, {}, {}})), expected);
    }

    void homeIsShownAsTilde() {
        QCOMPARE(homeRelativeDisplayPath("/home/me/.wine", "/home/me/"), "~/.wine");
        QCOMPARE(homeRelativeDisplayPath("/home/me", "/home/me"), "~");
        for (const char* home : {"/home/m", "/", ""}) // a sibling sharing the name's start, root, none
            QCOMPARE(homeRelativeDisplayPath("/home/me/.wine", home), "/home/me/.wine");
    }

    void lutrisConfigurationsNameTheirPrefix_data() {
        QTest::addColumn<QByteArray>("yaml");
        QTest::addColumn<OptionalText>("expected");
        const auto row = [](const char* name, const QByteArray& yaml, const OptionalText& expected) {
            QTest::newRow(name) << yaml << expected;
        };
        row("plain", "game:\n  exe: drive_c/x.exe\n  prefix: /games/live\nsystem: {}\n", "/games/live");
        row("after other sections, CRLF", "system:\r\n  env: {}\r\ngame:\r\n    prefix: /games/live\r\n",
            "/games/live");
        row("home", "game:\n  prefix: ~/Games/live\n", "/home/me/Games/live");
        row("comment after, hash inside", "game:\n\n  # prefix: /no\n  prefix: /games/live#2   # mine\n",
            "/games/live#2");
        row("single-quoted", "game:\n  prefix: '/games/it''s # live'\n", "/games/it's # live");
        row("double-quoted", "game:\n  prefix: \"/games/a\\\"b\\\\c\"  # x\n", "/games/a\"b\\c");
        row("non-ASCII", u"game:\n  prefix: /games/M\u00fcsik \u65e5\u672c\n"_s.toUtf8(),
            u"/games/M\u00fcsik \u65e5\u672c"_s);
        row("last of two wins", "game:\n  prefix: /games/one\n  prefix: /games/two\n", "/games/two");
        row("no prefix", "game:\n  exe: /games/live/x.exe\nwine:\n  version: lutris-7\n", nullopt);
        row("prefix outside game", "prefix: /a\ngame:\n  exe: x\nwine:\n  prefix: /games/live\n", nullopt);
        row("prefix nested deeper", "game:\n  options:\n    prefix: /games/live\n", nullopt);
        row("game as a nested key", "wine:\n  game:\n    prefix: /games/live\n", nullopt);
        row("flow mapping", "game: {prefix: /games/live}\n", nullopt);
        row("similar keys", "game:\n  prefixes: /games/live\n  prefix_arch: /x\n", nullopt);
        row("relative", "game:\n  prefix: games/live\n", nullopt);
        row("empty", "game:\n  prefix:\n", nullopt);
        row("null", "game:\n  prefix: null\n", nullopt);
        row("tilde as null", "game:\n  prefix: ~ # none\n", nullopt);
        row("block scalar", "game:\n  prefix: |\n    /games/live\n", nullopt);
        row("unterminated quote", "game:\n  prefix: '/games/live\n    more'\n", nullopt);
        row("unknown escape", "game:\n  prefix: \"/games/\\x41\"\n", nullopt);
        row("not YAML", QByteArray("\x00\xff\xfe game: prefix", 16), nullopt);
    }
    void lutrisConfigurationsNameTheirPrefix() {
        QFETCH(QByteArray, yaml);
        QFETCH(OptionalText, expected);
        QCOMPARE(lutrisGamePrefix(yaml, "/home/me"), expected);
    }

    void lutrisConfigurationsAreReadOnlyWhenSmallAndRegular() {
        Tree tree;
        for (const char* prefix : {"a", "b", "c"})
            tree.prefix(QString("home/Games/") + prefix);
        const QString games = "home/.config/lutris/games/";
        tree.file(games + "a.yml",
                  QByteArray("game:\n  prefix: ~/Games/a\n").leftJustified(maximumLutrisConfigSize, '#'));
        tree.file(games + "b.yml", "game:\n  prefix: ~/Games/b\n" + QByteArray(maximumLutrisConfigSize, '#'));
        tree.file(games + "c.yml.bak", "game:\n  prefix: ~/Games/c\n");
        tree.folder(games + "d.yml");
        QCOMPARE(::mkfifo(QFile::encodeName(tree.path(games + "e.yml")).constData(), 0644), 0); // never waited on
        QCOMPARE(describe(findWinePrefixes({tree.path("home"), {}, {}, {}, {}})), QStringList{"~/Games/a (Lutris)"});
    }
};

QTEST_GUILESS_MAIN(WineTest)
#include "tst_wine.moc"
