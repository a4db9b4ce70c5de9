#pragma once

#include "FakeCompanionServer.h"
#include "Fakes.h"
#include "TemporaryHome.h"
#include "core/BuildEnvironment.h"
#include "core/PylonController.h"
#include "platform/UserDefaults.h"
#include "status/StatusResponse.h"
#include "ui/onboarding/OnboardingFlow.h"
#include "ui/onboarding/OnboardingStore.h"

#include <QStringList>
#include <memory>
#include <optional>

namespace pylon::test {

inline const QString productionIdentifier = QStringLiteral("net.ostrand.Pylon");
inline const QString developmentIdentifier = QStringLiteral("net.ostrand.Pylon-Dev");

// The repository's resource files the bundles ship.
QString sourceResource(const QString& fileName);

// Fixes the process's shared log in a home of its own before any fixture moves HOME elsewhere.
void setUpProcessHome();

// The companion part of a status document with these facts.
CompanionStatusResponse companionStatus(bool addonLoaded, bool addonAvailable, bool accessibility, bool automation);

// Message texts of a log file's lines ("<time> [pylon-companion][<component>] <message>").
QStringList logMessages(const QByteArray& logFile);

// An onboarding flow over a controller that polls a loopback fake companion, in a throw-away home
// and a bundle of the given identifier whose resources hold the listed files of the repository.
struct OnboardingFixture {
    explicit OnboardingFixture(const QString& bundleIdentifier = productionIdentifier,
                               const QStringList& resources = {QStringLiteral("eula.md"),
                                                               QStringLiteral("images/PylonHero.png"),
                                                               QStringLiteral("images/AbletonMidiSettings.png")});
    ~OnboardingFixture();

    // Builds the flow (once the test has arranged the bundle and the status).
    ui::OnboardingFlow& makeFlow();

    // Makes `companion` the latest status, both in the model and in what the companion answers to
    // later polls, so polling after the start keeps showing it. Absent: no status at all.
    void publish(const std::optional<CompanionStatusResponse>& companion);

    // Presses the current page's primary button.
    void pressPrimary();

    DynamicStatus& status() { return controller->dynamicStatus(); }
    int permissionRequests(const QByteArray& name) const;

    TemporaryHome home;
    QString bundlePath;
    BuildEnvironment environment;
    UserDefaults defaults;
    FakeServiceManager services;
    FakeWorkspace workspace;
    FakeClock clock;
    FakeCompanionServer server;
    std::unique_ptr<PylonController> controller;
    std::unique_ptr<ui::OnboardingStore> store;
    int completions = 0;
    std::unique_ptr<ui::OnboardingFlow> flow;
};

} // namespace pylon::test

Q_DECLARE_METATYPE(pylon::ui::OnboardingStep)
