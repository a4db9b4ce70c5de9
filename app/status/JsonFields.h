#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>
#include <stdexcept>

namespace pylon {

// A document that does not decode; what() names the offending key path.
class DecodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict field readers for decoding records from JSON objects. A required key that is missing or
// null fails; an optional key that is missing or null is absent; a value of the wrong JSON type
// fails in both cases. Unknown keys are never looked at.
namespace json {

[[noreturn]] void fail(const QString& key, const char* problem);

QJsonValue required(const QJsonObject& object, const QString& key);
std::optional<QJsonValue> optional(const QJsonObject& object, const QString& key);

QString asString(const QJsonValue& value, const QString& key);
bool asBool(const QJsonValue& value, const QString& key);
// A whole number within the signed 64-bit range (12 and 12.0 pass, 2.5 and 1e30 fail).
qint64 asInteger(const QJsonValue& value, const QString& key);
double asNumber(const QJsonValue& value, const QString& key);
QJsonObject asObject(const QJsonValue& value, const QString& key);
QJsonArray asArray(const QJsonValue& value, const QString& key);

inline QString requiredString(const QJsonObject& o, const QString& k) { return asString(required(o, k), k); }
inline bool requiredBool(const QJsonObject& o, const QString& k) { return asBool(required(o, k), k); }
inline qint64 requiredInteger(const QJsonObject& o, const QString& k) { return asInteger(required(o, k), k); }
inline QJsonObject requiredObject(const QJsonObject& o, const QString& k) { return asObject(required(o, k), k); }
inline QJsonArray requiredArray(const QJsonObject& o, const QString& k) { return asArray(required(o, k), k); }

std::optional<QString> optionalString(const QJsonObject& object, const QString& key);
std::optional<qint64> optionalInteger(const QJsonObject& object, const QString& key);
std::optional<double> optionalNumber(const QJsonObject& object, const QString& key);

// Writes `value` under `key` only when present.
template <typename T>
void insertIfPresent(QJsonObject& object, const QString& key, const std::optional<T>& value) {
    if (value)
        object.insert(key, *value);
}

} // namespace json
} // namespace pylon
