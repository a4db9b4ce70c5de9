#include "DiagnosticsReportTest.h"
#include "ReportFixture.h"
#include "diagnostics/PrettyJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <ctime>

using namespace pylon;
using pylon::test::FakeSaveLocation;
using pylon::test::ReportFixture;

namespace {

// Sets TZ for the guard's life, so local time is that zone's.
class TimeZoneGuard {
public:
    explicit TimeZoneGuard(const QByteArray& zone)
        : m_saved(qgetenv("TZ"))
        , m_wasSet(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneGuard() {
        m_wasSet ? qputenv("TZ", m_saved) : qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_saved;
    bool m_wasSet;
};

} // namespace

void DiagnosticsReportTest::snapshotWithoutStatusLeavesOptionalsOut() {
    ReportFixture f;
    f.serviceStatus = 0;
    const DiagnosticInfo info = f.reporter().collectInfo();
    const QJsonObject expected{
        {"timestamp", "2025-03-04T09:15:02Z"},
        {"pylon",
         QJsonObject{{"menubarVersion", "1.2.3-45"}, {"mode", "production"}, {"bundleId", "net.ostrand.Pylon"}}},
        {"system", QJsonObject{{"macOS", "6.1.0"}, {"architecture", "x86_64"}}},
        {"status", QJsonObject{{"companionRunning", false},
                               {"companionPort", 47150},
                               {"launchdStatus", "notRegistered"},
                               {"launchdLabel", "net.ostrand.PylonCompanion"},
                               {"abletonConnected", false},
                               {"companionState", "Starting\u2026"}}},
        {"ableton", QJsonObject{{"detectedVersions", QJsonArray()}}}};
    QCOMPARE(toJson(info), expected);
    QVERIFY(!encodeDiagnosticInfo(info).contains("null"));
}

void DiagnosticsReportTest::snapshotWithStatusFillsEveryField() {
    ReportFixture f(QStringLiteral("net.ostrand.Pylon-Dev"));
    f.setFullStatus();
    f.setTwoVersions();
    f.serviceStatus = 2;
    const QJsonObject expected{
        {"timestamp", "2025-03-04T09:15:02Z"},
        {"pylon", QJsonObject{{"menubarVersion", "1.2.3-45"},
                              {"companionVersion", "2.0.1"},
                              {"remoteScriptVersion", "1.4.0"},
                              {"mode", "development"},
                              {"bundleId", "net.ostrand.Pylon-Dev"}}},
        {"system", QJsonObject{{"macOS", "6.1.0"}, {"architecture", "x86_64"}}},
        {"status", QJsonObject{{"companionRunning", true},
                               {"companionPort", 47250},
                               {"launchdStatus", "requiresApproval"},
                               {"launchdLabel", "net.ostrand.PylonCompanion-Dev"},
                               {"abletonConnected", true},
                               {"abletonCondition", "connected"},
                               {"bonjourCondition", "error"},
                               {"bonjourError", "name conflict"},
                               {"accessibilityPermission", true},
                               {"automationPermission", false},
                               {"keyboardAddonLoaded", true},
                               {"clientCount", 3},
                               {"companionState", "Running (needs permissions)"}}},
        {"ableton",
         QJsonObject{{"detectedVersions",
                      QJsonArray{QJsonObject{{"displayName", "Live 12 User Library"},
                                             {"isRemoteScriptInstalled", true},
                                             {"userLibraryPath", "~/Music/Ableton/User Library"}},
                                 QJsonObject{{"displayName", "Live 11"}, {"isRemoteScriptInstalled", false}}}},
                     {"connectedVersion", "12.1.5"},
                     {"connectedDisplayName", "Live 12 Suite"}}}};
    QCOMPARE(toJson(f.reporter().collectInfo()), expected);

    // Live running but not connected; Bonjour without error text.
    StatusResponse response = *f.status.lastResponse();
    response.ableton.condition = AbletonCondition::busy;
    response.bonjour.error = std::nullopt;
    f.status.setLastResponse(response);
    const DiagnosticInfo info = f.reporter().collectInfo();
    QCOMPARE(info.status.abletonConnected, false);
    QCOMPARE(info.status.abletonCondition, QStringLiteral("busy"));
    QVERIFY(!toJson(info)["status"].toObject().contains("bonjourError"));
}

void DiagnosticsReportTest::stateLabels_data() {
    QTest::addColumn<int>("kind"); // -1: none, the service status row only
    QTest::addColumn<QString>("stateLabel");
    QTest::addColumn<qint64>("serviceStatus");
    QTest::addColumn<QString>("serviceLabel");
    using Kind = CompanionState::Kind;
    QTest::newRow("running, 0") << int(Kind::running) << "Running" << qint64(0) << "notRegistered";
    QTest::newRow("starting, 1") << int(Kind::startingUp) << "Starting\u2026" << qint64(1) << "enabled";
    QTest::newRow("needs accessibility, 2")
        << int(Kind::runningNeedsAccessibility) << "Running (needs permissions)" << qint64(2) << "requiresApproval";
    QTest::newRow("needs automation, 3") << int(Kind::runningNeedsAutomation) << "Running (needs permissions)"
                                         << qint64(3) << "notFound";
    QTest::newRow("needs both, 4") << int(Kind::runningNeedsBothPermissions) << "Running (needs permissions)"
                                   << qint64(4) << "unknown";
    QTest::newRow("not running, -1") << int(Kind::notRunning) << "Not running" << qint64(-1) << "unknown";
    QTest::newRow("approval") << int(Kind::requiresLoginItemApproval) << "Needs login item approval" << qint64(1)
                              << "enabled";
    QTest::newRow("error") << int(Kind::error) << "Launch failed" << qint64(1) << "enabled";
}

void DiagnosticsReportTest::stateLabels() {
    QFETCH(int, kind);
    QFETCH(QString, stateLabel);
    QFETCH(qint64, serviceStatus);
    QFETCH(QString, serviceLabel);
    const auto k = static_cast<CompanionState::Kind>(kind);
    const PylonError error{"E02", "Launch failed", 2, "d", "x=y"};
    QCOMPARE(companionStateLabel(k == CompanionState::Kind::error ? CompanionState::failed(error) : CompanionState(k)),
             stateLabel);
    QCOMPARE(launchdStatusLabel(serviceStatus), serviceLabel);
}

void DiagnosticsReportTest::libraryPathsShowHomeAsTilde_data() {
    QTest::addColumn<QString>("homeDirectory");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("inside home") << "/home/tester"
                                 << "/home/tester/Music/User Library"
                                 << "~/Music/User Library";
    QTest::newRow("outside home") << "/home/tester"
                                  << "/mnt/Live/User Library"
                                  << "/mnt/Live/User Library";
    QTest::newRow("every occurrence") << "/home/tester"
                                      << "/home/tester/a/home/tester"
                                      << "~/a~";
    QTest::newRow("home with trailing slash") << "/home/tester/"
                                              << "/home/tester/Music"
                                              << "~/Music";
    QTest::newRow("root home changes nothing") << "/"
                                               << "/Volumes/Live/User Library"
                                               << "/Volumes/Live/User Library";
    QTest::newRow("empty home changes nothing") << ""
                                                << "/Volumes/Live"
                                                << "/Volumes/Live";
}

void DiagnosticsReportTest::libraryPathsShowHomeAsTilde() {
    QFETCH(QString, homeDirectory);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    ReportFixture f;
    f.versions = {{path, QStringLiteral("12"), QStringLiteral("Live 12"), path, path, false}};
    DiagnosticReporter::Options options = f.options();
    options.homeDirectory = homeDirectory;
    const DiagnosticInfo info = f.reporter(options).collectInfo();
    QCOMPARE(info.ableton.detectedVersions.at(0).userLibraryPath, expected);
    QVERIFY(systemStateText(info).contains(QStringLiteral("\n    Library: ") + expected + QLatin1Char('\n')));
}

void DiagnosticsReportTest::systemStateTextLineByLine_data() {
    QTest::addColumn<bool>("full");
    QTest::addColumn<QStringList>("expected");
    const QStringList head = {
        "Pylon Diagnostic Report",  "=======================", "Generated: 2025-03-04T09:15:02Z", "", "## Pylon",
        "Menubar Version: 1.2.3-45"};
    const QStringList system = {"Mode: production", "Bundle ID: net.ostrand.Pylon", "", "## System",
                                "macOS: 6.1.0",     "Architecture: x86_64",         "", "## Status"};
    const QStringList tail = {"", "## Log Files", "See attached pylon-menubar.log and pylon-companion.log", ""};
    QTest::newRow("full") << true
                          << head + QStringList{"Companion Version: 2.0.1", "Remote Script Version: 1.4.0"} + system +
                                 QStringList{"Companion Running: Yes",
                                             "Companion Port: 47150",
                                             "Companion State: Running (needs permissions)",
                                             "Launchd Status: enabled",
                                             "Launchd Label: net.ostrand.PylonCompanion",
                                             "Ableton Condition: connected",
                                             "Bonjour Condition: error",
                                             "Bonjour Error: name conflict",
                                             "Accessibility Permission: Granted",
                                             "Automation Permission: Not granted",
                                             "Keyboard Addon Loaded: Yes",
                                             "Connected Clients: 3",
                                             "",
                                             "## Ableton",
                                             "Connected: Live 12.1.5",
                                             "Display Name: Live 12 Suite",
                                             "Detected Versions:",
                                             "  - Live 12 User Library [Script Installed]",
                                             "    Library: ~/Music/Ableton/User Library",
                                             "  - Live 11 [Script Not Installed]"} +
                                 tail;
    QTest::newRow("no status, no versions")
        << false
        << head + QStringList{"Companion Version: not running", "Remote Script Version: unknown"} + system +
               QStringList{"Companion Running: No",
                           "Companion Port: 47150",
                           "Companion State: Not running",
                           "Launchd Status: enabled",
                           "Launchd Label: net.ostrand.PylonCompanion",
                           "",
                           "## Ableton",
                           "Detected Versions:",
                           "  (none detected)"} +
               tail;
}

void DiagnosticsReportTest::systemStateTextLineByLine() {
    QFETCH(bool, full);
    QFETCH(QStringList, expected);
    ReportFixture f;
    f.status.setIsStarting(false);
    if (full) {
        f.setFullStatus();
        f.setTwoVersions();
    }
    QCOMPARE(systemStateText(f.reporter().collectInfo()).split(QLatin1Char('\n')), expected);
}

void DiagnosticsReportTest::infoJsonIsPrettySortedAndEscaped() {
    ReportFixture f;
    f.setFullStatus();
    f.setTwoVersions();
    f.versions[0].userLibraryPath = QStringLiteral("/Volumes/Live/User Library");
    const DiagnosticInfo info = f.reporter().collectInfo();
    const QByteArray bytes = encodeDiagnosticInfo(info);
    QCOMPARE(bytes, prettyJson(toJson(info)));
    QCOMPARE(QJsonDocument::fromJson(bytes).object(), toJson(info));
    QVERIFY(bytes.contains(R"(      "userLibraryPath" : "\/Volumes\/Live\/User Library")"));
    QVERIFY(bytes.startsWith("{\n  \"ableton\" : {\n    \"connectedDisplayName\" : \"Live 12 Suite\",\n"));

    // The layout: sorted keys, two spaces a level, " : ", escaped slashes and quotes, empty containers.
    const QJsonObject object{{"b", QJsonArray{1, QJsonObject{{"c", "x/y"}}, "\"q\"\n"}},
                             {"a", QJsonObject()},
                             {"d", QJsonArray()},
                             {"Z", true},
                             {"f", 2.5}};
    QCOMPARE(prettyJson(object), QByteArray("{\n  \"Z\" : true,\n  \"a\" : {},\n  \"b\" : [\n    1,\n    {\n"
                                            "      \"c\" : \"x\\/y\"\n    },\n    \"\\\"q\\\"\\n\"\n  ],\n"
                                            "  \"d\" : [],\n  \"f\" : 2.5\n}"));
}

void DiagnosticsReportTest::versionTriples_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("kernel release") << "6.1.0-18-amd64"
                                    << "6.1.0";
    QTest::newRow("two numbers") << "14.5"
                                 << "14.5.0";
    QTest::newRow("one number") << "12"
                                << "12.0.0";
    QTest::newRow("four numbers") << "5.15.0.1"
                                  << "5.15.0";
    QTest::newRow("white space") << " 6.2.1 \n"
                                 << "6.2.1";
    QTest::newRow("no number") << "rolling"
                               << "0.0.0";
}

void DiagnosticsReportTest::versionTriples() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(DiagnosticReporter::versionTriple(text), expected);
}

