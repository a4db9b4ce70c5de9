#pragma once

#include "companion/CompanionManager.h"
#include "foundation/FileLogger.h"

#include <QPointer>
#include <QString>
#include <qcoro/qcorotask.h>

namespace pylon {

class UserDefaults;

// Where the application keeps things for the user; the uninstall removes each of them.
struct UninstallLocations {
    QString applicationSupport; // <data home>/<appSupportFolderName>: logs, service state
    QString logs;               // <state home>/<bundle identifier>
    QString caches;             // <cache home>/<bundle identifier>
    QString autostartEntry;     // the entry that starts Pylon at login; empty: none to remove
};

// The uninstall removes everything the application stored for the user, in two parts: first the
// companion's registration, then the data, state and cache folders, the autostart entry and the
// settings domain. Each step is independent: a failure is logged and the next step runs. Installed
// control scripts and the application itself stay.

// The first part: completes once the service manager has answered for the registration (at once when
// the manager is gone). It holds nothing of the caller's, which may be gone by then.
QCoro::Task<> unregisterCompanionForUninstall(QPointer<CompanionManager> companionManager, FileLogger log);

// The second part, at once.
void removeUninstalledData(UserDefaults& defaults, const UninstallLocations& locations, const FileLogger& log);

// Deletes the folder (or file) at `path` if there is one, logging what happened under `label`.
void deleteIfExists(const QString& path, const QString& label, const FileLogger& log);

} // namespace pylon
