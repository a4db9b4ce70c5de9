#include "foundation/LogLine.h"

#include <QJsonValue>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <type_traits>

namespace pylon {

QString logTimestamp(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto sinceEpoch = time.time_since_epoch();
    auto secs = duration_cast<seconds>(sinceEpoch);
    auto millis = duration_cast<milliseconds>(sinceEpoch - secs).count();
    if (millis < 0) { // before 1970: floor, so the fraction stays positive
        millis += 1000;
        secs -= seconds(1);
    }
    const std::time_t t = static_cast<std::time_t>(secs.count());
    std::tm utc{};
    gmtime_r(&t, &utc);
    char buffer[40];
    const int length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                                     utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(millis));
    return QString::fromLatin1(buffer, length);
}

namespace {

bool needsEscape(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString escapeLogText(const QString& text) {
    const auto first = std::find_if(text.cbegin(), text.cend(), [](QChar c) { return needsEscape(c.unicode()); });
    if (first == text.cend())
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    escaped.append(QStringView(text.cbegin(), first));
    for (auto it = first; it != text.cend(); ++it) {
        const char16_t c = it->unicode();
        // An indented continuation line keeps its line break: it is never read as an entry of its own.
        const bool continues = c == u'\n' && it + 1 != text.cend() && (*(it + 1) == u' ' || *(it + 1) == u'\t');
        if (!needsEscape(c) || continues) {
            escaped += *it;
        } else if (c == u'\n') {
            escaped += QLatin1String("\\n");
        } else if (c == u'\r') {
            escaped += QLatin1String("\\r");
        } else if (c == u'\t') {
            escaped += QLatin1String("\\t");
        } else {
            escaped += QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        }
    }
    return escaped;
}

namespace {

// The JSON escape of `c` as \uXXXX, in lower-case hex.
void appendUnicodeEscape(QString& out, char16_t c) {
    static constexpr char16_t hex[] = u"0123456789abcdef";
    char16_t escape[6] = {u'\\', u'u'};
    for (int i = 0; i < 4; ++i)
        escape[2 + i] = hex[(c >> (12 - 4 * i)) & 0xF];
    out.append(reinterpret_cast<const QChar*>(escape), 6);
}

// Whether `c` is written as it is inside a metadata string. Surrogates are decided by the caller.
bool plainInString(char16_t c) {
    if (c < 0x7F)
        return c >= 0x20 && c != u'"' && c != u'\\' && c != u'/';
    return c > 0x9F && c != 0x2028 && c != 0x2029 && !QChar::isSurrogate(c);
}

// The letter after the backslash of the short escape of `c`, or 0 when it has none.
char shortEscape(char16_t c) {
    switch (c) {
    case u'"':
        return '"';
    case u'\\':
        return '\\';
    case u'/':
        return '/';
    case u'\b':
        return 'b';
    case u'\f':
        return 'f';
    case u'\n':
        return 'n';
    case u'\r':
        return 'r';
    case u'\t':
        return 't';
    default:
        return 0;
    }
}

// `text` as a JSON string: the JSON escapes for quote, backslash and C0 controls, "/" as "\/", and
// DEL, C1 controls, U+2028/U+2029 and unpaired surrogates as \uXXXX, so the string keeps the line
// whole and has an exact UTF-8 form.
void appendJsonString(QString& out, QStringView text) {
    out += u'"';
    const char16_t* const end = text.utf16() + text.size();
    const char16_t* run = text.utf16();
    for (const char16_t* p = run; p != end; ++p) {
        const char16_t c = *p;
        if (plainInString(c))
            continue;
        if (QChar::isHighSurrogate(c) && p + 1 != end && QChar::isLowSurrogate(p[1])) {
            ++p; // a pair: a character outside the BMP, written as it is
            continue;
        }
        out.append(reinterpret_cast<const QChar*>(run), p - run);
        run = p + 1;
        if (const char letter = shortEscape(c)) {
            const char16_t escape[] = {u'\\', char16_t(letter)};
            out.append(reinterpret_cast<const QChar*>(escape), 2);
        } else {
            appendUnicodeEscape(out, c);
        }
    }
    out.append(reinterpret_cast<const QChar*>(run), end - run);
    out += u'"';
}

// A number as JSON holds it: a whole number up to 2^53 in magnitude as an integer (negative zero as
// 0), any other finite one in the shortest form that reads back to the same double, and the
// non-finite ones, which JSON has no form for, as null.
void appendJsonNumber(QString& out, double value) {
    constexpr double exactIntegers = 9007199254740992.0; // 2^53
    if (!std::isfinite(value))
        out += QLatin1String("null");
    else if (std::abs(value) <= exactIntegers && value == std::trunc(value))
        out += QString::number(qint64(value));
    else
        out += QString::number(value, 'g', QLocale::FloatingPointShortest);
}

void appendJsonValue(QString& out, const QVariant& value, bool converted = false);

void appendJsonObject(QString& out, const QVariantMap& map) {
    out += u'{';
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it != map.cbegin())
            out += u',';
        appendJsonString(out, it.key());
        out += u':';
        appendJsonValue(out, it.value());
    }
    out += u'}';
}

template <typename List>
void appendJsonArray(QString& out, const List& list) {
    out += u'[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            out += u',';
        if constexpr (std::is_same_v<List, QStringList>)
            appendJsonString(out, list.at(i));
        else
            appendJsonValue(out, list.at(i));
    }
    out += u']';
}

