#include "diagnostics/AtomicFileReplace.h"

#include "diagnostics/DiagnosticError.h"
#include "foundation/PrivateFiles.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pylon {

namespace {

[[noreturn]] void fail(const QString& what, const QString& path, const QString& reason) {
    throw ReportFileError(what + QStringLiteral(" \u201C") + path + QStringLiteral("\u201D: ") + reason);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The staging file of one save, taken and locked, and removed again unless the replacement went
// through. Saves to the same destination at the same moment take turns on it: each holds an
// exclusive lock from the moment it has the file until it has renamed it into place, and a save
// that got the lock checks that the path still names the file it locked (the one before it may
// just have renamed it away), so no save ever writes into another's file. A regular file left by
// an interrupted save, which no one holds, is taken over and truncated.
class StagingFile {
public:
    explicit StagingFile(QString path)
        : m_path(std::move(path))
        , m_name(QFile::encodeName(m_path)) {}
    ~StagingFile() {
        if (!m_committed && m_fd >= 0 && stillNamesOurFile())
            ::unlink(m_name.constData());
        close();
    }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    // Nothing when the file is ours, else why not.
    std::optional<QString> take() {
        const QDeadlineTimer deadline(std::chrono::seconds(30));
        for (;;) {
            const PrivateFiles::OpenedFile opened = PrivateFiles::openRegularFile(m_path, O_WRONLY | O_CREAT);
            if (opened.fd < 0)
                return opened.notRegular ? opened.error : systemReason(opened.systemError);
            m_fd = opened.fd;
            struct stat info {};
            if (::fstat(m_fd, &info) != 0 || info.st_uid != ::geteuid()) {
                close();
                return QStringLiteral("the file belongs to another user");
            }
            while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
                if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
                    close();
                    return QStringLiteral("another save to the same file does not finish");
                }
                QThread::msleep(10);
            }
            if (stillNamesOurFile() && ::ftruncate(m_fd, 0) == 0 && ::fchmod(m_fd, PrivateFiles::fileMode) == 0)
                return std::nullopt;
            close(); // renamed away by the save before: try again with a fresh file
        }
    }
    int fd() const { return m_fd; }
    int close() {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }
    // Renames the file over `destination`, still holding the lock.
    bool commitAs(const QByteArray& destination) {
        if (::rename(m_name.constData(), destination.constData()) != 0)
            return false;
        m_committed = true;
        return true;
    }

private:
    bool stillNamesOurFile() const {
        struct stat ours {};
        struct stat named {};
        return ::fstat(m_fd, &ours) == 0 && ::lstat(m_name.constData(), &named) == 0 && ours.st_dev == named.st_dev &&
               ours.st_ino == named.st_ino;
    }

    QString m_path;
    QByteArray m_name;
    int m_fd = -1;
    bool m_committed = false;
};

// Only a regular file or a symbolic link (which is replaced itself, never its target) may be
// replaced; a named pipe, device, socket or folder at the destination is refused.
void checkDestination(const QString& destination) {
    struct stat info {};
    if (::lstat(QFile::encodeName(destination).constData(), &info) != 0) {
        if (errno == ENOENT)
            return;
        fail(QStringLiteral("Could not save"), destination, systemReason(errno));
    }
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))
        fail(QStringLiteral("Could not save"), destination,
             QStringLiteral("it is ") + PrivateFiles::describeFileType(info.st_mode) +
                 QStringLiteral(", and only a regular file is replaced"));
}

} // namespace

QString replacementStagingPath(const QString& destination) {
    const QFileInfo info(destination);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".saving");
}

void replaceFileAtomically(const QString& source, const QString& destination) {
    checkDestination(destination);
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Could not read"), source, input.errorString());

    const QString stagingPath = replacementStagingPath(destination);
    StagingFile staging(stagingPath);
    if (const std::optional<QString> failure = staging.take())
        fail(QStringLiteral("Could not write"), stagingPath, *failure);

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
    if (::fsync(staging.fd()) != 0)
        fail(QStringLiteral("Could not write"), stagingPath, systemReason(errno));
    // Looked at again right before the rename: a pipe or device put there meanwhile is not replaced.
    checkDestination(destination);
    if (!staging.commitAs(QFile::encodeName(destination)))
        fail(QStringLiteral("Could not save"), destination, systemReason(errno));
}

} // namespace pylon
