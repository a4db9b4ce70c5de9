#pragma once

#include <QString>
#include <optional>

namespace pylon {

// Live keeps one preference folder per installed version, named "Live " and the version: "Live 12.1.5",
// "Live 12.1b10", "Live 11.3.13 Suite". The same rule holds for the macOS layout and for Windows' AppData.
// Only entries that are folders themselves count: Live creates its preference folders, and a symbolic
// link in place of one is skipped, so that one Live's preferences linked into a second place (another
// Wine prefix, say) are not taken for a second Live.

struct LiveVersionFolderName {
    QString version;     // the name without "Live ": "12.1.5"
    QString displayName; // "Live " + the version's first two dot-separated pieces: "Live 12.1"
    bool operator==(const LiveVersionFolderName&) const = default;
};

// The version a folder name stands for: "Live " (case-sensitive, one space), then digits, ".", digits and
// anything else. Nothing for "Live 12", "Live Beta", "live 12.1.5" and "Live  12.1".
std::optional<LiveVersionFolderName> parseLiveVersionFolderName(const QString& name);

// The major version: the first dot-separated piece ("12" for "12.1.5"), or the whole text without one.
QString majorLiveVersion(const QString& version);

} // namespace pylon
