#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace pylon {

// The HTTP side of the companion on 127.0.0.1: one session for every request, configured so that
// nothing is persisted or cached (no cookies, no cache, no proxy). Whatever the other end does, an
// exchange is bounded: it ends after two seconds however the answer arrives (stalled, trickling or
// flooding), a status body larger than maxStatusDocumentSize ends it at once, redirects are never
// followed and compressed answers are not asked for, so the bytes read are the bytes kept.
class CompanionClient : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds exchangeLimit{2000};

    explicit CompanionClient(quint16 port, QObject* parent = nullptr);
    ~CompanionClient() override;

    quint16 port() const { return m_port; }
    QUrl statusUrl() const;
    QUrl permissionUrl(const QString& name) const;

    // How a status fetch ended: the body of a completed exchange (whatever the HTTP status), or
    // why there is none.
    struct StatusFetch {
        // The numbers appear in the log (see Exchange::error): they stay as they are.
        enum class Failure {
            none = 0,
            noConnection = 1, // nothing accepted the connection (refused, unreachable)
            timedOut = 2,     // no complete answer within exchangeLimit
            tooLarge = 3,     // the answer announced or sent more than maxStatusDocumentSize bytes
            redirected = 4,   // the answer was a redirect, which is never followed
            notHttp = 5,      // what came back was not an HTTP answer
            transport = 6,    // any other failure of the exchange
        };
        std::optional<QByteArray> body;
        Failure failure = Failure::none;
        QString reason;     // the failure in words, for logs and standard error
        int httpStatus = 0; // 0 when no HTTP status line arrived
    };

    // GET /status.
    QCoro::Task<StatusFetch> fetchStatusBody();

    struct Exchange {
        bool completed = false;
        // When not completed, the failure as "<kind> (<code>): <text>". The kind and code read the
        // same in every language: Qt's network error ("QNetworkReply::ConnectionRefusedError (1)")
        // or, for a bound of the exchange, the client's own ("CompanionClient::timedOut (2)");
        // the text after them is Qt's, or the client's, in words.
        QString error;
    };
    // POST /permission/<name> without a body; only whether the exchange completed matters.
    QCoro::Task<Exchange> postPermission(QString name);

private:
    QNetworkRequest request(const QUrl& url) const;

    quint16 m_port;
    QNetworkAccessManager* m_session;
};

} // namespace pylon
