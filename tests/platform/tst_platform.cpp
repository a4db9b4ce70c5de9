#include "PosixFiles.h"
#include "TemporaryHome.h"
#include "TestBundle.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <sys/stat.h>

using namespace pylon;
using namespace pylon::test;

namespace {

QByteArray plist(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">" +
           body + "</plist>\n";
}

// Equal values of equal types, all the way down (QVariant's own == converts numbers); dates in UTC.
bool sameTyped(const QVariant& actual, const QVariant& expected) {
    if (actual.typeId() != expected.typeId())
        return false;
    if (expected.typeId() == QMetaType::QVariantMap)
        return actual.toMap().keys() == expected.toMap().keys() &&
               sameTyped(QVariant(actual.toMap().values()), QVariant(expected.toMap().values()));
    if (expected.typeId() == QMetaType::QVariantList) {
        const QVariantList a = actual.toList(), e = expected.toList();
        return a.size() == e.size() && std::equal(a.begin(), a.end(), e.begin(), sameTyped);
    }
    return actual == expected &&
           (expected.typeId() != QMetaType::QDateTime || actual.toDateTime().timeSpec() == Qt::UTC);
}

const QDateTime sampleDate(QDate(2024, 3, 5), QTime(10, 20, 30), Qt::UTC);
const QString domain = "net.ostrand.Pylon";
const QString versionKey = "PylonRemoteScript.installedAppVersion";
const QByteArray binary("\x00\xff{\"ableton\":\x01}\n", 16);

} // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    // Property lists

    void parseKeepsEachValueTypeAndSerializedValuesParseBack() {
        const QByteArray document =
            plist("<dict><key>k&amp;&lt;</key><array><string>Pylon &amp; Live &lt;12&gt; Zo\xc3\xab</string>"
                  "<string> \n 1.0\t </string><string></string><string>57</string></array>"
                  "<key>integers</key><array><integer>\n  57\n</integer><integer>-9223372036854775808</integer>"
                  "<integer>9223372036854775807</integer></array><key>others</key><array><real>2.5</real><real>3</real>"
                  "<true/><false/><date>2024-03-05T10:20:30Z</date><date>2024-03-05T12:20:30+02:00</date>"
                  "<data>\n\tAAEC\n\t/w==\n</data><dict><key>n</key><integer>1</integer></dict><array/><dict/>"
                  "</array></dict>");
        const QVariantMap expected{
            {"k&<", QVariantList{"Pylon & Live <12> Zo\u00eb", " \n 1.0\t ", QString(), "57"}},
            {"integers",
             QVariantList{qint64(57), std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()}},
            {"others", QVariantList{2.5, 3.0, true, false, sampleDate, sampleDate, QByteArray("\x00\x01\x02\xff", 4),
                                    QVariantMap{{"n", qint64(1)}}, QVariantList{}, QVariantMap{}}}};
        QVERIFY(sameTyped(PropertyList::parse(document).value_or(QVariant()), expected));
        const QByteArray serialized = PropertyList::serialize(expected);
        QVERIFY2(sameTyped(PropertyList::parse(serialized).value_or(QVariant()), expected), serialized.constData());
    }

    void parseRefusesMalformedDocuments_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not XML") << QByteArray("CFBundleIdentifier = net.ostrand.Pylon");
        QTest::newRow("no plist root") << QByteArray("<dict><key>a</key><string>x</string></dict>");
        QTest::newRow("key without value") << plist("<dict><key>a</key><string>x</string><key>b</key></dict>");
        QTest::newRow("unknown element") << plist("<array><string>a</string><uid>1</uid></array>");
        QTest::newRow("fractional integer") << plist("<integer>1.5</integer>");
        QTest::newRow("integer beyond 64 bits") << plist("<integer>9223372036854775808</integer>");
        QTest::newRow("bad date") << plist("<date>yesterday</date>");
        QTest::newRow("bad value deep inside")
            << plist("<dict><key>a</key><array><dict><key>b</key><integer>x</integer></dict></array></dict>");
        QTest::newRow("100000 nested arrays")
            << plist(QByteArray("<array>").repeated(100000) + QByteArray("</array>").repeated(100000));
    }
    void parseRefusesMalformedDocuments() {
        QFETCH(QByteArray, document);
        QCOMPARE(PropertyList::parse(document), std::nullopt);
    }

    // Bundles

    void bundlePathIsFoundFromTheExecutable() {
        TemporaryHome home;
        const QString nested = "Pylon.app/Contents/Helpers/x86_64/Pylon Companion.app";
        const QStringList executables{"Pylon.app/Contents/MacOS/Pylon", nested + "/Contents/MacOS/Pylon Companion",
                                      "bin/pylon", "Loose/MacOS/tool"};
        const QStringList bundles{"Pylon.app", nested, "bin", "Loose/MacOS"};
        for (qsizetype i = 0; i < executables.size(); ++i)
            QCOMPARE(Bundle::bundlePathForExecutable(home.writeFile(executables[i], "#!/bin/sh\n")),
                     home.path() + '/' + bundles[i]);
    }

    void bundleReadsIdentifierTypedInfoAndResources() {
        TemporaryHome home;
        QVariantMap info = bundleInfo("net.ostrand.Pylon-Dev", "2.1.0", QString());
        info.insert("CFBundleVersion", qint64(57));
        const QString path = makeBundle(home.path(), "Pylon-Dev", info);
        home.writeFile("Pylon-Dev.app/Contents/Resources/Pylon.zip", "PK");
        home.writeFile("Pylon-Dev.app/Contents/Resources/LICENSE", "text");

        const Bundle bundle = Bundle::atPath(path + "/");
        QCOMPARE(bundle.bundlePath(), path);
        QCOMPARE(bundle.identifier(), "net.ostrand.Pylon-Dev");
        QVERIFY(bundle.infoDictionary() && sameTyped(*bundle.infoDictionary(), info));
        QVERIFY(sameTyped(bundle.infoValue("CFBundleVersion").value_or(QVariant()), qint64(57))); // not a string
        // An identifier must be a non-empty string.
        for (const QVariant& identifier : {QVariant(QString()), QVariant(qint64(1))})
            QCOMPARE(
                Bundle::atPath(makeBundle(home.path(), "Other", {{"CFBundleIdentifier", identifier}})).identifier(),
                std::nullopt);
        const QString resources = path + "/Contents/Resources/";
        QCOMPARE(bundle.resourcePath("Pylon", "zip"), resources + "Pylon.zip");
        QCOMPARE(bundle.resourcePath("LICENSE", QString()), resources + "LICENSE");
        QCOMPARE(bundle.resourcePath("Pylon", "tar"), std::nullopt);
        QCOMPARE(bundle.resourcePath("Pylon", QString()), std::nullopt);
    }

    void unreadableInfoPlistMeansNoIdentifierAndNoInfo_data() {
        QTest::addColumn<QByteArray>("infoPlist"); // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("garbage") << QByteArrayLiteral("\x00\xff\xfe not a property list");
        QTest::newRow("array root") << plist("<array><string>net.ostrand.Pylon</string></array>");
        QTest::newRow("bad value") << plist("<dict><key>CFBundleIdentifier</key><string>net.ostrand.Pylon</string>"
                                            "<key>CFBundleVersion</key><integer>one</integer></dict>");
    }
    void unreadableInfoPlistMeansNoIdentifierAndNoInfo() {
        QFETCH(QByteArray, infoPlist);
        TemporaryHome home;
        const QString path = makeBundleWithInfoText(home.path(), "Pylon", infoPlist);
        home.writeFile("Pylon.app/Contents/Resources/Pylon.zip", "PK");
        const Bundle bundle = Bundle::atPath(path);
        QCOMPARE(bundle.identifier(), std::nullopt);
        QCOMPARE(bundle.infoDictionary(), std::nullopt);
        QCOMPARE(bundle.resourcePath("Pylon", "zip"), path + "/Contents/Resources/Pylon.zip");
    }

    // User defaults

    void valuesReadBackOfTheirOwnKindInTheSameAndAReopenedInstance() {
        TemporaryHome home;
        const QString awkward = "Zo\u00eb = ; # \"quoted\" \\ @ByteArray(x) \n end";
        {
            UserDefaults defaults(domain);
            QCOMPARE(defaults.filePath(), home.configHome() + "/net.ostrand.Pylon.conf");
            defaults.setString(versionKey, awkward);
            defaults.setData("cachedAppState", binary);
            defaults.setString("marker", "@ByteArray(abc)");
            QCOMPARE(defaults.string(versionKey), awkward);
            QCOMPARE(defaults.data(versionKey), std::nullopt);
            QVERIFY(defaults.synchronize());
        }
        const UserDefaults reopened(domain);
        QCOMPARE(reopened.string(versionKey), awkward);
        QCOMPARE(reopened.data("cachedAppState"), binary);
        QCOMPARE(reopened.string("marker"), "@ByteArray(abc)");
        // Read as the wrong kind, a value gives nothing.
        QCOMPARE(reopened.data("marker"), std::nullopt);
        QCOMPARE(reopened.data(versionKey), std::nullopt);
        QCOMPARE(reopened.string("cachedAppState"), std::nullopt);
        QCOMPARE(reopened.value("missing"), std::nullopt);

        // An explicit folder holds its own file.
        UserDefaults placed(domain, home.path() + "/elsewhere");
        placed.setString(versionKey, "2.1.0-57");
        QVERIFY(placed.synchronize());
        QCOMPARE(UserDefaults(domain, home.path() + "/elsewhere").string(versionKey), "2.1.0-57");
        QCOMPARE(UserDefaults(domain).string(versionKey), awkward);
    }

    void removingAKeyOrTheDomainAndFailingToWrite() {
        TemporaryHome home;
        UserDefaults other("net.ostrand.Pylon-Dev");
        other.setString(versionKey, "kept");
        UserDefaults defaults(domain);
        defaults.setString(versionKey, "1.0.0-1");
        defaults.setData("cachedAppState", binary);
        QVERIFY(other.synchronize() && defaults.synchronize());
        defaults.remove(versionKey);
        QCOMPARE(UserDefaults(domain).value(versionKey), std::nullopt);
        QCOMPARE(UserDefaults(domain).data("cachedAppState"), binary);

        defaults.removePersistentDomain();
        QVERIFY(!QFileInfo::exists(defaults.filePath()));
        QCOMPARE(defaults.value("cachedAppState"), std::nullopt);
        QCOMPARE(UserDefaults("net.ostrand.Pylon-Dev").string(versionKey), "kept");
        defaults.setString(versionKey, "2.0.0-1"); // the domain stays usable
        QVERIFY(defaults.synchronize());
        QCOMPARE(UserDefaults(domain).string(versionKey), "2.0.0-1");

        // A regular file where the folder should be: no folder can be made there, not even by root.
        UserDefaults unwritable(domain, home.writeFile("blocker", "x") + "/config");
        unwritable.setString(versionKey, "1.0.0-1");
        QVERIFY(!unwritable.synchronize());
    }

    // The settings hold host names and addresses: the file is 0600 and its folder 0700, from the
    // first write on and after every rewrite; an older world-readable file and folder are closed.
    void settingsFileAndFolderArePrivate() {
        TemporaryHome home;
        const mode_t savedMask = ::umask(022); // what most sessions have
        auto restoreMask = qScopeGuard([&] { ::umask(savedMask); });
        {
            UserDefaults defaults(domain);
            QCOMPARE(modeOf(defaults.filePath()), -1); // nothing is written before a value is
            defaults.setData("cachedAppState", binary);
            QVERIFY(defaults.synchronize());
            QCOMPARE(modeOf(defaults.filePath()), 0600);
            QCOMPARE(modeOf(home.configHome()), 0700);
            for (int i = 0; i < 3; ++i) { // QSettings writes a new file and renames it over the old
                defaults.setString(versionKey, QString::number(i));
                QVERIFY(defaults.synchronize());
                QCOMPARE(modeOf(defaults.filePath()), 0600);
            }
            defaults.removePersistentDomain();
            defaults.setString(versionKey, "again");
            QVERIFY(defaults.synchronize());
            QCOMPARE(modeOf(defaults.filePath()), 0600);
        }
        // Left 0644 in a 0755 folder by an earlier version: private as soon as it is opened.
        QVERIFY(::chmod(QFile::encodeName(home.configHome() + "/net.ostrand.Pylon.conf").constData(), 0644) == 0);
        QVERIFY(::chmod(QFile::encodeName(home.configHome()).constData(), 0755) == 0);
        const UserDefaults reopened(domain);
        QCOMPARE(reopened.string(versionKey), "again");
        QCOMPARE(modeOf(reopened.filePath()), 0600);
        QCOMPARE(modeOf(home.configHome()), 0700);
    }

    // What lives only while the program runs goes to XDG_RUNTIME_DIR when it is a private folder
    // of this user, else to the cache home; never to the shared temporary folder.
    void privateRuntimeFolderIsTheUsersOwn() {
        TemporaryHome home;
        auto restore = qScopeGuard([] { qunsetenv("XDG_RUNTIME_DIR"); });
        const QString runtime = home.path() + "/run";
        QVERIFY(QDir().mkpath(runtime));
        const QString fallback = home.cacheHome() + "/net.ostrand.Pylon/runtime";
        const std::pair<mode_t, QString> rows[] = {{0700, runtime + "/net.ostrand.Pylon"}, {0755, fallback},
                                                   {0701, fallback}, {0777, fallback}};
        for (const auto& [permissions, expected] : rows) {
            QVERIFY(::chmod(QFile::encodeName(runtime).constData(), permissions) == 0);
            qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
            QCOMPARE(SystemInfo::privateRuntimeFolder("net.ostrand.Pylon"), expected);
        }
        QVERIFY(::chmod(QFile::encodeName(runtime).constData(), 0700) == 0);
        const QByteArray unusables[] = {QByteArray("relative/run"), QByteArray(), (runtime + "/missing").toLocal8Bit(),
                                        home.writeFile("a-file", "x").toLocal8Bit()};
        for (const QByteArray& unusable : unusables) {
            qputenv("XDG_RUNTIME_DIR", unusable);
            QCOMPARE(SystemInfo::privateRuntimeFolder("net.ostrand.Pylon"), fallback);
        }
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(SystemInfo::privateRuntimeFolder("net.ostrand.Pylon-Dev"),
                 home.cacheHome() + "/net.ostrand.Pylon-Dev/runtime");
    }

    // System facts

    void xdgHomesHonourOnlyAbsoluteValues() {
        TemporaryHome home;
        using Home = std::tuple<const char*, QString (*)(), const char*>;
        const QList<Home> homes{{"XDG_DATA_HOME", SystemInfo::dataHome, "/.local/share"},
                                {"XDG_STATE_HOME", SystemInfo::stateHome, "/.local/state"},
                                {"XDG_CACHE_HOME", SystemInfo::cacheHome, "/.cache"},
                                {"XDG_CONFIG_HOME", SystemInfo::configHome, "/.config"}};
        for (const auto& [variable, read, fallback] : homes) {
            // The other homes are set to decoys, so a function reading the wrong variable shows.
            for (const auto& other : homes)
                qputenv(std::get<0>(other), QByteArray("/decoy/") + std::get<0>(other));
            for (const char* value :
                 std::initializer_list<const char*>{"/srv//xdg/./a/../here/", "relative/dir", "", nullptr}) {
                if (value)
                    qputenv(variable, value);
                else
                    qunsetenv(variable);
                const QString expected = value && value[0] == '/' ? "/srv/xdg/here" : home.path() + fallback;
                QVERIFY2(read() == expected, qPrintable(QString(variable) + '=' + value + ": " + read()));
            }
        }
        QCOMPARE(SystemInfo::homeDirectory(), home.path());
    }

    void kernelFactsMatchUnameAndTheExecutableIsThisProgram() {
        QProcess uname;
        uname.start("uname", {"-r", "-m"}); // prints the release, then the machine
        QVERIFY(uname.waitForFinished() && uname.exitCode() == 0);
        QCOMPARE(QString::fromLocal8Bit(uname.readAllStandardOutput()).trimmed(),
                 SystemInfo::kernelRelease() + ' ' + SystemInfo::machineArchitecture());
        QCOMPARE(SystemInfo::currentExecutablePath(),
                 QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
