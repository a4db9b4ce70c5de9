#include "live/WindowsPath.h"

#include "live/LiveVersionFolder.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace pylon {

namespace {

// Entries looked at in one folder while matching a name or collecting users and versions; a folder
// with more is cut short rather than read for ever.
constexpr qsizetype maximumEntriesPerFolder = 10000;

bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// Characters no Windows file name holds: control characters and < > : " | ? *. A "/" never gets
// here (it separates), so no component can climb or reach a Linux absolute path.
bool isAllowedInName(QChar c) {
    const char16_t u = c.unicode();
    return u >= 0x20 && u != u'<' && u != u'>' && u != u':' && u != u'"' && u != u'|' && u != u'?' && u != u'*';
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The names in `folder`, hidden ones included, sorted. The listing asks for no file types, so Qt
// takes them from the directory entries and stats nothing.
QStringList entryNames(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext() && names.size() < maximumEntriesPerFolder) {
        it.next();
        names.append(it.fileName());
    }
    names.sort();
    return names;
}

// The name under which `folder` holds `name` as Wine looks it up: `name` itself when an item of that
// name can be reached, else the first reachable entry, in name order, equal to it case-insensitively.
// A broken or circular link is not reachable.
std::optional<QString> matchingEntry(const QString& folder, const QString& name) {
    if (QFileInfo::exists(joined(folder, name)))
        return name;
    for (const QString& entry : entryNames(folder)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0 && QFileInfo::exists(joined(folder, entry)))
            return entry;
    }
    return std::nullopt;
}

// How far `base` followed by `components` exists, each component matched as Wine matches it.
struct Match {
    QString reached; // `base` and the names of the components found
    qsizetype found; // how many components were found
};
Match matchExisting(const QString& base, const QStringList& components) {
    Match match{base, 0};
    for (; match.found < components.size(); ++match.found) {
        const std::optional<QString> entry = matchingEntry(match.reached, components[match.found]);
        if (!entry)
            break;
        match.reached = joined(match.reached, *entry);
    }
    return match;
}

QString withRest(QString path, const QStringList& components, qsizetype from) {
    for (qsizetype i = from; i < components.size(); ++i)
        path = joined(path, components[i]);
    return path;
}

// `root` followed by `components`: the part that exists canonical (links followed), the components
// from the first missing one on appended as written.
std::optional<QString> resolveBelow(const QString& root, const QStringList& components) {
    const Match match = matchExisting(root, components);
    // Empty when the reached part vanished or turned into a loop since it was looked up.
    const QString canonical = QFileInfo(match.reached).canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt;
    return withRest(canonical, components, match.found);
}

WineLivePreferences preferencesRecord(const QString& versionFolder, const LiveVersionFolderName& name,
                                      const QString& prefix, const QString& user) {
    const QStringList config{QStringLiteral("Preferences"), QStringLiteral("Library.cfg")};
    const Match match = matchExisting(versionFolder, config);
    return {name.version, name.displayName, withRest(match.reached, config, match.found), prefix, user};
}

} // namespace

std::optional<WindowsPath> WindowsPath::parse(QStringView text) {
    // "\\server\share", "\\?\C:\…", "\\.\device" and "\rooted" (no drive) all start with a separator.
    if (text.size() < 3 || !isAsciiLetter(text[0]) || text[1] != u':' || (text[2] != u'\\' && text[2] != u'/'))
        return std::nullopt;
    WindowsPath path;
    path.drive = text[0].toLower();
    qsizetype start = 3;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\\' && text[end] != u'/')
            ++end;
        const QStringView component = text.sliced(start, end - start);
        start = end + 1;
        if (component.isEmpty() || component == u".")
            continue;
        if (component == u"..") {
            if (!path.components.isEmpty())
                path.components.removeLast();
            continue;
        }
        if (!std::all_of(component.begin(), component.end(), isAllowedInName))
            return std::nullopt;
        path.components.append(component.toString());
    }
    return path;
}

QString WindowsPath::toString() const {
    return drive.toUpper() + QStringLiteral(":\\") + components.join(QLatin1Char('\\'));
}

QString WindowsPath::comparisonKey() const {
    return toString().toCaseFolded();
}

std::optional<QString> wineDriveRoot(const QString& prefix, QChar drive) {
    if (!isAsciiLetter(drive))
        return std::nullopt;
    const QString link = joined(prefix, QStringLiteral("dosdevices/")) + drive.toLower() + QLatin1Char(':');
    // Empty for a missing target and for a loop (realpath's ELOOP).
    const QString root = QFileInfo(link).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return std::nullopt;
    return root;
}

std::optional<QString> mapWindowsPath(const QString& prefix, const WindowsPath& windowsPath) {
    const std::optional<QString> root = wineDriveRoot(prefix, windowsPath.drive);
    if (!root)
        return std::nullopt;
    return resolveBelow(*root, windowsPath.components);
}

std::optional<QString> mapWindowsPath(const QString& prefix, QStringView windowsPath) {
    const std::optional<WindowsPath> parsed = WindowsPath::parse(windowsPath);
    if (!parsed)
        return std::nullopt;
    return mapWindowsPath(prefix, *parsed);
}

QList<WineLivePreferences> findWineLivePreferences(const QString& prefix) {
    QList<WineLivePreferences> found;
    QSet<QString> seenAbletonFolders;
    const QString users = joined(prefix, QStringLiteral("drive_c/users"));
    for (const QString& user : entryNames(users)) {
        if (user.compare(QStringLiteral("Public"), Qt::CaseInsensitive) == 0 || user.startsWith(QLatin1Char('.')))
            continue;
        const QString userFolder = joined(users, user);
        for (const QStringList& appData : {QStringList{QStringLiteral("AppData"), QStringLiteral("Roaming")},
                                           QStringList{QStringLiteral("Application Data")}}) {
            const QStringList components = appData + QStringList{QStringLiteral("Ableton")};
            const Match match = matchExisting(userFolder, components);
            if (match.found < components.size())
                continue;
            // Canonical only to notice a second way to the same folder.
            const QString ableton = QFileInfo(match.reached).canonicalFilePath();
            if (ableton.isEmpty() || seenAbletonFolders.contains(ableton) || !QFileInfo(ableton).isDir())
                continue;
            seenAbletonFolders.insert(ableton);
            for (const QString& name : entryNames(ableton)) {
                const std::optional<LiveVersionFolderName> version = parseLiveVersionFolderName(name);
                const QString versionFolder = joined(ableton, name);
                if (version && isRealFolder(versionFolder))
                    found.append(preferencesRecord(versionFolder, *version, prefix, user));
            }
        }
    }
    return found;
}

} // namespace pylon
