#pragma once

#include "ControllerSurroundings.h"

#include <QStringList>
#include <memory>

namespace pylon::test {

// A controller wired to a loopback fake companion, a fake service manager, a fake desktop and a
// fake clock, in a home of its own (Live's preferences and the staging folder live there too).
struct ControllerFixture : ControllerSurroundings {
    // Fixes the process's build environment and shared log file in a home that outlives every
    // fixture; call before the first fixture.
    static void setUpProcess();
    // The messages of the shared menu-bar log written so far (after the tags).
    static QStringList menubarLogMessages();

    ControllerFixture();
    ~ControllerFixture();

    DynamicStatus& status() { return controller->dynamicStatus(); }
    void poll();
    std::optional<StatusResponse> fetch();
    void refresh();

    // Puts the control-script archive of the build into the fixture's bundle.
    bool addRemoteScriptArchive();
    // A Live preference folder "Live <version>" whose Library.cfg names <home>/<libraryBelowHome>.
    void addLive(const QString& version, const QString& libraryBelowHome, bool createLibrary = true);

    AccessibilityNotifications* notifications = nullptr;
    int subscriptions = 0;
    std::unique_ptr<PylonController> controller;
};

} // namespace pylon::test
