#pragma once

#include <QByteArray>
#include <QJsonValue>

namespace pylon {

// JSON laid out as the diagnostic report's readers know it from the Mac application: two spaces
// per level, " : " between key and value, keys in sorted order, empty containers as "[]" and "{}",
// no final line feed, and every "/" in a string written as "\/".
QByteArray prettyJson(const QJsonValue& value);

} // namespace pylon
