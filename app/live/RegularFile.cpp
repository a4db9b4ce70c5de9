#include "live/RegularFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pylon {

std::optional<QByteArray> readSmallRegularFile(const QString& path, qint64 limit) {
    return readSmallRegularFileAt(AT_FDCWD, QFile::encodeName(path).constData(), limit);
}

std::optional<QByteArray> readSmallRegularFileAt(int directory, const char* path, qint64 limit) {
    const int fd = ::openat(directory, path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > limit)
        return std::nullopt;
    // One byte more than the file's size, so that the end is seen in one pass; a file that grew since
    // fstat fills the buffer, which then grows, never beyond one byte over the limit.
    QByteArray contents(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == contents.size()) {
            if (total > limit)
                return std::nullopt;
            contents.resize(qsizetype(std::min(limit + 1, std::max<qint64>(2 * total, 4096))));
        }
        const qint64 wanted = contents.size() - total;
        const ssize_t n = ::read(fd, contents.data() + total, size_t(wanted));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        total += n;
        // Local file systems give a regular file's bytes in full up to its end, so a short read is the
        // end and needs no second read to confirm it. (Where a read can stop early, the text is cut
        // short and fails to parse: the same as an unreadable file.)
        if (n < wanted)
            break;
    }
    if (total > limit)
        return std::nullopt;
    contents.truncate(qsizetype(total));
    return contents;
}

} // namespace pylon
