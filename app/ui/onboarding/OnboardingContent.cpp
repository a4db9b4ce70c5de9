#include "ui/onboarding/OnboardingContent.h"

#include "foundation/BuildEnvironment.h"
#include "ui/common/UiText.h"

namespace pylon::ui {

namespace {

QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString settingsPath(const QString& pane) {
    return QStringLiteral("open System Settings ") + rightArrow + QStringLiteral(" Privacy and Security ") +
           rightArrow + QLatin1Char(' ') + pane;
}

} // namespace

OnboardingNames OnboardingNames::from(const BuildEnvironment& environment) {
    return {environment.appDisplayName(), environment.companionDisplayName()};
}

IntroContent introContent() {
    return {
        QStringLiteral("PylonHero"),
        QSize(250, 249),
        QStringLiteral("Pylon"),
        QStringLiteral("The missing remote control for Ableton Live"),
        {
            {QStringLiteral("hand.draw"), QStringLiteral("Controls at your fingertips")},
            {QStringLiteral("square.grid.2x2"), QStringLiteral("Arrangement and session navigation")},
            {QStringLiteral("wifi"), QStringLiteral("Runs in the background, over Wi-Fi")},
        },
        QStringLiteral("Pylon is designed for use with Ableton Live. It is not affiliated with or endorsed by "
                       "Ableton AG. Ableton and Live are trademarks of Ableton AG."),
        primaryButtonText(OnboardingStep::intro),
    };
}

EulaContent eulaContent() {
    return {
        QStringLiteral("License Agreement"),
        QStringLiteral("Please review and accept to continue"),
        QStringLiteral("eula"),
        QStringLiteral("md"),
        QStringLiteral("Error loading license agreement."),
        QStringLiteral("By continuing, you agree to the terms above."),
        primaryButtonText(OnboardingStep::eula),
    };
}

PermissionPageContent permissionPageContent(OnboardingStep step, bool isGranted, const OnboardingNames& names) {
    PermissionPageContent page;
    page.isGranted = isGranted;
    page.button = primaryButtonText(step);
    QList<InstructionLine> instructions;
    QString settingsButton;
    if (step == OnboardingStep::accessibility) {
        page.symbol = QStringLiteral("hand.tap");
        page.title = QStringLiteral("Accessibility");
        page.description = QStringLiteral("Pylon uses Accessibility features to save your Live Set from your iPhone.");
        page.grantedSentence = QStringLiteral("Accessibility permission granted.");
        instructions = {
            {QStringLiteral("If you're not prompted by Mac OS, ") + settingsPath(QStringLiteral("Accessibility")) +
                 QStringLiteral(" and turn on ") + quoted(names.companionDisplayName) + QLatin1Char('.'),
             TextTone::primary},
        };
        settingsButton = QStringLiteral("Open Accessibility Settings") + ellipsis;
    } else {
        page.symbol = QStringLiteral("applescript");
        page.title = QStringLiteral("Automation");
        page.description = QStringLiteral("Pylon uses Automation to communicate with Ableton Live\n"
                                          "so it can show you the name of the open Live Set.");
        page.grantedSentence = QStringLiteral("Automation permission granted.");
        instructions = {
            {QStringLiteral("You should be prompted to grant permissions. Click Allow to grant ") +
                 quoted(names.appDisplayName) + QStringLiteral(" access to System Events."),
             TextTone::primary},
            {QStringLiteral("If you're not prompted by Mac OS, ") + settingsPath(QStringLiteral("Automation")) +
                 QStringLiteral(" and turn on ") + quoted(names.appDisplayName) + QLatin1Char('.'),
             TextTone::secondary},
        };
        settingsButton = QStringLiteral("Open Automation Settings") + ellipsis;
    }
    if (!page.isGranted) {
        page.instructions = instructions;
        page.settingsButton = settingsButton;
    }
    return page;
}

GetStartedContent getStartedContent() {
    return {
        QStringLiteral("Pylon & Ableton Live"),
        QStringLiteral("Just a couple more things to get started"),
        {
            {QStringLiteral("Get Pylon for iPhone"),
             QStringLiteral("On your device, get on the same Wi-Fi network as this Mac. From the App Store, install:"),
             QStringLiteral("Pylon - Ableton Live Remote"), std::nullopt},
            {QStringLiteral("Set up Live"),
             QStringLiteral("Open Ableton Live and go to Settings ") + rightArrow +
                 QStringLiteral(" Link, Tempo & MIDI. Choose Pylon as a Control Surface."),
             std::nullopt, QStringLiteral("AbletonMidiSettings")},
        },
        QStringLiteral("Now you\u2019ve got a Pylon on Live!"),
        QStringLiteral("Pylon runs quietly in your menu bar\u2014open the "),
        QStringLiteral("hand.point.up.fill"),
        QStringLiteral(" menu anytime."),
        primaryButtonText(OnboardingStep::getStarted),
    };
}

QString primaryButtonText(OnboardingStep step) {
    switch (step) {
    case OnboardingStep::eula:
        return QStringLiteral("Accept & Continue");
    case OnboardingStep::getStarted:
        return QStringLiteral("Let's Go!");
    case OnboardingStep::intro:
    case OnboardingStep::automation:
    case OnboardingStep::accessibility:
        return QStringLiteral("Continue");
    }
    return {};
}

} // namespace pylon::ui
