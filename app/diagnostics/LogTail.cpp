#include "diagnostics/LogTail.h"

#include "foundation/PrivateFiles.h"

#include <QStringDecoder>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pylon {

namespace {

// The length in bytes of a line end starting at byte `i` of the UTF-8 text seen through `at`, or 0.
// `at` answers -1 beyond the bytes known so far. In valid UTF-8, C2 and E2 only ever lead a
// character, so these byte sequences are always the separators themselves.
template <typename At> int separatorLengthAt(qint64 i, const At& at) {
    const int first = at(i);
    if (first >= 0x0A && first <= 0x0D)
        return 1;
    if (first == 0xC2)
        return at(i + 1) == 0x85 ? 2 : 0;
    if (first == 0xE2 && at(i + 1) == 0x80) {
        const int third = at(i + 2);
        return third == 0xA8 || third == 0xA9 ? 3 : 0;
    }
    return 0;
}

// Closes the descriptor when the reading ends, however it ends.
struct FileDescriptor {
    explicit FileDescriptor(int descriptor)
        : fd(descriptor) {}
    ~FileDescriptor() { ::close(fd); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd;
};

// `length` bytes from `offset`, fewer only at a failure or the end of the file.
QByteArray readAt(int fd, qint64 offset, qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

// Whether `bytes` end with one of the line ends of isLogLineSeparator, in UTF-8.
bool endsWithLineSeparator(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return false;
    const uchar last = uchar(bytes.back());
    return (last >= 0x0A && last <= 0x0D) || bytes.endsWith("\xC2\x85") || bytes.endsWith("\xE2\x80\xA8") ||
           bytes.endsWith("\xE2\x80\xA9");
}

std::optional<QString> decodeStrictUtf8(const QByteArray& bytes) {
    // ConvertInitialBom keeps a leading U+FEFF, so the text does not depend on where reading began.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString cutLineMark() {
    return QStringLiteral("[\u2026] ");
}

bool isLogLineSeparator(char16_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

QStringList splitLogLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isLogLineSeparator(text.at(i).unicode())) {
            lines << text.mid(start, i - start);
            start = i + 1;
        }
    }
    lines << text.mid(start);
    return lines;
}

namespace {

// The blocks read backwards from the end of a file, down to `blockStart`, and where the kept text
// starts: right after the maxLines-th line end from the end (`found`), or at the window's start.
struct ScannedTail {
    std::vector<QByteArray> blocks; // from the end backwards
    qint64 blockStart = 0;
    qint64 keepFrom = 0;
    bool found = false;
};

std::optional<ScannedTail> scanBackwards(int fd, qint64 size, qint64 windowStart, int maxLines, qint64 blockSize) {
    ScannedTail scan;
    scan.blockStart = size;
    scan.keepFrom = windowStart;
    QByteArray following; // the first bytes after the current block (at most two)
    int lineEnds = 0;
    while (scan.blockStart > windowStart && !scan.found) {
        const qint64 length = std::min(blockSize, scan.blockStart - windowStart);
        scan.blockStart -= length;
        QByteArray block = readAt(fd, scan.blockStart, length);
        if (block.size() != length)
            return std::nullopt;
        const auto at = [&](qint64 j) -> int {
            if (j < length)
                return static_cast<unsigned char>(block.at(j));
            j -= length;
            return j < following.size() ? static_cast<unsigned char>(following.at(j)) : -1;
        };
        for (qint64 i = length - 1; i >= 0; --i) {
            const int separator = separatorLengthAt(i, at);
            if (separator > 0 && ++lineEnds == maxLines) {
                scan.keepFrom = scan.blockStart + i + separator;
                scan.found = true;
                break;
            }
        }
        following = (block.left(2) + following).left(2);
        scan.blocks.push_back(std::move(block));
    }
    return scan;
}

// The bytes from `keepFrom` on; the line end before them may reach into the following blocks.
QByteArray joinKept(ScannedTail& scan, qint64 size) {
    QByteArray tail;
    tail.reserve(size - scan.keepFrom);
    qint64 skip = scan.keepFrom - scan.blockStart;
    for (auto it = scan.blocks.rbegin(); it != scan.blocks.rend(); ++it) {
        const QByteArrayView bytes(*it);
        if (skip < bytes.size())
            tail += bytes.sliced(skip);
        skip = std::max<qint64>(0, skip - bytes.size());
        it->clear();
    }
    return tail;
}

// A window that began inside a character starts at the next one; whether the first line was cut,
// that is no line end lies right before the kept bytes.
bool startAtWholeCharacter(int fd, QByteArray& tail, qint64 windowStart) {
    qsizetype continuation = 0;
    while (continuation < std::min<qsizetype>(3, tail.size()) && (uchar(tail.at(continuation)) & 0xC0) == 0x80)
        ++continuation;
    tail.remove(0, continuation);
    const qint64 keptFrom = windowStart + continuation;
    return !endsWithLineSeparator(readAt(fd, std::max<qint64>(0, keptFrom - 3), std::min<qint64>(3, keptFrom)));
}

} // namespace

std::optional<QStringList> readLastLogLines(const QString& path, int maxLines, qint64 blockSize, qint64 maxBytes) {
    // Only a regular file, never through a link at the last component, and never waiting on a
    // named pipe or device in its place.
    const PrivateFiles::OpenedFile opened = PrivateFiles::openRegularFile(path, O_RDONLY);
    if (opened.fd < 0)
        return std::nullopt;
    const FileDescriptor file(opened.fd);
    if (maxLines <= 0)
        return QStringList();

    // Lines appended while we read are not looked at: the size is fixed here. Nothing before the
    // last `maxBytes` is read, however few line ends the file holds.
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return std::nullopt;
    const qint64 size = info.st_size;
    const qint64 windowStart = size - std::min(size, std::max<qint64>(maxBytes, 1));
    std::optional<ScannedTail> scan =
        scanBackwards(file.fd, size, windowStart, maxLines, std::max<qint64>(blockSize, 1));
    if (!scan)
        return std::nullopt;
    QByteArray tail = joinKept(*scan, size);
    const bool cut = !scan->found && windowStart > 0 && startAtWholeCharacter(file.fd, tail, windowStart);
    std::optional<QString> text = decodeStrictUtf8(tail);
    tail = QByteArray();
    if (!text)
        return std::nullopt;
    QStringList lines = splitLogLines(*text);
    if (cut)
        lines.first().prepend(cutLineMark());
    return lines;
}

} // namespace pylon
