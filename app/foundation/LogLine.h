#pragma once

#include <QString>
#include <QVariantMap>
#include <chrono>

namespace pylon {

// "2025-03-04T09:15:02.481Z": UTC, milliseconds, letter Z.
QString logTimestamp(std::chrono::system_clock::time_point time);

// Metadata as compact JSON with keys in lexicographic order and every "/" written as "\/".
QString logMetadataJson(const QVariantMap& metadata);

// One line of the log file, line feed included:
// <timestamp> [<loggerName>][<component>] <message>[ <metadata JSON>]\n
// Empty metadata adds nothing, not even the space.
QString composeLogLine(std::chrono::system_clock::time_point time, const QString& loggerName,
                       const QString& component, const QString& message, const QVariantMap& metadata);

} // namespace pylon
