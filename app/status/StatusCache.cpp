#include "status/StatusCache.h"

#include "platform/UserDefaults.h"
#include "status/StatusCodec.h"

namespace pylon {

std::optional<StatusResponse> loadCachedStatus(const UserDefaults& defaults) {
    const auto bytes = defaults.data(QString::fromLatin1(statusCacheKey));
    if (!bytes || bytes->size() > maxStatusDocumentSize)
        return std::nullopt;
    return tryDecodeStatusResponse(*bytes);
}

void saveCachedStatus(UserDefaults& defaults, const StatusResponse& status) {
    // Written out again a status can grow (an exponent becomes digits): a document over the limit
    // is never cached, and an older cache gives way rather than stand for it.
    const QByteArray encoded = encodeStatusResponse(status);
    if (encoded.size() > maxStatusDocumentSize) {
        defaults.remove(QString::fromLatin1(statusCacheKey));
        return;
    }
    defaults.setData(QString::fromLatin1(statusCacheKey), encoded);
}

} // namespace pylon
