#include "foundation/LogLine.h"

#include <QJsonDocument>
#include <QJsonObject>
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

QString logMetadataJson(const QVariantMap& metadata) {
    // QJsonObject keeps its keys sorted; "/" only ever occurs inside strings, so escaping every
    // one of them in the text is the same as escaping them in each string.
    QByteArray json = QJsonDocument(QJsonObject::fromVariantMap(metadata)).toJson(QJsonDocument::Compact);
    json.replace("/", "\\/");
    return QString::fromUtf8(json);
}

QString composeLogLine(std::chrono::system_clock::time_point time, const QString& loggerName,
                       const QString& component, const QString& message, const QVariantMap& metadata) {
    QString line;
    line.reserve(32 + loggerName.size() + component.size() + message.size() + (metadata.isEmpty() ? 0 : 64));
    line += logTimestamp(time);
    line += QLatin1String(" [");
    line += loggerName;
    line += QLatin1String("][");
    line += component;
    line += QLatin1String("] ");
    line += message;
    if (!metadata.isEmpty()) {
        line += QLatin1Char(' ');
        line += logMetadataJson(metadata);
    }
    line += QLatin1Char('\n');
    return line;
}

} // namespace pylon
