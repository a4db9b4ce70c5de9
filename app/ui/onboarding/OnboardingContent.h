#pragma once

#include "platform/PlatformWording.h"
#include "status/StatusResponse.h"
#include "ui/onboarding/OnboardingPresenter.h"

#include <QList>
#include <QSize>
#include <QString>
#include <optional>

namespace pylon {
class BuildEnvironment;
}

namespace pylon::ui {

// The mode-dependent names the instruction texts show.
struct OnboardingNames {
    QString appDisplayName;
    QString companionDisplayName;
    static OnboardingNames from(const BuildEnvironment& environment);
};

// What the platform says and offers on the pages: its wording (which must outlive the pages),
// whether the desktop has an Accessibility and an Automation settings page to open, and whether
// Pylon's tray item shows.
struct OnboardingPlatform {
    const PlatformWording* wording = nullptr;
    bool accessibilitySettings = true;
    bool automationSettings = true;
    bool trayShown = true;
};

// How a text is coloured: the label colour, or the dimmer secondary colour.
enum class TextTone { primary, secondary };

struct FeatureRowContent {
    QString symbol; // a symbol name, drawn in the accent colour
    QString text;
    bool operator==(const FeatureRowContent&) const = default;
};

struct IntroContent {
    QString heroImage;
    QSize heroSize;
    QString title;
    QString subtitle;
    QList<FeatureRowContent> features;
    QString disclaimer;
    QString button;
};
IntroContent introContent();

struct EulaContent {
    QString header;
    QString subheader;
    QString resourceName;
    QString resourceExtension;
    QString loadError; // shown instead of the agreement when it cannot be read
    QString footerNote;
    QString button;
};
EulaContent eulaContent();

struct InstructionLine {
    QString text;
    TextTone tone;
    bool operator==(const InstructionLine&) const = default;
};

// One of the two permission pages as it is to be drawn for one status.
struct PermissionPageContent {
    QString symbol;
    QString title;
    QString description;
    bool isGranted = false;
    // Shown only while granted: the green badge on the tile and this sentence in the status box.
    QString grantedSentence;
    // Shown only while not granted, in the status box, and the settings button below it.
    QList<InstructionLine> instructions;
    std::optional<QString> settingsButton;
    QString button;
};
// The page of `step` (automation or accessibility) in its granted or not-granted state.
PermissionPageContent permissionPageContent(OnboardingStep step, bool isGranted, const OnboardingNames& names,
                                            const OnboardingPlatform& platform);

struct GetStartedCard {
    QString title;
    QString text;
    std::optional<QString> emphasis; // a bold line below the text
    std::optional<QString> image;    // an image resource below the text
};

struct GetStartedContent {
    QString title;
    QString subtitle;
    QList<GetStartedCard> cards;
    QString closingTitle;
    // One run of text with a symbol between the two halves (no symbol: the first half alone).
    QString closingTextBefore;
    QString closingSymbol;
    QString closingTextAfter;
    QString button;
};
GetStartedContent getStartedContent(const OnboardingPlatform& platform);

// The caption of the primary button at the foot of `step`'s page.
QString primaryButtonText(OnboardingStep step);

} // namespace pylon::ui
