#include "PlatformTest.h"
#include "TemporaryHome.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

const QString domain = QStringLiteral("net.ostrand.Pylon");
const QString versionKey = QStringLiteral("PylonRemoteScript.installedAppVersion");
const QString cacheKey = QStringLiteral("cachedAppState");
const QString listKey = QStringLiteral("recentLibraries");
const QString awkwardText = QStringLiteral("Zoë ✓ = ; # \"quoted\" \\ @ByteArray(x) \n end");
const QByteArray binary("\x00\xff{\"ableton\":\x01}\n", 16);
const QStringList list{QStringLiteral("/Users/a/Music/Ableton/User Library"), QStringLiteral("b,c")};

QString commandOutput(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished() || process.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

// User defaults

void PlatformTest::valuesReadBackInTheSameAndAReopenedInstance() {
    TemporaryHome home;
    {
        UserDefaults defaults(domain);
        QCOMPARE(defaults.domain(), domain);
        QCOMPARE(defaults.filePath(), home.configHome() + QStringLiteral("/net.ostrand.Pylon.conf"));
        defaults.setString(versionKey, awkwardText);
        defaults.setData(cacheKey, binary);
        defaults.setValue(listKey, list);
        QCOMPARE(defaults.string(versionKey), awkwardText);
        QCOMPARE(defaults.data(cacheKey), binary);
        QCOMPARE(defaults.value(listKey), QVariant(list));
        QVERIFY(defaults.synchronize());
        QVERIFY(QFileInfo::exists(defaults.filePath()));
    }
    const UserDefaults reopened(domain);
    QCOMPARE(reopened.string(versionKey), awkwardText);
    QCOMPARE(reopened.data(cacheKey), binary);
    QCOMPARE(reopened.value(listKey)->toStringList(), list);

    // An explicit folder holds its own file.
    const QString folder = home.path() + QStringLiteral("/elsewhere");
    UserDefaults placed(domain, folder);
    QCOMPARE(placed.filePath(), folder + QStringLiteral("/net.ostrand.Pylon.conf"));
    QCOMPARE(placed.string(versionKey), std::nullopt);
    placed.setString(versionKey, QStringLiteral("2.1.0-57"));
    QVERIFY(placed.synchronize());
    QCOMPARE(UserDefaults(domain, folder).string(versionKey), QStringLiteral("2.1.0-57"));
    QCOMPARE(UserDefaults(domain).string(versionKey), awkwardText);
}

void PlatformTest::readingAValueAsTheWrongKindGivesNothing() {
    TemporaryHome home;
    {
        UserDefaults defaults(domain);
        defaults.setString(cacheKey, QStringLiteral("{\"ableton\":{}}"));
        defaults.setString(QStringLiteral("marker"), QStringLiteral("@ByteArray(abc)"));
        defaults.setData(versionKey, QByteArray("1.0.0-1"));
        QCOMPARE(defaults.data(cacheKey), std::nullopt);
        QCOMPARE(defaults.data(QStringLiteral("marker")), std::nullopt);
        QCOMPARE(defaults.string(versionKey), std::nullopt);
        QCOMPARE(defaults.string(QStringLiteral("missing")), std::nullopt);
        QCOMPARE(defaults.data(QStringLiteral("missing")), std::nullopt);
        QCOMPARE(defaults.value(QStringLiteral("missing")), std::nullopt);
    }
    const UserDefaults reopened(domain);
    QCOMPARE(reopened.data(cacheKey), std::nullopt);
    QCOMPARE(reopened.string(QStringLiteral("marker")), QStringLiteral("@ByteArray(abc)"));
    QCOMPARE(reopened.data(QStringLiteral("marker")), std::nullopt);
    QCOMPARE(reopened.string(versionKey), std::nullopt);
    QCOMPARE(reopened.data(versionKey), QByteArray("1.0.0-1"));
}

void PlatformTest::removedKeyIsGone() {
    TemporaryHome home;
    {
        UserDefaults defaults(domain);
        defaults.setString(versionKey, QStringLiteral("1.0.0-1"));
        defaults.setData(cacheKey, binary);
        QVERIFY(defaults.synchronize());
        defaults.remove(versionKey);
        QCOMPARE(defaults.string(versionKey), std::nullopt);
        QCOMPARE(defaults.value(versionKey), std::nullopt);
        defaults.remove(QStringLiteral("never set"));
    }
    const UserDefaults reopened(domain);
    QCOMPARE(reopened.string(versionKey), std::nullopt);
    QCOMPARE(reopened.data(cacheKey), binary);
}

void PlatformTest::removingTheDomainRemovesItsFileAndEveryKey() {
    TemporaryHome home;
    UserDefaults other(QStringLiteral("net.ostrand.Pylon-Dev"));
    other.setString(versionKey, QStringLiteral("kept"));
    QVERIFY(other.synchronize());

    UserDefaults defaults(domain);
    defaults.setString(versionKey, QStringLiteral("1.0.0-1"));
    defaults.setData(cacheKey, binary);
    QVERIFY(defaults.synchronize());
    QVERIFY(QFileInfo::exists(defaults.filePath()));

    defaults.removePersistentDomain();
    QVERIFY(!QFileInfo::exists(defaults.filePath()));
    QCOMPARE(defaults.value(versionKey), std::nullopt);
    QCOMPARE(defaults.value(cacheKey), std::nullopt);
    QCOMPARE(UserDefaults(domain).value(cacheKey), std::nullopt);
    QCOMPARE(UserDefaults(QStringLiteral("net.ostrand.Pylon-Dev")).string(versionKey), QStringLiteral("kept"));

    // The domain stays usable afterwards.
    defaults.setString(versionKey, QStringLiteral("2.0.0-1"));
    QVERIFY(defaults.synchronize());
    QCOMPARE(UserDefaults(domain).string(versionKey), QStringLiteral("2.0.0-1"));
}

void PlatformTest::synchronizeReportsAnUnwritableFile() {
    TemporaryHome home;
    // A regular file where the folder should be: no folder can be made there, not even by root.
    const QString blocker = home.writeFile(QStringLiteral("blocker"), "x");
    UserDefaults defaults(domain, blocker + QStringLiteral("/config"));
    defaults.setString(versionKey, QStringLiteral("1.0.0-1"));
    QVERIFY(!defaults.synchronize());
}

// System facts

void PlatformTest::xdgHomesHonourOnlyAbsoluteValues_data() {
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");    // "<unset>" leaves the variable unset
    QTest::addColumn<QString>("expected"); // "~" stands for the home folder
    const struct {
        const char* variable;
        const char* fallback;
    } homes[] = {
        {"XDG_DATA_HOME", "~/.local/share"},
        {"XDG_STATE_HOME", "~/.local/state"},
        {"XDG_CACHE_HOME", "~/.cache"},
        {"XDG_CONFIG_HOME", "~/.config"},
    };
    for (const auto& home : homes) {
        const QString variable = QString::fromLatin1(home.variable);
        const QString fallback = QString::fromLatin1(home.fallback);
        QTest::addRow("%s absolute", home.variable)
            << variable << QStringLiteral("/srv/xdg/here") << QStringLiteral("/srv/xdg/here");
        QTest::addRow("%s absolute, untidy", home.variable)
            << variable << QStringLiteral("/srv//xdg/./a/../here/") << QStringLiteral("/srv/xdg/here");
        QTest::addRow("%s relative", home.variable) << variable << QStringLiteral("relative/dir") << fallback;
        QTest::addRow("%s dot-relative", home.variable) << variable << QStringLiteral("./dir") << fallback;
        QTest::addRow("%s empty", home.variable) << variable << QString() << fallback;
        QTest::addRow("%s unset", home.variable) << variable << QStringLiteral("<unset>") << fallback;
    }
}

void PlatformTest::xdgHomesHonourOnlyAbsoluteValues() {
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    TemporaryHome home;
    // The other homes are set to decoys, so a function reading the wrong variable shows.
    for (const char* other : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        qputenv(other, QByteArray("/decoy/") + other);
    if (value == QLatin1String("<unset>"))
        qunsetenv(variable.toLatin1().constData());
    else
        qputenv(variable.toLatin1().constData(), value.toUtf8());

    QString actual;
    if (variable == QLatin1String("XDG_DATA_HOME"))
        actual = SystemInfo::dataHome();
    else if (variable == QLatin1String("XDG_STATE_HOME"))
        actual = SystemInfo::stateHome();
    else if (variable == QLatin1String("XDG_CACHE_HOME"))
        actual = SystemInfo::cacheHome();
    else
        actual = SystemInfo::configHome();
    QCOMPARE(actual, expected.replace(QLatin1Char('~'), home.path()));
}

void PlatformTest::homeDirectoryIsHome() {
    TemporaryHome home;
    QCOMPARE(SystemInfo::homeDirectory(), home.path());
    QCOMPARE(SystemInfo::dataHome(), home.dataHome());
    QCOMPARE(SystemInfo::stateHome(), home.stateHome());
    QCOMPARE(SystemInfo::cacheHome(), home.cacheHome());
    QCOMPARE(SystemInfo::configHome(), home.configHome());
}

void PlatformTest::kernelFactsMatchUname() {
    const QString machine = commandOutput(QStringLiteral("uname"), {QStringLiteral("-m")});
    QVERIFY(!machine.isEmpty());
    QCOMPARE(SystemInfo::machineArchitecture(), machine);
    const QString release = commandOutput(QStringLiteral("uname"), {QStringLiteral("-r")});
    QVERIFY(!release.isEmpty());
    QCOMPARE(SystemInfo::kernelRelease(), release);
}

void PlatformTest::currentExecutableIsThisProgram() {
    QCOMPARE(SystemInfo::currentExecutablePath(),
             QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}
