#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

namespace pylon {

// Levels of the application's log. The level chooses the system-log type only; it is never written
// into the log file.
enum class LogLevel {
    error = 0,   // system log: critical
    warning = 1, // system log: critical, like error
    info = 2,    // system log: info
    debug = 3,   // system log: debug (off unless QT_LOGGING_RULES switches it on)
};

// The system-log sink of one component: a QLoggingCategory named "<subsystem>.<category>", for
// example "net.ostrand.Pylon.menubar". Messages carry only their text.
class UnifiedLog {
public:
    UnifiedLog(const QString& subsystem, const QString& category);
    UnifiedLog(const UnifiedLog&) = delete;
    UnifiedLog& operator=(const UnifiedLog&) = delete;

    void send(LogLevel level, const QString& message) const;
    const QLoggingCategory& category() const { return m_category; }

private:
    // Declared before m_category: the category keeps a pointer into this name.
    QByteArray m_name;
    QLoggingCategory m_category;
};

} // namespace pylon
