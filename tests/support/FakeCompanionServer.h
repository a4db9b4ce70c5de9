#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

namespace pylon::test {

// A loopback HTTP server in the test process standing in for the companion. Answers every request
// with the configured status code and body, or, when `silent`, accepts and never answers.
class FakeCompanionServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray path;
        QByteArray headers;
    };

    FakeCompanionServer();
    ~FakeCompanionServer() override;

    bool listen(); // on a free port of 127.0.0.1
    quint16 port() const;
    void close();

    int statusCode = 200;
    QByteArray body;
    bool silent = false;
    QList<Request> requests;

private:
    void onConnection();
    void onReadyRead(QTcpSocket* socket);

    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
};

// A complete, valid status document with these facts.
QByteArray statusDocument(bool addonLoaded = true, bool accessibility = true, bool automation = true,
                          int clientCount = 0, const QByteArray& abletonCondition = "not_running");

} // namespace pylon::test
