#pragma once

#include "platform/ServiceAgent.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace pylon {

// The job that the bundle's launch-agent plist describes, as the Linux backends run it. The program
// comes from BundleProgram (relative to the bundle), else Program, else ProgramArguments[0]; relative
// paths are taken from the bundle root. ProgramArguments is the whole argument vector, so its first
// entry (the program's own name) is not passed on.
struct LaunchAgentJob {
    QString plistPath;
    QString label;         // the plist's Label, for information; units and files use the agent's label
    QString program;       // absolute path
    QStringList arguments; // after the program
    bool runAtLoad = false;
    bool keepAlive = false;        // restart whenever it exits
    bool restartOnFailure = false; // KeepAlive { SuccessfulExit = false }: restart after a failure only
    std::optional<std::chrono::seconds> throttle; // ThrottleInterval, the pause before a restart, if given

    // Reads the plist of `agent`. Throws ServiceError when it is missing, malformed or names no
    // program.
    static LaunchAgentJob read(const ServiceAgent& agent);
};

} // namespace pylon
