// Live discovery across places (the macOS layout and Wine prefixes) and installation into a User
// Library named by a Windows path, on real folder trees with real links. Runs in a mount namespace of
// its own (CMake starts it through `unshare -rm`), so that a prefix can sit on a read-only file system.
#include "Fakes.h"
#include "FolderTree.h"
#include "MessageCapture.h"
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"
#include "live/AbletonSetupManager.h"
#include "live/LibraryConfig.h"
#include "live/RegularFile.h"
#include "live/WindowsPath.h"

#include <QScopeGuard>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <qcoro/qcorotask.h>
#include <sys/mount.h>

using namespace pylon;
using namespace pylon::test;
using std::nullopt;

namespace {

const QString builtArchive = PYLON_PRODUCTION_BUNDLE_DIR "/Contents/Resources/Pylon.zip";
const QString category = "test.wine.installer";
const QString roaming = "/drive_c/users/me/AppData/Roaming/Ableton/";

QByteArray libraryConfig(const QString& path, const QString& name) {
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ableton><ContentLibrary><UserLibrary><LibraryProject>"
            "<ProjectPath Value=\"" +
            path + "\" /><ProjectName Value=\"" + name +
            "\" /></LibraryProject></UserLibrary></ContentLibrary></Ableton>")
        .toUtf8();
}

QString windowsForm(const QString& linuxPath) {
    return QString(linuxPath).replace('/', '\\');
}

// A home in a folder tree, a logger whose messages are captured, and a manager searching that home.
struct Fixture {
    FolderTree tree;
    QString home = tree.folder("home");
    QTemporaryDir logs;
    LogWriter writer{logs.path(), logs.path() + "/test.log"};
    FileLogger logger{"installer", "test.wine", writer};
    MessageCapture capture;
    mutable FakeWorkspace workspace;
    // The staging folder exists beforehand, so that staging changes nothing outside it.
    QString staging = tree.folder("home/.local/share/Pylon/remote-script");

    AbletonSetupManager manager(const QStringList& addedPrefixes = {}) const {
        AbletonSetupManager::Options options{.homeDirectory = home, .dataHome = home + "/.local/share"};
        options.userAddedWinePrefixes = addedPrefixes;
        return AbletonSetupManager(logger, workspace, options);
    }
    // A prefix below the home whose user "me" has Documents linked to the home's.
    QString prefix(const QString& belowHome) const {
        const QString prefix = tree.prefix("home/" + belowHome);
        tree.link("home/" + belowHome + "/drive_c/users/me/Documents", home + "/Documents");
        return prefix;
    }
    // "Live <version>" in the prefix's AppData, its Library.cfg naming `path` + `name` (no file without `path`).
    void addWineLive(const QString& belowHome, const QString& version, const QString& path = {},
                     const QString& name = {}) const {
        const QString folder = "home/" + belowHome + roaming + "Live " + version + "/Preferences";
        if (path.isEmpty())
            tree.folder(folder);
        else
            tree.file(folder + "/Library.cfg", libraryConfig(path, name));
    }
    QStringList messages() const {
        QStringList texts;
        for (const MessageCapture::Message& message : capture.messages(category))
            texts << message.text;
        return texts;
    }
};

AbletonVersion record(const QString& id, const QString& major, const std::optional<QString>& library,
                      const std::optional<QString>& expected, bool installed, const QString& prefix,
                      const std::optional<QString>& label = nullopt) {
    return {id, major, "Live " + major + " User Library", library, expected, installed, prefix, label};
}

// `after` differs from `before` only in lines about items below one of `allowed`.
QStringList changesOutside(const QStringList& before, const QStringList& after, const QStringList& allowed) {
    QStringList changed;
    for (const QString& line : before)
        if (!after.contains(line))
            changed << "- " + line;
    for (const QString& line : after)
        if (!before.contains(line))
            changed << "+ " + line;
    changed.removeIf([&](const QString& line) {
        return std::any_of(allowed.begin(), allowed.end(), [&](const QString& folder) {
            return line.mid(2).startsWith(folder + ' ') || line.mid(2).startsWith(folder + '/');
        });
    });
    return changed;
}

QString installFailure(const AbletonSetupManager& manager, const AbletonVersion& version) {
    auto install = [](AbletonSetupManager m, AbletonVersion v) -> QCoro::Task<QString> {
        try {
            co_await m.installRemoteScript(v, builtArchive);
        } catch (const std::exception& error) {
            co_return QString::fromUtf8(error.what());
        }
        co_return QString();
    };
    return QCoro::waitFor(install(manager, version));
}

