#include "companion/CompanionClient.h"

#include "companion/LoopbackHttpExchange.h"
#include "status/StatusCodec.h"

#include <memory>
#include <qcoro/qcorosignal.h>

namespace pylon {

namespace {

using Failure = CompanionClient::StatusFetch::Failure;

// An exchange belongs to the coroutine that awaits it, not to the client: it ends within its limit
// whether or not the client is still there, and it goes from the event loop when the coroutine
// is done with it, or destroyed while waiting.
struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};
using ExchangeHolder = std::unique_ptr<LoopbackHttpExchange, DeleteLater>;

// "<kind> (<code>): <text>", the kind under its enumerator's name, which no translation changes.
QString failureText(Failure failure, const QString& text) {
    return QStringLiteral("CompanionClient::%1 (%2): %3")
        .arg(exchangeFailureName(failure), QString::number(int(failure)), text);
}

} // namespace

CompanionClient::CompanionClient(quint16 port, QObject* parent)
    : QObject(parent)
    , m_port(port) {}

CompanionClient::~CompanionClient() = default;

QUrl CompanionClient::statusUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/status").arg(m_port));
}

QUrl CompanionClient::permissionUrl(const QString& name) const {
    // Callers pass plain words; encoding keeps any other name inside the path segment.
    return QUrl(QStringLiteral("http://127.0.0.1:%1/permission/").arg(m_port) +
                QString::fromLatin1(QUrl::toPercentEncoding(name)));
}

QCoro::Task<CompanionClient::StatusFetch> CompanionClient::fetchStatusBody() {
    const ExchangeHolder exchange(new LoopbackHttpExchange(
        "GET", m_port, statusUrl().path(QUrl::FullyEncoded).toLatin1(), exchangeLimit, maxStatusDocumentSize));
    co_await qCoro(exchange.get(), &LoopbackHttpExchange::ended);
    StatusFetch fetch;
    fetch.failure = exchange->failure();
    fetch.reason = exchange->reason();
    fetch.httpStatus = exchange->httpStatus();
    if (fetch.failure == Failure::none)
        fetch.body = exchange->body();
    co_return fetch;
}

QCoro::Task<CompanionClient::Exchange> CompanionClient::postPermission(QString name) {
    const ExchangeHolder exchange(new LoopbackHttpExchange(
        "POST", m_port, permissionUrl(name).path(QUrl::FullyEncoded).toLatin1(), exchangeLimit, maxStatusDocumentSize));
    co_await qCoro(exchange.get(), &LoopbackHttpExchange::ended);
    const Failure failure = exchange->failure();
    // A redirect is an answer too; it is just not followed.
    if (failure == Failure::none || failure == Failure::redirected)
        co_return Exchange{true, QString()};
    co_return Exchange{false, failureText(failure, exchange->reason())};
}

} // namespace pylon
