#include "core/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>

namespace pylon {

SingleInstance::SingleInstance(const QString& bundleIdentifier, QObject* parent)
    : QObject(parent)
    , m_name(serverName(bundleIdentifier)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& bundleIdentifier) {
    return bundleIdentifier + QStringLiteral(".instance-") + QString::number(::getuid());
}

bool SingleInstance::listen() {
    if (sendToRunningInstance(QString(), 500))
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Nobody answered, so the socket file is a leftover of an instance that died.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine())
                    emit messageReceived(QString::fromUtf8(socket->readLine()).chopped(1));
            });
        }
    });
    return true;
}

bool SingleInstance::sendToRunningInstance(const QString& message, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    socket.write(line.toUtf8() + '\n');
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written;
}

} // namespace pylon
