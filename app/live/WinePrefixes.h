#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QProcessEnvironment;

namespace pylon {

// Where Linux users keep the Wine prefixes that Live may run in. Finding them reads a handful of
// well-known folders one level deep and never writes; a missing or unreadable place finds nothing.

// Where a prefix was found. The order is the order in which places are searched, and the first place
// that yields a folder is the one recorded for it.
enum class WinePrefixSource {
    environment,    // $WINEPREFIX
    defaultPrefix,  // ~/.wine
    bottles,        // <data home>/bottles/bottles/*
    bottlesFlatpak, // ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*
    crossOver,      // ~/.cxoffice/*
    playOnLinux,    // ~/.PlayOnLinux/wineprefix/*
    lutris,         // "prefix" under "game" in a Lutris game configuration (*.yml)
    userAdded,      // the user's own list
};

// A short, stable identifier for logs and reports: "WINEPREFIX", "default", "Bottles", "Bottles Flatpak",
// "CrossOver", "PlayOnLinux", "Lutris", "user".
QString winePrefixSourceName(WinePrefixSource source);

struct WinePrefix {
    QString path;        // canonical absolute path of the folder that holds drive_c
    QString displayPath; // `path` with the home folder shown as "~" ("~/.wine")
    WinePrefixSource source = WinePrefixSource::userAdded;
    bool operator==(const WinePrefix&) const = default;
};

// Everything the search depends on, so that it can run against any folder tree.
struct WinePrefixSearch {
    QString homeDirectory;
    QString dataHome;           // the XDG data home; empty: <home>/.local/share
    QString configHome;         // the XDG config home; empty: <home>/.config
    QString winePrefixVariable; // the value of WINEPREFIX; empty when unset
    QStringList userAddedPrefixes;

    // The values a real session has: WINEPREFIX, XDG_DATA_HOME and XDG_CONFIG_HOME from `environment`
    // (relative XDG values are ignored, as the XDG rules require).
    static WinePrefixSearch fromEnvironment(const QProcessEnvironment& environment, const QString& homeDirectory,
                                            const QStringList& userAddedPrefixes);
};

// Lutris game configurations larger than this are not read: a real one is under a kilobyte.
inline constexpr qint64 maximumLutrisConfigSize = qint64(64) * 1024;

// The prefixes found, without duplicates (the same canonical folder reached twice is listed once, at
// its first place), in search order, folders of one place in name order. Each candidate costs a few
// stats; nothing is walked recursively.
QList<WinePrefix> findWinePrefixes(const WinePrefixSearch& search);

// Whether `folder` is a Wine prefix: it holds a "drive_c" folder ("dosdevices" and "system.reg" are
// usual, but Wine recreates them).
bool isWinePrefix(const QString& folder);

// `path` with a leading `homeDirectory` (as given or canonical) replaced by "~": "~/.wine", "~".
// Other paths are returned unchanged.
QString homeRelativeDisplayPath(const QString& path, const QString& homeDirectory);

// The absolute path that a Lutris game configuration names as "prefix" directly under "game", read line
// by line from block-style YAML; a leading "~/" stands for `homeDirectory`. Nothing when the key is
// missing, empty, null, not a plain or quoted one-line scalar, or not an absolute path.
std::optional<QString> lutrisGamePrefix(QByteArrayView yaml, const QString& homeDirectory);

} // namespace pylon
