#include "diagnostics/FileLogger.h"

#include "core/BuildEnvironment.h"
#include "diagnostics/LogLine.h"
#include "diagnostics/LogWriter.h"

namespace pylon {

FileLogger::FileLogger(const QString& component)
    : FileLogger(component, BuildEnvironment::current().bundleIdentifier(), LogWriter::shared()) {}

FileLogger::FileLogger(const QString& component, const QString& subsystem, LogWriter& writer)
    : m_component(component)
    , m_osLog(std::make_shared<const UnifiedLog>(subsystem, component))
    , m_writer(&writer) {
    m_writer->setUp(m_osLog);
}

const FileLogger& FileLogger::menubar() {
    static const FileLogger logger(QStringLiteral("menubar"));
    return logger;
}

const FileLogger& FileLogger::installer() {
    static const FileLogger logger(QStringLiteral("installer"));
    return logger;
}

const FileLogger& FileLogger::companionManager() {
    static const FileLogger logger(QStringLiteral("companion-manager"));
    return logger;
}

const FileLogger& FileLogger::uninstall() {
    static const FileLogger logger(QStringLiteral("uninstall"));
    return logger;
}

void FileLogger::flushShared() {
    LogWriter::shared().flush();
}

void FileLogger::log(LogLevel level, const QString& message, const QVariantMap& metadata) const {
    static const QString name = QString::fromLatin1(loggerName);
    const QString line = composeLogLine(std::chrono::system_clock::now(), name, m_component, message, metadata);
    // Text with unpaired surrogates has no exact UTF-8 form: it reaches the system log only.
    if (line.isValidUtf16())
        m_writer->submit(line.toUtf8(), m_osLog);
    m_osLog->send(level, message);
}

} // namespace pylon
