#pragma once

#include "companion/HttpAnswerParser.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

namespace pylon {

// The HTTP side of the companion on 127.0.0.1. Every request is its own exchange over its own
// connection (LoopbackHttpExchange): nothing is persisted or cached (no cookies, no cache, no
// proxy), and whatever the other end does the exchange is bounded: it ends after two seconds
// however the answer arrives (stalled, trickling or flooding, in its head or its body), a head
// over 16 KiB or a status body larger than maxStatusDocumentSize ends it at once, redirects are
// never followed and compressed answers are not asked for, so the bytes read are the bytes kept.
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
        using Failure = ExchangeFailure;
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
        // same in every language and stay as they are ("CompanionClient::noConnection (1)",
        // "CompanionClient::timedOut (2)"); the text after them names the peer and says, in words,
        // what happened (for a failed connection, the system's own words).
        QString error;
    };
    // POST /permission/<name> without a body; only whether the exchange completed matters (a
    // redirect completes it too, without being followed).
    QCoro::Task<Exchange> postPermission(QString name);

private:
    quint16 m_port;
};

} // namespace pylon
