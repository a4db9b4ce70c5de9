#pragma once

#include "ui/common/UiText.h"

#include "TemporaryHome.h"
#include "TestBundle.h"
#include "foundation/BuildEnvironment.h"
#include "core/SetupViewControllerProtocol.h"
#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "status/DynamicStatus.h"
#include "status/PylonError.h"
#include "ui/setup/AbletonInstancesSection.h"
#include "ui/setup/AbletonVersionRow.h"
#include "ui/setup/AlignedDisclosure.h"
#include "ui/setup/SetupWindowView.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPushButton>

namespace pylon::test {

using Kind = CompanionState::Kind;

// Records every operation the setup window asks for, as "operation" or "operation <version id>".
class FakeSetupController final : public SetupViewControllerProtocol {
public:
    const QList<AbletonVersion>& abletonVersions() const override { return versions; }
    void openLoginItemsSettings() override { calls << "openLoginItemsSettings"; }
    void openAccessibilitySettings() override { calls << "openAccessibilitySettings"; }
    void openAutomationSettings() override { calls << "openAutomationSettings"; }
    void restartCompanion() override { calls << "restartCompanion"; }
    void openLogFile() override { calls << "openLogFile"; }
    void installRemoteScriptFromBundle(const AbletonVersion& v) override { calls << "installRemoteScriptFromBundle " + v.id; }
    void openRemoteScriptsFolder(const AbletonVersion& v) override { calls << "openRemoteScriptsFolder " + v.id; }
    void showStagedRemoteScript() override { calls << "showStagedRemoteScript"; }
    void addWinePrefix(const QString& folder) override { calls << "addWinePrefix " + folder; }
    bool isInstallingRemoteScript() const override { return installing; }
    void setVersions(const QList<AbletonVersion>& list) { versions = list; emit abletonVersionsChanged(); }
    void setInstalling(bool value) { installing = value; emit installingRemoteScriptChanged(); }
    QList<AbletonVersion> versions;
    bool installing = false;
    QStringList calls;
};

inline StatusResponse statusWith(bool accessibility, bool automation, qint64 clients,
                                 AbletonCondition live = AbletonCondition::notRunning,
                                 std::optional<QString> liveVersion = std::nullopt) {
    StatusResponse response;
    response.companion.isAcceleratorAddonLoaded = true;
    response.companion.permissions = {accessibility, automation};
    response.companion.clientCount = clients;
    response.companion.condition = CompanionCondition::running;
    response.ableton.condition = live;
    response.ableton.version = liveVersion;
    return response;
}

// A Live record as detection reports it: "Live <major> User Library", with or without a library.
inline AbletonVersion liveVersion(const QString& major, bool hasLibrary, bool installed,
                                  std::optional<QString> expectedPath = std::nullopt) {
    AbletonVersion version;
    const QString library = "/home/user/Music/Ableton/Live " + major + " Library";
    version.id = hasLibrary ? library : "no-library-" + major;
    version.displayName = "Live " + major + " User Library";
    version.userLibraryPath = hasLibrary ? std::optional(library) : std::nullopt;
    version.expectedUserLibraryPath = hasLibrary ? std::optional(library) : expectedPath;
    version.isRemoteScriptInstalled = installed;
    return version;
}

inline std::optional<PylonError> launchFailure(Kind kind) {
    return kind == Kind::error ? std::optional(PylonError::companionLaunchFailed("Binary not found")) : std::nullopt;
}

inline CompanionState stateOf(Kind kind) {
    return kind == Kind::error ? CompanionState::failed(*launchFailure(kind)) : CompanionState(kind);
}

// Brings `status` into the given summary state (the error state carries the "E02" failure).
inline void putInState(DynamicStatus& status, Kind kind) {
    status.setIsStarting(kind == Kind::startingUp);
    status.setCompanionError(launchFailure(kind));
    status.setRequiresLoginItemApproval(kind == Kind::requiresLoginItemApproval);
    const bool running = kind != Kind::notRunning && kind != Kind::requiresLoginItemApproval && kind != Kind::error &&
                         kind != Kind::startingUp;
    const bool accessibility = kind != Kind::runningNeedsAccessibility && kind != Kind::runningNeedsBothPermissions;
    const bool automation = kind != Kind::runningNeedsAutomation && kind != Kind::runningNeedsBothPermissions;
    status.setLastResponse(running ? std::optional(statusWith(accessibility, automation, 0)) : std::nullopt);
}

// A bundle folder in a temporary home, production or development, and the environment built from it.
struct TestEnvironment {
    explicit TestEnvironment(bool development = false)
        : bundlePath(makeBundle(home.path(), development ? "Pylon-Dev" : "Pylon",
                                bundleInfo(development ? "net.ostrand.Pylon-Dev" : "net.ostrand.Pylon", "1.0.0", "1")))
        , environment(Bundle::atPath(bundlePath).facts(), QStringLiteral("x86_64"), home.dataHome()) {}
    TemporaryHome home;
    QString bundlePath;
    BuildEnvironment environment;
};

// Delivers the deferred deletions and layout requests a redraw posted.
inline void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// A shown setup window over a status model in a temporary home and a fake controller; the bundle has a
// 1000 × 600 setup picture.
struct Window {
    explicit Window(bool development = false, QList<AbletonVersion> versions = {})
        : env(development) {
        controller.versions = std::move(versions);
        QDir().mkpath(env.bundlePath + "/Contents/Resources");
        QImage picture(QSize(1000, 600), QImage::Format_RGB32);
        picture.fill(Qt::darkGray);
        picture.save(env.bundlePath + "/Contents/Resources/AbletonMidiSettings.png");
        view = std::make_unique<ui::SetupWindowView>(status, controller, env.environment, [this] { ++appeared; });
        view->show();
    }
    QPushButton* button(const QString& text) {
        QList<QPushButton*> found;
        for (QPushButton* button : view->findChildren<QPushButton*>()) {
            if (button->isVisibleTo(view.get()) && ui::withoutMnemonic(button->text()) == text)
                found << button;
        }
        return found.size() == 1 ? found.first() : nullptr;
    }
    ui::AbletonVersionRow* row(int index) { return view->instancesSection()->rows().value(index); }
    // Puts the window in `kind` with three libraries, all rows expanded.
    void enter(Kind kind) {
        putInState(status, kind);
        controller.setVersions(
            {liveVersion("12", true, true), liveVersion("11", true, false), liveVersion("10", false, false)});
        for (ui::AbletonVersionRow* row : view->instancesSection()->rows())
            row->disclosure()->setExpanded(true);
    }
    TemporaryHome home;
    UserDefaults defaults{QStringLiteral("net.ostrand.Pylon"), home.configHome()};
    DynamicStatus status{defaults};
    TestEnvironment env;
    FakeSetupController controller;
    int appeared = 0;
    std::unique_ptr<ui::SetupWindowView> view;
};

} // namespace pylon::test
