// The last lines of a log file as the diagnostic report reads them: backwards in blocks, within a
// bound of bytes. Whatever the file holds and however the blocks fall, the lines are those of the
// whole file; within the bound they are its last lines, the first one perhaps cut and marked.

#include "FuzzCheck.h"
#include "diagnostics/LogTail.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

using pylon::fuzz::check;

namespace {

// One file, written anew for each input.
const QString& logPath() {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("tail.log"));
    return path;
}

bool write(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes.data(), bytes.size()) == bytes.size();
}

std::optional<QStringList> wholeFileLines(QByteArrayView bytes) {
    // Stateless: a character cut at the end of the file is an error, not kept for more bytes.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return pylon::splitLogLines(text);
}

// Read within a bound: the last lines of the whole file, of which the first may be the end of its line.
void checkBounded(const QStringList& all, const QStringList& tail, int maxLines) {
    check(!tail.isEmpty() && tail.size() <= std::min<qsizetype>(maxLines, all.size()), "at most the lines asked for");
    const qsizetype offset = all.size() - tail.size();
    for (qsizetype i = 1; i < tail.size(); ++i)
        check(tail[i] == all[offset + i], "every line after the first is whole");
    QString first = tail.first();
    const bool marked = first.startsWith(pylon::cutLineMark());
    if (marked)
        first.remove(0, pylon::cutLineMark().size());
    check(all[offset].endsWith(first), "the first line is the end of its line");
    check(marked || first == all[offset], "a cut first line is marked");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    // Three bytes choose how many lines, the block size and the bound; the rest is the file.
    const int maxLines = data[0] % 16 + 1;
    const qint64 blockSize = data[1] % 8 + 1;
    const qint64 maxBytes = data[2] + 1;
    const QByteArrayView bytes(data + 3, qsizetype(size - 3));
    check(write(logPath(), bytes), "the log file is written");

    const std::optional<QStringList> all = wholeFileLines(bytes);
    const std::optional<QStringList> unbounded = pylon::readLastLogLines(logPath(), maxLines, blockSize, size);
    if (all) {
        const QStringList expected = all->mid(std::max<qsizetype>(0, all->size() - maxLines));
        check(unbounded == expected, "the last lines of a valid file are those of the whole file");
    }
    const std::optional<QStringList> bounded = pylon::readLastLogLines(logPath(), maxLines, blockSize, maxBytes);
    if (all) {
        check(bounded.has_value(), "a valid file gives its last lines within any bound");
        checkBounded(*all, *bounded, maxLines);
    }
    if (qsizetype(maxBytes) >= bytes.size())
        check(bounded == unbounded, "a bound beyond the file changes nothing");
    return 0;
}