void DiagnosticsReportTest::timestampAndArchiveNameAreUtc_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<qint64>("msecs");
    QTest::addColumn<QString>("timestamp");
    QTest::addColumn<QString>("archive");
    const qint64 morning = 1741079702481LL; // 2025-03-04T09:15:02.481Z
    QTest::newRow("UTC") << QByteArray("UTC") << morning << "2025-03-04T09:15:02Z"
                         << "PylonDiagnostics_2025-03-04_09-15-02.zip";
    QTest::newRow("Chatham +13:45") << QByteArray("Pacific/Chatham") << morning << "2025-03-04T09:15:02Z"
                                    << "PylonDiagnostics_2025-03-04_09-15-02.zip";
    QTest::newRow("St Johns, day before")
        << QByteArray("America/St_Johns") << qint64(1741051800000LL) << "2025-03-04T01:30:00Z"
        << "PylonDiagnostics_2025-03-04_01-30-00.zip";
    QTest::newRow("Kathmandu, year after")
        << QByteArray("Asia/Kathmandu") << qint64(1767225599999LL) << "2025-12-31T23:59:59Z"
        << "PylonDiagnostics_2025-12-31_23-59-59.zip";
}

void DiagnosticsReportTest::timestampAndArchiveNameAreUtc() {
    QFETCH(QByteArray, zone);
    QFETCH(qint64, msecs);
    QFETCH(QString, timestamp);
    QFETCH(QString, archive);
    const TimeZoneGuard guard(zone);
    ReportFixture f;
    f.time = QDateTime::fromMSecsSinceEpoch(msecs, Qt::LocalTime);
    if (zone != "UTC")
        QVERIFY2(f.time.offsetFromUtc() != 0, "the zone is in effect");
    QCOMPARE(DiagnosticReporter::isoTimestamp(f.time), timestamp);
    QCOMPARE(DiagnosticReporter::archiveName(f.time), archive);

    const DiagnosticReporter reporter = f.reporter();
    QCOMPARE(reporter.collectInfo().timestamp, timestamp);
    FakeSaveLocation location(std::nullopt);
    QCOMPARE(QCoro::waitFor(reporter.generateReport(location)).outcome, DiagnosticReportResult::Outcome::cancelled);
    QCOMPARE(location.suggestedNames, QStringList{archive});
}