// The value a variant of type T holds, without a copy.
template <typename T>
const T& held(const QVariant& value) {
    return *static_cast<const T*>(value.constData());
}

// `value` converted as QJsonValue::fromVariant converts it. The types the application logs are
// written directly; any other goes through that conversion once and is written as what it became.
void appendJsonValue(QString& out, const QVariant& value, bool converted) {
    switch (value.metaType().id()) {
    case QMetaType::QString:
        appendJsonString(out, held<QString>(value));
        return;
    case QMetaType::Bool:
        out += held<bool>(value) ? QLatin1String("true") : QLatin1String("false");
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        out += QString::number(value.toLongLong());
        return;
    case QMetaType::ULongLong: {
        const qulonglong number = held<qulonglong>(value);
        if (number <= qulonglong(std::numeric_limits<qint64>::max()))
            out += QString::number(number);
        else
            appendJsonNumber(out, double(number));
        return;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        appendJsonNumber(out, value.toDouble());
        return;
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        out += QLatin1String("null");
        return;
    case QMetaType::QVariantMap:
        appendJsonObject(out, held<QVariantMap>(value));
        return;
    case QMetaType::QVariantHash:
        appendJsonObject(out, value.toMap()); // keys sorted
        return;
    case QMetaType::QVariantList:
        appendJsonArray(out, held<QVariantList>(value));
        return;
    case QMetaType::QStringList:
        appendJsonArray(out, held<QStringList>(value));
        return;
    default:
        break;
    }
    // What the conversion makes of a value is one of the types above, so it comes back here once.
    if (converted)
        out += QLatin1String("null");
    else
        appendJsonValue(out, QJsonValue::fromVariant(value).toVariant(), true);
}

} // namespace

QString logMetadataJson(const QVariantMap& metadata) {
    QString json;
    json.reserve(16 * metadata.size() + 2);
    appendJsonObject(json, metadata);
    return json;
}

QString composeLogLine(std::chrono::system_clock::time_point time, const QString& loggerName,
                       const QString& component, const QString& message, const QVariantMap& metadata) {
    QString line;
    line.reserve(32 + loggerName.size() + component.size() + message.size() + (metadata.isEmpty() ? 0 : 64));
    line += logTimestamp(time);
    line += QLatin1String(" [");
    line += escapeLogText(loggerName);
    line += QLatin1String("][");
    line += escapeLogText(component);
    line += QLatin1String("] ");
    line += escapeLogText(message);
    if (!metadata.isEmpty()) {
        line += QLatin1Char(' ');
        appendJsonObject(line, metadata);
    }
    line += QLatin1Char('\n');
    return line;
}

} // namespace pylon
