#include "live/WinePrefixes.h"

#include "live/RegularFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSet>
#include <QStringTokenizer>
#include <algorithm>

namespace pylon {

namespace {

// Entries looked at in one folder of candidates, and game configurations read in one Lutris folder;
// more are cut short rather than read for ever.
constexpr qsizetype maximumEntriesPerFolder = 10000;
constexpr qsizetype maximumLutrisConfigs = 2000;

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString expandedHome(const QString& path, const QString& homeDirectory) {
    if (path == QLatin1String("~"))
        return homeDirectory;
    if (path.startsWith(QLatin1String("~/")))
        return joined(homeDirectory, path.mid(2));
    return path;
}

// Whether what follows a closing quote is only blanks and perhaps a comment.
bool endsLine(QStringView rest) {
    rest = rest.trimmed();
    return rest.isEmpty() || rest.front() == u'#';
}

// A single-quoted scalar on one line; '' stands for '.
std::optional<QString> singleQuoted(QStringView text) {
    QString value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] != u'\'') {
            value += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'\'') {
            value += u'\'';
            ++i;
        } else {
            return endsLine(text.sliced(i + 1)) ? std::optional(value) : std::nullopt;
        }
    }
    return std::nullopt; // continues on the next line: not for us
}

// A double-quoted scalar on one line, with the escapes a path can need (\\, \", \/, \t).
std::optional<QString> doubleQuoted(QStringView text) {
    QString value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'"')
            return endsLine(text.sliced(i + 1)) ? std::optional(value) : std::nullopt;
        if (text[i] != u'\\') {
            value += text[i];
            continue;
        }
        if (++i >= text.size())
            return std::nullopt;
        const QChar escaped = text[i];
        if (escaped == u't')
            value += u'\t';
        else if (escaped == u'\\' || escaped == u'"' || escaped == u'/')
            value += escaped;
        else
            return std::nullopt;
    }
    return std::nullopt;
}

// The value of a one-line YAML scalar: plain (a comment begins at a blank followed by "#"), single- or
// double-quoted. Nothing for null, block scalars, anchors, aliases, tags and flow collections.
std::optional<QString> yamlScalar(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (text.front() == u'\'')
        return singleQuoted(text);
    if (text.front() == u'"')
        return doubleQuoted(text);
    if (QStringView(u"|>&*!{[@`%#").contains(text.front()))
        return std::nullopt;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'#' && (text[i - 1] == u' ' || text[i - 1] == u'\t')) {
            text = text.first(i).trimmed();
            break;
        }
    }
    if (text == u"~" || text == u"null" || text == u"Null" || text == u"NULL")
        return std::nullopt;
    return text.toString();
}

// The value text after "<key>:" when `content` is that key, else nothing.
std::optional<QStringView> valueOfKey(QStringView content, QStringView key) {
    if (!content.startsWith(key) || content.size() <= key.size() || content[key.size()] != u':')
        return std::nullopt;
    const QStringView rest = content.sliced(key.size() + 1);
    if (!rest.isEmpty() && rest.front() != u' ' && rest.front() != u'\t')
        return std::nullopt; // "prefix:x" is a plain scalar, not a key
    return rest;
}

// `path` with the first of `homes` that holds it replaced by "~".
QString displayPathBelow(const QString& path, const QStringList& homes) {
    for (const QString& home : homes) {
        // A home of "/" would turn every path into "~/…".
        if (home.isEmpty() || home == QLatin1String("/"))
            continue;
        if (path == home)
            return QStringLiteral("~");
        if (path.startsWith(home) && path.at(home.size()) == u'/')
            return QStringLiteral("~") + path.mid(home.size());
    }
    return path;
}

// Collects prefixes in search order, each canonical folder once.
class PrefixCollector {
public:
    explicit PrefixCollector(QString homeDirectory)
        : m_home(std::move(homeDirectory)) {}

