#pragma once

#include "foundation/Clock.h"
#include "core/PylonController.h"
#include "platform/LoginStart.h"
#include "platform/PlatformWording.h"
#include "platform/SettingsPages.h"
#include "platform/Workspace.h"

#include <memory>

namespace pylon {

class BuildEnvironment;
struct Loggers;
class ServiceManager;
class UserDefaults;

// The real surroundings of the controller in this process: the build environment, the loggers, the
// user defaults of the bundle, the service manager backend, the desktop with its settings pages and
// the platform's wording, and the steady clock.
class AppServices {
public:
    AppServices();
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    const BuildEnvironment& environment() const { return m_environment; }
    const Loggers& loggers() const { return m_loggers; }
    UserDefaults& defaults() { return *m_defaults; }
    ServiceManager& services() { return *m_services; }
    Workspace& workspace() { return m_workspace; }
    SettingsPages& settingsPages() { return *m_settingsPages; }
    const PlatformWording& wording() const { return *m_wording; }
    // The entry that starts Pylon (the bundle's Pylon program) at login.
    XdgAutostart& loginStart() { return m_loginStart; }

    ControllerContext controllerContext();

private:
    const BuildEnvironment& m_environment;
    const Loggers& m_loggers;
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<ServiceManager> m_services;
    std::unique_ptr<SettingsPages> m_settingsPages;
    std::unique_ptr<PlatformWording> m_wording;
    DesktopWorkspace m_workspace;
    XdgAutostart m_loginStart;
    SteadyClock m_clock;
};

} // namespace pylon
