#pragma once

#include <QList>
#include <QString>
#include <memory>

namespace pylon {

// One line of guidance; a secondary line is drawn in the dimmer colour.
struct GuidanceLine {
    QString text;
    bool secondary = false;
    bool operator==(const GuidanceLine&) const = default;
};

// Where the application stays while its window is closed, as one run of text around the tray's
// symbol (no symbol where there is nothing to point at).
struct BackgroundPresence {
    QString before;
    QString symbol; // a symbol name, or empty
    QString after;
    bool operator==(const BackgroundPresence&) const = default;
};

// The texts that name the operating system's own facilities: its permission prompts and settings,
// where a background application lives, how an application is removed. Each platform says these in
// its own words; the views take them from here and never spell them.
class PlatformWording {
public:
    virtual ~PlatformWording() = default;

    // The computer Pylon runs on, as a sentence names it ("this Mac").
    virtual QString thisComputer() const = 0;

    // The onboarding's Automation and Accessibility pages: what the permission is for, and what to
    // do while it is missing.
    virtual QString automationDescription() const = 0;
    virtual QList<GuidanceLine> automationInstructions(const QString& appDisplayName) const = 0;
    virtual QString accessibilityDescription() const = 0;
    virtual QList<GuidanceLine> accessibilityInstructions(const QString& companionDisplayName) const = 0;
    // Said in the setup window below the Accessibility block when the companion lacks it; empty
    // where the block's own text and its settings button say everything.
    virtual QString accessibilityMissingHelp(const QString& companionDisplayName) const = 0;

    // Where Pylon lives while its window is closed; `trayShown` tells whether its tray item is up.
    virtual BackgroundPresence backgroundPresence(bool trayShown) const = 0;
    // Said once, the first time the window is closed while no tray item shows.
    virtual QString keepsRunningTitle(const QString& appDisplayName) const = 0;
    virtual QString keepsRunningMessage(const QString& appDisplayName) const = 0;

    // The uninstall confirmation's informative text: what the clean-up does and how the
    // application itself is removed afterwards.
    virtual QString uninstallInformativeText() const = 0;
};

// The wording of the platform this build runs on.
std::unique_ptr<PlatformWording> createPlatformWording();

} // namespace pylon
