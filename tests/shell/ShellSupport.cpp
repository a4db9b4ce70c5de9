#include "ShellSupport.h"

#include "TestBundle.h"
#include "core/SingleInstance.h"
#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <unistd.h>

namespace pylon::test {

int runSingleInstanceHelper(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    SingleInstance instance(QString::fromLocal8Bit(argv[2]));
    QTextStream out(stdout);
    if (argc > 3) {
        // Wait at the gate, so that helpers started one after the other try to listen together.
        out << "ready" << Qt::endl;
        const QString gate = QString::fromLocal8Bit(argv[3]);
        while (!QFile::exists(gate))
            ::usleep(100);
    }
    if (!instance.listen()) {
        out << (instance.sendToRunningInstance(QStringLiteral("helper")) ? "forwarded" : "unanswered") << Qt::endl;
        return 0;
    }
    out << "listening" << Qt::endl;
    QObject::connect(&instance, &SingleInstance::messageReceived, [&out](const QString& message) {
        out << "message:" << message << Qt::endl;
    });
    return QCoreApplication::exec();
}

BuildEnvironment makeEnvironment(const QString& parent, const QString& identifier) {
    const QString name = identifier.endsWith(QStringLiteral("-Dev")) ? QStringLiteral("Pylon-Dev") : QStringLiteral("Pylon");
    const QString path = makeBundle(parent, name, bundleInfo(identifier, QStringLiteral("1.4.0"), QStringLiteral("12")));
    return BuildEnvironment(Bundle::atPath(path), QStringLiteral("x86_64"), parent + QStringLiteral("/.local/share"));
}

QList<LogLine> logLines(const QByteArray& logFile) {
    QList<LogLine> lines;
    for (const QByteArray& line : logFile.split('\n')) {
        const qsizetype tags = line.indexOf("][");
        if (tags < 0)
            continue;
        const qsizetype end = line.indexOf("] ", tags);
        lines << LogLine{QString::fromUtf8(line.mid(tags + 2, end - tags - 2)), QString::fromUtf8(line.mid(end + 2))};
    }
    return lines;
}

QStringList messagesOf(const QList<LogLine>& lines, const QString& component) {
    QStringList messages;
    for (const LogLine& line : lines) {
        if (line.component == component)
            messages << line.message;
    }
    return messages;
}

OwnLog::OwnLog()
    : m_writer(m_dir.path() + QStringLiteral("/logs"), m_dir.path() + QStringLiteral("/logs/test.log")) {}

FileLogger& OwnLog::logger(const QString& component, const QString& subsystem) {
    return m_loggers.emplace_back(component, subsystem, m_writer);
}

QList<LogLine> OwnLog::lines() {
    m_writer.flush();
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return logLines(file.readAll());
}

} // namespace pylon::test
