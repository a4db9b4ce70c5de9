#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

namespace pylon::PropertyList {

// Reads an XML property list. Each value keeps its plist type as a QVariant type:
// <string> QString, <integer> qint64, <real> double, <true/>/<false/> bool, <date> QDateTime (UTC),
// <data> QByteArray, <array> QVariantList, <dict> QVariantMap. Returns nothing for a document that
// is not a well-formed plist (bad XML, no <plist> root, an unknown element, a <key> without value).
std::optional<QVariant> parse(const QByteArray& xml);

// Reads the file at `path` with parse(); nothing if the file cannot be read.
std::optional<QVariant> parseFile(const QString& path);

// Writes an XML property list for the supported value types (see parse()).
QByteArray serialize(const QVariant& root);

} // namespace pylon::PropertyList
