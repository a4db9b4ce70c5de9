#include "DiagnosticsReportTest.h"
#include "Fakes.h"
#include "ReportFixture.h"
#include "diagnostics/AtomicFileReplace.h"
#include "diagnostics/DiagnosticError.h"
#include "diagnostics/ZipArchive.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace pylon;
using pylon::test::FakeSaveLocation;
using pylon::test::readFile;
using pylon::test::ReportFixture;
using pylon::test::unzipListing;
using pylon::test::unzipMember;

namespace {

using Outcome = DiagnosticReportResult::Outcome;

QString metadataJson(const QString& key, QString value) {
    return QStringLiteral("{\"%1\":\"%2\"}").arg(key, value.replace(QLatin1Char('/'), QStringLiteral("\\/")));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QString generating = QStringLiteral("[pylon-companion][menubar] Generating diagnostic report");
const QString failedLine = QStringLiteral("[pylon-companion][menubar] Failed to generate diagnostic report ");

} // namespace

void DiagnosticsReportTest::reportArchiveHoldsTheWorkingFolder_data() {
    QTest::addColumn<bool>("withStatus");
    QTest::addColumn<bool>("withVersions");
    QTest::addColumn<bool>("menubarLog");
    QTest::addColumn<bool>("companionLog");
    QTest::newRow("bare") << false << false << false << false;
    QTest::newRow("everything") << true << true << true << true;
    QTest::newRow("status and menu-bar log") << true << false << true << false;
    QTest::newRow("versions and companion log") << false << true << false << true;
}

void DiagnosticsReportTest::reportArchiveHoldsTheWorkingFolder() {
    QFETCH(bool, withStatus);
    QFETCH(bool, withVersions);
    QFETCH(bool, menubarLog);
    QFETCH(bool, companionLog);
    ReportFixture f;
    if (withStatus)
        f.setFullStatus();
    if (withVersions)
        f.setTwoVersions();
    const QString home = f.home.path();
    if (menubarLog) {
        writeBytes(f.environment.menubarLogFile(),
                   "2025-03-04T09:15:02.481Z [pylon-companion][menubar] opened " + home.toUtf8() + "/x\n");
    }
    if (companionLog) {
        writeBytes(f.environment.companionLogFile(),
                   "2025-03-04T09:15:02.481Z [pylon-companion][main] Starting (pid 7)\r\nWARN jane@example.com");
    }
    // An earlier file at the chosen place is replaced; the saved report is revealed.
    const QString destination = home + QStringLiteral("/saved/report.zip");
    writeBytes(destination, "an older report");
    pylon::test::FakeWorkspace workspace;
    DiagnosticReporter::Options options = f.options();
    options.workspace = &workspace;
    const DiagnosticReporter reporter = f.reporter(options);
    FakeSaveLocation location(destination);

    const DiagnosticReportResult result = QCoro::waitFor(reporter.generateReport(location));
    QCOMPARE(result.outcome, Outcome::saved);
    QCOMPARE(result.path, destination);
    QCOMPARE(location.suggestedNames, QStringList{QStringLiteral("PylonDiagnostics_2025-03-04_09-15-02.zip")});
    QCOMPARE(workspace.revealed, QStringList{destination});

    const QStringList names = unzipListing(destination);
    QVERIFY2(!names.isEmpty(), "archive lists entries");
    static const QRegularExpression topEntry(
        QStringLiteral("^PylonDiagnostics_[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}/$"));
    QVERIFY2(topEntry.match(names.first()).hasMatch(), qPrintable(names.first()));
    const QString top = names.first();
    QStringList expected = {top, top + "info.json", top + "system-state.txt"};
    if (menubarLog)
        expected << top + "pylon-menubar.log";
    if (companionLog)
        expected << top + "pylon-companion.log";
    expected.sort();
    QCOMPARE(names, expected);

    // The files hold what the reporter computes for the same moment.
    const DiagnosticInfo info = reporter.collectInfo();
    const QByteArray json = unzipMember(destination, top + "info.json");
    QCOMPARE(json, encodeDiagnosticInfo(info));
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    QCOMPARE(object["status"].toObject()["companionRunning"].toBool(), withStatus);
    QCOMPARE(object["ableton"].toObject()["detectedVersions"].toArray().size(), withVersions ? 2 : 0);
    QCOMPARE(unzipMember(destination, top + "system-state.txt"), systemStateText(info).toUtf8());
    if (menubarLog) {
        const QByteArray log = unzipMember(destination, top + "pylon-menubar.log");
        QCOMPARE(log, reporter.processLogFile(f.environment.menubarLogFile(), true)->toUtf8());
        QVERIFY(log.endsWith("\n09:15:02 [menubar] opened [UserHome]/x\n"));
        QVERIFY(!log.contains(home.toUtf8()));
    }
    if (companionLog) {
        const QByteArray log = unzipMember(destination, top + "pylon-companion.log");
        QVERIFY(log.contains("Companion starts: 1\nErrors: 0\nWarnings: 1\n"));
        QVERIFY(log.endsWith("\n09:15:02 [main] Starting\n\nWARN [REDACTED_EMAIL]"));
    }

    QCOMPARE(f.temporaryEntries(), QStringList());
    QCOMPARE(f.loggedLines(),
             (QStringList{generating, QStringLiteral("[pylon-companion][menubar] Diagnostic report saved ") +
                                          metadataJson(QStringLiteral("path"), destination)}));
}

void DiagnosticsReportTest::cancelledSaveCleansUpAndLogsNothingMore() {
    ReportFixture f;
    FakeSaveLocation location(std::nullopt);
    const DiagnosticReportResult result = QCoro::waitFor(f.reporter().generateReport(location));
    QCOMPARE(result.outcome, Outcome::cancelled);
    QCOMPARE(location.suggestedNames.size(), 1);
    QCOMPARE(f.temporaryEntries(), QStringList());
    QCOMPARE(f.loggedLines(), QStringList{generating});
}

void DiagnosticsReportTest::reportFailures_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("asksForLocation");
    QTest::addColumn<QString>("errorStart");
    QTest::newRow("working folder cannot be created") << "folder" << false << "Could not create the folder";
    QTest::newRow("archive cannot be written") << "archive" << false << "Could not create the archive";
    QTest::newRow("choosing the location fails") << "choose" << true << "dialog gone";
    QTest::newRow("staging name blocked") << "staging" << true << "Could not write";
}

