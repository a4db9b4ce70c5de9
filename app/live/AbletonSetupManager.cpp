#include "live/AbletonSetupManager.h"

#include "live/LibraryConfig.h"
#include "live/LiveVersionFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace pylon {

namespace {

QString remoteScriptErrorText(AbletonSetupManager::RemoteScriptError::Kind kind) {
    using Kind = AbletonSetupManager::RemoteScriptError::Kind;
    switch (kind) {
    case Kind::unableToDetectUserLibrary:
        return QStringLiteral(
            "Could not find your Ableton Live user library. Please install the remote script manually.");
    case Kind::unpackingFailed:
        return QStringLiteral("The remote script archive could not be unpacked.");
    case Kind::noDataFolder:
        return QStringLiteral("There is no folder for Pylon's data, so the remote script could not be prepared.");
    }
    return {};
}

} // namespace

AbletonSetupManager::RemoteScriptError::RemoteScriptError(Kind kind)
    : std::runtime_error(remoteScriptErrorText(kind).toStdString())
    , m_kind(kind) {}

QString AbletonSetupManager::RemoteScriptError::errorDescription() const {
    return remoteScriptErrorText(m_kind);
}

AbletonSetupManager::AbletonSetupManager(const FileLogger& log, Workspace& workspace, Options options)
    : m_log(log)
    , m_workspace(workspace)
    , m_options(std::move(options)) {
    if (m_options.homeDirectory.isEmpty())
        m_options.homeDirectory = QDir::homePath();
}

QString AbletonSetupManager::preferencesRoot() const {
    return appendPathComponent(m_options.homeDirectory, QStringLiteral("Library/Preferences/Ableton"));
}

void AbletonSetupManager::visitPreferenceFolders(
    const std::function<void(int directory, const char* name, const LiveVersionFolderName& folder)>& visit) const {
    // A missing or unreadable folder lists nothing. The entries' types come from the listing itself
    // (a stat only where the file system does not record them); the listing order is kept.
    DIR* const listing = ::opendir(QFile::encodeName(preferencesRoot()).constData());
    if (!listing)
        return;
    const auto closer = qScopeGuard([listing] { ::closedir(listing); });
    while (const dirent* entry = ::readdir(listing)) {
        // Hidden entries (and "." and "..") are left out; only "Live …" can qualify.
        if (entry->d_name[0] == '.' || std::strncmp(entry->d_name, "Live ", 5) != 0)
            continue;
        // A link is not Live's own folder (LiveVersionFolder.h): the entry itself must be a folder.
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isFolder =
                ::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
        }
        if (!isFolder)
            continue;
        if (const std::optional<LiveVersionFolderName> parsed =
                parseLiveVersionFolderName(QFile::decodeName(entry->d_name)))
            visit(::dirfd(listing), entry->d_name, *parsed);
    }
}

QList<AbletonSetupManager::PreferenceFolder> AbletonSetupManager::scanPreferenceFolders() const {
    const QString root = preferencesRoot();
    QList<PreferenceFolder> folders;
    visitPreferenceFolders([&](int, const char* name, const LiveVersionFolderName& folder) {
        folders.append(
            PreferenceFolder{folder.version, folder.displayName, appendPathComponent(root, QFile::decodeName(name))});
    });
    return folders;
}

std::optional<QString> AbletonSetupManager::readUserLibraryPath(const QString& libraryCfgPath) const {
    return readLibraryConfig(libraryCfgPath, m_options.homeDirectory);
}

bool AbletonSetupManager::isRemoteScriptInstalled(const AbletonVersion& version) const {
    if (!version.userLibraryPath)
        return false;
    const QString scriptFolder = appendPathComponent(*version.userLibraryPath, QStringLiteral("Remote Scripts")) +
                                 QLatin1Char('/') + m_options.remoteScriptFolderName;
    return QFileInfo::exists(scriptFolder);
}

} // namespace pylon
