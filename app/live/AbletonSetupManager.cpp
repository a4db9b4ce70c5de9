#include "live/AbletonSetupManager.h"

#include "live/LibraryConfig.h"
#include "live/LiveVersionFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

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

QList<AbletonSetupManager::PreferenceFolder> AbletonSetupManager::scanPreferenceFolders() const {
    const QString root = appendPathComponent(m_options.homeDirectory, QStringLiteral("Library/Preferences/Ableton"));
    QList<PreferenceFolder> folders;
    // Hidden entries are left out (no QDir::Hidden); the listing order is kept. A missing or
    // unreadable folder lists nothing.
    QDirIterator entries(root, QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QFileInfo entry = entries.fileInfo();
        // A link is not Live's own folder (see isRealFolder).
        if (!entry.isDir() || entry.isSymLink())
            continue;
        if (const std::optional<LiveVersionFolderName> name = parseLiveVersionFolderName(entry.fileName()))
            folders.append(PreferenceFolder{name->version, name->displayName, entry.filePath()});
    }
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
