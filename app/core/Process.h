#pragma once

#include "foundation/BuildEnvironment.h"
#include "foundation/FileLogger.h"

// The process-wide values of the application: its build environment and its loggers. Each is made
// once, on first use, thread-safely, and lives until the process ends. Only the application's entry
// points reach for them; every part below receives what it needs.
namespace pylon::process {

// Built from the main bundle, the kernel's machine name and the user's data home.
const BuildEnvironment& environment();

// The four component loggers on the one writer of the menu-bar log file of environment().
const Loggers& loggers();

// From now on the loggers keep to the system log: no log file is created or written. For the modes
// that leave nothing behind (--status); only before the first use of loggers() has it an effect.
void keepLogOutOfFiles();

// Waits until every line logged so far is in the file (before the process exits).
void flushLog();

} // namespace pylon::process
