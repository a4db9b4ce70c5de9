#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QVariantList>
#include <QVariantMap>
#include <pugixml.hpp>

namespace pylon::PropertyList {

namespace {

QString text(const pugi::xml_node& node) {
    return QString::fromUtf8(node.child_value());
}

// Nesting beyond this is refused rather than followed, so a hostile file cannot exhaust the stack.
constexpr int maxDepth = 64;

std::optional<QVariant> parseValue(const pugi::xml_node& node, int depth);

// <string>, <integer>, <real>, <true/>, <false/>, <date> and <data>; nothing for any other element.
std::optional<QVariant> parseScalar(std::string_view name, const pugi::xml_node& node) {
    if (name == "string")
        return QVariant(text(node));
    if (name == "integer") {
        bool ok = false;
        const qint64 value = text(node).trimmed().toLongLong(&ok);
        return ok ? std::optional<QVariant>(QVariant(value)) : std::nullopt;
    }
    if (name == "real") {
        bool ok = false;
        const double value = text(node).trimmed().toDouble(&ok);
        return ok ? std::optional<QVariant>(QVariant(value)) : std::nullopt;
    }
    if (name == "true" || name == "false")
        return QVariant(name == "true");
    if (name == "date") {
        QDateTime date = QDateTime::fromString(text(node).trimmed(), Qt::ISODate);
        return date.isValid() ? std::optional<QVariant>(QVariant(date.toUTC())) : std::nullopt;
    }
    if (name == "data")
        return QVariant(QByteArray::fromBase64(text(node).toLatin1()));
    return std::nullopt;
}

std::optional<QVariant> parseArray(const pugi::xml_node& node, int depth) {
    QVariantList list;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        auto value = parseValue(child, depth + 1);
        if (!value)
            return std::nullopt;
        list.append(*value);
    }
    return QVariant(list);
}

std::optional<QVariant> parseDict(const pugi::xml_node& node, int depth) {
    QVariantMap map;
    std::optional<QString> pendingKey;
    for (const pugi::xml_node& child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        if (std::string_view(child.name()) == "key") {
            if (pendingKey)
                return std::nullopt;
            pendingKey = text(child);
            continue;
        }
        if (!pendingKey)
            return std::nullopt;
        auto value = parseValue(child, depth + 1);
        if (!value)
            return std::nullopt;
        map.insert(*pendingKey, *value);
        pendingKey.reset();
    }
    if (pendingKey)
        return std::nullopt;
    return QVariant(map);
}

std::optional<QVariant> parseValue(const pugi::xml_node& node, int depth) {
    if (depth > maxDepth)
        return std::nullopt;
    const std::string_view name = node.name();
    if (name == "array")
        return parseArray(node, depth);
    if (name == "dict")
        return parseDict(node, depth);
    return parseScalar(name, node);
}

void writeValue(pugi::xml_node parent, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        parent.append_child(value.toBool() ? "true" : "false");
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        parent.append_child("integer").text().set(QByteArray::number(value.toLongLong()).constData());
        break;
    case QMetaType::Double:
        parent.append_child("real").text().set(QByteArray::number(value.toDouble(), 'g', 17).constData());
        break;
    case QMetaType::QDateTime:
        parent.append_child("date").text().set(
            value.toDateTime().toUTC().toString(Qt::ISODate).toUtf8().constData());
        break;
    case QMetaType::QByteArray:
        parent.append_child("data").text().set(value.toByteArray().toBase64().constData());
        break;
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        pugi::xml_node array = parent.append_child("array");
        for (const QVariant& item : value.toList())
            writeValue(array, item);
        break;
    }
    case QMetaType::QVariantMap: {
        pugi::xml_node dict = parent.append_child("dict");
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            dict.append_child("key").text().set(it.key().toUtf8().constData());
            writeValue(dict, it.value());
        }
        break;
    }
    default:
        parent.append_child("string").text().set(value.toString().toUtf8().constData());
        break;
    }
}

struct StringWriter : pugi::xml_writer {
    QByteArray out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), qsizetype(size)); }
};

} // namespace

std::optional<QVariant> parse(const QByteArray& xml) {
    pugi::xml_document document;
    // No entity expansion beyond the XML built-ins: pugixml never resolves external entities.
    // parse_ws_pcdata_single keeps the text of a whitespace-only <string>, which is a value too.
    const pugi::xml_parse_result result =
        document.load_buffer(xml.constData(), size_t(xml.size()), pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (!result)
        return std::nullopt;
    const pugi::xml_node root = document.child("plist");
    if (!root)
        return std::nullopt;
    for (const pugi::xml_node& child : root.children()) {
        if (child.type() == pugi::node_element)
            return parseValue(child, 0);
    }
    return std::nullopt;
}

std::optional<QVariant> parseFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parse(file.readAll());
}

QByteArray serialize(const QVariant& root) {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node doctype = document.append_child(pugi::node_doctype);
    doctype.set_value("plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\"");
    pugi::xml_node plist = document.append_child("plist");
    plist.append_attribute("version") = "1.0";
    writeValue(plist, root);
    StringWriter writer;
    document.save(writer, "    ", pugi::format_default, pugi::encoding_utf8);
    return writer.out;
}

} // namespace pylon::PropertyList
