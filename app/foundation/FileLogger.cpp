#include "foundation/FileLogger.h"

#include "foundation/LogLine.h"
#include "foundation/LogWriter.h"

namespace pylon {

FileLogger::FileLogger(const QString& component, const QString& subsystem, LogWriter& writer)
    : m_component(component)
    , m_osLog(std::make_shared<const UnifiedLog>(subsystem, component))
    , m_writer(&writer) {
    m_writer->setUp(m_osLog);
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