// Binds `folder` onto itself read-only; this process runs in a mount namespace of its own.
bool mountReadOnly(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) == 0 &&
        ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0)
        return true;
    qWarning("cannot mount %s read-only: %s (the test runs through `unshare -rm`, see tests/live/CMakeLists.txt)",
             path.constData(), std::strerror(errno));
    return false;
}

} // namespace

class WineDiscoveryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFileInfo::exists(builtArchive), qPrintable(builtArchive)); }

    void windowsLibrariesAreMappedThroughTheirPrefix() {
        Fixture f;
        const QString prefix = f.prefix(".wine");
        const QString library = f.tree.folder("home/Documents/Ableton/User Library");
        f.tree.folder("home/Documents/Ableton/User Library/Remote Scripts/Pylon");
        // One library in two spellings, Live's trailing backslash included; the newer version stays.
        f.addWineLive(".wine", "12.1.5", R"(C:\users\me\Documents\Ableton\)", "User Library");
        f.addWineLive(".wine", "12.0.1", "c:/USERS/ME/documents/ableton", "USER LIBRARY");
        f.addWineLive(".wine", "11.3.13", R"(Q:\Libraries)", "Live");                       // no such drive
        f.addWineLive(".wine", "10.1.30", R"(\\server\share)", "User Library");             // UNC
        f.addWineLive(".wine", "9.7.7", R"(C:\users\me\Documents\Ableton)", "Old Library"); // not there
        f.addWineLive(".wine", "8.0.1", "~/Music", "Lib");                                  // not a Windows path
        f.addWineLive(".wine", "7.0.18");                                                   // no Library.cfg
        const QStringList before = f.tree.snapshot();

        const AbletonSetupManager::Discovery found = f.manager().discover();
        QCOMPARE(found.versions,
                 (QList<AbletonVersion>{
                     record(library, "12", library, library, true, prefix),
                     record("no-library-11", "11", nullopt, R"(Q:\Libraries/Live)", false, prefix),
                     record("no-library-10", "10", nullopt, R"(\\server\share/User Library)", false, prefix),
                     record("no-library-9", "9", nullopt, f.home + "/Documents/Ableton/Old Library", false, prefix),
                     record("no-library-8", "8", nullopt, "~/Music/Lib", false, prefix),
                     record("no-library-7", "7", nullopt, nullopt, false, prefix)}));
        QCOMPARE(found.winePrefixes.size(), 1);
        QCOMPARE(found.winePrefixes[0].path, prefix);
        QCOMPARE(found.preferenceFolders, 7);
        // One place: the design's message, word for word.
        QCOMPARE(f.messages(), QStringList{"Ableton detection: found 1 user libraries\n  Live 12: " + library +
                                           "\n  Live 11: (no library)\n  Live 10: (no library)\n  Live 9: (no "
                                           "library)\n  Live 8: (no library)\n  Live 7: (no library)"});
        QCOMPARE(f.tree.snapshot(), before); // discovery only reads
    }

    void eachSpellingIsMappedAsWineMapsIt() {
        // Wine takes an exact name before another case: two spellings may be two libraries.
        Fixture f;
        const QString prefix = f.prefix(".wine");
        const QString lower = f.tree.folder("home/.wine/drive_c/lib");
        const QString upper = f.tree.folder("home/.wine/drive_c/Lib");
        f.addWineLive(".wine", "11.1.1", R"(C:\)", "LIB"); // neither name: the first in name order
        f.addWineLive(".wine", "12.0.1", R"(C:\)", "Lib");
        f.addWineLive(".wine", "12.1.5", R"(C:\)", "lib");
        QCOMPARE(f.manager().detectAbletonVersions(),
                 (QList<AbletonVersion>{record(upper, "12", upper, upper, false, prefix),
                                        record(lower, "12", lower, lower, false, prefix)}));
    }

    void placesAreNamedOnlyWhenThereIsMoreThanOne() {
        Fixture f;
        const QString music = f.tree.folder("home/Music/Ableton/User Library");
        f.tree.file("home/Library/Preferences/Ableton/Live 12.1.5/Library.cfg",
                    libraryConfig("~/Music/Ableton", "User Library"));
        const QString wine = f.prefix(".wine");
        const QString bottle = f.prefix(".local/share/bottles/bottles/studio");
        const QString documents = f.tree.folder("home/Documents/Ableton/User Library");
        // Both prefixes reach the same Linux folder through their own Documents links: still two records.
        f.addWineLive(".wine", "12.0.5", R"(C:\users\me\Documents\Ableton)", "User Library");
        f.addWineLive(".local/share/bottles/bottles/studio", "12.1.1", R"(C:\users\me\Documents\Ableton)",
                      "User Library");
        f.addWineLive(".local/share/bottles/bottles/studio", "11.3.13");
        const QString wineLabel = "Wine: ~/.wine";
        const QString bottleLabel = "Wine: ~/.local/share/bottles/bottles/studio";

        QCOMPARE(
            f.manager().detectAbletonVersions(),
            (QList<AbletonVersion>{
                record(music + " (macOS layout)", "12", music, music, false, {}, "macOS layout"),
                record(documents + " (" + wineLabel + ")", "12", documents, documents, false, wine, wineLabel),
                record(documents + " (" + bottleLabel + ")", "12", documents, documents, false, bottle, bottleLabel),
                record("no-library-11 (" + bottleLabel + ")", "11", nullopt, nullopt, false, bottle, bottleLabel)}));
        QCOMPARE(f.messages().value(0),
                 "Ableton detection: found 3 user libraries\n  Live 12 (macOS layout): " + music + "\n  Live 12 (" +
                     wineLabel + "): " + documents + "\n  Live 12 (" + bottleLabel + "): " + documents +
                     "\n  Live 11 (" + bottleLabel + "): (no library)");

        // Prefixes without Live do not count as places.
        QVERIFY(QDir(f.home + "/Library").removeRecursively());
        QVERIFY(QDir(bottle + "/drive_c/users/me/AppData").removeRecursively());
        QCOMPARE(f.manager().detectAbletonVersions(),
                 QList<AbletonVersion>{record(documents, "12", documents, documents, false, wine)});
        QCOMPARE(f.messages().value(1), "Ableton detection: found 1 user libraries\n  Live 12: " + documents);
    }

    void linkedPreferenceFoldersAreSkipped() {
        // Live makes its preference folders itself; a link in place of one is not followed, so one Live's
        // preferences linked into a second place do not show as a second Live.
        Fixture f;
        const QString elsewhere = f.tree.file("home/elsewhere/Live 12.1.5/Library.cfg", libraryConfig("/", "tmp"));
        f.tree.link("home/Library/Preferences/Ableton/Live 12.1.5", QFileInfo(elsewhere).path());
        f.tree.folder("home/Library/Preferences/Ableton/Live 11.3.13");
        const QString a = f.prefix(".wine");
        const QString b = f.prefix(".local/share/bottles/bottles/b");
        f.addWineLive(".local/share/bottles/bottles/b", "12.0.1");
        f.tree.link("home/.wine" + roaming + "Live 12.0.1", b + roaming + "Live 12.0.1");
        f.tree.link("home/.wine" + roaming + "Live 10.1.1", QFileInfo(elsewhere).path());

        QCOMPARE(f.manager().scanPreferenceFolders().size(), 1);
        QCOMPARE(findWineLivePreferences(a), QList<WineLivePreferences>());
        const AbletonSetupManager::Discovery found = f.manager().discover();
        QCOMPARE(found.preferenceFolders, 2);
        QCOMPARE(found.versions.size(), 2);
        QCOMPARE(found.versions[0].winePrefix, b);
        QCOMPARE(found.versions[1].id, "no-library-11 (macOS layout)");
    }

    void libraryConfigIsReadOnlyAsARegularFileAtItsSize() {
        FolderTree tree;
        const QString real = tree.file("real.cfg", libraryConfig(R"(C:\Lib)", "User Library"));
        QCOMPARE(readLibraryConfigPath(real), R"(C:\Lib/User Library)");
        QCOMPARE(readLibraryConfigPath(tree.link("linked.cfg", real)), nullopt); // a link is not followed
        // A file whose size says 0 but holds more, as /proc's do: read to its end, within the limit only.
        const std::optional<QByteArray> status = readSmallRegularFile("/proc/self/status", 1 << 20);
        QVERIFY(status && status->contains("Pid:"));
        QCOMPARE(readSmallRegularFile("/proc/self/status", 16), nullopt);
        QCOMPARE(readSmallRegularFile(tree.file("empty"), 0), std::optional<QByteArray>(QByteArray()));
    }

    // Broken and circular links, 500 candidates under Bottles, a library in another prefix's drive: all
    // found or passed over, nothing written; an installation writes into the mapped library only.
    void badInputNeitherStopsDiscoveryNorLeadsWritesElsewhere() {
        Fixture f;
        const QString broken = f.prefix("broken");
        QVERIFY(QFile::remove(broken + "/dosdevices/c:"));
        f.tree.link("home/broken/dosdevices/c:", "../nowhere");
        f.addWineLive("broken", "12.1.5", R"(C:\users\me)", "Lib");
        const QString circles = f.prefix("circles");
        f.tree.link("home/circles/dosdevices/d:", "e:");
        f.tree.link("home/circles/dosdevices/e:", "d:");
        f.tree.link("home/circles/drive_c/users/loop", "loop");
        f.tree.link("home/circles/drive_c/loop", ".");
        f.addWineLive("circles", "11.1.1", R"(D:\)", "Lib");
        f.addWineLive("circles", "10.1.1", R"(C:\loop\loop\loop\users\me\Documents\..\..\..\..\..)", "Lib");
        for (int i = 0; i < 500; ++i) {
            const QString bottle = QString("home/.local/share/bottles/bottles/bottle-%1").arg(i, 3, 10, QChar('0'));
            f.tree.folder(bottle + (i % 2 == 0 ? "/drive_c" : "/dosdevices"));
        }
        const QString a = f.prefix("a");
        const QString b = f.prefix("b");
        const QString shared = f.tree.folder("home/b/drive_c/users/me/Shared Library");
        f.addWineLive("a", "12.1.5", "Z:" + windowsForm(b) + R"(\DRIVE_C\users\me)", "shared library");
        f.addWineLive("b", "12.1.1", R"(C:\users\me)", "Shared Library");
        const QStringList added{broken, circles, a, b};
        const QStringList before = f.tree.snapshot();

        const AbletonSetupManager::Discovery found = f.manager(added).discover();
        QCOMPARE(found.winePrefixes.size(), 250 + 4);
        QCOMPARE(found.preferenceFolders, 5);
        QStringList rows;
        for (const AbletonVersion& v : found.versions)
            rows << v.id + " | " + v.expectedUserLibraryPath.value_or("-");
        QCOMPARE(rows, (QStringList{"no-library-12 (Wine: ~/broken) | " + QString(R"(C:\users\me/Lib)"),
                                    shared + " (Wine: ~/a) | " + shared, shared + " (Wine: ~/b) | " + shared,
                                    "no-library-11 (Wine: ~/circles) | " + QString(R"(D:\/Lib)"),
                                    "no-library-10 (Wine: ~/circles) | " + circles + "/drive_c/Lib"}));
        QCOMPARE(f.tree.snapshot(), before);

        // Installing for prefix a writes into the library it maps to (in b's drive) and nowhere else.
        QCOMPARE(installFailure(f.manager(added), found.versions[1]), QString());
        QVERIFY(QFileInfo::exists(shared + "/Remote Scripts/Pylon/__init__.py"));
        QCOMPARE(changesOutside(before, f.tree.snapshot(), {shared, f.staging}), QStringList());
    }

    void prefixOnAReadOnlyFileSystemIsReadButNotWritten() {
        Fixture f;
        const QString prefix = f.tree.prefix("home/ro");
        const QString inside = f.tree.folder("home/ro/drive_c/users/me/Documents/Ableton/User Library");
        f.tree.file("home/ro/drive_c/users/me/Documents/Ableton/User Library/Remote Scripts/Pylon/__init__.py", "old");
        const QString outside = f.tree.folder("home/Music/Live 11 Library");
        f.tree.file("home/ro" + roaming + "Live 12.1.5/Preferences/Library.cfg",
                    libraryConfig(R"(C:\users\me\Documents\Ableton)", "User Library"));
        f.tree.file("home/ro" + roaming + "Live 11.3.13/Preferences/Library.cfg",
                    libraryConfig("Z:" + windowsForm(f.home) + R"(\Music)", "Live 11 Library"));
        QVERIFY(mountReadOnly(prefix));
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(prefix).constData(), MNT_DETACH); });
        QVERIFY(::access(QFile::encodeName(inside).constData(), W_OK) != 0 && errno == EROFS);
        const QStringList before = f.tree.snapshot();

        const QList<AbletonVersion> versions = f.manager({"~/ro"}).detectAbletonVersions();
        QCOMPARE(versions, (QList<AbletonVersion>{record(inside, "12", inside, inside, true, prefix),
                                                  record(outside, "11", outside, outside, false, prefix)}));
        const QString failure = installFailure(f.manager(), versions[0]);
        QVERIFY2(failure.contains(inside) && failure.contains("Read-only file system"), qPrintable(failure));
        QCOMPARE(changesOutside(before, f.tree.snapshot(), {f.staging}), QStringList());
        QCOMPARE(installFailure(f.manager(), versions[1]), QString());
        QVERIFY(QFileInfo::exists(outside + "/Remote Scripts/Pylon/__init__.py"));
    }
};

QTEST_GUILESS_MAIN(WineDiscoveryTest)
#include "tst_winediscovery.moc"
