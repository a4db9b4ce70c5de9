#pragma once

#include <QString>
#include <QStringList>

namespace pylon {

class UserDefaults;

// The Wine prefixes the user added to those Pylon finds by itself, kept in the user defaults under
// "pylon.wine.addedPrefixes" as absolute paths in the order added.

inline const QString addedWinePrefixesKey = QStringLiteral("pylon.wine.addedPrefixes");

QStringList userAddedWinePrefixes(const UserDefaults& defaults);

struct WinePrefixAddition {
    enum class Outcome {
        added,        // the folder is a prefix and is now in the list
        alreadyAdded, // the folder (or another path to it) was in the list already
        refused,      // not a prefix: nothing was stored
    };
    Outcome outcome = Outcome::refused;
    QString path;    // the absolute, cleaned path of the folder
    QString message; // what was done, or why not, as the user is told
};

// Adds `folder` (absolute, or relative to the working folder) to the list when it is a Wine prefix: a
// folder that holds a "drive_c" folder. `homeDirectory` only shortens the path in the message ("~").
WinePrefixAddition addUserWinePrefix(UserDefaults& defaults, const QString& folder, const QString& homeDirectory);

} // namespace pylon
