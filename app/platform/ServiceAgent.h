#pragma once

#include "foundation/BuildEnvironment.h"

#include <QString>

namespace pylon {

// The companion's launch agent as a service manager sees it: what to call it, where its plist is and
// where a backend that keeps its own records puts them.
struct ServiceAgent {
    QString label;          // the launch-agent label; systemd's unit is "<label>.service"
    QString displayName;    // shown by the service manager (the unit's Description)
    QString bundlePath;     // the application bundle holding the agent
    QString plistName;      // in <bundle>/Contents/Library/LaunchAgents/
    QString stateDirectory; // the process backend's registration and pid files

    // `<bundle>/Contents/Library/LaunchAgents/<plistName>`
    QString plistPath() const {
        return bundlePath + QStringLiteral("/Contents/Library/LaunchAgents/") + plistName;
    }

    // The companion agent of the build mode, its state kept under `dataHome`.
    static ServiceAgent companion(const BuildEnvironment& environment, const QString& dataHome) {
        return ServiceAgent{environment.companionLabel(), environment.companionDisplayName(),
                            environment.bundlePath(), environment.launchAgentPlistName(),
                            dataHome + QLatin1Char('/') + environment.appSupportFolderName() +
                                QStringLiteral("/service")};
    }
};

} // namespace pylon
