#include "core/StatusCheck.h"

#include "companion/CompanionClient.h"
#include "core/StatusAnswer.h"
#include "status/CompanionState.h"
#include "status/DynamicStatus.h"
#include "status/StatusCodec.h"
#include "status/StatusTexts.h"

#include <QTextStream>

namespace pylon {

QCoro::Task<int> printStatusOnce(quint16 port, bool json) {
    CompanionClient client(port);
    QCoro::Task<CompanionClient::StatusFetch> fetching = client.fetchStatusBody();
    const CompanionClient::StatusFetch fetched = co_await fetching;
    const StatusAnswer answer = interpretStatusFetch(fetched, port);

    // One fetch is all there will be: no starting state, whatever it found.
    const CompanionState state = deriveCompanionState(false, std::nullopt, false, answer.status);
    QTextStream out(stdout);
    out << statusLines(state, answer.status).join(QLatin1Char('\n')) << '\n';
    if (json && answer.status)
        out << QString::fromUtf8(encodeStatusResponse(*answer.status)) << '\n';
    out.flush();
    if (!answer.status) {
        QTextStream(stderr) << "Pylon: no status from the companion: "
                            << (answer.foreign ? foreignAnswerText(port, answer.failure) : answer.failure) << '\n';
    }
    co_return answer.status ? 0 : 1;
}

} // namespace pylon
