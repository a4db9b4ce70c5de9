#include "ui/onboarding/OnboardingPresenter.h"

namespace pylon::ui {

QString stepName(OnboardingStep step) {
    switch (step) {
    case OnboardingStep::intro:
        return QStringLiteral("intro");
    case OnboardingStep::eula:
        return QStringLiteral("eula");
    case OnboardingStep::automation:
        return QStringLiteral("automation");
    case OnboardingStep::accessibility:
        return QStringLiteral("accessibility");
    case OnboardingStep::getStarted:
        return QStringLiteral("getStarted");
    }
    return {};
}

OnboardingOutcome OnboardingPresenter::outcome(OnboardingStep step,
                                               const std::optional<CompanionStatusResponse>& companion) {
    switch (step) {
    case OnboardingStep::intro:
        return {false, false, OnboardingStep::eula};
    case OnboardingStep::eula:
        return {true, false, OnboardingStep::automation};
    case OnboardingStep::automation:
        // Without the keyboard addon the companion never needs Accessibility, so its page would only
        // confuse; without any status yet nothing is known, so the page is shown.
        if (companion && !companion->isAcceleratorAddonLoaded)
            return {false, true, std::nullopt};
        return {false, false, OnboardingStep::accessibility};
    case OnboardingStep::accessibility:
        // A user who has just granted the permissions still needs the phone app and Live's control
        // surface, so the last page comes before completion.
        return {false, false, OnboardingStep::getStarted};
    case OnboardingStep::getStarted:
        return {false, true, std::nullopt};
    }
    return {};
}

OnboardingOutcome OnboardingPresenter::pressPrimary(const std::optional<CompanionStatusResponse>& companion) {
    const OnboardingOutcome result = outcome(m_step, companion);
    if (result.nextStep)
        m_step = *result.nextStep;
    return result;
}

std::optional<QString> OnboardingPresenter::permissionRequestedOnShow(OnboardingStep step) {
    if (step == OnboardingStep::accessibility)
        return QStringLiteral("accessibility");
    return std::nullopt;
}

bool OnboardingPresenter::isGranted(OnboardingStep step, const std::optional<CompanionStatusResponse>& companion) {
    if (!companion)
        return false;
    switch (step) {
    case OnboardingStep::automation:
        return companion->permissions.automation;
    case OnboardingStep::accessibility:
        return companion->isAcceleratorAvailable;
    default:
        return false;
    }
}

} // namespace pylon::ui
