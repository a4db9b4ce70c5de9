#pragma once

#include <QString>

namespace pylon {

// Facts about the running process and the user's folders, read from the operating system.
// Folders follow the XDG base-directory rules: an absolute XDG_*_HOME wins, else a folder under
// the home directory. Nothing here creates a folder.
namespace SystemInfo {

// The absolute path of the running executable, symbolic links resolved; empty if unknown.
QString currentExecutablePath();

// The machine hardware name as the kernel reports it (uname(2) "machine"), e.g. "x86_64".
QString machineArchitecture();

// The operating system's kernel release, e.g. "6.1.0-18-amd64".
QString kernelRelease();

QString homeDirectory();
QString dataHome();   // XDG_DATA_HOME or ~/.local/share
QString stateHome();  // XDG_STATE_HOME or ~/.local/state
QString cacheHome();  // XDG_CACHE_HOME or ~/.cache
QString configHome(); // XDG_CONFIG_HOME or ~/.config

// XDG_RUNTIME_DIR when it can be trusted with private files: an absolute path to a folder of this
// user that no one else may enter. Empty otherwise.
QString runtimeDirectory();

// Where a program of `bundleIdentifier` keeps what lives only while it runs (the instance socket,
// the report being built): "<runtime directory>/<identifier>", or without a usable runtime
// directory "<cache home>/<identifier>/runtime"; never the shared temporary folder. Not created.
QString privateRuntimeFolder(const QString& bundleIdentifier);

} // namespace SystemInfo
} // namespace pylon
