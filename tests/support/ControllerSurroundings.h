#pragma once

#include "FakeCompanionServer.h"
#include "Fakes.h"
#include "TemporaryHome.h"
#include "TestBundle.h"

#include "core/PylonController.h"
#include "core/Process.h"
#include "foundation/BuildEnvironment.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

#include <memory>

namespace pylon::test {

// Everything a controller works with, in a home of its own: a bundle of the build mode named by
// `identifier` (version 1.0.0-1), the environment built from it, the user defaults, fakes of the
// service manager, the desktop and the clock, and a loopback fake companion (not yet listening).
struct ControllerSurroundings {
    explicit ControllerSurroundings(const QString& identifier = QStringLiteral("net.ostrand.Pylon"))
        : bundlePath(makeBundle(home.path(),
                                identifier.endsWith(QLatin1String("-Dev")) ? QStringLiteral("Pylon-Dev")
                                                                           : QStringLiteral("Pylon"),
                                bundleInfo(identifier, QStringLiteral("1.0.0"), QStringLiteral("1"))))
        , environment(Bundle::atPath(bundlePath).facts(), QStringLiteral("x86_64"), home.dataHome())
        , defaults(identifier, home.configHome()) {}

    // The context of a controller over these surroundings and the process's loggers; without a
    // subscription the Accessibility notifications are a source that never fires.
    ControllerContext context(std::function<std::unique_ptr<AccessibilityNotifications>()> subscribe = {},
                              std::optional<quint16> port = std::nullopt,
                              std::optional<AbletonSetupManager::Options> live = std::nullopt) {
        if (!subscribe)
            subscribe = [] { return std::make_unique<AccessibilityNotifications>(); };
        return ControllerContext{environment, defaults, services, workspace, clock, process::loggers(),
                                 std::move(subscribe), port, std::move(live)};
    }

    TemporaryHome home;
    QString bundlePath;
    BuildEnvironment environment;
    UserDefaults defaults;
    FakeServiceManager services;
    FakeWorkspace workspace;
    FakeClock clock;
    FakeCompanionServer server;
};

} // namespace pylon::test
