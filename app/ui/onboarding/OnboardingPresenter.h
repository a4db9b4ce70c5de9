#pragma once

#include "status/StatusResponse.h"

#include <QString>
#include <optional>

namespace pylon::ui {

// The onboarding pages, in the order the flow shows them.
enum class OnboardingStep {
    intro,         // welcome page with the product's three features
    eula,          // the licence agreement; accepting it starts the controller
    automation,    // the Automation permission
    accessibility, // the Accessibility permission; skipped while the keyboard addon is not loaded
    getStarted,    // phone app and Live's control surface; its button completes onboarding
};

QString stepName(OnboardingStep step);

// What one press of a page's primary button asks the flow to do, in this order: start the
// controller, then either complete onboarding or show `nextStep`.
struct OnboardingOutcome {
    bool startsController = false;
    bool completes = false;
    std::optional<OnboardingStep> nextStep;
    bool operator==(const OnboardingOutcome&) const = default;
};

// The flow's step and its forward-only transitions. The flow feeds it the companion part of the
// latest status document (absent while there is none) and carries out the outcomes.
class OnboardingPresenter {
public:
    OnboardingStep step() const { return m_step; }

    // What the current page's primary button does with this status; moves to the next step if any.
    OnboardingOutcome pressPrimary(const std::optional<CompanionStatusResponse>& companion);

    // What pressing the primary button on `step` does, without moving.
    static OnboardingOutcome outcome(OnboardingStep step, const std::optional<CompanionStatusResponse>& companion);

    // The permission the flow asks the companion to prompt for when `step` is shown, if any. The
    // flow does not wait for the answer; it shows only through later status documents.
    static std::optional<QString> permissionRequestedOnShow(OnboardingStep step);

    // Whether the page's permission counts as granted by this status; false without a status.
    // Accessibility counts only when the companion can actually post the keyboard shortcut.
    static bool isGranted(OnboardingStep step, const std::optional<CompanionStatusResponse>& companion);

private:
    OnboardingStep m_step = OnboardingStep::intro;
};

} // namespace pylon::ui
