#include "live/AbletonSetupManager.h"
#include "foundation/VersionCompare.h"

#include "foundation/FileLogger.h"
#include "live/LibraryConfig.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <map>

namespace pylon {

namespace {

const QString livePrefix = QStringLiteral("Live ");
const QString noLibraryPrefix = QStringLiteral("no-library-");

// Whether `text` starts with digits followed by at least one group of "." and digits, as in
// "12.1", "12.1.5" or "12.1b10"; whatever follows the match does not matter.
bool startsWithDottedNumber(QStringView text) {
    auto digitsFrom = [&](qsizetype i) {
        while (i < text.size() && text[i].unicode() >= u'0' && text[i].unicode() <= u'9')
            ++i;
        return i;
    };
    const qsizetype afterMajor = digitsFrom(0);
    if (afterMajor == 0 || afterMajor >= text.size() || text[afterMajor] != u'.')
        return false;
    return digitsFrom(afterMajor + 1) > afterMajor + 1;
}

QStringList versionPieces(const QString& version) {
    return version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
}

QString majorVersion(const QString& version) {
    const QStringList pieces = versionPieces(version);
    return pieces.isEmpty() ? version : pieces.first();
}

// While grouping: the newest preference folder seen for one key.
struct Candidate {
    QString major;
    QString fullVersion;
    std::optional<QString> userLibraryPath;
    std::optional<QString> expectedUserLibraryPath;
};

QString detectionLogMessage(const QList<AbletonVersion>& versions, qsizetype foldersScanned) {
    if (versions.isEmpty()) {
        return QStringLiteral("Ableton detection: no user libraries found (") + QString::number(foldersScanned) +
               QStringLiteral(" preference folders scanned)");
    }
    const auto withLibrary = std::count_if(versions.begin(), versions.end(),
                                           [](const AbletonVersion& v) { return v.userLibraryPath.has_value(); });
    QStringList lines;
    for (const AbletonVersion& version : versions) {
        lines << QStringLiteral("  Live ") + version.version + QStringLiteral(": ") +
                     version.userLibraryPath.value_or(QStringLiteral("(no library)"));
    }
    return QStringLiteral("Ableton detection: found ") + QString::number(withLibrary) +
           QStringLiteral(" user libraries\n") + lines.join(QLatin1Char('\n'));
}

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
        if (!entry.isDir())
            continue;
        const QString name = entry.fileName();
        if (!name.startsWith(livePrefix))
            continue;
        const QString version = name.mid(livePrefix.size());
        if (!startsWithDottedNumber(version))
            continue;
        const QString displayName = livePrefix + versionPieces(version).mid(0, 2).join(QLatin1Char('.'));
        folders.append(PreferenceFolder{version, displayName, entry.filePath()});
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

QList<AbletonVersion> AbletonSetupManager::detectAbletonVersions() const {
    const QList<PreferenceFolder> folders = scanPreferenceFolders();

    std::map<QString, Candidate> candidates;
    for (const PreferenceFolder& folder : folders) {
        const QString major = majorVersion(folder.version);
        const std::optional<QString> library =
            readUserLibraryPath(appendPathComponent(folder.path, QStringLiteral("Library.cfg")));
        Candidate candidate{major, folder.version, std::nullopt, library};
        QString key = noLibraryPrefix + major;
        // A User Library path is absolute: a relative one would depend on the working folder.
        if (library && QDir::isAbsolutePath(*library) && QFileInfo::exists(*library)) {
            key = *library;
            candidate.userLibraryPath = library;
        }
        const auto found = candidates.find(key);
        if (found == candidates.end())
            candidates.emplace(key, std::move(candidate));
        else if (compareVersionsNumerically(folder.version, found->second.fullVersion) > 0)
            found->second = std::move(candidate);
    }

    QList<AbletonVersion> versions;
    versions.reserve(qsizetype(candidates.size()));
    for (const auto& [key, candidate] : candidates) {
        AbletonVersion version;
        version.id = key;
        version.version = candidate.major;
        version.displayName = livePrefix + candidate.major + QStringLiteral(" User Library");
        version.userLibraryPath = candidate.userLibraryPath;
        version.expectedUserLibraryPath = candidate.expectedUserLibraryPath;
        version.isRemoteScriptInstalled = isRemoteScriptInstalled(version);
        versions.append(std::move(version));
    }
    std::stable_sort(versions.begin(), versions.end(), [](const AbletonVersion& a, const AbletonVersion& b) {
        return compareVersionsNumerically(a.version, b.version) > 0;
    });

    m_log.info(detectionLogMessage(versions, folders.size()));
    return versions;
}

} // namespace pylon
