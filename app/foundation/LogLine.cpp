#include "foundation/LogLine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <ctime>

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

QString logMetadataJson(const QVariantMap& metadata) {
    // QJsonObject keeps its keys sorted; "/" only ever occurs inside strings, so escaping every
    // one of them in the text is the same as escaping them in each string.
    QByteArray json = QJsonDocument(QJsonObject::fromVariantMap(metadata)).toJson(QJsonDocument::Compact);
    json.replace("/", "\\/");
    // The JSON writer escapes C0 controls but leaves DEL, C1 and U+2028/U+2029 raw; as \uXXXX
    // escapes inside strings they keep the JSON valid and the line whole.
    return escapeLogText(QString::fromUtf8(json));
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
        line += logMetadataJson(metadata);
    }
    line += QLatin1Char('\n');
    return line;
}

} // namespace pylon
