#include "diagnostics/ReportFolder.h"

#include "diagnostics/DiagnosticError.h"
#include "foundation/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pylon {

namespace {

const QString folderPrefix = QStringLiteral("report-");

int openFolder(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The base folder locked while the object lives: a report's folder is created and locked, and
// leftovers are looked for, one process at a time, so a fresh folder is never taken for a leftover.
class BaseLock {
public:
    explicit BaseLock(const QString& base)
        : m_fd(openFolder(base)) {
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~BaseLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    BaseLock(const BaseLock&) = delete;
    BaseLock& operator=(const BaseLock&) = delete;

private:
    int m_fd;
};

QString capitalized(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

ReportFolder::ReportFolder(QString path, int lockFd)
    : m_path(std::move(path))
    , m_lockFd(lockFd) {}

ReportFolder::~ReportFolder() {
    remove();
}

std::shared_ptr<ReportFolder> ReportFolder::create(const QString& base) {
    if (const std::optional<QString> failure = PrivateFiles::makePrivateFolder(base))
        throw ReportFileError(capitalized(*failure));
    const BaseLock lock(base);
    QByteArray name = QFile::encodeName(base + QLatin1Char('/') + folderPrefix + QStringLiteral("XXXXXX"));
    if (!::mkdtemp(name.data())) {
        throw ReportFileError(QStringLiteral("Could not create the folder \u201C") + base + QStringLiteral("\u201D: ") +
                              QString::fromLocal8Bit(std::strerror(errno)));
    }
    const QString path = QFile::decodeName(name);
    const int fd = openFolder(path);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        QDir(path).removeRecursively();
        throw ReportFileError(QStringLiteral("Could not lock the folder \u201C") + path + QStringLiteral("\u201D: ") +
                              QString::fromLocal8Bit(std::strerror(error)));
    }
    return std::shared_ptr<ReportFolder>(new ReportFolder(path, fd));
}

void ReportFolder::remove() {
    if (m_lockFd < 0)
        return;
    // Removed while still locked: no one takes it for a leftover half-way.
    QDir(m_path).removeRecursively();
    ::close(m_lockFd);
    m_lockFd = -1;
}

int clearLeftoverReportFolders(const QString& base) {
    if (!QDir(base).exists())
        return 0;
    const BaseLock lock(base);
    int cleared = 0;
    const QStringList names =
        QDir(base).entryList({folderPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : names) {
        const QString path = base + QLatin1Char('/') + name;
        const int fd = openFolder(path);
        if (fd < 0)
            continue;
        // A report that still runs holds its lock; only an abandoned folder is free.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            QDir(path).removeRecursively();
            ++cleared;
        }
        ::close(fd);
    }
    return cleared;
}

} // namespace pylon
