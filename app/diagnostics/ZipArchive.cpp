#include "diagnostics/ZipArchive.h"

#include "diagnostics/DiagnosticError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <zip.h>

namespace pylon {

namespace {

[[noreturn]] void fail(const QString& archivePath, const QString& reason) {
    throw DiagnosticError(DiagnosticError::Kind::zipCreationFailed,
                          QStringLiteral("Could not create the archive \u201C") + archivePath +
                              QStringLiteral("\u201D: ") + reason);
}

// Every item below `folder`, as paths relative to it, parents before their contents.
QStringList entriesBelow(const QString& folder) {
    QStringList entries;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << root.relativeFilePath(it.next());
    entries.sort(); // "a" sorts before "a/b", so folders come before their contents
    return entries;
}

} // namespace

void createZip(const QString& folder, const QString& archivePath) {
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir())
        fail(archivePath, QStringLiteral("\u201C") + folder + QStringLiteral("\u201D is not a folder"));
    const QString top = folderInfo.fileName() + QLatin1Char('/');

    int errorCode = 0;
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &errorCode);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, errorCode);
        const QString reason = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
        fail(archivePath, reason);
    }
    const auto abandon = [&](const QString& reason) {
        zip_discard(archive);
        fail(archivePath, reason);
    };

    if (zip_dir_add(archive, top.toUtf8().constData(), ZIP_FL_ENC_UTF_8) < 0)
        abandon(QString::fromLocal8Bit(zip_strerror(archive)));
    for (const QString& relative : entriesBelow(folder)) {
        const QString fullPath = folder + QLatin1Char('/') + relative;
        const QFileInfo info(fullPath);
        const QByteArray name = (top + relative).toUtf8();
        if (info.isDir() && !info.isSymLink()) {
            if (zip_dir_add(archive, name.constData(), ZIP_FL_ENC_UTF_8) < 0)
                abandon(QString::fromLocal8Bit(zip_strerror(archive)));
            continue;
        }
        // The file is read when the archive is closed.
        zip_source_t* source = zip_source_file(archive, QFile::encodeName(fullPath).constData(), 0, 0);
        if (!source)
            abandon(QString::fromLocal8Bit(zip_strerror(archive)));
        if (zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            abandon(QString::fromLocal8Bit(zip_strerror(archive)));
        }
    }
    if (zip_close(archive) != 0) {
        const QString reason = QString::fromLocal8Bit(zip_strerror(archive));
        zip_discard(archive);
        fail(archivePath, reason);
    }
}

} // namespace pylon
