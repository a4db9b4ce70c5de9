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
// nothing is persisted or cached (no cookies, no cache, no proxy) and no exchange lasts longer than
// two seconds, whether it stalls or trickles.
class CompanionClient : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds exchangeLimit{2000};

    explicit CompanionClient(quint16 port, QObject* parent = nullptr);
    ~CompanionClient() override;

    quint16 port() const { return m_port; }
    QUrl statusUrl() const;
    QUrl permissionUrl(const QString& name) const;

    // GET /status: the body of any completed exchange (whatever the HTTP status), or nothing when
    // the exchange failed (no connection, time limit, transport error).
    QCoro::Task<std::optional<QByteArray>> fetchStatusBody();

    struct Exchange {
        bool completed = false;
        QString error; // the failure as text when not completed
    };
    // POST /permission/<name> without a body; only whether the exchange completed matters.
    QCoro::Task<Exchange> postPermission(QString name);

private:
    QNetworkRequest request(const QUrl& url) const;
    QCoro::Task<Exchange> finish(QNetworkReply* reply);

    quint16 m_port;
    QNetworkAccessManager* m_session;
};

} // namespace pylon
