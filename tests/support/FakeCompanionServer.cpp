#include "FakeCompanionServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace pylon::test {

FakeCompanionServer::FakeCompanionServer() {
    connect(&m_server, &QTcpServer::newConnection, this, &FakeCompanionServer::onConnection);
}

FakeCompanionServer::~FakeCompanionServer() {
    close();
}

bool FakeCompanionServer::listen() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 FakeCompanionServer::port() const {
    return m_server.serverPort();
}

void FakeCompanionServer::close() {
    m_server.close();
    for (const QPointer<QTcpSocket>& socket : m_sockets) {
        if (socket)
            socket->abort();
    }
    m_sockets.clear();
}

void FakeCompanionServer::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        m_sockets << socket;
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void FakeCompanionServer::onReadyRead(QTcpSocket* socket) {
    QByteArray buffer = socket->property("pending").toByteArray() + socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        socket->setProperty("pending", buffer);
        return;
    }
    socket->setProperty("pending", QByteArray());
    const QByteArray head = buffer.left(headerEnd);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    requests << Request{requestLine.value(0), requestLine.value(1), head};
    if (silent)
        return;
    if (trickling) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n");
        auto* drip = new QTimer(socket);
        connect(drip, &QTimer::timeout, socket, [socket] { socket->write(" "); });
        drip->start(50);
        return;
    }
    const QByteArray reason = statusCode == 200 ? "OK" : "Error";
    socket->write("HTTP/1.1 " + QByteArray::number(statusCode) + ' ' + reason +
                  "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

QByteArray statusDocument(bool addonLoaded, bool accessibility, bool automation, int clientCount,
                          const QByteArray& abletonCondition) {
    auto flag = [](bool value) { return value ? QByteArray("true") : QByteArray("false"); };
    return R"({"ableton":{"condition":")" + abletonCondition + R"(","version":"12.1.5"},)"
           R"("bonjour":{"condition":"advertising"},)"
           R"("companion":{"abletonInstances":[],"clientCount":)" + QByteArray::number(clientCount) +
           R"(,"condition":"running","host":{"addresses":["127.0.0.1"],"hostname":"test"},)"
           R"("isAcceleratorAddonLoaded":)" + flag(addonLoaded) + R"(,"isAcceleratorAvailable":)" + flag(addonLoaded) +
           R"(,"permissions":{"accessibility":)" + flag(accessibility) + R"(,"automation":)" + flag(automation) +
           R"(},"sessionId":"s1","version":"1.0.0"}})";
}

} // namespace pylon::test
