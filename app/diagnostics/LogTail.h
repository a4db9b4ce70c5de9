#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace pylon {

// Line splitting of log text. Every one of these characters ends a line: line feed, vertical tab,
// form feed, carriage return, next line (U+0085), line separator (U+2028) and paragraph separator
// (U+2029). A carriage return followed by a line feed is two line ends with an empty line between
// them, and text ending in a line end has a final empty line.
bool isLogLineSeparator(char16_t character);
QStringList splitLogLines(const QString& text);

// The most read from the end of one log, whatever it holds: 2 MiB.
inline constexpr qint64 defaultMaxTailBytes = qint64(2) * 1024 * 1024;

// What starts a first kept line that begins in the middle of a line: "[…] ".
QString cutLineMark();

// The last `maxLines` lines of the file at `path` as splitLogLines() gives them for the whole
// file, read from the end backwards in blocks of `blockSize` bytes until enough line ends are
// found, but never more than the last `maxBytes` bytes: so the cost follows the length of the
// kept lines, and is bounded whatever the file holds. When the bound comes first, the text starts
// at the first whole character within it and its first line, if cut, starts with cutLineMark().
// Nothing when the path holds no regular file (a link, a named pipe, a device: it is never
// followed or waited on), the file cannot be read or the bytes kept are not valid UTF-8 (bytes
// before them are never looked at). A byte-order mark is kept as a character.
std::optional<QStringList> readLastLogLines(const QString& path, int maxLines, qint64 blockSize = qint64(64) * 1024,
                                            qint64 maxBytes = defaultMaxTailBytes);

} // namespace pylon
