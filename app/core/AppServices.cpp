#include "core/AppServices.h"

#include "core/Entry.h"
#include "core/Process.h"
#include "foundation/BuildEnvironment.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/ServiceManager.h"
#include "platform/SystemInfo.h"
#include "platform/UserDefaults.h"

namespace pylon {

AppServices::AppServices()
    : m_environment(process::environment())
    , m_loggers(process::loggers())
    , m_defaults(std::make_unique<UserDefaults>(m_environment.bundleIdentifier()))
    , m_services(createServiceManager(ServiceAgent::companion(m_environment, SystemInfo::dataHome()),
                                      m_loggers.companionManager))
    , m_settingsPages(createSettingsPages())
    , m_wording(createPlatformWording())
    , m_workspace(m_loggers.menubar, m_settingsPages.get())
    , m_loginStart(SystemInfo::configHome(), m_environment.bundleIdentifier(), m_environment.appDisplayName(),
                   entry::siblingProgram(entry::programName)) {}

AppServices::~AppServices() = default;

ControllerContext AppServices::controllerContext() {
    return ControllerContext{m_environment, *m_defaults,   *m_services, m_workspace,
                             m_clock,       m_loggers, &subscribeToAccessibilityNotifications};
}

} // namespace pylon
