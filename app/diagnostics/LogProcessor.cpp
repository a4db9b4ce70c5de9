#include "diagnostics/LogProcessor.h"

#include "diagnostics/LogTail.h"

namespace pylon {

namespace {

// White space as the log patterns mean it: the Unicode White_Space property. PCRE's own \s with
// Unicode properties also takes U+180E, which is not white space, so the class is spelt out.
const QString space = QStringLiteral("\\t-\\r\\x{85}\\p{Z}");

QRegularExpression pattern(const QString& source) {
    // Unicode properties give \d every decimal digit, as the patterns were written for.
    QRegularExpression expression(source, QRegularExpression::UseUnicodePropertiesOption);
    Q_ASSERT(expression.isValid());
    return expression;
}

const QString boxLine = QString(40, QChar(0x2550));

// After the nine rules of the report, what Linux users' logs hold, in this order: Wine user
// folders, other users' home folders, credentials in URLs, secrets in query strings and
// Authorization headers, Bearer tokens and well-known token shapes. Paths may be written with "/"
// or "\", and JSON-escaped ("\/", "\\") as the menu-bar log's metadata writes them. IP
// addresses and host names are kept: they diagnose phone connections.
std::vector<std::pair<QString, QString>> linuxScrubbing() {
    const QString separator = QStringLiteral("(?:\\\\{1,2}|\\\\?/)+");   // "\", "\\", "/" or "\/"
    const QString name = QStringLiteral("[^\\\\/\"'") + space + QStringLiteral("]+"); // one path component
    const QString userHome = QStringLiteral("[UserHome]");
    const QString token = QStringLiteral("[REDACTED_TOKEN]");
    const QString scheme = QStringLiteral("\\b([a-zA-Z][a-zA-Z0-9+.-]*://)");
    return {
        // C:\users\<name>, Z:\home\<name>, Z:\root, and drive_c/users/<name> inside a prefix
        {QStringLiteral("\\b[A-Za-z]:") + separator + QStringLiteral("(?i:users|home)") + separator + name, userHome},
        {QStringLiteral("\\b[A-Za-z]:") + separator + QStringLiteral("root(?![\\w.-])"), userHome},
        {QStringLiteral("\\bdrive_c") + separator + QStringLiteral("(?i:users)") + separator + name, userHome},
        // /home/<name> and /root, also JSON-escaped
        {QStringLiteral("\\\\?/home\\\\?/") + name, userHome},
        {QStringLiteral("(?<![\\w./\\\\-])\\\\?/root(?![\\w.-])"), userHome},
        // user:password@ in a URL; when the e-mail rule took "password@host" already, the user
        {scheme + QStringLiteral("[^/@\"'") + space + QStringLiteral("]+@"),
         QStringLiteral("\\1[REDACTED_CREDENTIALS]@")},
        {scheme + QStringLiteral("[^/@\"'\\[") + space + QStringLiteral("]+\\[REDACTED_EMAIL\\]"),
         QStringLiteral("\\1[REDACTED_CREDENTIALS]@[REDACTED_EMAIL]")},
        {QStringLiteral("(?i)([?&;](?:access_token|token|password|passwd|pwd|secret|api[_-]?key|apikey|auth|sig|"
                        "signature)=)[^&#\"'") + space + QStringLiteral("]+"),
         QStringLiteral("\\1[REDACTED]")},
        {QStringLiteral("(?i)(authorization:[") + space + QStringLiteral("]*(?:basic|bearer|token|digest)[") + space +
             QStringLiteral("]+)[^") + space + QStringLiteral("\"']+"),
         QStringLiteral("\\1[REDACTED]")},
        {QStringLiteral("(?i)\\b(bearer[") + space + QStringLiteral("]+)[A-Za-z0-9._~+/=-]{8,}"),
         QStringLiteral("\\1") + token},
        {QStringLiteral("\\b(?:gh[pousr]_[A-Za-z0-9]{20,}|github_pat_[A-Za-z0-9_]{20,}|glpat-[A-Za-z0-9_-]{20,}|"
                        "xox[abposr]-[A-Za-z0-9-]{10,}|sk-[A-Za-z0-9_-]{20,})"),
         token},
        {QStringLiteral("\\b(?:AKIA|ASIA)[0-9A-Z]{16}\\b|\\bAIza[0-9A-Za-z_-]{35}"), QStringLiteral("[REDACTED_KEY]")},
    };
}

} // namespace

QString homeForReplacement(QString home) {
    while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
        home.chop(1);
    return home == QLatin1String("/") ? QString() : home;
}

QMap<QString, QString> LogProcessingConfig::defaultModuleNameMap() {
    return {
        {QStringLiteral("permissions"), QStringLiteral("setup")},
        {QStringLiteral("osc"), QStringLiteral("ableton")},
        {QStringLiteral("osc-queue"), QStringLiteral("ableton")},
        {QStringLiteral("sync"), QStringLiteral("ableton")},
        {QStringLiteral("ableton-status"), QStringLiteral("ableton")},
        {QStringLiteral("ableton-process"), QStringLiteral("ableton")},
        {QStringLiteral("ableton-data"), QStringLiteral("ableton")},
        {QStringLiteral("companion-server"), QStringLiteral("server")},
        {QStringLiteral("companion-status"), QStringLiteral("server")},
        {QStringLiteral("lifecycle"), QStringLiteral("system")},
        {QStringLiteral("bonjour"), QStringLiteral("network")},
        {QStringLiteral("command-handler"), QStringLiteral("commands")},
        {QStringLiteral("accelerator"), QStringLiteral("keyboard")},
        {QStringLiteral("applescript"), QStringLiteral("automation")},
        {QStringLiteral("validation"), QStringLiteral("validation")},
    };
}

LogProcessor::LogProcessor(LogProcessingConfig config)
    : m_config(std::move(config))
    , m_home(homeForReplacement(m_config.homeDirectory))
    , m_timestamp(pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T(\\d{2}:\\d{2}:\\d{2})\\.\\d+Z")))
    , m_remainingTag(pattern(QStringLiteral("\\[pylon-companion\\]\\[([^\\]]+)\\]")))
    , m_timeOfDay(pattern(QStringLiteral("^(\\d{2}:\\d{2}:\\d{2})"))) {
    for (auto it = m_config.moduleNameMap.cbegin(); it != m_config.moduleNameMap.cend(); ++it) {
        m_moduleTags.emplace_back(QStringLiteral("[pylon-companion][") + it.key() + QLatin1Char(']'),
                                  QLatin1Char('[') + it.value() + QLatin1Char(']'));
    }
    const QString userHome = QStringLiteral("[UserHome]");
    const QString tempFolder = QStringLiteral("[TempFolder]");
    // The report's nine rules, first and as they are.
    m_scrubbing = {
        {pattern(QStringLiteral("/Users/[^/") + space + QStringLiteral("]+")), userHome},
        {pattern(QStringLiteral("/private/var/folders/[^/]+/[^/]+/T/[^") + space + QStringLiteral("\\)]+")),
         tempFolder},
        {pattern(QStringLiteral("/var/folders/[^/]+/[^/]+/T/[^") + space + QStringLiteral("\\)]+")), tempFolder},
        {pattern(QLatin1Char('[') + space + QStringLiteral("]*\\(pid \\d+\\)")), QString()},
        {pattern(QStringLiteral("pid \\d+")), QString()},
        {pattern(QStringLiteral("eyJ[A-Za-z0-9_-]+\\.[A-Za-z0-9_-]+\\.[A-Za-z0-9_-]+")),
         QStringLiteral("[REDACTED_TOKEN]")},
        // The rule as written, with one thing added that changes no result: a match never starts
        // inside a run of [A-Z0-9] (the first group takes the whole run from wherever it starts,
        // so a start further in fails where the run's own start failed). Without it a long run
        // followed by "-" is tried once per character, and a 2 MiB line takes hours.
        {pattern(QStringLiteral("(?<![A-Z0-9])[A-Z0-9]{4,}-[A-Z0-9]{4,}-[A-Z0-9]{4,}-[A-Z0-9]{4,}")),
         QStringLiteral("[REDACTED_KEY]")},
        {pattern(QStringLiteral("[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\\.[a-zA-Z]{2,}")),
         QStringLiteral("[REDACTED_EMAIL]")},
    };
    for (const auto& [source, replacement] : linuxScrubbing())
        m_linuxScrubbing.push_back({pattern(source), replacement});
}

std::optional<QString> LogProcessor::processLogFile(const QString& path, bool includeSummary) const {
    const std::optional<QStringList> lines =
        readLastLogLines(path, m_config.maxLogLines, m_config.tailBlockSize, m_config.maxTailBytes);
    if (!lines)
        return std::nullopt;
    const QStringList processed = processLines(*lines);
    QString text = includeSummary ? summary(processed) : QString();
    text += processed.join(QLatin1Char('\n'));
    return text;
}

QStringList LogProcessor::processLines(const QStringList& lines) const {
    QStringList result;
    result.reserve(lines.size());
    for (QString line : lines) {
        if (m_config.simplifyTimestamps)
            line.replace(m_timestamp, QStringLiteral("\\1"));
        if (m_config.mapModuleNames) {
            for (const auto& [tag, area] : m_moduleTags)
                line.replace(tag, area, Qt::CaseSensitive);
            line.replace(m_remainingTag, QStringLiteral("[\\1]"));
        }
        result << redact(std::move(line));
    }
    return result;
}

QString LogProcessor::redact(QString line) const {
    if (!m_home.isEmpty())
        line.replace(m_home, QStringLiteral("[UserHome]"), Qt::CaseSensitive);
    for (const Replacement& step : m_scrubbing)
        line.replace(step.pattern, step.replacement);
    // The home folder as the menu-bar log's metadata writes it, "/" escaped as "\/".
    if (!m_home.isEmpty())
        line.replace(QString(m_home).replace(QLatin1Char('/'), QStringLiteral("\\/")), QStringLiteral("[UserHome]"),
                     Qt::CaseSensitive);
    for (const Replacement& step : m_linuxScrubbing)
        line.replace(step.pattern, step.replacement);
    return line;
}

QString LogProcessor::summary(const QStringList& processedLines) const {
    const QString title = QStringLiteral("PYLON DIAGNOSTIC LOG");
    const QString titleRow = QString(9, QLatin1Char(' ')) + title;
    QStringList out = {
        QChar(0x2554) + boxLine + QChar(0x2557),
        QChar(0x2551) + titleRow.leftJustified(40, QLatin1Char(' ')) + QChar(0x2551),
        QChar(0x255A) + boxLine + QChar(0x255D),
        QString(),
    };

    QStringList times;
    int starts = 0;
    int errors = 0;
    int warnings = 0;
    bool connected = false;
    const QString connectedMark = QString(QChar(0x2192)) + QStringLiteral(" connected");
    for (const QString& line : processedLines) {
        const QRegularExpressionMatch time = m_timeOfDay.match(line);
        if (time.hasMatch())
            times << time.captured(1);
        if (line.contains(QLatin1String("Starting")) && line.contains(QLatin1String("[main]")))
            ++starts;
        const QString lower = line.toLower();
        if (lower.contains(QLatin1String("error")))
            ++errors;
        if (lower.contains(QLatin1String("warn")))
            ++warnings;
        if (line.contains(connectedMark))
            connected = true;
    }

    if (!times.isEmpty())
        out << QStringLiteral("Time range: ") + times.constFirst() + QStringLiteral(" \u2192 ") + times.constLast();
    out << QStringLiteral("Companion starts: ") + QString::number(starts);
    out << (errors > 0 ? QStringLiteral("Errors: ") + QString::number(errors) + QStringLiteral(" \u26A0\uFE0F")
                       : QStringLiteral("Errors: 0"));
    if (warnings > 0)
        out << QStringLiteral("Warnings: ") + QString::number(warnings);
    out << QStringLiteral("Ableton: ") +
               (connected ? QStringLiteral("Connected at some point") : QStringLiteral("Never connected"));
    out << QString() << QString(40, QChar(0x2500)) << QString();
    return out.join(QLatin1Char('\n'));
}

} // namespace pylon
