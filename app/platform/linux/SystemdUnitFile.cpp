#include "platform/linux/SystemdUnitFile.h"

#include <QStringList>

namespace pylon::SystemdUnitFile {

namespace {

// A setting's value on one line, "%" not taken as the start of a specifier.
QString literalValue(QString text) {
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

QString quoteExecWord(const QString& word) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : word) {
        switch (c.unicode()) {
        case '\\':
            quoted += QStringLiteral("\\\\");
            break;
        case '"':
            quoted += QStringLiteral("\\\"");
            break;
        case '\n':
            quoted += QStringLiteral("\\n");
            break;
        case '\t':
            quoted += QStringLiteral("\\t");
            break;
        case '%':
            quoted += QStringLiteral("%%");
            break;
        case '$':
            quoted += QStringLiteral("$$");
            break;
        default:
            if (c.unicode() < 0x20)
                quoted += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                quoted += c;
        }
    }
    return quoted + QLatin1Char('"');
}

QString text(const LaunchAgentJob& job, const QString& description) {
    QStringList command{quoteExecWord(job.program)};
    for (const QString& argument : job.arguments)
        command << quoteExecWord(argument);

    QString unit;
    unit += QStringLiteral("# Written by Pylon from %1 at every registration; edits are overwritten.\n")
                .arg(QString(job.plistPath).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    unit += QStringLiteral("[Unit]\nDescription=%1\n").arg(literalValue(description));
    unit += QStringLiteral("After=graphical-session.target\nPartOf=graphical-session.target\n");
    unit += QStringLiteral("ConditionFileIsExecutable=%1\n").arg(literalValue(job.program));
    unit += QStringLiteral("\n[Service]\nType=exec\nExecStart=%1\n").arg(command.join(QLatin1Char(' ')));
    // launchd restarts a kept-alive job for ever; systemd's start limits (with its own pause unless
    // the plist names one) end a loop of failing starts.
    if (job.keepAlive || job.restartOnFailure) {
        unit += QStringLiteral("Restart=on-failure\n");
        if (job.throttle)
            unit += QStringLiteral("RestartSec=%1s\n").arg(job.throttle->count());
        unit += QStringLiteral("RestartPreventExitStatus=127\n");
    }
    // The companion writes its own log file; its standard output would repeat each line in the journal.
    unit += QStringLiteral("StandardOutput=null\n");
    if (job.runAtLoad)
        unit += QStringLiteral("\n[Install]\nWantedBy=graphical-session.target\n");
    return unit;
}

QString objectPath(const QString& unitName) {
    QString path = QStringLiteral("/org/freedesktop/systemd1/unit/");
    const QByteArray bytes = unitName.toUtf8();
    if (bytes.isEmpty())
        return path + QLatin1Char('_');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (letter || (digit && i > 0))
            path += QLatin1Char(c);
        else
            path += QStringLiteral("_%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return path;
}

} // namespace pylon::SystemdUnitFile
