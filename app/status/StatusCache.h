#pragma once

#include "status/StatusResponse.h"

#include <optional>

namespace pylon {

class UserDefaults;

// The last status document, kept in the user defaults so the next start can show it before the
// first poll answers. A missing or unreadable cache is simply no status. A document larger than
// maxStatusDocumentSize is never cached nor loaded.
inline constexpr const char* statusCacheKey = "cachedAppState";

std::optional<StatusResponse> loadCachedStatus(const UserDefaults& defaults);
void saveCachedStatus(UserDefaults& defaults, const StatusResponse& status);

} // namespace pylon
