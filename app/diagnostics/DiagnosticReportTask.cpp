#include "foundation/BuildEnvironment.h"
#include "diagnostics/AtomicFileReplace.h"
#include "diagnostics/DiagnosticError.h"
#include "diagnostics/DiagnosticReporter.h"
#include "foundation/FileLogger.h"
#include "foundation/OffMainThread.h"
#include "diagnostics/ReportFolder.h"
#include "diagnostics/ReportSaveLocation.h"
#include "diagnostics/ZipArchive.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>
#include <qcoro/qcorofuture.h>

namespace pylon {

namespace {

const QString failureMessage = QStringLiteral("Failed to generate diagnostic report");

// Everything the report's file work needs, copied out of the reporter before the first suspension.
// The logger and the workspace are the only things held by pointer: both outlive the task (the
// process's loggers and the application's desktop live until the event loop has ended).
struct ReportJob {
    const FileLogger* log = nullptr;
    Workspace* workspace = nullptr;
    QByteArray infoJson;
    QString systemState;
    LogProcessingConfig processing;
    QString menubarLog;
    QString companionLog;
    QString temporaryDirectory;
    QString archiveName;
};

struct PreparedArchive {
    std::shared_ptr<ReportFolder> folder; // the report's private folder, holding both
    QString workingFolder;
    QString archivePath;
    std::optional<QString> error;
};

// Written to a temporary file beside `path` and renamed into place.
void writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw ReportFileError(QStringLiteral("Could not write \u201C") + path + QStringLiteral("\u201D: ") +
                              file.errorString());
    }
}

// Runs on a worker thread: the report's private folder with the working folder and the archive.
PreparedArchive prepareArchive(const ReportJob& job) {
    PreparedArchive prepared;
    try {
        // Reports that ended without cleaning up (a crash, a kill) are cleared first.
        clearLeftoverReportFolders(job.temporaryDirectory);
        prepared.folder = ReportFolder::create(job.temporaryDirectory);
        const QDir temporary(prepared.folder->path());
        prepared.workingFolder = temporary.filePath(QStringLiteral("PylonDiagnostics_") +
                                                    QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        prepared.archivePath = temporary.filePath(job.archiveName);
        if (!QDir().mkdir(prepared.workingFolder))
            throw ReportFileError(QStringLiteral("Could not create the folder \u201C") + prepared.workingFolder +
                                  QStringLiteral("\u201D"));
        const QDir folder(prepared.workingFolder);
        writeAtomically(folder.filePath(QStringLiteral("info.json")), job.infoJson);
        writeAtomically(folder.filePath(QStringLiteral("system-state.txt")), job.systemState.toUtf8());
        // A log that is missing or unreadable is left out; that is not a failure.
        const LogProcessor processor(job.processing);
        const std::pair<QString, QString> logs[] = {{job.menubarLog, QStringLiteral("pylon-menubar.log")},
                                                    {job.companionLog, QStringLiteral("pylon-companion.log")}};
        for (const auto& [source, name] : logs) {
            if (const std::optional<QString> text = processor.processLogFile(source, true))
                writeAtomically(folder.filePath(name), text->toUtf8());
        }
        createZip(prepared.workingFolder, prepared.archivePath);
    } catch (const std::exception& error) {
        prepared.error = QString::fromStdString(error.what());
        if (prepared.folder)
            prepared.folder->remove();
    }
    return prepared;
}

std::optional<QString> saveCopy(const QString& archivePath, const QString& destination, const QString& folder) {
    // Whatever lies in the report's folder goes with it.
    if (destination.startsWith(folder + QLatin1Char('/')))
        return QStringLiteral("Could not save \u201C") + destination +
               QStringLiteral("\u201D: it lies in the report's working folder, which is removed");
    try {
        replaceFileAtomically(archivePath, destination);
        return std::nullopt;
    } catch (const std::exception& error) {
        return QString::fromStdString(error.what());
    }
}

DiagnosticReportResult failed(const FileLogger& log, const QString& error) {
    log.error(failureMessage, {{QStringLiteral("error"), error}});
    return {DiagnosticReportResult::Outcome::failed, QString(), error};
}

QCoro::Task<DiagnosticReportResult> runReport(ReportJob job, std::shared_ptr<ReportSaveLocation> saveLocation) {
    const FileLogger& log = *job.log;
    auto preparing = runOffMainThread([job] { return prepareArchive(job); });
    const PreparedArchive prepared = (co_await preparing).get();
    if (prepared.error)
        co_return failed(log, *prepared.error);

    std::optional<QString> chosen;
    std::optional<QString> chooseError;
    try {
        chosen = co_await saveLocation->chooseLocation(job.archiveName);
    } catch (const std::exception& error) {
        chooseError = QString::fromStdString(error.what());
    }

    DiagnosticReportResult result{DiagnosticReportResult::Outcome::cancelled, QString(), QString()};
    if (chooseError) {
        result = failed(log, *chooseError);
    } else if (chosen) {
        const QString destination = QFileInfo(*chosen).absoluteFilePath();
        // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
        // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
        auto saving = runOffMainThread([prepared, destination] {
            return saveCopy(prepared.archivePath, destination, prepared.folder->path());
        });
        const std::optional<QString> saveError = (co_await saving).get();
        if (saveError) {
            result = failed(log, *saveError);
        } else {
            log.info(QStringLiteral("Diagnostic report saved"), {{QStringLiteral("path"), destination}});
            result = {DiagnosticReportResult::Outcome::saved, destination, QString()};
            if (job.workspace)
                job.workspace->revealFile(destination);
        }
    }

    // The folder goes whatever happened; the last copy of the pointer removes it at the latest.
    // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
    // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
    auto removing = runOffMainThread([folder = prepared.folder] { folder->remove(); });
    (co_await removing).get();
    co_return result;
}

} // namespace

QCoro::Task<DiagnosticReportResult>
DiagnosticReporter::generateReport(std::shared_ptr<ReportSaveLocation> saveLocation) const {
    m_log.info(QStringLiteral("Generating diagnostic report"));
    const DiagnosticInfo info = collectInfo();

    ReportJob job;
    job.log = &m_log;
    job.workspace = m_options.workspace;
    job.infoJson = encodeDiagnosticInfo(info);
    job.systemState = systemStateText(info);
    job.processing = m_processor.config();
    job.menubarLog = m_environment.menubarLogFile();
    job.companionLog = m_environment.companionLogFile();
    job.temporaryDirectory = m_options.temporaryDirectory;
    job.archiveName = archiveName(currentTime());
    return runReport(std::move(job), std::move(saveLocation));
}

} // namespace pylon