    void consider(const QString& folder, WinePrefixSource source) {
        if (!folder.startsWith(QLatin1Char('/')) || !isWinePrefix(folder))
            return;
        add(QFileInfo(folder).canonicalFilePath(), source);
    }

    // Every entry of `parent` that is a prefix, in name order; hidden entries are not bottles.
    void considerChildren(const QString& parent, WinePrefixSource source) {
        // Most places are missing: one look settles that, where a canonical path costs one per component.
        if (!QFileInfo::exists(parent))
            return;
        const QString root = QFileInfo(parent).canonicalFilePath();
        if (root.isEmpty())
            return;
        QList<std::pair<QString, bool>> entries; // name, is a link
        QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext() && entries.size() < maximumEntriesPerFolder) {
            it.next();
            entries.append({it.fileName(), it.fileInfo().isSymLink()});
        }
        std::sort(entries.begin(), entries.end());
        for (const auto& [name, isLink] : entries) {
            const QString candidate = joined(root, name);
            if (!isWinePrefix(candidate))
                continue;
            // Below a canonical folder only a link needs resolving.
            add(isLink ? QFileInfo(candidate).canonicalFilePath() : candidate, source);
        }
    }

    void considerLutrisGames(const QString& gamesFolder) {
        QStringList files = QDir(gamesFolder).entryList({QStringLiteral("*.yml")}, QDir::Files | QDir::NoSymLinks);
        files.sort();
        for (const QString& file : files.mid(0, maximumLutrisConfigs)) {
            const std::optional<QByteArray> yaml =
                readSmallRegularFile(joined(gamesFolder, file), maximumLutrisConfigSize);
            if (!yaml)
                continue;
            if (const std::optional<QString> prefix = lutrisGamePrefix(*yaml, m_home))
                consider(*prefix, WinePrefixSource::lutris);
        }
    }

    QList<WinePrefix> prefixes() const { return m_prefixes; }

private:
    void add(const QString& canonical, WinePrefixSource source) {
        if (canonical.isEmpty() || m_seen.contains(canonical))
            return;
        m_seen.insert(canonical);
        // The home's canonical path costs a look at each of its components: only asked for once a
        // prefix is found (most homes have none).
        if (m_homes.isEmpty())
            m_homes = {QDir::cleanPath(m_home), QFileInfo(m_home).canonicalFilePath()};
        m_prefixes.append({canonical, displayPathBelow(canonical, m_homes), source});
    }

    QString m_home;
    QStringList m_homes; // as given and canonical, once a prefix is found
    QSet<QString> m_seen;
    QList<WinePrefix> m_prefixes;
};

} // namespace

QString winePrefixSourceName(WinePrefixSource source) {
    switch (source) {
    case WinePrefixSource::environment:
        return QStringLiteral("WINEPREFIX");
    case WinePrefixSource::defaultPrefix:
        return QStringLiteral("default");
    case WinePrefixSource::bottles:
        return QStringLiteral("Bottles");
    case WinePrefixSource::bottlesFlatpak:
        return QStringLiteral("Bottles Flatpak");
    case WinePrefixSource::crossOver:
        return QStringLiteral("CrossOver");
    case WinePrefixSource::playOnLinux:
        return QStringLiteral("PlayOnLinux");
    case WinePrefixSource::lutris:
        return QStringLiteral("Lutris");
    case WinePrefixSource::userAdded:
        return QStringLiteral("user");
    }
    return {};
}

WinePrefixSearch WinePrefixSearch::fromEnvironment(const QProcessEnvironment& environment, const QString& homeDirectory,
                                                   const QStringList& userAddedPrefixes) {
    const auto absoluteValue = [&](const QString& name) {
        const QString value = environment.value(name);
        return value.startsWith(QLatin1Char('/')) ? value : QString();
    };
    return {homeDirectory, absoluteValue(QStringLiteral("XDG_DATA_HOME")),
            absoluteValue(QStringLiteral("XDG_CONFIG_HOME")), environment.value(QStringLiteral("WINEPREFIX")),
            userAddedPrefixes};
}

