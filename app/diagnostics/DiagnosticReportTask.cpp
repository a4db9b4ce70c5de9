#include "foundation/BuildEnvironment.h"
#include "diagnostics/AtomicFileReplace.h"
#include "diagnostics/DiagnosticError.h"
#include "diagnostics/DiagnosticReporter.h"
#include "foundation/FileLogger.h"
#include "foundation/OffMainThread.h"
#include "diagnostics/ReportSaveLocation.h"
#include "diagnostics/ZipArchive.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>
#include <filesystem>
#include <qcoro/qcorofuture.h>

namespace pylon {

namespace {

const QString failureMessage = QStringLiteral("Failed to generate diagnostic report");

// Everything the report's file work needs, copied out of the reporter before the first suspension.
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
    QString workingFolder;
    QString archivePath;
    std::optional<QString> error;
};

void createFolder(const QString& path) {
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(path).toStdString(), error);
    if (error) {
        throw ReportFileError(QStringLiteral("Could not create the folder \u201C") + path + QStringLiteral("\u201D: ") +
                              QString::fromStdString(error.message()));
    }
}

// Written to a temporary file beside `path` and renamed into place.
void writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw ReportFileError(QStringLiteral("Could not write \u201C") + path + QStringLiteral("\u201D: ") +
                              file.errorString());
    }
}

void removeTemporaryItems(const QString& workingFolder, const std::optional<QString>& archivePath) {
    QDir(workingFolder).removeRecursively();
    if (archivePath)
        QFile::remove(*archivePath);
}

// Runs on a worker thread: the working folder with its files, and the archive next to it.
PreparedArchive prepareArchive(const ReportJob& job) {
    PreparedArchive prepared;
    const QDir temporary(job.temporaryDirectory);
    prepared.workingFolder = temporary.filePath(QStringLiteral("PylonDiagnostics_") +
                                                QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    prepared.archivePath = temporary.filePath(job.archiveName);
    try {
        createFolder(prepared.workingFolder);
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
        removeTemporaryItems(prepared.workingFolder, prepared.archivePath);
    }
    return prepared;
}

std::optional<QString> saveCopy(const QString& archivePath, const QString& destination) {
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
    bool keepArchive = false;
    if (chooseError) {
        result = failed(log, *chooseError);
    } else if (chosen) {
        const QString destination = QFileInfo(*chosen).absoluteFilePath();
        keepArchive = destination == QFileInfo(prepared.archivePath).absoluteFilePath();
        // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
        // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
        auto saving = runOffMainThread([prepared, destination] { return saveCopy(prepared.archivePath, destination); });
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

    const std::optional<QString> archiveToRemove =
        keepArchive ? std::nullopt : std::optional<QString>(prepared.archivePath);
    auto removing = runOffMainThread(
        // Clang-tidy 16 reports a lambda inside a coroutine as its parameter.
        // NOLINTNEXTLINE(cppcoreguidelines-avoid-reference-coroutine-parameters)
        [prepared, archiveToRemove] { removeTemporaryItems(prepared.workingFolder, archiveToRemove); });
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
