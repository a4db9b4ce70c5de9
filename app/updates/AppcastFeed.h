#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>
#include <stdexcept>

namespace pylon {

// One release in an update feed, as Sparkle's RSS items describe it:
//   <item>
//     <title>Version 1.2</title>
//     <link>https://…</link>                                    (a page about the release)
//     <sparkle:version>42</sparkle:version>                     (the build, compared numerically)
//     <sparkle:shortVersionString>1.2</sparkle:shortVersionString> (what people are shown)
//     <sparkle:releaseNotesLink>https://…</sparkle:releaseNotesLink>
//     <enclosure url="https://…" sparkle:os="linux" length="…" type="…"/>
//   </item>
// Older feeds carry the version and short version as attributes of the enclosure; both forms are read.
struct AppcastItem {
    QString title;
    QString version;
    QString shortVersionString; // empty when the feed gives none
    QString os;                 // empty when the item is for every system
    QUrl enclosureUrl;
    QUrl releaseNotesLink;
    QUrl link;

    // The version people are shown: the short version when there is one, else the build version.
    QString displayVersionString() const { return shortVersionString.isEmpty() ? version : shortVersionString; }
    // What "Download" opens: the enclosure, else the release's page.
    QUrl downloadUrl() const { return enclosureUrl.isValid() ? enclosureUrl : link; }

    bool operator==(const AppcastItem&) const = default;
};

// A feed that cannot be read: not well-formed XML, or not an RSS channel. what() is the text shown.
class AppcastError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    QString description() const { return QString::fromUtf8(what()); }
};

// The items of an update feed that a client can act on, in document order. Items without a version,
// without anything to open (no enclosure URL and no link) or on a named channel (betas and the like,
// which this application never subscribes to) are left out while reading.
class AppcastFeed {
public:
    // The system name items are matched against.
    static constexpr const char* currentOperatingSystem = "linux";

    // Reads an RSS document; throws AppcastError when it is not well-formed or has no channel.
    static AppcastFeed parse(const QByteArray& xml);

    const QList<AppcastItem>& items() const { return m_items; }

    // The item with the numerically greatest version among those for `os` (compared without regard to
    // case) or for every system; the first of equal versions. Nothing when no item qualifies.
    std::optional<AppcastItem> newestItem(const QString& os = QString::fromLatin1(currentOperatingSystem)) const;

private:
    QList<AppcastItem> m_items;
};

} // namespace pylon
