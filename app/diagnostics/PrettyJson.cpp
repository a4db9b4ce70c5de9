#include "diagnostics/PrettyJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pylon {

namespace {

// A scalar as compact JSON: Qt writes it inside a one-element array, which is then unwrapped.
QByteArray scalar(const QJsonValue& value) {
    QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    text = text.mid(1, text.size() - 2);
    text.replace("/", "\\/");
    return text;
}

void write(QByteArray& out, const QJsonValue& value, int depth) {
    const QByteArray indent(qsizetype(2) * (depth + 1), ' ');
    const QByteArray closingIndent(qsizetype(2) * depth, ' ');
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (object.isEmpty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        // QJsonObject iterates its keys in sorted order.
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            if (it != object.constBegin())
                out += ",\n";
            out += indent + scalar(it.key()) + " : ";
            write(out, it.value(), depth + 1);
        }
        out += '\n' + closingIndent + '}';
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        if (array.isEmpty()) {
            out += "[]";
            return;
        }
        out += "[\n";
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (i > 0)
                out += ",\n";
            out += indent;
            write(out, array.at(i), depth + 1);
        }
        out += '\n' + closingIndent + ']';
    } else {
        out += scalar(value);
    }
}

} // namespace

QByteArray prettyJson(const QJsonValue& value) {
    QByteArray out;
    write(out, value, 0);
    return out;
}

} // namespace pylon
