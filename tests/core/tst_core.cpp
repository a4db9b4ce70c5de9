#include "TemporaryHome.h"
#include "TestBundle.h"
#include "core/BuildEnvironment.h"
#include "core/CommandLine.h"
#include "platform/Bundle.h"
#include "platform/PropertyList.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace pylon;
using namespace pylon::test;

Q_DECLARE_METATYPE(pylon::CommandLine::Action)

namespace {

const QString dataHome = QStringLiteral("/home/someone/.local/share");

// Every mode-dependent member, as the two mode tables give them.
QMap<QString, QVariant> expectedMembers(bool development, const QString& machine) {
    const QString folder = development ? QStringLiteral("Pylon-Dev") : QStringLiteral("Pylon");
    const QString logs = dataHome + QLatin1Char('/') + folder + QStringLiteral("/logs");
    return {
        {QStringLiteral("isDevelopment"), development},
        {QStringLiteral("modeName"), development ? QStringLiteral("development") : QStringLiteral("production")},
        {QStringLiteral("companionLabel"),
         development ? QStringLiteral("net.ostrand.PylonCompanion-Dev") : QStringLiteral("net.ostrand.PylonCompanion")},
        {QStringLiteral("companionPort"), development ? 47250 : 47150},
        {QStringLiteral("launchAgentPlistName"),
         (development ? QStringLiteral("PylonCompanion-Dev-") : QStringLiteral("PylonCompanion-")) + machine +
             QStringLiteral(".plist")},
        {QStringLiteral("companionDisplayName"),
         development ? QStringLiteral("Pylon Companion-Dev") : QStringLiteral("Pylon Companion")},
        {QStringLiteral("appDisplayName"), development ? QStringLiteral("Pylon-Dev") : QStringLiteral("Pylon")},
        {QStringLiteral("appSupportFolderName"), folder},
        {QStringLiteral("urlScheme"), development ? QStringLiteral("pylon-dev") : QStringLiteral("pylon")},
        {QStringLiteral("machineArchitecture"), machine},
        {QStringLiteral("logDirectory"), logs},
        {QStringLiteral("menubarLogFile"), logs + QStringLiteral("/pylon-menubar.log")},
        {QStringLiteral("companionLogFile"), logs + QStringLiteral("/pylon-companion.log")},
    };
}

QMap<QString, QVariant> actualMembers(const BuildEnvironment& environment) {
    return {
        {QStringLiteral("isDevelopment"), environment.isDevelopment()},
        {QStringLiteral("modeName"), environment.modeName()},
        {QStringLiteral("companionLabel"), environment.companionLabel()},
        {QStringLiteral("companionPort"), int(environment.companionPort())},
        {QStringLiteral("launchAgentPlistName"), environment.launchAgentPlistName()},
        {QStringLiteral("companionDisplayName"), environment.companionDisplayName()},
        {QStringLiteral("appDisplayName"), environment.appDisplayName()},
        {QStringLiteral("appSupportFolderName"), environment.appSupportFolderName()},
        {QStringLiteral("urlScheme"), environment.urlScheme()},
        {QStringLiteral("machineArchitecture"), environment.machineArchitecture()},
        {QStringLiteral("logDirectory"), environment.logDirectory()},
        {QStringLiteral("menubarLogFile"), environment.menubarLogFile()},
        {QStringLiteral("companionLogFile"), environment.companionLogFile()},
    };
}

// A bundle with these info entries (an invalid QVariant leaves the key out).
QString bundleWith(const QTemporaryDir& dir, const QVariant& identifier, const QVariant& shortVersion,
                   const QVariant& build) {
    QVariantMap info{{QStringLiteral("CFBundleName"), QStringLiteral("Pylon")}};
    if (identifier.isValid())
        info.insert(QStringLiteral("CFBundleIdentifier"), identifier);
    if (shortVersion.isValid())
        info.insert(QStringLiteral("CFBundleShortVersionString"), shortVersion);
    if (build.isValid())
        info.insert(QStringLiteral("CFBundleVersion"), build);
    return makeBundle(dir.path(), QStringLiteral("Pylon"), info);
}

BuildEnvironment environmentFor(const QTemporaryDir& dir, const QVariant& identifier, const QVariant& shortVersion,
                                const QVariant& build, const QString& machine = QStringLiteral("arm64")) {
    return BuildEnvironment(Bundle::atPath(bundleWith(dir, identifier, shortVersion, build)), machine, dataHome);
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    Run result;
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace

class CoreTest : public QObject {
    Q_OBJECT

    static void bundles_data() {
        QTest::addColumn<QString>("bundleName");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("mode");
        QTest::newRow("production") << QStringLiteral("Pylon") << QStringLiteral("net.ostrand.Pylon")
                                    << QStringLiteral("production");
        QTest::newRow("development") << QStringLiteral("Pylon-Dev") << QStringLiteral("net.ostrand.Pylon-Dev")
                                     << QStringLiteral("development");
    }

    // The bundle folder in the build tree; fails the test when the build directory is unknown.
    static QString builtBundle(const QString& name) {
        const QString buildDir = qEnvironmentVariable("PYLON_BUILD_DIR");
        if (buildDir.isEmpty())
            QTest::qFail("PYLON_BUILD_DIR is not set (run through ctest)", __FILE__, __LINE__);
        return buildDir + QLatin1Char('/') + name + QStringLiteral(".app");
    }

private slots:
    void everyMemberFollowsTheIdentifierSuffix_data() {
        QTest::addColumn<QVariant>("identifier"); // invalid: no CFBundleIdentifier entry
        QTest::addColumn<QString>("expectedIdentifier");
        QTest::addColumn<bool>("development");
        const QString fallback = QStringLiteral("net.ostrand.Pylon");
        QTest::newRow("production") << QVariant(fallback) << fallback << false;
        QTest::newRow("-Dev") << QVariant(QStringLiteral("net.ostrand.Pylon-Dev"))
                              << QStringLiteral("net.ostrand.Pylon-Dev") << true;
        QTest::newRow("any identifier ending in -Dev")
            << QVariant(QStringLiteral("com.example.Tool-Dev")) << QStringLiteral("com.example.Tool-Dev") << true;
        QTest::newRow("-dev in lower case")
            << QVariant(QStringLiteral("net.ostrand.Pylon-dev")) << QStringLiteral("net.ostrand.Pylon-dev") << false;
        QTest::newRow("-DEV in upper case")
            << QVariant(QStringLiteral("net.ostrand.Pylon-DEV")) << QStringLiteral("net.ostrand.Pylon-DEV") << false;
        QTest::newRow("-Dev not at the end") << QVariant(QStringLiteral("net.ostrand.Pylon-Dev.beta"))
                                             << QStringLiteral("net.ostrand.Pylon-Dev.beta") << false;
        QTest::newRow("missing identifier") << QVariant() << fallback << false;
        QTest::newRow("empty identifier") << QVariant(QString()) << fallback << false;
        QTest::newRow("numeric identifier") << QVariant(qint64(7)) << fallback << false;
    }

    void everyMemberFollowsTheIdentifierSuffix() {
        QFETCH(QVariant, identifier);
        QFETCH(QString, expectedIdentifier);
        QFETCH(bool, development);
        QTemporaryDir dir;
        const BuildEnvironment environment =
            environmentFor(dir, identifier, QStringLiteral("1.0.0"), QStringLiteral("1"), QStringLiteral("x86_64"));
        QCOMPARE(environment.bundleIdentifier(), expectedIdentifier);
        const QMap<QString, QVariant> expected = expectedMembers(development, QStringLiteral("x86_64"));
        const QMap<QString, QVariant> actual = actualMembers(environment);
        QCOMPARE(actual.keys(), expected.keys());
        for (const QString& member : expected.keys()) {
            QVERIFY2(actual[member] == expected[member],
                     qPrintable(member + QStringLiteral(": ") + actual[member].toString() + QStringLiteral(" != ") +
                                expected[member].toString()));
        }
    }

    void missingBundleIsProductionAtVersionZero() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Absent.app"));
        const BuildEnvironment environment(Bundle::atPath(path), QStringLiteral("arm64"), dataHome);
        QCOMPARE(environment.bundleIdentifier(), QStringLiteral("net.ostrand.Pylon"));
        QVERIFY(!environment.isDevelopment());
        QCOMPARE(environment.appVersion(), QStringLiteral("0-0"));
        QCOMPARE(environment.bundlePath(), path);
    }

    void appVersionJoinsTheStringHalves_data() {
        QTest::addColumn<QVariant>("shortVersion"); // invalid: entry missing
        QTest::addColumn<QVariant>("build");
        QTest::addColumn<QString>("expected");
        const QVariant missing;
        QTest::newRow("both strings") << QVariant(QStringLiteral("2.1.0")) << QVariant(QStringLiteral("57"))
                                      << QStringLiteral("2.1.0-57");
        QTest::newRow("build missing") << QVariant(QStringLiteral("2.1.0")) << missing << QStringLiteral("2.1.0-0");
        QTest::newRow("integer build") << QVariant(QStringLiteral("2.1.0")) << QVariant(qint64(57))
                                       << QStringLiteral("2.1.0-0");
        QTest::newRow("boolean build") << QVariant(QStringLiteral("2.1.0")) << QVariant(true)
                                       << QStringLiteral("2.1.0-0");
        QTest::newRow("short version missing") << missing << QVariant(QStringLiteral("57")) << QStringLiteral("0-57");
        QTest::newRow("real short version")
            << QVariant(2.1) << QVariant(QStringLiteral("57")) << QStringLiteral("0-57");
        QTest::newRow("both missing") << missing << missing << QStringLiteral("0-0");
    }

    void appVersionJoinsTheStringHalves() {
        QFETCH(QVariant, shortVersion);
        QFETCH(QVariant, build);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QCOMPARE(environmentFor(dir, QStringLiteral("net.ostrand.Pylon"), shortVersion, build).appVersion(), expected);
    }

    void launchAgentPlistNameKeepsTheMachineNameAsIs_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("expected");
        const QString production = QStringLiteral("net.ostrand.Pylon");
        const QString development = QStringLiteral("net.ostrand.Pylon-Dev");
        QTest::newRow("Intel") << production << QStringLiteral("x86_64")
                               << QStringLiteral("PylonCompanion-x86_64.plist");
        QTest::newRow("Apple silicon") << production << QStringLiteral("arm64")
                                       << QStringLiteral("PylonCompanion-arm64.plist");
        QTest::newRow("Intel, development")
            << development << QStringLiteral("x86_64") << QStringLiteral("PylonCompanion-Dev-x86_64.plist");
        QTest::newRow("aarch64 is not renamed")
            << production << QStringLiteral("aarch64") << QStringLiteral("PylonCompanion-aarch64.plist");
        QTest::newRow("no lower-casing") << development << QStringLiteral("ARM64")
                                         << QStringLiteral("PylonCompanion-Dev-ARM64.plist");
    }

