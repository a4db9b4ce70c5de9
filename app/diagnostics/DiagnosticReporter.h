#pragma once

#include "diagnostics/DiagnosticInfo.h"
#include "diagnostics/LogProcessor.h"
#include "status/AbletonVersion.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace pylon {

class BuildEnvironment;
class DynamicStatus;
class FileLogger;
class ReportSaveLocation;
class Workspace;

// How one diagnostic report request ended. Every outcome has also been logged.
struct DiagnosticReportResult {
    enum class Outcome {
        saved,     // the archive is at `path` (absolute)
        cancelled, // no location was chosen; nothing was saved, nothing logged
        failed,    // `error` describes why (the text of the log line's "error" metadata)
    };
    Outcome outcome = Outcome::failed;
    QString path;
    QString error;
};

// Builds one diagnostic report: a snapshot of the application's state ("info.json",
// "system-state.txt") and the scrubbed last lines of the menu-bar and companion logs, packed into
// "PylonDiagnostics_<UTC date and time>.zip" and saved where the user chooses. Lives for one request.
class DiagnosticReporter {
public:
    struct Options {
        // Scrubbed from the logs and written as "~" in library paths.
        QString homeDirectory;
        // Where each report gets its own private folder (ReportFolder) for the working folder and
        // the archive before saving; made 0700 when missing.
        QString temporaryDirectory;
        // The current time; empty means the system clock.
        std::function<QDateTime()> now;
        // Shows the saved report in the file manager when set (not on the command line).
        Workspace* workspace = nullptr;
        // The Wine prefixes the last Live discovery searched.
        QStringList winePrefixes = {};
        int maxLogLines = 500;
        qint64 tailBlockSize = qint64(64) * 1024;

        // The running user's home folder, and "reports" in the private runtime folder of
        // `bundleIdentifier` (SystemInfo::privateRuntimeFolder), never the shared temporary folder.
        static Options forCurrentUser(const QString& bundleIdentifier);
    };

    // `serviceStatus` is the companion agent's status as ServiceManager::status() reports it;
    // `operatingSystemVersion` the system's version as major.minor.patch (operatingSystemVersion()).
    // The status model, environment and logger must outlive the reporter; generateReport() takes
    // what it needs before its first suspension.
    DiagnosticReporter(const DynamicStatus& dynamicStatus, QList<AbletonVersion> abletonVersions,
                       const BuildEnvironment& environment, qint64 serviceStatus, const FileLogger& log,
                       QString operatingSystemVersion, Options options);

    const QList<AbletonVersion>& abletonVersions() const { return m_abletonVersions; }
    int maxLogLines() const { return m_processor.config().maxLogLines; }
    bool simplifyTimestamps() const { return m_processor.config().simplifyTimestamps; }
    bool mapModuleNames() const { return m_processor.config().mapModuleNames; }
    const QMap<QString, QString>& moduleNameMap() const { return m_processor.config().moduleNameMap; }

    // Log processing (see LogProcessor).
    std::optional<QString> processLogFile(const QString& path, bool includeSummary) const;
    QStringList processLines(const QStringList& lines) const;
    QString redact(const QString& line) const;
    QString summary(const QStringList& processedLines) const;

    // The snapshot of this moment; reads the status model, so call it on its thread.
    DiagnosticInfo collectInfo() const;

    // Collects, packs and saves the report, logging the outcome. The snapshot is taken before the
    // call returns; file work runs on worker threads, so the caller's thread is never blocked.
    // The reporter may be dropped once the call returns; the logger and the options' workspace
    // must stay alive until the task finishes.
    QCoro::Task<DiagnosticReportResult> generateReport(std::shared_ptr<ReportSaveLocation> saveLocation) const;

    // Removes what reports that could not clean up (a crash, a kill) left in `temporaryDirectory`.
    static void clearLeftovers(const QString& temporaryDirectory);

    // "2025-03-04T09:15:02Z": the moment in UTC, whatever the local time zone.
    static QString isoTimestamp(const QDateTime& time);
    // "PylonDiagnostics_2025-03-04_09-15-02.zip" for that moment.
    static QString archiveName(const QDateTime& time);
    // The leading dotted numbers of a version text as major.minor.patch: "6.1.0-18-amd64" gives
    // "6.1.0", "14.5" gives "14.5.0"; text without a leading number gives "0.0.0".
    static QString versionTriple(const QString& versionText);
    // The running system's version, from the kernel release.
    static QString operatingSystemVersion();

private:
    QDateTime currentTime() const;
    QString withTildeHome(const QString& path) const;

    const DynamicStatus& m_status;
    QList<AbletonVersion> m_abletonVersions;
    const BuildEnvironment& m_environment;
    qint64 m_serviceStatus;
    const FileLogger& m_log;
    QString m_operatingSystemVersion;
    Options m_options;
    LogProcessor m_processor;
};

} // namespace pylon
