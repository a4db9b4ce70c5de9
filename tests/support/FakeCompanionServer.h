#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

namespace pylon::test {

// A loopback HTTP server in the test process standing in for the companion (or any HTTP peer).
// Answers every request with the configured status code and body; when `silent`, accepts and never
// answers; when `trickling`, sends the headers and then one byte of an endless body every 50 ms.
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
    QByteArray contentType = "application/json";
    bool silent = false;
    bool trickling = false;
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
