// Update feeds as the network delivers them: any bytes give items or an AppcastError, every item
// kept has a version and a web address to open, and the newest item is one of them.

#include "FuzzCheck.h"

#include "updates/AppcastFeed.h"

#include <cstddef>
#include <cstdint>

using pylon::fuzz::check;

namespace {

bool isWebUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    pylon::AppcastFeed feed;
    try {
        feed = pylon::AppcastFeed::parse(input);
    } catch (const pylon::AppcastError& error) {
        check(!error.description().isEmpty(), "a refused feed says why");
        return 0;
    }
    for (const pylon::AppcastItem& item : feed.items()) {
        check(!item.version.isEmpty(), "every item has a version");
        check(isWebUrl(item.downloadUrl()), "every item opens a web address");
        check(item.releaseNotesLink.isEmpty() || isWebUrl(item.releaseNotesLink), "release notes are on the web");
    }
    const std::optional<pylon::AppcastItem> newest = feed.newestItem();
    check(!newest || feed.items().contains(*newest), "the newest item is one of the items");
    return 0;
}
