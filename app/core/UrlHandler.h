#pragma once

#include <QString>
#include <functional>

namespace pylon {

class BuildEnvironment;
class FileLogger;

// Acts on a URL opened with the application's own scheme. Only "<urlScheme>://uninstall" does
// anything (it runs `showUninstallConfirmation`); every other URL is logged or dropped.
// The scheme must match the build mode's exactly, case included.
void handleURL(const QString& text, const BuildEnvironment& environment, const FileLogger& log,
               const std::function<void()>& showUninstallConfirmation);

} // namespace pylon
