#pragma once

#include <QString>
#include <QVariantMap>
#include <chrono>

namespace pylon {

// "2025-03-04T09:15:02.481Z": UTC, milliseconds, letter Z.
QString logTimestamp(std::chrono::system_clock::time_point time);

// `text` with every character that could end or disguise a line written as an escape: line feed,
// carriage return and tab as \n, \r and \t, the other C0 and C1 controls, DEL and the line and
// paragraph separators U+2028 and U+2029 as \uXXXX. Anything else, the backslash included, stays
// as it is, so ordinary text and Windows paths read as they were. A line feed followed by a space or
// tab stays: it starts an indented continuation line of the same entry (a list in a message), and an
// entry always begins with its timestamp, so no value can start an entry of its own.
QString escapeLogText(const QString& text);

// Metadata as compact JSON with keys in lexicographic order, values converted as
// QJsonValue::fromVariant converts them, every "/" written as "\/", and DEL, the C1 controls,
// U+2028/U+2029 and unpaired surrogates inside strings as \uXXXX, so the text stays on its line and
// has an exact UTF-8 form.
QString logMetadataJson(const QVariantMap& metadata);

// One line of the log file, line feed included:
// <timestamp> [<loggerName>][<component>] <message>[ <metadata JSON>]\n
// Empty metadata adds nothing, not even the space. Logger name, component, message and metadata
// are escaped (escapeLogText), so a value can never start an entry of its own.
QString composeLogLine(std::chrono::system_clock::time_point time, const QString& loggerName,
                       const QString& component, const QString& message, const QVariantMap& metadata);

} // namespace pylon
