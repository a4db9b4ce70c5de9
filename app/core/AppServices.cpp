#include "core/AppServices.h"

#include "core/BuildEnvironment.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/ServiceManager.h"
#include "platform/UserDefaults.h"

namespace pylon {

AppServices::AppServices()
    : m_environment(BuildEnvironment::current())
    , m_defaults(std::make_unique<UserDefaults>(m_environment.bundleIdentifier()))
    , m_services(createServiceManager(m_environment)) {}

AppServices::~AppServices() = default;

ControllerContext AppServices::controllerContext() {
    return ControllerContext{m_environment, *m_defaults, *m_services, m_workspace, m_clock,
                             &subscribeToAccessibilityNotifications};
}

} // namespace pylon
