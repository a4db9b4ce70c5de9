#pragma once

#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace pylon {

// How a log is cut, shortened and scrubbed before it leaves the machine in a diagnostic report.
struct LogProcessingConfig {
    int maxLogLines = 500;          // only the last lines of a log are kept
    bool simplifyTimestamps = true; // full timestamps are cut to the time of day
    bool mapModuleNames = true;     // module tags are rewritten to the area names of moduleNameMap
    QMap<QString, QString> moduleNameMap = defaultModuleNameMap();
    // The user's home folder, scrubbed wherever it occurs literally. Empty or "/" scrubs nothing
    // literally (it would rewrite every path), the patterns still apply.
    QString homeDirectory;
    qint64 tailBlockSize = qint64(64) * 1024; // bytes read at a time from the end of a log
    // The most read from the end of a log, whatever it holds (a log without line breaks would
    // otherwise be read whole); a first line cut by it is marked (see readLastLogLines).
    qint64 maxTailBytes = qint64(2) * 1024 * 1024;

    // The companion's module tags and the shorter area names shown in the report.
    static QMap<QString, QString> defaultModuleNameMap();
};

// The home folder as it is replaced inside paths: without trailing slashes, and empty for "/" (or
// empty), where replacing it would rewrite every "/".
QString homeForReplacement(QString home);

// The processing of one log file. Its compiled patterns are shared with its copies, so each thread
// builds its own processor from the configuration.
class LogProcessor {
public:
    explicit LogProcessor(LogProcessingConfig config);

    const LogProcessingConfig& config() const { return m_config; }

    // The last lines of the file, processed, joined with "\n", with the summary in front when
    // asked. Nothing when the file is missing or not readable as UTF-8.
    std::optional<QString> processLogFile(const QString& path, bool includeSummary) const;
    // Timestamps, module tags and scrubbing, line by line; same count, same order.
    QStringList processLines(const QStringList& lines) const;
    // One line with personal data replaced: home folders, temporary folders, process numbers,
    // signed tokens, key-like identifiers and e-mail addresses (the report's nine rules, first);
    // then Wine user folders, other users' homes, credentials in URLs and query strings,
    // Authorization headers, Bearer tokens and well-known token shapes. IP addresses and host
    // names stay.
    QString redact(QString line) const;
    // The box, time range and counts heading a processed log; ends with a line feed.
    QString summary(const QStringList& processedLines) const;

private:
    struct Replacement {
        QRegularExpression pattern;
        QString replacement;
    };

    LogProcessingConfig m_config;
    QString m_home;
    QRegularExpression m_timestamp;
    std::vector<std::pair<QString, QString>> m_moduleTags; // "[pylon-companion][tag]" -> "[area]"
    QRegularExpression m_remainingTag;
    std::vector<Replacement> m_scrubbing;
    std::vector<Replacement> m_linuxScrubbing;
    QRegularExpression m_timeOfDay;
};

} // namespace pylon
