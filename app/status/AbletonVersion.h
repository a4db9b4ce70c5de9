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
    // Where this Live keeps its preferences: empty for the macOS layout (~/Library/Preferences/Ableton),
    // else the canonical path of the Wine prefix whose AppData holds them. Libraries of different places
    // are never one record, even when their paths are equal.
    QString winePrefix;
    // The place in short, "Wine: ~/.wine" or "macOS layout", present only when the list it belongs to
    // holds versions of more than one place; the rows and log lines then name it, and `id` carries it.
    std::optional<QString> placeLabel;
    bool operator==(const AbletonVersion&) const = default;
};

} // namespace pylon
