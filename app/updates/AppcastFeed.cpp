#include "updates/AppcastFeed.h"

#include "foundation/VersionCompare.h"

#include <pugixml.hpp>
#include <string>

namespace pylon {

namespace {

constexpr const char* sparkleNamespace = "http://www.andymatuschak.org/xml-namespaces/sparkle";

// The prefix the document binds to Sparkle's namespace on the root or the channel; "sparkle" when
// it binds none (pugixml does not resolve namespaces, so names are matched with their prefix).
std::string sparklePrefix(const pugi::xml_node& root, const pugi::xml_node& channel) {
    for (const pugi::xml_node& node : {root, channel}) {
        for (const pugi::xml_attribute& attribute : node.attributes()) {
            const std::string name = attribute.name();
            if (name.rfind("xmlns:", 0) == 0 && std::string(attribute.value()) == sparkleNamespace)
                return name.substr(6);
        }
    }
    return "sparkle";
}

QString trimmed(const char* text) {
    return QString::fromUtf8(text).trimmed();
}

// Only absolute web addresses are kept: whatever the feed names is later handed to the desktop to
// open, and a feed must not be able to make it open a local file or another kind of link.
QUrl webUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return QUrl();
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") || scheme == QLatin1String("http") ? url : QUrl();
}

class ItemReader {
public:
    explicit ItemReader(std::string prefix)
        : m_prefix(std::move(prefix) + ':') {}

    std::optional<AppcastItem> read(const pugi::xml_node& node) const {
        if (!node.child(name("channel").c_str()).empty())
            return std::nullopt;
        const pugi::xml_node enclosure = node.child("enclosure");
        AppcastItem item;
        item.title = trimmed(node.child_value("title"));
        item.version = elementOrEnclosure(node, enclosure, "version");
        item.shortVersionString = elementOrEnclosure(node, enclosure, "shortVersionString");
        item.os = elementOrEnclosure(node, enclosure, "os");
        item.enclosureUrl = webUrl(trimmed(enclosure.attribute("url").value()));
        item.releaseNotesLink = webUrl(trimmed(node.child_value(name("releaseNotesLink").c_str())));
        item.link = webUrl(trimmed(node.child_value("link")));
        if (item.version.isEmpty() || !item.downloadUrl().isValid())
            return std::nullopt;
        return item;
    }

private:
    std::string name(const char* local) const { return m_prefix + local; }

    // The item's own element wins over the enclosure's attribute of the same name.
    QString elementOrEnclosure(const pugi::xml_node& node, const pugi::xml_node& enclosure, const char* local) const {
        const std::string qualified = name(local);
        const QString element = trimmed(node.child_value(qualified.c_str()));
        return element.isEmpty() ? trimmed(enclosure.attribute(qualified.c_str()).value()) : element;
    }

    std::string m_prefix;
};

} // namespace

AppcastFeed AppcastFeed::parse(const QByteArray& xml) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(xml.constData(), size_t(xml.size()));
    if (!parsed) {
        throw AppcastError(QStringLiteral("The update feed is not valid XML (%1 at offset %2).")
                               .arg(QString::fromUtf8(parsed.description()))
                               .arg(qint64(parsed.offset))
                               .toStdString());
    }
    const pugi::xml_node root = document.document_element();
    const pugi::xml_node channel = root.child("channel");
    if (std::string(root.name()) != "rss" || channel.empty())
        throw AppcastError("The update feed is not an RSS channel.");

    const ItemReader reader(sparklePrefix(root, channel));
    AppcastFeed feed;
    for (const pugi::xml_node& node : channel.children("item")) {
        if (std::optional<AppcastItem> item = reader.read(node))
            feed.m_items.append(std::move(*item));
    }
    return feed;
}

std::optional<AppcastItem> AppcastFeed::newestItem(const QString& os) const {
    std::optional<AppcastItem> newest;
    for (const AppcastItem& item : m_items) {
        if (!item.os.isEmpty() && item.os.compare(os, Qt::CaseInsensitive) != 0)
            continue;
        if (!newest || compareVersionsNumerically(item.version, newest->version) > 0)
            newest = item;
    }
    return newest;
}

} // namespace pylon