    void launchAgentPlistNameKeepsTheMachineNameAsIs() {
        QFETCH(QString, identifier);
        QFETCH(QString, machine);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const BuildEnvironment environment =
            environmentFor(dir, identifier, QStringLiteral("1.0.0"), QStringLiteral("1"), machine);
        QCOMPARE(environment.machineArchitecture(), machine);
        QCOMPARE(environment.launchAgentPlistName(), expected);
    }

    void versionLineNamesDisplayNameVersionAndMode() {
        QTemporaryDir production;
        QCOMPARE(versionLine(environmentFor(production, QStringLiteral("net.ostrand.Pylon"), QStringLiteral("1.0.0"),
                                            QStringLiteral("1"))),
                 QStringLiteral("Pylon 1.0.0-1 (production)"));
        QTemporaryDir development;
        QCOMPARE(versionLine(environmentFor(development, QStringLiteral("net.ostrand.Pylon-Dev"),
                                            QStringLiteral("2.1.0"), qint64(57))),
                 QStringLiteral("Pylon-Dev 2.1.0-0 (development)"));
    }

    void commandLineSelectsTheAction_data() {
        using Action = CommandLine::Action;
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("errorMentions");
        QTest::newRow("nothing") << QStringList{} << Action::run << QString();
        QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << Action::version << QString();
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << Action::help << QString();
        QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << Action::help << QString();
        QTest::newRow("--help wins over --version")
            << QStringList{QStringLiteral("--version"), QStringLiteral("--help")} << Action::help << QString();
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << Action::error
                                        << QStringLiteral("bogus");
        QTest::newRow("unknown option after --version")
            << QStringList{QStringLiteral("--version"), QStringLiteral("--frobnicate")} << Action::error
            << QStringLiteral("frobnicate");
        QTest::newRow("stray argument") << QStringList{QStringLiteral("extra")} << Action::error
                                        << QStringLiteral("extra");
        QTest::newRow("stray argument after --version")
            << QStringList{QStringLiteral("--version"), QStringLiteral("later")} << Action::error
            << QStringLiteral("later");
    }

