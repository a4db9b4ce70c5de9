#include "status/JsonFields.h"

namespace pylon::json {

void fail(const QString& key, const char* problem) {
    throw DecodingError(QStringLiteral("\"%1\": %2").arg(key, QLatin1String(problem)).toStdString());
}

QJsonValue required(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        fail(key, "required key is missing");
    if (value.isNull())
        fail(key, "required key is null");
    return value;
}

std::optional<QJsonValue> optional(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return value;
}

QString asString(const QJsonValue& value, const QString& key) {
    if (!value.isString())
        fail(key, "expected a string");
    return value.toString();
}

bool asBool(const QJsonValue& value, const QString& key) {
    if (!value.isBool())
        fail(key, "expected true or false");
    return value.toBool();
}

qint64 asInteger(const QJsonValue& value, const QString& key) {
    if (!value.isDouble())
        fail(key, "expected an integer");
    // toInteger() answers its default for fractions and for values outside qint64; two different
    // defaults tell such a value apart from a stored integer that happens to equal one of them.
    const qint64 first = value.toInteger(0);
    const qint64 second = value.toInteger(1);
    if (first != second)
        fail(key, "expected a whole number within the 64-bit range");
    return first;
}

double asNumber(const QJsonValue& value, const QString& key) {
    if (!value.isDouble())
        fail(key, "expected a number");
    return value.toDouble();
}

QJsonObject asObject(const QJsonValue& value, const QString& key) {
    if (!value.isObject())
        fail(key, "expected an object");
    return value.toObject();
}

QJsonArray asArray(const QJsonValue& value, const QString& key) {
    if (!value.isArray())
        fail(key, "expected an array");
    return value.toArray();
}

std::optional<QString> optionalString(const QJsonObject& object, const QString& key) {
    if (auto value = optional(object, key))
        return asString(*value, key);
    return std::nullopt;
}

std::optional<qint64> optionalInteger(const QJsonObject& object, const QString& key) {
    if (auto value = optional(object, key))
        return asInteger(*value, key);
    return std::nullopt;
}

std::optional<double> optionalNumber(const QJsonObject& object, const QString& key) {
    if (auto value = optional(object, key))
        return asNumber(*value, key);
    return std::nullopt;
}

} // namespace pylon::json
