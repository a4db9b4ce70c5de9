#include "foundation/PrivateFiles.h"

#include <QFile>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pylon::PrivateFiles {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString quoted(const QString& path) {
    return QStringLiteral("\u201C") + path + QStringLiteral("\u201D");
}

} // namespace

QString describeFileType(mode_t mode) {
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISREG(mode))
        return QStringLiteral("a regular file");
    return QStringLiteral("an unknown kind of file");
}

std::optional<QString> makePrivateFolder(const QString& path) {
    if (path.isEmpty() || !path.startsWith(QLatin1Char('/')))
        return QStringLiteral("the folder ") + quoted(path) + QStringLiteral(" is not an absolute path");
    // Folders that are missing are made one by one from the top, each 0700 from the start.
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix;
    for (const QString& part : parts) {
        prefix += QLatin1Char('/') + part;
        if (::mkdir(QFile::encodeName(prefix).constData(), folderMode) != 0 && errno != EEXIST)
            return QStringLiteral("could not create the folder ") + quoted(prefix) + QStringLiteral(": ") +
                   systemReason(errno);
    }
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("could not create the folder ") + quoted(path) + QStringLiteral(": ") +
               systemReason(errno);
    if (!S_ISDIR(info.st_mode))
        return quoted(path) + QStringLiteral(" is ") + describeFileType(info.st_mode) +
               QStringLiteral(", not a folder");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("the folder ") + quoted(path) + QStringLiteral(" belongs to another user");
    if ((info.st_mode & 07777) != folderMode && ::chmod(QFile::encodeName(path).constData(), folderMode) != 0)
        return QStringLiteral("could not make the folder ") + quoted(path) + QStringLiteral(" private: ") +
               systemReason(errno);
    return std::nullopt;
}

OpenedFile openRegularFile(const QString& path, int flags, bool makePrivate) {
    OpenedFile opened;
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a named pipe without a partner, or a device, must not hang; the type is
    // checked right after on the descriptor itself, so nothing can be swapped in between.
    const int fd = ::open(name.constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, fileMode);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        // ELOOP for a link at the last component, ENXIO for a pipe without a reader, EISDIR for a
        // folder: say what is there rather than the system's riddle.
        if (::lstat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
            opened.notRegular = true;
            opened.error = quoted(path) + QStringLiteral(" is ") + describeFileType(info.st_mode) +
                           QStringLiteral(", not a regular file");
        } else {
            opened.systemError = error;
            opened.error = quoted(path) + QStringLiteral(": ") + systemReason(error);
        }
        return opened;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        opened.systemError = errno;
        opened.error = quoted(path) + QStringLiteral(": ") + systemReason(opened.systemError);
        ::close(fd);
        return opened;
    }
    if (!S_ISREG(info.st_mode)) {
        opened.notRegular = true;
        opened.error = quoted(path) + QStringLiteral(" is ") + describeFileType(info.st_mode) +
                       QStringLiteral(", not a regular file");
        ::close(fd);
        return opened;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    if (makePrivate && info.st_uid == ::geteuid() && (info.st_mode & 07777) != fileMode)
        ::fchmod(fd, fileMode);
    opened.fd = fd;
    return opened;
}

} // namespace pylon::PrivateFiles