    void commandLineSelectsTheAction() {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, errorMentions);
        const CommandLine commandLine = parseCommandLine(QStringList{QStringLiteral("Pylon")} + arguments);
        QCOMPARE(commandLine.action, action);
        if (action == CommandLine::Action::error)
            QVERIFY2(commandLine.errorText.contains(errorMentions), qPrintable(commandLine.errorText));
        else
            QCOMPARE(commandLine.errorText, QString());
    }

    void helpListsTheOptions() {
        const QString help = parseCommandLine({QStringLiteral("Pylon"), QStringLiteral("--help")}).helpText;
        QVERIFY2(help.contains(QLatin1String("--version")), qPrintable(help));
        QVERIFY2(help.contains(QLatin1String("--help")), qPrintable(help));
        QVERIFY2(help.contains(QLatin1String("-h,")), qPrintable(help));
    }

    void builtBundleInfoPlistNamesItsMode_data() { bundles_data(); }
    void builtBundleInfoPlistNamesItsMode() {
        QFETCH(QString, bundleName);
        QFETCH(QString, identifier);
        const std::optional<QVariant> info =
            PropertyList::parseFile(builtBundle(bundleName) + QStringLiteral("/Contents/Info.plist"));
        QVERIFY(info && info->typeId() == QMetaType::QVariantMap);
        const QVariantMap map = info->toMap();
        QCOMPARE(map.value(QStringLiteral("CFBundleIdentifier")), QVariant(identifier));
        QCOMPARE(map.value(QStringLiteral("CFBundleName")), QVariant(bundleName));
        for (const char* key : {"CFBundleShortVersionString", "CFBundleVersion"}) {
            const QVariant value = map.value(QString::fromLatin1(key));
            QVERIFY2(value.typeId() == QMetaType::QString && !value.toString().isEmpty(), key);
        }
        QVERIFY(QFileInfo(builtBundle(bundleName) + QStringLiteral("/Contents/Resources")).isDir());
    }

    void builtProgramPrintsItsOwnVersionLine_data() { bundles_data(); }
    void builtProgramPrintsItsOwnVersionLine() {
        QFETCH(QString, bundleName);
        QFETCH(QString, mode);
        const QString bundle = builtBundle(bundleName);
        const std::optional<QVariant> info = PropertyList::parseFile(bundle + QStringLiteral("/Contents/Info.plist"));
        QVERIFY(info);
        const QString version = info->toMap().value(QStringLiteral("CFBundleShortVersionString")).toString() +
                                QLatin1Char('-') + info->toMap().value(QStringLiteral("CFBundleVersion")).toString();

        TemporaryHome home;
        const Run result = run(bundle + QStringLiteral("/Contents/MacOS/Pylon"), {QStringLiteral("--version")});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out, QStringLiteral("%1 %2 (%3)\n").arg(bundleName, version, mode));
        QCOMPARE(result.exitCode, 0);
    }

    void builtProgramRejectsUnknownOptionsWithExitCode2_data() { bundles_data(); }
    void builtProgramRejectsUnknownOptionsWithExitCode2() {
        QFETCH(QString, bundleName);
        TemporaryHome home;
        const Run result =
            run(builtBundle(bundleName) + QStringLiteral("/Contents/MacOS/Pylon"), {QStringLiteral("--bogus")});
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.contains(QLatin1String("bogus")), qPrintable(result.err));
    }
};

QTEST_GUILESS_MAIN(CoreTest)
#include "tst_core.moc"
