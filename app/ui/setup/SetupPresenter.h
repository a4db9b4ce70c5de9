#pragma once

#include "status/CompanionState.h"
#include "status/StatusResponse.h"
#include "ui/common/Style.h"

#include <QList>
#include <QString>
#include <optional>

namespace pylon::ui {

// The facts of the last status document that the setup window's views share; all absent without a
// document.
struct StatusFacts {
    std::optional<AbletonCondition> liveCondition;
    std::optional<QString> liveVersion;
    std::optional<qint64> clientCount;

    // Live is known to run (any condition but notRunning).
    bool liveRunning() const;
    // A document is at hand and at least one phone is connected.
    bool phoneLinked() const;
};

StatusFacts statusFacts(const std::optional<StatusResponse>& lastResponse);

// What the setup window's buttons do; each maps to one operation of the controller.
enum class SetupOperation {
    openLoginItemsSettings,
    openAccessibilitySettings,
    openAutomationSettings,
    restartCompanion,
    openLogFile,
    installRemoteScriptFromBundle, // for the row's version
    openRemoteScriptsFolder,       // for the row's version
    showStagedRemoteScript,
};

struct SetupButton {
    QString text;
    SetupOperation operation = SetupOperation::restartCompanion;
    bool prominent = false;
    bool enabled = true;
    bool operator==(const SetupButton&) const = default;
};

// The two lines under a device: its name and what it is doing.
struct DeviceCaption {
    QString title;
    QString status;
    bool operator==(const DeviceCaption&) const = default;
};

// The row of devices (Live, this computer, the phone) and the two links between them.
struct ConnectionContent {
    DeviceCaption live;
    DeviceCaption mac;
    DeviceCaption phone;
    Tint liveTint = Tint::gray;
    Tint liveLinkTint = Tint::gray;
    Tint macTint = Tint::gray;
    Tint phoneLinkTint = Tint::gray;
    Tint phoneTint = Tint::gray;
    bool operator==(const ConnectionContent&) const = default;
};

ConnectionContent connectionContent(const CompanionState& state, const StatusFacts& facts);

QString liveCaption(const StatusFacts& facts);
QString macCaption(const CompanionState& state);
QString phoneCaption(const StatusFacts& facts);
Tint macTint(const CompanionState& state);

// One part of the actions area: an optional button above a text.
struct ActionsBlock {
    std::optional<SetupButton> button;
    QString text;
    bool secondary = false; // the text in the secondary colour
    bool operator==(const ActionsBlock&) const = default;
};

// What the area under the devices shows: the one thing to do next.
struct ActionsContent {
    bool showsSetupHelp = false; // how to choose Pylon in Live, with the picture
    bool showsProgress = false;  // a spinning indicator before the blocks
    QList<ActionsBlock> blocks;  // top to bottom, `blockSpacing` apart
    bool operator==(const ActionsContent&) const = default;
};
inline constexpr int blockSpacing = 8;

// What the platform offers for a missing permission: whether the desktop has a settings page to
// open for it (a button is shown only then), and a further explanation below the Accessibility
// block (empty: none). The defaults are the design's: both pages, no further text.
struct PermissionGuidance {
    bool accessibilitySettings = true;
    bool automationSettings = true;
    QString accessibilityHelp;
    bool operator==(const PermissionGuidance&) const = default;
};

ActionsContent actionsContent(const CompanionState& state, std::optional<AbletonCondition> liveCondition,
                              const PermissionGuidance& guidance = {});

// The texts of the setup help.
QString setupHelpText();
inline constexpr int setupHelpPictureMaxWidth = 500;
inline constexpr int setupHelpPictureCornerRadius = 6;

} // namespace pylon::ui
