// Live discovery: the preference folders of every place (the macOS layout, each Wine prefix), grouped
// by User Library within each place, built into the records the rest of the application shares.

#include "foundation/FileLogger.h"
#include "foundation/VersionCompare.h"
#include "live/AbletonSetupManager.h"
#include "live/LibraryConfig.h"
#include "live/LiveVersionFolder.h"
#include "live/WindowsPath.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <map>

namespace pylon {

namespace {

const QString noLibraryPrefix = QStringLiteral("no-library-");

// While grouping: the newest preference folder seen for one key.
struct Candidate {
    QString major;
    QString fullVersion;
    std::optional<QString> userLibraryPath;
    std::optional<QString> expectedUserLibraryPath;
};

// One place and what its preference folders name, by key: the existing User Library's path, or
// "no-library-" + major. Keys are compared only within one place.
struct Place {
    QString winePrefix; // empty for the macOS layout
    QString label;      // "macOS layout", "Wine: ~/.wine"
    std::map<QString, Candidate> candidates;

    // Keeps the candidate of the numerically newest full version under each key; the first stays on a tie.
    void offer(const QString& version, std::optional<QString> existing, std::optional<QString> expected) {
        const QString major = majorLiveVersion(version);
        const QString key = existing ? *existing : noLibraryPrefix + major;
        const auto found = candidates.find(key);
        if (found != candidates.end() && compareVersionsNumerically(version, found->second.fullVersion) <= 0)
            return;
        candidates.insert_or_assign(key, Candidate{major, version, std::move(existing), std::move(expected)});
    }
};

// What one discovery has looked up already: versions of one place usually share their library, so each
// library is mapped and checked once per discovery, never remembered beyond it.
class Lookups {
public:
    bool exists(const QString& path) {
        const auto found = m_exists.constFind(path);
        if (found != m_exists.cend())
            return *found;
        const bool exists = QFileInfo::exists(path);
        m_exists.insert(path, exists);
        return exists;
    }
    // The Linux path of `windowsPath` in `prefix`, each spelling mapped once (spellings that differ in
    // case only may still lead to different folders: Wine takes an exact name first).
    std::optional<QString> mapped(const QString& prefix, const WindowsPath& windowsPath) {
        const QString key = prefix + QLatin1Char('\n') + windowsPath.toString();
        const auto found = m_mapped.constFind(key);
        if (found != m_mapped.cend())
            return *found;
        const std::optional<QString> mapped = mapWindowsPath(prefix, windowsPath);
        m_mapped.insert(key, mapped);
        return mapped;
    }

private:
    QHash<QString, bool> m_exists;
    QHash<QString, std::optional<QString>> m_mapped;
};

// What a Wine preference folder names: the Windows path mapped through `prefix`. A path that cannot be
// mapped (unknown drive, UNC path, not a Windows path at all) is expected as Live wrote it, never found.
void offerWineFolder(Place& place, const WineLivePreferences& folder, Lookups& lookups) {
    const std::optional<QString> written = readLibraryConfigPath(folder.libraryConfigPath);
    if (!written) {
        place.offer(folder.version, std::nullopt, std::nullopt);
        return;
    }
    const std::optional<WindowsPath> windowsPath = WindowsPath::parse(*written);
    const std::optional<QString> mapped =
        windowsPath ? lookups.mapped(folder.prefix, *windowsPath) : std::optional<QString>();
    // The existing part of a mapped path is canonical, so two spellings of one folder share a key.
    const bool exists = mapped && lookups.exists(*mapped);
    place.offer(folder.version, exists ? mapped : std::nullopt, mapped ? mapped : written);
}

QString detectionLogMessage(const QList<AbletonVersion>& versions, qsizetype foldersScanned) {
    if (versions.isEmpty()) {
        return QStringLiteral("Ableton detection: no user libraries found (") + QString::number(foldersScanned) +
               QStringLiteral(" preference folders scanned)");
    }
    const auto withLibrary = std::count_if(versions.begin(), versions.end(),
                                           [](const AbletonVersion& v) { return v.userLibraryPath.has_value(); });
    QStringList lines;
    for (const AbletonVersion& version : versions) {
        const QString place =
            version.placeLabel ? QStringLiteral(" (") + *version.placeLabel + QLatin1Char(')') : QString();
        lines << QStringLiteral("  Live ") + version.version + place + QStringLiteral(": ") +
                     version.userLibraryPath.value_or(QStringLiteral("(no library)"));
    }
    return QStringLiteral("Ableton detection: found ") + QString::number(withLibrary) +
           QStringLiteral(" user libraries\n") + lines.join(QLatin1Char('\n'));
}

} // namespace

AbletonSetupManager::Discovery AbletonSetupManager::discover() const {
    Discovery discovery;
    QList<Place> places;
    Lookups lookups;

    Place macLayout{{}, QStringLiteral("macOS layout"), {}};
    // Each Library.cfg is read relative to the open listing, while it is listed.
    visitPreferenceFolders([&](int directory, const char* name, const LiveVersionFolderName& folder) {
        ++discovery.preferenceFolders;
        const std::optional<QString> library =
            readLibraryConfigAt(directory, (QByteArray(name) + "/Library.cfg").constData(), m_options.homeDirectory);
        // A User Library path is absolute: a relative one would depend on the working folder.
        const bool exists = library && library->startsWith(QLatin1Char('/')) && lookups.exists(*library);
        macLayout.offer(folder.version, exists ? library : std::nullopt, library);
    });
    places.append(std::move(macLayout));

    const WinePrefixSearch search{m_options.homeDirectory, m_options.dataHome, m_options.configHome,
                                  m_options.winePrefixVariable, m_options.userAddedWinePrefixes};
    discovery.winePrefixes = findWinePrefixes(search);
    for (const WinePrefix& prefix : std::as_const(discovery.winePrefixes)) {
        Place place{prefix.path, QStringLiteral("Wine: ") + prefix.displayPath, {}};
        const QList<WineLivePreferences> wineFolders = findWineLivePreferences(prefix.path);
        for (const WineLivePreferences& folder : wineFolders)
            offerWineFolder(place, folder, lookups);
        discovery.preferenceFolders += wineFolders.size();
        places.append(std::move(place));
    }

    const bool severalPlaces =
        std::count_if(places.cbegin(), places.cend(), [](const Place& p) { return !p.candidates.empty(); }) > 1;
    for (const Place& place : std::as_const(places)) {
        for (const auto& [key, candidate] : place.candidates) {
            AbletonVersion version;
            version.id = severalPlaces ? key + QStringLiteral(" (") + place.label + QLatin1Char(')') : key;
            version.version = candidate.major;
            version.displayName = QStringLiteral("Live ") + candidate.major + QStringLiteral(" User Library");
            version.userLibraryPath = candidate.userLibraryPath;
            version.expectedUserLibraryPath = candidate.expectedUserLibraryPath;
            version.isRemoteScriptInstalled = isRemoteScriptInstalled(version);
            version.winePrefix = place.winePrefix;
            if (severalPlaces)
                version.placeLabel = place.label;
            discovery.versions.append(std::move(version));
        }
    }
    // Equal major versions keep the order of their places: the macOS layout, then the prefixes in search order.
    std::stable_sort(discovery.versions.begin(), discovery.versions.end(),
                     [](const AbletonVersion& a, const AbletonVersion& b) {
                         return compareVersionsNumerically(a.version, b.version) > 0;
                     });

    m_log.info(detectionLogMessage(discovery.versions, discovery.preferenceFolders));
    return discovery;
}

} // namespace pylon
