#pragma once

#include "diagnostics/UnifiedLog.h"

#include <QString>
#include <QVariantMap>
#include <memory>

namespace pylon {

class LogWriter;

// The application's logging facility. Every message goes to the menu-bar log file, as one line
// with timestamp, tags and optional metadata, and, as bare text, to the system log of its
// component. log() builds the line on the caller's thread and never waits for the disk or fails.
class FileLogger {
public:
    static constexpr const char* loggerName = "pylon-companion";

    // A logger on the process's shared writer; the first one constructed sets up the log file
    // (and waits for that), later ones find it done.
    explicit FileLogger(const QString& component);
    // A logger on `writer` whose system-log category is "<subsystem>.<component>".
    FileLogger(const QString& component, const QString& subsystem, LogWriter& writer);

    // The process's loggers by component, each created once on first use.
    static const FileLogger& menubar();           // "menubar"
    static const FileLogger& installer();         // "installer"
    static const FileLogger& companionManager();  // "companion-manager"
    static const FileLogger& uninstall();         // "uninstall"

    // Waits until the shared writer has written every line submitted so far (used before exit).
    static void flushShared();

    const QString& component() const { return m_component; }

    void log(LogLevel level, const QString& message, const QVariantMap& metadata = {}) const;
    void error(const QString& message, const QVariantMap& metadata = {}) const { log(LogLevel::error, message, metadata); }
    void info(const QString& message, const QVariantMap& metadata = {}) const { log(LogLevel::info, message, metadata); }
    void debug(const QString& message, const QVariantMap& metadata = {}) const { log(LogLevel::debug, message, metadata); }

private:
    QString m_component;
    std::shared_ptr<const UnifiedLog> m_osLog;
    LogWriter* m_writer;
};

} // namespace pylon
