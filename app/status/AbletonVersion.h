#pragma once

#include <QString>
#include <optional>

namespace pylon {

// One detected Live User Library, or one Live major version whose library was not found.
struct AbletonVersion {
    QString id;                                     // the User Library path, or "no-library-" + major version
    QString version;                                // the major version, e.g. "12"
    QString displayName;                            // "Live 12 User Library"
    std::optional<QString> userLibraryPath;         // present when the configured library exists
    std::optional<QString> expectedUserLibraryPath; // present whenever Library.cfg named a library
    bool isRemoteScriptInstalled = false;           // "Remote Scripts/Pylon" exists in the library
    bool operator==(const AbletonVersion&) const = default;
};

} // namespace pylon
