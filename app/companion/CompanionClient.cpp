#include "companion/CompanionClient.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <qcoro/qcoronetworkreply.h>

namespace pylon {

namespace {

// Errors up to 199 are transport and proxy failures; anything above is an HTTP answer that arrived.
bool isTransportFailure(QNetworkReply::NetworkError error) {
    return error != QNetworkReply::NoError && int(error) < 200;
}

} // namespace

CompanionClient::CompanionClient(quint16 port, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_session(new QNetworkAccessManager(this)) {
    m_session->setProxy(QNetworkProxy::NoProxy);
    m_session->setCache(nullptr);
    m_session->setTransferTimeout(int(exchangeLimit.count()));
}

CompanionClient::~CompanionClient() = default;

QUrl CompanionClient::statusUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/status").arg(m_port));
}

QUrl CompanionClient::permissionUrl(const QString& name) const {
    // Callers pass plain words; encoding keeps any other name inside the path segment.
    return QUrl(QStringLiteral("http://127.0.0.1:%1/permission/").arg(m_port) +
                QString::fromLatin1(QUrl::toPercentEncoding(name)));
}

QNetworkRequest CompanionClient::request(const QUrl& url) const {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(int(exchangeLimit.count()));
    return request;
}

QCoro::Task<CompanionClient::Exchange> CompanionClient::finish(QNetworkReply* reply) {
    // The transfer timeout only catches a stalled exchange; this bounds a trickling one too.
    QTimer::singleShot(exchangeLimit, reply, &QNetworkReply::abort);
    QPointer<QNetworkReply> guard(reply);
    co_await reply;
    if (!guard)
        co_return Exchange{false, QStringLiteral("request abandoned")};
    const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (!answered || isTransportFailure(reply->error()))
        co_return Exchange{false, reply->errorString()};
    co_return Exchange{true, QString()};
}

QCoro::Task<std::optional<QByteArray>> CompanionClient::fetchStatusBody() {
    QNetworkReply* reply = m_session->get(request(statusUrl()));
    QPointer<QNetworkReply> guard(reply);
    const Exchange exchange = co_await finish(reply);
    if (!guard)
        co_return std::nullopt;
    reply->deleteLater();
    if (!exchange.completed)
        co_return std::nullopt;
    co_return reply->readAll();
}

QCoro::Task<CompanionClient::Exchange> CompanionClient::postPermission(QString name) {
    QNetworkRequest post = request(permissionUrl(name));
    post.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    QNetworkReply* reply = m_session->post(post, QByteArray());
    QPointer<QNetworkReply> guard(reply);
    const Exchange exchange = co_await finish(reply);
    if (guard)
        reply->deleteLater();
    co_return exchange;
}

} // namespace pylon
