#include "core/Process.h"

#include "foundation/LogWriter.h"
#include "platform/Bundle.h"
#include "platform/SystemInfo.h"

#include <atomic>

namespace pylon::process {

namespace {

std::atomic<bool> logFilesKeptOut{false};

// Deliberately leaked: loggers may still write while static objects are being destroyed.
LogWriter& writer() {
    static LogWriter* const shared = logFilesKeptOut
                                         ? new LogWriter(QString(), QString())
                                         : new LogWriter(environment().logDirectory(), environment().menubarLogFile());
    return *shared;
}

} // namespace

const BuildEnvironment& environment() {
    static const BuildEnvironment instance(Bundle::main().facts(), SystemInfo::machineArchitecture(),
                                           SystemInfo::dataHome());
    return instance;
}

const Loggers& loggers() {
    static const Loggers* const shared = [] {
        const QString subsystem = environment().bundleIdentifier();
        auto make = [&](const char* component) {
            return new FileLogger(QString::fromLatin1(component), subsystem, writer());
        };
        return new Loggers{*make("menubar"), *make("installer"), *make("companion-manager"), *make("uninstall")};
    }();
    return *shared;
}

void keepLogOutOfFiles() {
    logFilesKeptOut = true;
}

void flushLog() {
    writer().flush();
}

} // namespace pylon::process
