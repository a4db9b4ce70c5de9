#include "core/StatusAnswer.h"

#include "status/StatusCodec.h"

namespace pylon {

StatusAnswer interpretStatusFetch(const CompanionClient::StatusFetch& fetched, quint16 port) {
    using Failure = CompanionClient::StatusFetch::Failure;
    if (!fetched.body) {
        const bool foreign = fetched.failure == Failure::tooLarge || fetched.failure == Failure::redirected ||
                             fetched.failure == Failure::notHttp;
        return {std::nullopt, fetched.reason, foreign};
    }
    QString error;
    std::optional<StatusResponse> status = tryDecodeStatusResponse(*fetched.body, &error);
    if (!status) {
        return {std::nullopt,
                QStringLiteral("127.0.0.1:%1 answered (HTTP %2) with something that is not a status document: %3")
                    .arg(port)
                    .arg(fetched.httpStatus)
                    .arg(error),
                true};
    }
    return {std::move(status), QString(), false};
}

QString foreignAnswerText(quint16 port, const QString& failure) {
    return QStringLiteral("port %1 answers, but not as the companion (another program may be using it): ").arg(port) +
           failure;
}

} // namespace pylon