bool isWinePrefix(const QString& folder) {
    return QFileInfo(joined(folder, QStringLiteral("drive_c"))).isDir();
}

QString homeRelativeDisplayPath(const QString& path, const QString& homeDirectory) {
    if (homeDirectory.isEmpty())
        return path;
    return displayPathBelow(path, {QDir::cleanPath(homeDirectory), QFileInfo(homeDirectory).canonicalFilePath()});
}

std::optional<QString> lutrisGamePrefix(QByteArrayView yaml, const QString& homeDirectory) {
    const QString text = QString::fromUtf8(yaml);
    std::optional<QString> prefix;
    bool inGame = false;
    qsizetype childIndent = -1;
    for (QStringView line : QStringTokenizer(text, u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        qsizetype indent = 0;
        while (indent < line.size() && line[indent] == u' ')
            ++indent;
        const QStringView content = line.sliced(indent);
        if (content.isEmpty() || content.front() == u'#')
            continue;
        if (indent == 0) {
            const std::optional<QStringView> value = valueOfKey(content, u"game");
            inGame = value && endsLine(*value);
            childIndent = -1;
            continue;
        }
        if (!inGame)
            continue;
        if (childIndent < 0)
            childIndent = indent;
        // Deeper lines belong to nested values. A later "prefix" overrides, as in PyYAML.
        if (const std::optional<QStringView> value = valueOfKey(content, u"prefix"); value && indent == childIndent)
            prefix = yamlScalar(*value);
    }
    if (!prefix)
        return std::nullopt;
    const QString path = expandedHome(*prefix, homeDirectory);
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    return path;
}

QList<WinePrefix> findWinePrefixes(const WinePrefixSearch& search) {
    const QString home = search.homeDirectory;
    const QString dataHome = search.dataHome.isEmpty() ? joined(home, QStringLiteral(".local/share")) : search.dataHome;
    const QString configHome =
        search.configHome.isEmpty() ? joined(home, QStringLiteral(".config")) : search.configHome;
    PrefixCollector collector(home);
    if (!search.winePrefixVariable.isEmpty())
        collector.consider(search.winePrefixVariable, WinePrefixSource::environment);
    collector.consider(joined(home, QStringLiteral(".wine")), WinePrefixSource::defaultPrefix);
    collector.considerChildren(joined(dataHome, QStringLiteral("bottles/bottles")), WinePrefixSource::bottles);
    collector.considerChildren(joined(home, QStringLiteral(".var/app/com.usebottles.bottles/data/bottles/bottles")),
                               WinePrefixSource::bottlesFlatpak);
    collector.considerChildren(joined(home, QStringLiteral(".cxoffice")), WinePrefixSource::crossOver);
    collector.considerChildren(joined(home, QStringLiteral(".PlayOnLinux/wineprefix")), WinePrefixSource::playOnLinux);
    // Lutris keeps its game configurations under the config home, newer versions under the data home
    // when there is no config folder; ~/.config is where versions before XDG support kept them.
    QSet<QString> lutrisFolders;
    QSet<QString> lookedAt;
    for (const QString& base : {configHome, dataHome, joined(home, QStringLiteral(".config"))}) {
        const QString folder = joined(base, QStringLiteral("lutris/games"));
        if (lookedAt.contains(folder))
            continue;
        lookedAt.insert(folder);
        const QString games = QFileInfo::exists(folder) ? QFileInfo(folder).canonicalFilePath() : QString();
        if (!games.isEmpty() && !lutrisFolders.contains(games)) {
            lutrisFolders.insert(games);
            collector.considerLutrisGames(games);
        }
    }
    for (const QString& added : search.userAddedPrefixes)
        collector.consider(expandedHome(added, home), WinePrefixSource::userAdded);
    return collector.prefixes();
}

} // namespace pylon
