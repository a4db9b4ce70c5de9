// Status documents as the companion's HTTP endpoint (or anything else on the port) sends them.
// Decoding never throws anything but its DecodingError, and what it decodes survives the cache's
// round trip: encoding and decoding again gives the same document.

#include "FuzzCheck.h"

#include "status/StatusCodec.h"

#include <cstddef>
#include <cstdint>

using pylon::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const std::optional<pylon::StatusResponse> status = pylon::tryDecodeStatusResponse(input, &error);
    check(status.has_value() != !error.isEmpty(), "an error text exactly when decoding fails");
    if (!status)
        return 0;
    const QByteArray encoded = pylon::encodeStatusResponse(*status);
    const std::optional<pylon::StatusResponse> again = pylon::tryDecodeStatusResponse(encoded);
    check(again.has_value(), "an encoded status decodes");
    // Text that is not valid Unicode comes back as replacement characters, so the second round is
    // compared: from then on nothing may change.
    check(pylon::encodeStatusResponse(*again) == encoded, "encoding is stable after one round trip");
    return 0;
}
