#pragma once

#include "status/CompanionState.h"
#include "status/StatusResponse.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace pylon {

// The three status lines every view shows, computed afresh from the status model.
QString companionLine(const CompanionState& state);
QString liveLine(const std::optional<AbletonStatusResponse>& ableton);
QString clientsLine(const std::optional<CompanionStatusResponse>& companion);
// The three, in order, for the companion's state and the last status document (if any).
QStringList statusLines(const CompanionState& state, const std::optional<StatusResponse>& status);

// Whether the companion line is something to act on (it then opens the main window); while the
// companion runs or starts it is plain text.
bool companionLineIsAction(const CompanionState& state);

} // namespace pylon
