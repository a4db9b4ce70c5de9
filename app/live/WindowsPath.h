#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace pylon {

// Windows paths as Live under Wine writes them into its Library.cfg, and their Linux counterparts
// inside a Wine prefix. Nothing here writes to the file system, and no malformed path or odd file
// system (broken or circular links, unreadable folders) raises: the worst outcome is "no path".

// A drive-letter Windows path, "C:\Users\me\Documents\Ableton", split into its components. "." and
// ".." are resolved the way Windows resolves them: lexically, before any link is followed, and never
// above the drive's root ("C:\..\x" is "C:\x").
struct WindowsPath {
    QChar drive;            // lower case 'a' to 'z', as in the names of Wine's dosdevices links
    QStringList components; // never empty, ".", ".." or holding a character Windows forbids; case as written

    // Accepts "\" and "/" as separators, doubled and trailing ones included. Nothing for UNC
    // ("\\server\share") and device ("\\?\", "\\.\") paths, paths without a drive letter, drive-relative
    // paths ("C:folder", "C:") and components with a character that no Windows file name holds.
    static std::optional<WindowsPath> parse(QStringView text);

    // "C:\Users\me"; "C:\" for the root.
    QString toString() const;

    // Equal for two paths that name the same item inside ONE prefix: drive and components compared
    // case-insensitively, as Windows does. Keys of different prefixes must not be compared: each
    // prefix has its own drives.
    QString comparisonKey() const;

    bool operator==(const WindowsPath&) const = default;
};

// The canonical Linux folder that `drive` stands for in `prefix`: the target of the link
// "<prefix>/dosdevices/<drive>:" ("c:" → "../drive_c", "z:" → "/"). Nothing when the link is
// missing, broken, circular or does not lead to a folder.
std::optional<QString> wineDriveRoot(const QString& prefix, QChar drive);

// The Linux path that `windowsPath` names in `prefix`, found the way Wine finds it: the drive through
// its dosdevices link, then each component by its exact name, else by the first entry of that one
// folder whose name equals it case-insensitively. Links on the way (Wine's "Documents" → the Linux
// home's folder) are followed, and the existing part of the result is canonical. Components from the
// first one that is not there are appended as written, so a library that does not exist (yet) still
// has a path. Nothing when the text does not parse or the drive has no root.
std::optional<QString> mapWindowsPath(const QString& prefix, const WindowsPath& windowsPath);
std::optional<QString> mapWindowsPath(const QString& prefix, QStringView windowsPath);

// One Windows Live preference folder inside a prefix,
// "drive_c/users/<user>/AppData/Roaming/Ableton/Live <version>".
struct WineLivePreferences {
    QString version;           // "12.1.5": the folder name without "Live "
    QString displayName;       // "Live 12.1": "Live " + the version's first two pieces
    QString libraryConfigPath; // ".../Live 12.1.5/Preferences/Library.cfg", whether or not it exists
    QString prefix;            // the prefix as passed in: Windows paths read from the file belong to it
    QString windowsUser;       // the user's folder name under drive_c/users
    bool operator==(const WineLivePreferences&) const = default;
};

// The Live preference folders of every user of `prefix` except "Public", under "AppData/Roaming"
// (Wine since 6.x) and "Application Data" (older Wine), names matched as Wine matches them. Folder
// names qualify as on macOS: "Live " + digits, ".", digits, anything. Users and folders in name
// order; a folder reached twice (one a link to the other) is listed once.
QList<WineLivePreferences> findWineLivePreferences(const QString& prefix);

} // namespace pylon
