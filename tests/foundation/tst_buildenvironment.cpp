#include "TemporaryHome.h"
#include "TestBundle.h"
#include "foundation/BuildEnvironment.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

namespace {

const QString dataHome = "/home/someone/.local/share";

// Every mode-dependent member as "name=value", as the two mode tables give them.
QStringList expectedMembers(bool dev, const QString& machine) {
    const QString logs = dataHome + (dev ? "/Pylon-Dev/logs" : "/Pylon/logs");
    return {"isDevelopment=" + QString::number(dev),
            QString("modeName=") + (dev ? "development" : "production"),
            QString("companionLabel=") + (dev ? "net.ostrand.PylonCompanion-Dev" : "net.ostrand.PylonCompanion"),
            QString("companionPort=") + (dev ? "47250" : "47150"),
            QString("launchAgentPlistName=") + (dev ? "PylonCompanion-Dev-" : "PylonCompanion-") + machine + ".plist",
            QString("companionDisplayName=") + (dev ? "Pylon Companion-Dev" : "Pylon Companion"),
            QString("appDisplayName=") + (dev ? "Pylon-Dev" : "Pylon"),
            QString("appSupportFolderName=") + (dev ? "Pylon-Dev" : "Pylon"),
            QString("urlScheme=") + (dev ? "pylon-dev" : "pylon"),
            "machineArchitecture=" + machine,
            "logDirectory=" + logs,
            "menubarLogFile=" + logs + "/pylon-menubar.log",
            "companionLogFile=" + logs + "/pylon-companion.log"};
}

QStringList actualMembers(const BuildEnvironment& e) {
    return {"isDevelopment=" + QString::number(e.isDevelopment()),
            "modeName=" + e.modeName(),
            "companionLabel=" + e.companionLabel(),
            "companionPort=" + QString::number(e.companionPort()),
            "launchAgentPlistName=" + e.launchAgentPlistName(),
            "companionDisplayName=" + e.companionDisplayName(),
            "appDisplayName=" + e.appDisplayName(),
            "appSupportFolderName=" + e.appSupportFolderName(),
            "urlScheme=" + e.urlScheme(),
            "machineArchitecture=" + e.machineArchitecture(),
            "logDirectory=" + e.logDirectory(),
            "menubarLogFile=" + e.menubarLogFile(),
            "companionLogFile=" + e.companionLogFile()};
}

// An environment from a bundle with these info entries (an invalid QVariant leaves the key out).
BuildEnvironment environmentFor(const QTemporaryDir& dir, const QVariant& identifier, const QVariant& shortVersion,
                                const QVariant& build, const QString& machine = "arm64") {
    QVariantMap info{{"CFBundleName", "Pylon"},
                     {"CFBundleIdentifier", identifier},
                     {"CFBundleShortVersionString", shortVersion},
                     {"CFBundleVersion", build}};
    info.removeIf([](const auto& entry) { return !entry.value().isValid(); });
    return BuildEnvironment(Bundle::atPath(makeBundle(dir.path(), "Pylon", info)).facts(), machine, dataHome);
}

} // namespace

class BuildEnvironmentTest : public QObject {
    Q_OBJECT

private slots:
    void everyMemberFollowsTheIdentifierSuffix_data() {
        QTest::addColumn<QVariant>("identifier"); // invalid: no CFBundleIdentifier entry
        QTest::addColumn<QString>("expectedIdentifier");
        QTest::addColumn<bool>("development");
        const QString fallback = "net.ostrand.Pylon";
        QTest::newRow("production") << QVariant(fallback) << fallback << false;
        QTest::newRow("-Dev") << QVariant("net.ostrand.Pylon-Dev") << "net.ostrand.Pylon-Dev" << true;
        QTest::newRow("-dev in lower case") << QVariant("net.ostrand.Pylon-dev") << "net.ostrand.Pylon-dev" << false;
        QTest::newRow("-Dev not at the end")
            << QVariant("net.ostrand.Pylon-Dev.beta") << "net.ostrand.Pylon-Dev.beta" << false;
        QTest::newRow("missing identifier") << QVariant() << fallback << false;
        QTest::newRow("numeric identifier") << QVariant(qint64(7)) << fallback << false;
    }
    void everyMemberFollowsTheIdentifierSuffix() {
        QFETCH(QVariant, identifier);
        QFETCH(QString, expectedIdentifier);
        QFETCH(bool, development);
        QTemporaryDir dir;
        const BuildEnvironment environment = environmentFor(dir, identifier, "1.0.0", "1", "x86_64");
        QCOMPARE(environment.bundleIdentifier(), expectedIdentifier);
        QCOMPARE(actualMembers(environment), expectedMembers(development, "x86_64"));
    }

    void missingBundleIsProductionAtVersionZero() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Absent.app");
        const BuildEnvironment environment(Bundle::atPath(path).facts(), "arm64", dataHome);
        QCOMPARE(environment.bundleIdentifier(), "net.ostrand.Pylon");
        QCOMPARE(actualMembers(environment), expectedMembers(false, "arm64"));
        QCOMPARE(environment.appVersion(), "0-0");
        QCOMPARE(environment.bundlePath(), path);
    }

    void appVersionJoinsTheStringHalves_data() {
        QTest::addColumn<QVariant>("shortVersion"); // invalid: entry missing
        QTest::addColumn<QVariant>("build");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both strings") << QVariant("2.1.0") << QVariant("57") << "2.1.0-57";
        QTest::newRow("build missing") << QVariant("2.1.0") << QVariant() << "2.1.0-0";
        QTest::newRow("integer build") << QVariant("2.1.0") << QVariant(qint64(57)) << "2.1.0-0";
        QTest::newRow("short version not a string") << QVariant(2.1) << QVariant("57") << "0-57";
        QTest::newRow("both missing") << QVariant() << QVariant() << "0-0";
    }
    void appVersionJoinsTheStringHalves() {
        QFETCH(QVariant, shortVersion);
        QFETCH(QVariant, build);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QCOMPARE(environmentFor(dir, "net.ostrand.Pylon", shortVersion, build).appVersion(), expected);
    }

    // The bundles of the build tree

    void builtBundleInfoPlistNamesItsMode_data() { builtBundleRows(); }
    void builtBundleInfoPlistNamesItsMode() {
        QFETCH(QString, bundleName);
        QFETCH(QString, identifier);
        const QVariantMap info =
            PropertyList::parseFile(builtBundle(bundleName) + "/Contents/Info.plist").value_or(QVariant()).toMap();
        QCOMPARE(info.value("CFBundleIdentifier"), QVariant(identifier));
        QCOMPARE(info.value("CFBundleName"), QVariant(bundleName));
        for (const char* key : {"CFBundleShortVersionString", "CFBundleVersion"})
            QVERIFY2(info.value(key).typeId() == QMetaType::QString && !info.value(key).toString().isEmpty(), key);
        QVERIFY(QFileInfo(builtBundle(bundleName) + "/Contents/Resources").isDir());
    }

};

QTEST_GUILESS_MAIN(BuildEnvironmentTest)
#include "tst_buildenvironment.moc"
