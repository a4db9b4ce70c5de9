#pragma once

#include <QString>

namespace pylon {

class CompanionManager;
class FileLogger;
class UserDefaults;

// Where the application keeps things for the user; the uninstall removes each of them.
struct UninstallLocations {
    QString applicationSupport; // <data home>/<appSupportFolderName>: logs, service state
    QString logs;               // <state home>/<bundle identifier>
    QString caches;             // <cache home>/<bundle identifier>
};

// Removes everything the application stored for the user: the companion's registration, the data,
// state and cache folders, and the settings domain. Each step is independent: a failure is logged
// and the next step runs. Installed control scripts and the application itself stay.
void performUninstallCleanup(CompanionManager& companionManager, UserDefaults& defaults,
                             const UninstallLocations& locations, const FileLogger& log);

// Deletes the folder (or file) at `path` if there is one, logging what happened under `label`.
void deleteIfExists(const QString& path, const QString& label, const FileLogger& log);

} // namespace pylon
