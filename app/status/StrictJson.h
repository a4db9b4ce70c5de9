#pragma once

#include <QByteArray>
#include <optional>
#include <string>

namespace pylon {

// What QJsonDocument accepts beyond JSON (RFC 8259), found before it parses: raw control characters
// inside strings, numbers such as "1." or "1.e2" or "01", unknown escapes, and \u escapes of lone
// surrogates. The description of the first one found, or nothing when the text is strict JSON in
// these respects (everything else is left to the parser).
std::optional<std::string> strictJsonViolation(const QByteArray& json);

} // namespace pylon
