#include "ui/setup/SetupPresenter.h"

#include "ui/common/UiText.h"

namespace pylon::ui {

using Kind = CompanionState::Kind;

bool StatusFacts::liveRunning() const {
    return liveCondition && *liveCondition != AbletonCondition::notRunning;
}

bool StatusFacts::phoneLinked() const {
    return clientCount && *clientCount > 0;
}

StatusFacts statusFacts(const std::optional<StatusResponse>& lastResponse) {
    if (!lastResponse)
        return {};
    return {lastResponse->ableton.condition, lastResponse->ableton.version, lastResponse->companion.clientCount};
}

QString liveCaption(const StatusFacts& facts) {
    const auto withVersion = [&](const QString& what) {
        return facts.liveVersion ? QStringLiteral("Live ") + *facts.liveVersion + QLatin1Char(' ') + what
                                 : QStringLiteral("Live ") + what;
    };
    if (!facts.liveCondition)
        return QStringLiteral("Live not running");
    switch (*facts.liveCondition) {
    case AbletonCondition::notRunning:
        return QStringLiteral("Live not running");
    case AbletonCondition::running:
        return withVersion(QStringLiteral("running"));
    case AbletonCondition::connected:
        return withVersion(QStringLiteral("connected"));
    case AbletonCondition::busy:
        return QStringLiteral("Live busy (dialog open)");
    case AbletonCondition::unresponsive:
        return QStringLiteral("Live not responding");
    }
    return QString();
}

QString macCaption(const CompanionState& state) {
    switch (state.kind()) {
    case Kind::running:
        return QStringLiteral("Running");
    case Kind::startingUp:
        return QStringLiteral("Starting") + ellipsis;
    case Kind::runningNeedsAccessibility:
    case Kind::runningNeedsAutomation:
    case Kind::runningNeedsBothPermissions:
        return QStringLiteral("Running, but needs permission for some features");
    case Kind::notRunning:
        return QStringLiteral("Not running");
    case Kind::requiresLoginItemApproval:
        return QStringLiteral("Requires login item approval");
    case Kind::error:
        return state.error() ? state.error()->name : QString();
    }
    return QString();
}

QString phoneCaption(const StatusFacts& facts) {
    const qint64 count = facts.clientCount.value_or(0);
    if (count <= 0)
        return QStringLiteral("Open Pylon on your iPhone");
    if (count == 1)
        return QStringLiteral("Connected");
    return QString::number(count) + QStringLiteral(" devices connected");
}

Tint macTint(const CompanionState& state) {
    switch (state.kind()) {
    case Kind::running:
    case Kind::runningNeedsAccessibility:
    case Kind::runningNeedsAutomation:
    case Kind::runningNeedsBothPermissions:
        return Tint::green;
    case Kind::startingUp:
    case Kind::notRunning:
        return Tint::gray;
    case Kind::requiresLoginItemApproval:
        return Tint::yellow;
    case Kind::error:
        return Tint::red;
    }
    return Tint::gray;
}

ConnectionContent connectionContent(const CompanionState& state, const StatusFacts& facts) {
    const Tint live = facts.liveRunning() ? Tint::green : Tint::gray;
    const Tint phone = facts.phoneLinked() ? Tint::green : Tint::gray;
    return {
        {QStringLiteral("Live"), liveCaption(facts)},
        {QStringLiteral("Pylon Companion"), macCaption(state)},
        {QStringLiteral("Pylon App"), phoneCaption(facts)},
        live,
        live,
        macTint(state),
        phone,
        phone,
    };
}

namespace {

const ActionsBlock& accessibilityBlock() {
    static const ActionsBlock block{
        SetupButton{QStringLiteral("Open Accessibility Settings"), SetupOperation::openAccessibilitySettings},
        QStringLiteral("Accessibility permission lets you save your Live Set from Pylon on your iPhone."), true};
    return block;
}

const ActionsBlock& automationBlock() {
    static const ActionsBlock block{
        SetupButton{QStringLiteral("Open Automation Settings"), SetupOperation::openAutomationSettings},
        QStringLiteral("Automation permission lets Pylon read the name of the open Live Set."), true};
    return block;
}

const ActionsBlock& restartNote() {
    static const ActionsBlock block{std::nullopt,
                                    QStringLiteral("You may need to restart Pylon after granting permission."), true};
    return block;
}

} // namespace

namespace {

// The permission blocks for what this desktop offers: no button without a settings page, and the
// platform's explanation after the Accessibility block.
QList<ActionsBlock> permissionBlocks(bool accessibility, bool automation, const PermissionGuidance& guidance) {
    QList<ActionsBlock> blocks;
    if (accessibility) {
        ActionsBlock block = accessibilityBlock();
        if (!guidance.accessibilitySettings)
            block.button.reset();
        blocks << block;
        if (!guidance.accessibilityHelp.isEmpty())
            blocks << ActionsBlock{std::nullopt, guidance.accessibilityHelp, true};
    }
    if (automation) {
        ActionsBlock block = automationBlock();
        if (!guidance.automationSettings)
            block.button.reset();
        blocks << block;
    }
    return blocks << restartNote();
}

} // namespace

ActionsContent actionsContent(const CompanionState& state, std::optional<AbletonCondition> liveCondition,
                              const PermissionGuidance& guidance) {
    ActionsContent content;
    switch (state.kind()) {
    case Kind::running:
        content.showsSetupHelp = liveCondition == AbletonCondition::running;
        break;
    case Kind::startingUp:
        content.showsProgress = true;
        content.blocks = {{std::nullopt, QStringLiteral("Starting companion") + ellipsis, false}};
        break;
    case Kind::runningNeedsAccessibility:
        content.blocks = permissionBlocks(true, false, guidance);
        break;
    case Kind::runningNeedsAutomation:
        content.blocks = permissionBlocks(false, true, guidance);
        break;
    case Kind::runningNeedsBothPermissions:
        content.blocks = permissionBlocks(true, true, guidance);
        break;
    case Kind::notRunning:
        content.blocks = {{SetupButton{QStringLiteral("Start"), SetupOperation::restartCompanion, true}, {}, false}};
        break;
    case Kind::requiresLoginItemApproval:
        content.blocks = {
            {SetupButton{QStringLiteral("Open Login Items Settings"), SetupOperation::openLoginItemsSettings, true},
             QStringLiteral("Pylon needs permission to run in the background."), false}};
        break;
    case Kind::error: {
        const QString description =
            state.error() ? state.error()->description + QStringLiteral(" (") + state.error()->code + QLatin1Char(')')
                          : QString();
        content.blocks = {{SetupButton{QStringLiteral("Try Restarting"), SetupOperation::restartCompanion, true},
                           description, false}};
        break;
    }
    }
    return content;
}

QString setupHelpText() {
    return QStringLiteral("Choose Pylon as a Control Surface in Live's Settings ") + rightArrow +
           QStringLiteral(" Link, Tempo & MIDI.");
}

} // namespace pylon::ui
