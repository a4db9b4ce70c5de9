#pragma once

#include <QString>
#include <qcoro/qcorotask.h>

namespace pylon {

class CompanionManager;
class FileLogger;
class UserDefaults;

// Where the application keeps things for the user; the uninstall removes each of them.
struct UninstallLocations {
    QString applicationSupport; // <data home>/<appSupportFolderName>: logs, service state
    QString logs;               // <state home>/<bundle identifier>
    QString caches;             // <cache home>/<bundle identifier>
    QString autostartEntry;     // the entry that starts Pylon at login; empty: none to remove
};

// Removes everything the application stored for the user: the companion's registration, the data,
// state and cache folders, and the settings domain. Each step is independent: a failure is logged
// and the next step runs. Installed control scripts and the application itself stay. Completes
// once the service manager has answered for the registration and every step has run; the manager,
// the defaults and the logger must outlive it.
QCoro::Task<> performUninstallCleanup(CompanionManager& companionManager, UserDefaults& defaults,
                                      UninstallLocations locations, const FileLogger& log);

// Deletes the folder (or file) at `path` if there is one, logging what happened under `label`.
void deleteIfExists(const QString& path, const QString& label, const FileLogger& log);

} // namespace pylon
