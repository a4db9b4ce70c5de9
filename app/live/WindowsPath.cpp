#include "live/WindowsPath.h"

#include "live/LiveVersionFolder.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <sys/stat.h>

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

// The folders in `folder` that are folders themselves, not links to one, sorted. Their types come from
// the directory entries: nothing is stat'ed on file systems that record them.
QStringList realFolderNames(const QString& folder) {
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (qsizetype seen = 0; it.hasNext() && seen < maximumEntriesPerFolder; ++seen) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        if (!entry.isSymLink() && entry.isDir())
            names.append(entry.fileName());
    }
    names.sort();
    return names;
}

// The device and inode of the folder `path` leads to, to notice a second way to the same folder.
std::optional<std::pair<dev_t, ino_t>> folderIdentity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}

// The path of "<drive>:" in the prefix's dosdevices.
QString driveLink(const QString& prefix, QChar drive) {
    return joined(prefix, QStringLiteral("dosdevices/")) + drive.toLower() + QLatin1Char(':');
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
    // Live writes these names as they are; other cases are looked for only when they are not there.
    const QString exact = joined(versionFolder, QStringLiteral("Preferences/Library.cfg"));
    if (QFileInfo::exists(exact))
        return {name.version, name.displayName, exact, prefix, user};
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
    // Empty for a missing target and for a loop (realpath's ELOOP).
    const QString root = QFileInfo(driveLink(prefix, drive)).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return std::nullopt;
    return root;
}

std::optional<QString> mapWindowsPath(const QString& prefix, const WindowsPath& windowsPath) {
    if (!isAsciiLetter(windowsPath.drive))
        return std::nullopt;
    // Matched below the link itself: the one canonical path made at the end resolves it with the rest.
    // stat follows the link, so a missing, broken or circular one, or one to a file, is no drive.
    const QString link = driveLink(prefix, windowsPath.drive);
    if (!QFileInfo(link).isDir())
        return std::nullopt;
    return resolveBelow(link, windowsPath.components);
}

std::optional<QString> mapWindowsPath(const QString& prefix, QStringView windowsPath) {
    const std::optional<WindowsPath> parsed = WindowsPath::parse(windowsPath);
    if (!parsed)
        return std::nullopt;
    return mapWindowsPath(prefix, *parsed);
}

QList<WineLivePreferences> findWineLivePreferences(const QString& prefix) {
    QList<WineLivePreferences> found;
    QSet<std::pair<dev_t, ino_t>> seenAbletonFolders;
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
            const std::optional<std::pair<dev_t, ino_t>> ableton = folderIdentity(match.reached);
            if (!ableton || seenAbletonFolders.contains(*ableton))
                continue;
            seenAbletonFolders.insert(*ableton);
            // Named by its canonical path, whichever way it was reached first.
            const QString folder = QFileInfo(match.reached).canonicalFilePath();
            // A linked version folder is not Live's own (LiveVersionFolder.h).
            for (const QString& name : realFolderNames(folder)) {
                if (const std::optional<LiveVersionFolderName> version = parseLiveVersionFolderName(name))
                    found.append(preferencesRecord(joined(folder, name), *version, prefix, user));
            }
        }
    }
    return found;
}

} // namespace pylon
