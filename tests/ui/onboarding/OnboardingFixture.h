#pragma once

#include "ControllerSurroundings.h"
#include "status/StatusCodec.h"
#include "platform/mac/MacWording.h"
#include "ui/onboarding/OnboardingFlow.h"
#include "ui/onboarding/OnboardingPage.h"
#include "ui/onboarding/OnboardingStore.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

namespace pylon::test {

inline const QString productionIdentifier = QStringLiteral("net.ostrand.Pylon");
inline const QString developmentIdentifier = QStringLiteral("net.ostrand.Pylon-Dev");

// The repository's resource files the bundles ship.
inline QString sourceResource(const QString& fileName) { return PYLON_TEST_SOURCE_DIR "/app/resources/" + fileName; }

// Fixes the process's shared logs in a home of its own before any fixture moves HOME elsewhere.
inline void setUpProcessHome() {
    static const TemporaryHome processHome;
    (void)process::loggers();
}

inline CompanionStatusResponse companionStatus(bool addonLoaded, bool addonAvailable, bool accessibility,
                                               bool automation) {
    CompanionStatusResponse companion;
    companion.condition = CompanionCondition::running;
    companion.isAcceleratorAddonLoaded = addonLoaded;
    companion.isAcceleratorAvailable = addonAvailable;
    companion.permissions = CompanionPermissions{accessibility, automation};
    return companion;
}

// An onboarding flow over a controller that polls a loopback fake companion, in a throw-away home
// and a bundle of the given identifier whose resources hold the listed files of the repository.
struct OnboardingFixture : ControllerSurroundings {
    explicit OnboardingFixture(const QString& identifier = productionIdentifier,
                               const QStringList& resources = {"eula.md", "images/PylonHero.png",
                                                               "images/AbletonMidiSettings.png"})
        : ControllerSurroundings(identifier) {
        for (const QString& resource : resources)
            QFile::copy(sourceResource(resource), resourcePath(QFileInfo(resource).fileName()));
        server.listen();
        server.body = "{}"; // not a status document until a test publishes one
        services.statusValue = ServiceManager::enabled;
        controller = std::make_unique<PylonController>(context({}, server.port()));
        store = std::make_unique<ui::OnboardingStore>(defaults, process::loggers().menubar);
    }
    QString resourcePath(const QString& name) const { return bundlePath + "/Contents/Resources/" + name; }
    bool writeResource(const QString& name, const QByteArray& bytes) const {
        QFile file(resourcePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    // Builds and shows the flow (once the test has arranged the bundle and the status).
    ui::OnboardingFlow& makeFlow() {
        const auto complete = [this] { ++completions; store->completeOnboarding(); };
        flow = std::make_unique<ui::OnboardingFlow>(*store, *controller, complete, environment,
                                                    ui::OnboardingPlatform{&wording});
        QObject::connect(flow.get(), &ui::OnboardingFlow::stepChanged, [this](auto step) { steps << stepName(step); });
        flow->show();
        return *flow;
    }
    // Makes `companion` the latest status, in the model and in what the companion answers to later polls.
    void publish(const std::optional<CompanionStatusResponse>& companion) {
        std::optional<StatusResponse> response;
        if (companion)
            response.emplace().companion = *companion;
        server.body = response ? encodeStatusResponse(*response) : QByteArray("{}");
        controller->dynamicStatus().setLastResponse(response);
    }
    void pressPrimary() { QTest::mouseClick(flow->currentPage()->primaryButton(), Qt::LeftButton); }
    qsizetype permissionRequests() const {
        return std::count_if(server.requests.begin(), server.requests.end(), [](const auto& request) {
            return request.method == "POST" && request.path == "/permission/accessibility";
        });
    }

    std::unique_ptr<PylonController> controller;
    std::unique_ptr<ui::OnboardingStore> store;
    int completions = 0;
    QStringList steps; // the names of the steps the flow went to
    // The design's wording, with every settings page and a tray.
    MacWording wording;
    std::unique_ptr<ui::OnboardingFlow> flow;
};

} // namespace pylon::test