void DiagnosticsReportTest::reportFailures() {
    QFETCH(QString, failure);
    QFETCH(bool, asksForLocation);
    QFETCH(QString, errorStart);
    ReportFixture f;
    writeBytes(f.environment.companionLogFile(), "a line\n");
    const QString destination = f.home.path() + QStringLiteral("/saved/report.zip");
    writeBytes(destination, "old report");
    DiagnosticReporter::Options options = f.options();
    FakeSaveLocation location(destination);

    if (failure == "folder") {
        writeBytes(f.home.path() + QStringLiteral("/blocker"), "a file, not a folder");
        options.temporaryDirectory = f.home.path() + QStringLiteral("/blocker/tmp");
    } else if (failure == "archive") {
        writeBytes(f.temporaryDirectory() + QStringLiteral("/PylonDiagnostics_2025-03-04_09-15-02.zip/keep"), "x");
    } else if (failure == "choose") {
        location.failure = QStringLiteral("dialog gone");
    } else if (failure == "staging") {
        QVERIFY(QDir().mkpath(replacementStagingPath(destination)));
    }

    const DiagnosticReportResult result = QCoro::waitFor(f.reporter(options).generateReport(location));
    QCOMPARE(result.outcome, Outcome::failed);
    QVERIFY2(result.error.startsWith(errorStart), qPrintable(result.error));
    QCOMPARE(location.suggestedNames.size(), asksForLocation ? 1 : 0);
    QCOMPARE(f.loggedLines(),
             (QStringList{generating, failedLine + metadataJson(QStringLiteral("error"), result.error)}));

    // The old report stays; nothing of ours is left behind.
    QCOMPARE(readFile(destination), QByteArray("old report"));
    QCOMPARE(f.temporaryEntries(),
             failure == "archive" ? QStringList{"PylonDiagnostics_2025-03-04_09-15-02.zip"} : QStringList());
    const QStringList besideDestination =
        QDir(QFileInfo(destination).absolutePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(besideDestination.size(), failure == "staging" ? 2 : 1);
}

void DiagnosticsReportTest::atomicReplace_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("new file") << "none" << true;
    QTest::newRow("replaces an existing file") << "old" << true;
    QTest::newRow("leftover staging file") << "leftover" << true;
    QTest::newRow("staging name is a folder") << "staging folder" << false;
    QTest::newRow("destination is a folder") << "destination folder" << false;
    QTest::newRow("destination folder missing") << "no parent" << false;
    QTest::newRow("source missing") << "no source" << false;
}

