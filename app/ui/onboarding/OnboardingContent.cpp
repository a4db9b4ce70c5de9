#include "ui/onboarding/OnboardingContent.h"

#include "foundation/BuildEnvironment.h"
#include "ui/common/UiText.h"

namespace pylon::ui {


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

PermissionPageContent permissionPageContent(OnboardingStep step, bool isGranted, const OnboardingNames& names,
                                            const OnboardingPlatform& platform) {
    const PlatformWording& wording = *platform.wording;
    PermissionPageContent page;
    page.isGranted = isGranted;
    page.button = primaryButtonText(step);
    QList<GuidanceLine> guidance;
    std::optional<QString> settingsButton;
    if (step == OnboardingStep::accessibility) {
        page.symbol = QStringLiteral("hand.tap");
        page.title = QStringLiteral("Accessibility");
        page.description = wording.accessibilityDescription();
        page.grantedSentence = QStringLiteral("Accessibility permission granted.");
        guidance = wording.accessibilityInstructions(names.companionDisplayName);
        if (platform.accessibilitySettings)
            settingsButton = QStringLiteral("Open Accessibility Settings") + ellipsis;
    } else {
        page.symbol = QStringLiteral("applescript");
        page.title = QStringLiteral("Automation");
        page.description = wording.automationDescription();
        page.grantedSentence = QStringLiteral("Automation permission granted.");
        guidance = wording.automationInstructions(names.appDisplayName);
        if (platform.automationSettings)
            settingsButton = QStringLiteral("Open Automation Settings") + ellipsis;
    }
    if (!page.isGranted) {
        for (const GuidanceLine& line : guidance)
            page.instructions << InstructionLine{line.text, line.secondary ? TextTone::secondary : TextTone::primary};
        page.settingsButton = settingsButton;
    }
    return page;
}

GetStartedContent getStartedContent(const OnboardingPlatform& platform) {
    const BackgroundPresence presence = platform.wording->backgroundPresence(platform.trayShown);
    return {
        QStringLiteral("Pylon & Ableton Live"),
        QStringLiteral("Just a couple more things to get started"),
        {
            {QStringLiteral("Get Pylon for iPhone"),
             QStringLiteral("On your device, get on the same Wi-Fi network as ") + platform.wording->thisComputer() +
                 QStringLiteral(". From the App Store, install:"),
             QStringLiteral("Pylon - Ableton Live Remote"), std::nullopt},
            {QStringLiteral("Set up Live"),
             QStringLiteral("Open Ableton Live and go to Settings ") + rightArrow +
                 QStringLiteral(" Link, Tempo & MIDI. Choose Pylon as a Control Surface."),
             std::nullopt, QStringLiteral("AbletonMidiSettings")},
        },
        QStringLiteral("Now you\u2019ve got a Pylon on Live!"),
        presence.before,
        presence.symbol,
        presence.after,
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
