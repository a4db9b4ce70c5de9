#pragma once

#include "companion/CompanionClient.h"
#include "status/StatusResponse.h"

#include <QString>
#include <optional>

namespace pylon {

// What one status fetch brought: the decoded document, or why there is none. An answer that is not
// the companion's (not HTTP, a redirect, too large, not a status document) is `foreign`: another
// program may hold the port.
struct StatusAnswer {
    std::optional<StatusResponse> status;
    QString failure; // empty with a status
    bool foreign = false;
};

// Decodes a fetch from the companion on `port` and words its failure.
StatusAnswer interpretStatusFetch(const CompanionClient::StatusFetch& fetched, quint16 port);

// A foreign answer's failure as the log and --status say it, naming the port.
QString foreignAnswerText(quint16 port, const QString& failure);

} // namespace pylon
