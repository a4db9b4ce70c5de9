// Live's Library.cfg, read from every Live preference folder (and every Wine prefix) it finds: any
// bytes give a path or nothing, and a path that comes back is never empty.

#include "FuzzCheck.h"

#include "live/LibraryConfig.h"

#include <cstddef>
#include <cstdint>

using pylon::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString home = QStringLiteral("/home/alice");
    const std::optional<QString> path = pylon::userLibraryPathFromConfig(input, home);
    if (!path)
        return 0;
    check(!path->isEmpty(), "a found path is not empty");
    check(!path->startsWith(QLatin1String("~/")), "a leading ~/ is replaced by the home folder");
    return 0;
}
