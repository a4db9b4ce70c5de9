#pragma once

#include "Fakes.h"
#include "TemporaryHome.h"
#include "core/BuildEnvironment.h"
#include "core/PylonController.h"
#include "live/AbletonSetupManager.h"
#include "platform/UserDefaults.h"
#include "status/DynamicStatus.h"
#include "status/StatusResponse.h"

#include <QWidget>
#include <memory>
#include <optional>

namespace pylon::test {

// A status document with the companion's addon and permission flags, its client count and Live.
StatusResponse statusWith(bool addonLoaded, bool accessibility, bool automation, qint64 clients,
                          AbletonCondition live = AbletonCondition::notRunning,
                          std::optional<QString> liveVersion = std::nullopt);

// A Live record as detection reports it: "Live <major> User Library", with or without a library.
AbletonVersion liveVersion(const QString& major, bool hasLibrary, bool installed,
                           std::optional<QString> expectedPath = std::nullopt);

// Brings `status` into the given summary state (the error state carries the "E02" failure).
void putInState(DynamicStatus& status, CompanionState::Kind kind);

// A bundle folder in a temporary home, production or development, and the environment built from it.
struct TestEnvironment {
    explicit TestEnvironment(bool development = false);
    // Puts an "AbletonMidiSettings.png" of `size` into the bundle's resources.
    void addSetupPicture(QSize size) const;

    TemporaryHome home;
    QString bundlePath;
    BuildEnvironment environment;
};

// A status model on user defaults in a temporary home.
struct StatusFixture {
    StatusFixture();
    TemporaryHome home;
    UserDefaults defaults;
    DynamicStatus status;
};

// A controller on fakes that is never started; its status model is set by hand.
struct UnstartedController {
    explicit UnstartedController(bool development = false);
    DynamicStatus& status() { return controller->dynamicStatus(); }

    TestEnvironment env;
    UserDefaults defaults;
    FakeServiceManager services;
    FakeWorkspace workspace;
    FakeClock clock;
    std::unique_ptr<PylonController> controller;
};

// The visible widgets of type T under `root` whose text is `text`.
template <typename T> QList<T*> visibleWithText(QWidget* root, const QString& text) {
    QList<T*> found;
    for (T* widget : root->findChildren<T*>()) {
        if (widget->isVisibleTo(root) && widget->text() == text)
            found << widget;
    }
    return found;
}

// Delivers the deferred deletions and layout requests a redraw posted, so replaced widgets are gone
// and sizes are final.
void settle();

} // namespace pylon::test
