#pragma once

#include "platform/PlatformWording.h"

namespace pylon {

// The macOS wording, as the product's design has it. It is only text, so every build carries it
// and its tests run on every platform.
class MacWording final : public PlatformWording {
public:
    QString thisComputer() const override;
    QString automationDescription() const override;
    QList<GuidanceLine> automationInstructions(const QString& appDisplayName) const override;
    QString accessibilityDescription() const override;
    QList<GuidanceLine> accessibilityInstructions(const QString& companionDisplayName) const override;
    QString accessibilityMissingHelp(const QString& companionDisplayName) const override;
    BackgroundPresence backgroundPresence(bool trayShown) const override;
    QString keepsRunningTitle(const QString& appDisplayName) const override;
    QString keepsRunningMessage(const QString& appDisplayName) const override;
    QString uninstallInformativeText() const override;
};

} // namespace pylon
