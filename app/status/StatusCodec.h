#pragma once

#include "status/JsonFields.h"
#include "status/StatusResponse.h"

#include <QByteArray>

namespace pylon {

// The most a status document may hold. A real one is a few kilobytes; anything larger is not the
// companion's and is neither decoded, nor accepted from the network, nor cached.
inline constexpr qsizetype maxStatusDocumentSize = qsizetype(1024) * 1024;

// Decodes a status document. Throws DecodingError for text that is not a JSON object (or is larger
// than maxStatusDocumentSize), for a required key that is missing or null, and for any value of
// the wrong JSON type. Condition strings that match no raw string take their fall-back case;
// unknown keys are ignored at every level.
StatusResponse decodeStatusResponse(const QByteArray& json);

// As decodeStatusResponse(), without the exception: the response, or nothing with `error` set.
std::optional<StatusResponse> tryDecodeStatusResponse(const QByteArray& json, QString* error = nullptr);

// Compact JSON; absent optionals are left out, conditions written as their raw strings.
QByteArray encodeStatusResponse(const StatusResponse& status);

} // namespace pylon
