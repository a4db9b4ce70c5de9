#include "companion/LoopbackHttpExchange.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

namespace pylon {

namespace {

// What the socket keeps unread: with it full, Qt stops reading the connection, so a peer that
// floods fills the kernel's buffers, not ours. Also the most taken from it at a time.
constexpr qint64 socketBufferSize = qint64(64) * 1024;

} // namespace

LoopbackHttpExchange::LoopbackHttpExchange(QByteArray method, quint16 port, QByteArray path,
                                           std::chrono::milliseconds limit, qsizetype maxBody, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_limit(limit)
    , m_deadline(limit)
    , m_answer(maxBody, peer())
    , m_socket(new QTcpSocket(this))
    , m_timer(new QTimer(this))
    , m_endNotice(new QTimer(this)) {
    // Compressed answers are not asked for: the bytes read are the bytes kept.
    m_request = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                "\r\nAccept-Encoding: identity\r\nConnection: close\r\n" +
                (method == "POST" ? QByteArray("Content-Length: 0\r\n") : QByteArray()) + "\r\n";
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_socket->setReadBufferSize(socketBufferSize);
    connect(m_socket, &QTcpSocket::connected, this, [this] { m_socket->write(m_request); });
    connect(m_socket, &QTcpSocket::readyRead, this, &LoopbackHttpExchange::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &LoopbackHttpExchange::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            return; // an answer that ended with the connection: onDisconnected() decides
        finish(error == QAbstractSocket::ConnectionRefusedError ? Failure::noConnection : Failure::transport,
               peer() + QStringLiteral(": ") + m_socket->errorString());
    });
    m_endNotice->setSingleShot(true);
    m_endNotice->setInterval(0);
    connect(m_endNotice, &QTimer::timeout, this, &LoopbackHttpExchange::ended);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &LoopbackHttpExchange::timeOut);
    m_timer->start(limit);
    m_socket->connectToHost(QHostAddress::LocalHost, port);
}

LoopbackHttpExchange::~LoopbackHttpExchange() = default;

QString LoopbackHttpExchange::peer() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void LoopbackHttpExchange::timeOut() {
    finish(Failure::timedOut,
           QStringLiteral("no complete answer from %1 within %2 s").arg(peer()).arg(double(m_limit.count()) / 1000.0));
}

// False, having ended the exchange, once its time is up: arrivals that keep the event loop busy
// cannot hold the timer off.
bool LoopbackHttpExchange::checkTime() {
    if (!m_ended && m_deadline.hasExpired())
        timeOut();
    return !m_ended;
}

void LoopbackHttpExchange::onReadyRead() {
    // Taken in pieces no larger than the answer still needs, each one parsed before the next: a
    // bound ends the reading at once, and what follows the answer stays unread.
    while (checkTime() && m_socket->bytesAvailable() > 0) {
        const qint64 room = std::min(m_answer.room(socketBufferSize), socketBufferSize);
        m_answer.feed(m_socket->read(room));
        finishIfEnded();
    }
}

void LoopbackHttpExchange::onDisconnected() {
    onReadyRead(); // what arrived with the end of the connection
    if (!checkTime())
        return;
    m_answer.closed();
    finishIfEnded();
}

void LoopbackHttpExchange::finishIfEnded() {
    if (m_answer.ended())
        finish(m_answer.failure(), m_answer.reason());
}

void LoopbackHttpExchange::finish(Failure failure, const QString& reason) {
    if (m_ended)
        return;
    m_ended = true;
    m_answer.fail(failure, reason); // a no-op when the answer itself ended
    m_timer->stop();
    // Nothing more is read; the connection goes at once, even from within one of its own signals.
    m_socket->abort();
    // Always from the event loop, so whoever waits is never resumed inside this object's work.
    m_endNotice->start();
}

} // namespace pylon
