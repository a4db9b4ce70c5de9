#pragma once

#include "foundation/UnifiedLog.h"

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

    // A logger on `writer` whose system-log category is "<subsystem>.<component>". The first
    // logger of a writer sets up its file (and waits for that); later ones find it done.
    FileLogger(const QString& component, const QString& subsystem, LogWriter& writer);

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

// The loggers of the application's parts, by component. The application makes them once per process
// on its log writer and hands them to the parts that log.
struct Loggers {
    const FileLogger& menubar;          // "menubar": controller, report, onboarding, URL handling
    const FileLogger& installer;        // "installer": Live discovery and control-script installation
    const FileLogger& companionManager; // "companion-manager": service registration, start, restart
    const FileLogger& uninstall;        // "uninstall": the uninstall clean-up
};

} // namespace pylon
