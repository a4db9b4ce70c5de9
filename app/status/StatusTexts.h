#pragma once

#include "status/CompanionState.h"
#include "status/StatusResponse.h"

#include <QString>
#include <optional>

namespace pylon {

// The three status lines every view shows, computed afresh from the status model.
QString companionLine(const CompanionState& state);
QString liveLine(const std::optional<AbletonStatusResponse>& ableton);
QString clientsLine(const std::optional<CompanionStatusResponse>& companion);

// Whether the companion line is something to act on (it then opens the main window); while the
// companion runs or starts it is plain text.
bool companionLineIsAction(const CompanionState& state);

} // namespace pylon
