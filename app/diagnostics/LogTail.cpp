#include "diagnostics/LogTail.h"

#include <QFile>
#include <QStringDecoder>
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

std::optional<QStringList> readLastLogLines(const QString& path, int maxLines, qint64 blockSize) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (maxLines <= 0)
        return QStringList();
    blockSize = std::max<qint64>(blockSize, 1);

    // Lines appended while we read are not looked at: the size is fixed here.
    const qint64 size = file.size();
    std::vector<QByteArray> blocks; // from the end backwards
    QByteArray following;           // the first bytes after the current block (at most two)
    qint64 blockStart = size;
    qint64 keepFrom = 0; // file offset of the first kept byte
    int lineEnds = 0;
    bool found = false;
    while (blockStart > 0 && !found) {
        const qint64 length = std::min(blockSize, blockStart);
        blockStart -= length;
        if (!file.seek(blockStart))
            return std::nullopt;
        QByteArray block = file.read(length);
        if (block.size() != length)
            return std::nullopt;
        const auto at = [&](qint64 j) -> int {
            if (j < length)
                return static_cast<unsigned char>(block.at(j));
            j -= length;
            return j < following.size() ? static_cast<unsigned char>(following.at(j)) : -1;
        };
        // The maxLines-th line end from the end starts the kept text right after it.
        for (qint64 i = length - 1; i >= 0; --i) {
            const int separator = separatorLengthAt(i, at);
            if (separator > 0 && ++lineEnds == maxLines) {
                keepFrom = blockStart + i + separator;
                found = true;
                break;
            }
        }
        following = (block.left(2) + following).left(2);
        blocks.push_back(std::move(block));
    }

    QByteArray tail;
    tail.reserve(size - keepFrom);
    // The line end before the kept text may reach into the following blocks.
    qint64 skip = keepFrom - blockStart;
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
        const QByteArrayView bytes(*it);
        if (skip < bytes.size())
            tail += bytes.sliced(skip);
        skip = std::max<qint64>(0, skip - bytes.size());
        it->clear();
    }
    std::optional<QString> text = decodeStrictUtf8(tail);
    if (!text)
        return std::nullopt;
    return splitLogLines(*text);
}

} // namespace pylon
