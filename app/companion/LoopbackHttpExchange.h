#pragma once

#include "companion/HttpAnswerParser.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <chrono>

class QTcpSocket;
class QTimer;

namespace pylon {

// One HTTP/1.1 request to a server on 127.0.0.1 over one connection of its own, and its answer,
// bounded whatever the server does: the whole exchange ends after `limit` however the answer
// arrives (stalled, trickling, flooding; the time is checked on every arrival as well as by a
// timer), the answer is taken apart by HttpAnswerParser within its bounds (head, framing, body of
// at most `maxBody` bytes), redirects are reported and never followed, and compressed answers are
// not asked for. No proxy, cookie or cache is involved; the request asks for the connection to be
// closed after the answer. Nothing is read past what the answer needs or past a bound: the
// connection is dropped at once. Emits ended() once, always from the event loop, whatever
// happened; from then on nothing in it runs again, and it may be deleted (from a slot of ended()
// with deleteLater()). Deleting it earlier drops the connection without ended().
class LoopbackHttpExchange : public QObject {
    Q_OBJECT
public:
    using Failure = ExchangeFailure;

    LoopbackHttpExchange(QByteArray method, quint16 port, QByteArray path, std::chrono::milliseconds limit,
                         qsizetype maxBody, QObject* parent = nullptr);
    ~LoopbackHttpExchange() override;

    Failure failure() const { return m_answer.failure(); }
    // The failure in words, naming the peer.
    const QString& reason() const { return m_answer.reason(); }
    int httpStatus() const { return m_answer.httpStatus(); } // 0 when no status line arrived
    const QByteArray& body() const { return m_answer.body(); }

signals:
    void ended();

private:
    void onReadyRead();
    void onDisconnected();
    bool checkTime();
    void timeOut();
    void finish(Failure failure, const QString& reason);
    void finishIfEnded();
    QString peer() const;

    QByteArray m_request;
    quint16 m_port;
    std::chrono::milliseconds m_limit;
    QDeadlineTimer m_deadline;
    HttpAnswerParser m_answer;
    QTcpSocket* m_socket;
    QTimer* m_timer;
    QTimer* m_endNotice; // emits ended() from the event loop
    bool m_ended = false;
};

} // namespace pylon
