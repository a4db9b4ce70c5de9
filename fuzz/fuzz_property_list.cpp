// XML property lists: the bundle's Info.plist and the launch-agent plists. Any bytes give a value or
// nothing, and a value read survives writing and reading again.

#include "FuzzCheck.h"

#include "platform/PropertyList.h"

#include <cstddef>
#include <cstdint>

using pylon::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QVariant> value = pylon::PropertyList::parse(input);
    if (!value)
        return 0;
    const QByteArray written = pylon::PropertyList::serialize(*value);
    const std::optional<QVariant> again = pylon::PropertyList::parse(written);
    check(again.has_value(), "a written property list reads back");
    // Dates lose their milliseconds and bad UTF-8 becomes replacement characters on the first
    // round; from then on nothing may change.
    check(pylon::PropertyList::serialize(*again) == written, "writing is stable after one round trip");
    return 0;
}
