#pragma once

// Recognising a Live process from what /proc tells about it. Live runs under Wine on Linux, so
// there is no bundle identifier to ask for: a process is Live when its executable name or the base
// name of its first argument starts with "Ableton Live" ("Ableton Live 12 Suite.exe" counts).
//
// Every process of the system is looked at on each listing, so the first look is the kernel's
// name of the process alone (/proc/<pid>/comm, one small read). Wine names the process of a
// Windows program after its executable ("Ableton Live 12 Suite.exe" becomes "Ableton Live 12", the
// kernel keeping 15 bytes), and a Wine loader that has not done so yet is called "wine…"; only
// those processes have their command line and executable read.

#include "../src/Platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace pylon::accelerator::linux_backend {

struct ProcessFacts {
    ProcessId processId = 0;
    std::string executableName;                // /proc/<pid>/comm (the kernel keeps 15 bytes of it)
    std::optional<std::string> firstArgument;  // argv[0] from /proc/<pid>/cmdline
    std::optional<std::string> executablePath; // target of /proc/<pid>/exe
};

// The last component of a Unix or a Windows path.
std::string_view baseName(std::string_view path);
bool isLiveName(std::string_view name);
// True for the paths Wine gives its processes: "C:\...", "C:/..." or anything with a backslash.
bool isWindowsPath(std::string_view path);
// Whether a process needs a closer look, from its kernel name: the test run on every process.
bool mayBeLive(std::string_view executableName);
// The application the facts describe, or nothing when the process is not Live.
std::optional<RunningApplication> liveApplication(const ProcessFacts& facts);

} // namespace pylon::accelerator::linux_backend
