#include "UiTestSupport.h"

#include "TestBundle.h"
#include "platform/AccessibilityNotifications.h"
#include "platform/Bundle.h"
#include "status/PylonError.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QImage>

namespace pylon::test {

StatusResponse statusWith(bool addonLoaded, bool accessibility, bool automation, qint64 clients, AbletonCondition live,
                          std::optional<QString> version) {
    StatusResponse response;
    response.companion.isAcceleratorAddonLoaded = addonLoaded;
    response.companion.permissions = {accessibility, automation};
    response.companion.clientCount = clients;
    response.companion.condition = CompanionCondition::running;
    response.ableton.condition = live;
    response.ableton.version = version;
    return response;
}

AbletonVersion liveVersion(const QString& major, bool hasLibrary, bool installed, std::optional<QString> expectedPath) {
    AbletonVersion version;
    const QString library = QStringLiteral("/home/user/Music/Ableton/Live ") + major + QStringLiteral(" Library");
    version.id = hasLibrary ? library : QStringLiteral("no-library-") + major;
    version.version = major;
    version.displayName = QStringLiteral("Live ") + major + QStringLiteral(" User Library");
    if (hasLibrary)
        version.userLibraryPath = library;
    version.expectedUserLibraryPath = hasLibrary ? std::optional(library) : expectedPath;
    version.isRemoteScriptInstalled = installed;
    return version;
}

void putInState(DynamicStatus& status, CompanionState::Kind kind) {
    using Kind = CompanionState::Kind;
    status.setIsStarting(kind == Kind::startingUp);
    status.setCompanionError(kind == Kind::error ? std::optional(PylonError::companionLaunchFailed("Binary not found"))
                                                 : std::nullopt);
    status.setRequiresLoginItemApproval(kind == Kind::requiresLoginItemApproval);
    switch (kind) {
    case Kind::running:
    case Kind::startingUp:
        status.setLastResponse(statusWith(true, true, true, 0));
        break;
    case Kind::runningNeedsAccessibility:
        status.setLastResponse(statusWith(true, false, true, 0));
        break;
    case Kind::runningNeedsAutomation:
        status.setLastResponse(statusWith(true, true, false, 0));
        break;
    case Kind::runningNeedsBothPermissions:
        status.setLastResponse(statusWith(true, false, false, 0));
        break;
    case Kind::notRunning:
    case Kind::requiresLoginItemApproval:
    case Kind::error:
        status.setLastResponse(std::nullopt);
        break;
    }
}

TestEnvironment::TestEnvironment(bool development)
    : bundlePath(makeBundle(
          home.path(), development ? QStringLiteral("Pylon-Dev") : QStringLiteral("Pylon"),
          bundleInfo(development ? QStringLiteral("net.ostrand.Pylon-Dev") : QStringLiteral("net.ostrand.Pylon"),
                     "1.0.0", "1")))
    , environment(Bundle::atPath(bundlePath), QStringLiteral("x86_64"), home.dataHome()) {}

void TestEnvironment::addSetupPicture(QSize size) const {
    QDir().mkpath(bundlePath + QStringLiteral("/Contents/Resources"));
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x30, 0x30, 0x30));
    image.save(bundlePath + QStringLiteral("/Contents/Resources/AbletonMidiSettings.png"));
}

StatusFixture::StatusFixture()
    : defaults(QStringLiteral("net.ostrand.Pylon"), home.configHome())
    , status(defaults) {}

UnstartedController::UnstartedController(bool development)
    : env(development)
    , defaults(env.environment.bundleIdentifier(), env.home.configHome()) {
    controller =
        std::make_unique<PylonController>(ControllerContext{env.environment, defaults, services, workspace, clock, [] {
                                                                return std::make_unique<AccessibilityNotifications>();
                                                            }});
}

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

} // namespace pylon::test