void DiagnosticsReportTest::atomicReplace() {
    QFETCH(QString, setup);
    QFETCH(bool, succeeds);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.zip"));
    QString destination = dir.filePath(QStringLiteral("out/report.zip"));
    const QByteArray content(300 * 1024 + 17, 'n'); // more than one copy buffer
    if (setup != "no source")
        writeBytes(source, content);
    QVERIFY(QDir().mkpath(QFileInfo(destination).absolutePath()));
    if (setup != "none" && setup != "no parent" && setup != "destination folder")
        writeBytes(destination, "old");
    if (setup == "leftover")
        writeBytes(replacementStagingPath(destination), "half-written");
    if (setup == "staging folder")
        QVERIFY(QDir().mkpath(replacementStagingPath(destination)));
    if (setup == "destination folder")
        writeBytes(destination + QStringLiteral("/inside"), "x");
    if (setup == "no parent")
        destination = dir.filePath(QStringLiteral("missing/report.zip"));

    bool threw = false;
    try {
        replaceFileAtomically(source, destination);
    } catch (const ReportFileError& error) {
        threw = true;
        QVERIFY(!error.description().isEmpty());
    }
    QCOMPARE(threw, !succeeds);
    if (succeeds)
        QCOMPARE(readFile(destination), content);
    else if (setup == "destination folder")
        QCOMPARE(readFile(destination + QStringLiteral("/inside")), QByteArray("x"));
    else if (setup != "no parent")
        QCOMPARE(readFile(destination), QByteArray("old"));
    // Only a staging folder that was there before remains.
    QCOMPARE(QFileInfo::exists(replacementStagingPath(destination)), setup == "staging folder");
    QCOMPARE(readFile(source), setup == "no source" ? QByteArray() : content);
}

void DiagnosticsReportTest::pathSaveLocation() {
    QTemporaryDir dir;
    const QString suggested = QStringLiteral("PylonDiagnostics_2025-03-04_09-15-02.zip");
    PathReportSaveLocation folder(dir.path());
    QCOMPARE(QCoro::waitFor(folder.chooseLocation(suggested)), std::optional(dir.filePath(suggested)));
    PathReportSaveLocation file(dir.filePath(QStringLiteral("mine.zip")));
    QCOMPARE(QCoro::waitFor(file.chooseLocation(suggested)), std::optional(dir.filePath(QStringLiteral("mine.zip"))));
    PathReportSaveLocation relative(QStringLiteral("relative.zip"));
    QCOMPARE(relative.resolve(suggested), QDir::current().absoluteFilePath(QStringLiteral("relative.zip")));
}

void DiagnosticsReportTest::zipOfAMissingFolderFails() {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("a.zip"));
    try {
        createZip(dir.filePath(QStringLiteral("missing")), archive);
        QFAIL("no error");
    } catch (const DiagnosticError& error) {
        QCOMPARE(error.kind(), DiagnosticError::Kind::zipCreationFailed);
    }
    QVERIFY(!QFileInfo::exists(archive));

    // Nested items keep their places below the one top folder.
    writeBytes(dir.filePath(QStringLiteral("Top/a.txt")), "a");
    writeBytes(dir.filePath(QStringLiteral("Top/sub dir/b c.txt")), "bc");
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Top/empty"))));
    createZip(dir.filePath(QStringLiteral("Top")), archive);
    QCOMPARE(unzipListing(archive),
             (QStringList{"Top/", "Top/a.txt", "Top/empty/", "Top/sub dir/", "Top/sub dir/b c.txt"}));
    QCOMPARE(unzipMember(archive, QStringLiteral("Top/sub dir/b c.txt")), QByteArray("bc"));
}

QTEST_GUILESS_MAIN(DiagnosticsReportTest)
