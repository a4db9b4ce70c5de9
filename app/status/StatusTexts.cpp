#include "status/StatusTexts.h"

namespace pylon {

QString companionLine(const CompanionState& state) {
    using Kind = CompanionState::Kind;
    switch (state.kind()) {
    case Kind::running:
        return QStringLiteral("Companion running");
    case Kind::startingUp:
        return QStringLiteral("Companion starting\u2026");
    case Kind::runningNeedsAccessibility:
    case Kind::runningNeedsAutomation:
    case Kind::runningNeedsBothPermissions:
        return QStringLiteral("Companion running (needs permissions)");
    case Kind::notRunning:
        return QStringLiteral("Companion not running");
    case Kind::requiresLoginItemApproval:
        return QStringLiteral("Companion needs login item approval");
    case Kind::error:
        return QStringLiteral("Companion: ") + (state.error() ? state.error()->name : QString());
    }
    return QString();
}

QString liveLine(const std::optional<AbletonStatusResponse>& ableton) {
    if (!ableton)
        return QStringLiteral("Live not running");
    switch (ableton->condition) {
    case AbletonCondition::notRunning:
        return QStringLiteral("Live not running");
    case AbletonCondition::running:
        return QStringLiteral("Choose Pylon in Live's MIDI settings");
    case AbletonCondition::connected:
        return ableton->version ? QStringLiteral("Live ") + *ableton->version + QStringLiteral(" connected")
                                : QStringLiteral("Live connected");
    case AbletonCondition::busy:
        return QStringLiteral("Live busy");
    case AbletonCondition::unresponsive:
        return QStringLiteral("Live not responding");
    }
    return QString();
}

QString clientsLine(const std::optional<CompanionStatusResponse>& companion) {
    const qint64 count = companion ? companion->clientCount : 0;
    if (count == 0)
        return QStringLiteral("No Pylon apps connected");
    if (count == 1)
        return QStringLiteral("Pylon app connected");
    return QString::number(count) + QStringLiteral(" Pylon apps connected");
}

bool companionLineIsAction(const CompanionState& state) {
    return state.kind() != CompanionState::Kind::running && state.kind() != CompanionState::Kind::startingUp;
}

QStringList statusLines(const CompanionState& state, const std::optional<StatusResponse>& status) {
    return {companionLine(state), liveLine(status ? std::optional(status->ableton) : std::nullopt),
            clientsLine(status ? std::optional(status->companion) : std::nullopt)};
}

} // namespace pylon
