#include "companion/CompanionClient.h"

#include "status/StatusCodec.h"

#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <qcoro/qcoronetworkreply.h>

namespace pylon {

namespace {

using Failure = CompanionClient::StatusFetch::Failure;

// What Qt keeps of an answer before it is read: with it full, Qt stops reading the socket, so a
// peer that floods fills the kernel's buffers, not ours.
constexpr qint64 replyBufferSize = qint64(64) * 1024;

// Reads one reply within the bounds of an exchange: the time limit (checked on every arrival as
// well, so a flood that keeps the event loop busy cannot outrun the timer), the size of the body
// and no redirect. Once a bound is hit the reply is aborted from the event loop, never from within
// one of its own signals, and nothing more is read. Lives as a child of the reply.
class BoundedReading : public QObject {
public:
    BoundedReading(QNetworkReply* reply, QString peer, bool keepBody)
        : QObject(reply)
        , m_reply(reply)
        , m_peer(std::move(peer))
        , m_keepBody(keepBody)
        , m_deadline(CompanionClient::exchangeLimit) {
        reply->setReadBufferSize(replyBufferSize);
        connect(reply, &QNetworkReply::metaDataChanged, this, [this] { checkHead(); });
        connect(reply, &QNetworkReply::readyRead, this, [this] { drain(); });
        QTimer::singleShot(CompanionClient::exchangeLimit, this, [this] { stop(Failure::timedOut, timedOutText()); });
        m_abort.setSingleShot(true);
        m_abort.setInterval(0);
        connect(&m_abort, &QTimer::timeout, reply, &QNetworkReply::abort);
    }

    void drain() {
        if (m_failure != Failure::none)
            return;
        if (m_deadline.hasExpired()) {
            stop(Failure::timedOut, timedOutText());
            return;
        }
        while (m_reply->bytesAvailable() > 0) {
            if (!m_keepBody) {
                m_reply->skip(m_reply->bytesAvailable());
                continue;
            }
            const qint64 room = maxStatusDocumentSize + 1 - m_body.size();
            m_body += m_reply->read(std::min(room, m_reply->bytesAvailable()));
            if (m_body.size() > maxStatusDocumentSize) {
                m_body = QByteArray();
                stop(Failure::tooLarge, tooLargeText());
                return;
            }
        }
    }

    Failure failure() const { return m_failure; }
    const QString& reason() const { return m_reason; }
    QByteArray takeBody() { return std::exchange(m_body, QByteArray()); }

private:
    void checkHead() {
        if (m_failure != Failure::none)
            return;
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QVariant target = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
        if (status >= 300 && status < 400 && target.isValid()) {
            stop(Failure::redirected,
                 m_peer + QStringLiteral(" answered with a redirect (HTTP %1 to %2), which is not followed")
                              .arg(status)
                              .arg(target.toUrl().toString()));
            return;
        }
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (m_keepBody && length.isValid() && length.toLongLong() > maxStatusDocumentSize)
            stop(Failure::tooLarge, tooLargeText());
    }

    void stop(Failure failure, const QString& reason) {
        if (m_failure != Failure::none || m_reply->isFinished())
            return;
        m_failure = failure;
        m_reason = reason;
        m_abort.start();
    }

    QString timedOutText() const {
        return QStringLiteral("no complete answer from %1 within %2 s")
            .arg(m_peer)
            .arg(double(CompanionClient::exchangeLimit.count()) / 1000.0);
    }
    QString tooLargeText() const {
        return QStringLiteral("the answer from %1 is larger than %2 bytes").arg(m_peer).arg(maxStatusDocumentSize);
    }

    QNetworkReply* m_reply;
    QString m_peer;
    bool m_keepBody;
    QDeadlineTimer m_deadline;
    QTimer m_abort; // aborts the reply from the event loop
    QByteArray m_body;
    Failure m_failure = Failure::none;
    QString m_reason;
};

// How an exchange that no bound stopped went wrong, if it did.
Failure classify(const QNetworkReply& reply) {
    const bool answered = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    switch (reply.error()) {
    case QNetworkReply::NoError:
        return answered ? Failure::none : Failure::notHttp;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return Failure::noConnection;
    case QNetworkReply::TimeoutError:
        return Failure::timedOut;
    case QNetworkReply::ProtocolFailure:
    case QNetworkReply::RemoteHostClosedError:
        // Accepted, then no status line Qt could read: something other than an HTTP server.
        return answered ? Failure::transport : Failure::notHttp;
    default:
        // Errors up to 199 are transport and proxy failures; anything above is an HTTP answer that
        // arrived, whatever its status.
        return int(reply.error()) < 200 || !answered ? Failure::transport : Failure::none;
    }
}

QString peerOf(const QUrl& url) {
    return url.host() + QLatin1Char(':') + QString::number(url.port());
}

} // namespace

CompanionClient::CompanionClient(quint16 port, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_session(new QNetworkAccessManager(this)) {
    m_session->setProxy(QNetworkProxy::NoProxy);
    m_session->setCache(nullptr);
    m_session->setTransferTimeout(int(exchangeLimit.count()));
    m_session->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_session->setStrictTransportSecurityEnabled(false);
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
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Without it Qt asks for gzip and inflates whatever arrives, so a small answer could unpack
    // into any size; the companion never compresses.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(int(exchangeLimit.count()));
    return request;
}

QCoro::Task<CompanionClient::StatusFetch> CompanionClient::fetchStatusBody() {
    const QUrl url = statusUrl();
    QNetworkReply* reply = m_session->get(request(url));
    QPointer<QNetworkReply> guard(reply);
    auto* reading = new BoundedReading(reply, peerOf(url), true);
    co_await reply;
    if (!guard)
        co_return StatusFetch{std::nullopt, Failure::transport, QStringLiteral("request abandoned"), 0};
    reply->deleteLater();
    reading->drain(); // whatever arrived with the end of the answer
    StatusFetch fetch;
    fetch.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    fetch.failure = reading->failure() != Failure::none ? reading->failure() : classify(*reply);
    switch (fetch.failure) {
    case Failure::none:
        fetch.body = reading->takeBody();
        break;
    case Failure::notHttp:
        fetch.reason = peerOf(url) + QStringLiteral(" accepted the connection but gave no HTTP answer (") +
                       reply->errorString() + QLatin1Char(')');
        break;
    default:
        fetch.reason = reading->failure() != Failure::none ? reading->reason()
                                                           : peerOf(url) + QStringLiteral(": ") + reply->errorString();
        break;
    }
    co_return fetch;
}

QCoro::Task<CompanionClient::Exchange> CompanionClient::postPermission(QString name) {
    const QUrl url = permissionUrl(name);
    QNetworkRequest post = request(url);
    post.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    QNetworkReply* reply = m_session->post(post, QByteArray());
    QPointer<QNetworkReply> guard(reply);
    auto* reading = new BoundedReading(reply, peerOf(url), false);
    co_await reply;
    if (!guard)
        co_return Exchange{false, QStringLiteral("request abandoned")};
    reply->deleteLater();
    if (reading->failure() == Failure::timedOut)
        co_return Exchange{false, reading->reason()};
    // A redirect is an answer too; it is just not followed.
    if (reading->failure() == Failure::redirected)
        co_return Exchange{true, QString()};
    if (classify(*reply) != Failure::none)
        co_return Exchange{false, reply->errorString()};
    co_return Exchange{true, QString()};
}

} // namespace pylon
