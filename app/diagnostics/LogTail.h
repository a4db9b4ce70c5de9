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

// The last `maxLines` lines of the file at `path` as splitLogLines() gives them for the whole
// file, read from the end backwards in blocks of `blockSize` bytes until enough line ends are
// found, so the cost follows the length of the kept lines, not the size of the file. Nothing when
// the file cannot be opened or the bytes read are not valid UTF-8 (bytes before the kept lines
// are never looked at). A byte-order mark is kept as a character.
std::optional<QStringList> readLastLogLines(const QString& path, int maxLines, qint64 blockSize = qint64(64) * 1024);

} // namespace pylon
