#include "core/UninstallCleanup.h"

#include "companion/CompanionManager.h"
#include "foundation/FileLogger.h"
#include "platform/ServiceManager.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace pylon {

QCoro::Task<> unregisterCompanionForUninstall(QPointer<CompanionManager> companionManager, FileLogger log) {
    log.info(QStringLiteral("Starting uninstall cleanup..."));
    std::optional<QString> failure;
    if (!companionManager) {
        failure = QStringLiteral("the companion manager is gone");
    } else {
        try {
            auto unregistering = companionManager->unregisterAgent();
            co_await unregistering;
        } catch (const ServiceError& e) {
            failure = e.description();
        }
    }
    if (failure)
        log.error(QStringLiteral("Failed to unregister launch agent: ") + *failure);
    else
        log.info(QStringLiteral("Launch agent unregistered"));
}

void removeUninstalledData(UserDefaults& defaults, const UninstallLocations& locations, const FileLogger& log) {
    deleteIfExists(locations.applicationSupport, QStringLiteral("Application Support"), log);
    deleteIfExists(locations.logs, QStringLiteral("Logs"), log);
    deleteIfExists(locations.caches, QStringLiteral("Cache"), log);
    if (!locations.autostartEntry.isEmpty())
        deleteIfExists(locations.autostartEntry, QStringLiteral("Autostart entry"), log);
    defaults.removePersistentDomain();
    defaults.synchronize();
    log.info(QStringLiteral("UserDefaults cleared"));
    log.info(QStringLiteral("Uninstall cleanup complete"));
}

void deleteIfExists(const QString& path, const QString& label, const FileLogger& log) {
    const QFileInfo item(path);
    if (!item.exists() && !item.isSymLink()) {
        log.info(label + QStringLiteral(" not found, skipping: ") + path);
        return;
    }
    // A link is removed as a link: nothing it points to is touched.
    bool removed = false;
    if (item.isDir() && !item.isSymLink())
        removed = QDir(path).removeRecursively();
    else
        removed = QFile::remove(path);
    if (removed)
        log.info(label + QStringLiteral(" deleted: ") + path);
    else
        log.error(QStringLiteral("Failed to delete ") + label + QStringLiteral(": could not remove ") + path);
}

} // namespace pylon
