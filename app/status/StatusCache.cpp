#include "status/StatusCache.h"

#include "platform/UserDefaults.h"
#include "status/StatusCodec.h"

namespace pylon {

std::optional<StatusResponse> loadCachedStatus(const UserDefaults& defaults) {
    const auto bytes = defaults.data(QString::fromLatin1(statusCacheKey));
    if (!bytes)
        return std::nullopt;
    return tryDecodeStatusResponse(*bytes);
}

void saveCachedStatus(UserDefaults& defaults, const StatusResponse& status) {
    defaults.setData(QString::fromLatin1(statusCacheKey), encodeStatusResponse(status));
}

} // namespace pylon
