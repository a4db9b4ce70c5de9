#pragma once

#include <QString>

// The two programs of the bundle's Contents/MacOS. `Pylon` is what users, the desktop entry and the
// autostart entry start: it answers --status, --version and --help itself, without the libraries
// of the rest (no widgets, no D-Bus, no zip), and hands every other start over to `Pylon-app`
// (the same process and arguments, through exec), which holds the whole application.
namespace pylon::entry {

inline constexpr const char* programName = "Pylon";
inline constexpr const char* applicationProgramName = "Pylon-app";

// `name`'s path beside the running program.
QString siblingProgram(const char* name);

} // namespace pylon::entry
