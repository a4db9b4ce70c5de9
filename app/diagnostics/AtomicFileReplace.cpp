#include "diagnostics/AtomicFileReplace.h"

#include "diagnostics/DiagnosticError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pylon {

namespace {

[[noreturn]] void fail(const QString& what, const QString& path, const QString& reason) {
    throw ReportFileError(what + QStringLiteral(" \u201C") + path + QStringLiteral("\u201D: ") + reason);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes the descriptor and removes the staging file unless the replacement went through.
class StagingFile {
public:
    explicit StagingFile(QString path)
        : m_path(std::move(path)) {}
    ~StagingFile() {
        close();
        if (!m_committed && m_created)
            ::unlink(QFile::encodeName(m_path).constData());
    }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    bool open() {
        // O_EXCL: never write through a link or into an item that was already there.
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        m_created = m_fd >= 0;
        return m_created;
    }
    int fd() const { return m_fd; }
    int close() {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }
    void commit() { m_committed = true; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_committed = false;
};

} // namespace

QString replacementStagingPath(const QString& destination) {
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".saving");
}

void replaceFileAtomically(const QString& source, const QString& destination) {
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Could not read"), source, input.errorString());

    const QString stagingPath = replacementStagingPath(destination);
    StagingFile staging(stagingPath);
    if (!staging.open() && errno == EEXIST) {
        // A leftover of an interrupted save may be cleared; anything else (a folder) stays.
        const QFileInfo leftover(stagingPath);
        if (leftover.isFile() && !leftover.isSymLink())
            ::unlink(QFile::encodeName(stagingPath).constData());
        staging.open();
    }
    if (staging.fd() < 0)
        fail(QStringLiteral("Could not write"), stagingPath, systemReason(errno));

    QByteArray buffer(qsizetype(256) * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 count = input.read(buffer.data(), buffer.size());
        if (count < 0)
            fail(QStringLiteral("Could not read"), source, input.errorString());
        if (count == 0)
            break;
        for (qint64 written = 0; written < count;) {
            const ssize_t n = ::write(staging.fd(), buffer.constData() + written, size_t(count - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                fail(QStringLiteral("Could not write"), stagingPath, systemReason(errno));
            written += n;
        }
    }
    if (::fsync(staging.fd()) != 0 || staging.close() != 0)
        fail(QStringLiteral("Could not write"), stagingPath, systemReason(errno));
    if (::rename(QFile::encodeName(stagingPath).constData(), QFile::encodeName(destination).constData()) != 0)
        fail(QStringLiteral("Could not save"), destination, systemReason(errno));
    staging.commit();
}

} // namespace pylon
