#include "core/SingleInstance.h"

#include "foundation/PrivateFiles.h"
#include "platform/SystemInfo.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pylon {

namespace {

// A message is one URL; anything longer than this without a line end is not one of ours.
constexpr qint64 maxMessageSize = qint64(64) * 1024;

// An exclusive lock on a file next to the socket while the object lives. The system drops it when
// the holder ends, however it ends, so a crashed launch never blocks the next one. Without the
// lock after `timeout` (or without the file) the caller goes on unlocked.
class ElectionLock {
public:
    ElectionLock(const QString& path, std::chrono::milliseconds timeout) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0)
            return;
        const QDeadlineTimer deadline(timeout);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired())
                return;
            QThread::msleep(5);
        }
    }
    ~ElectionLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ElectionLock(const ElectionLock&) = delete;
    ElectionLock& operator=(const ElectionLock&) = delete;

private:
    int m_fd = -1;
};

// The user id of the process at the other end of a connected local socket, or -1.
qint64 peerUid(const QLocalSocket& socket) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    const auto fd = int(socket.socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return -1;
    return qint64(credentials.uid);
}

} // namespace

SingleInstance::SingleInstance(const QString& bundleIdentifier, QObject* parent)
    : SingleInstance(Folder{socketFolder(bundleIdentifier)}, parent) {}

SingleInstance::SingleInstance(Folder folder, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder.path))
    , m_name(m_folder + QStringLiteral("/instance.socket")) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketFolder(const QString& bundleIdentifier) {
    return SystemInfo::privateRuntimeFolder(bundleIdentifier);
}

QString SingleInstance::serverName(const QString& bundleIdentifier) {
    return socketFolder(bundleIdentifier) + QStringLiteral("/instance.socket");
}

bool SingleInstance::listen() {
    m_failure.clear();
    if (const std::optional<QString> failure = PrivateFiles::makePrivateFolder(m_folder)) {
        m_failure = QStringLiteral("the instance folder is not private: ") + *failure;
        return false;
    }
    // Launches at the same moment take turns: otherwise each could find no one answering, and the
    // later one would remove the earlier one's fresh socket and listen as well.
    const ElectionLock election(m_folder + QStringLiteral("/instance.lock"), std::chrono::seconds(5));
    // Only ask whether someone answers: a message here would reach the running instance as an
    // extra "activate".
    switch (answeringPeer(std::chrono::milliseconds(500))) {
    case Peer::sameUser:
        return false;
    case Peer::otherUser:
        m_failure = QStringLiteral("the instance socket \u201C") + m_name +
                    QStringLiteral("\u201D is held by a process of another user");
        return false;
    case Peer::none:
        break;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // Nobody answered, so the socket file is a leftover of an instance that died.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name)) {
            m_failure = QStringLiteral("cannot listen on \u201C") + m_name + QStringLiteral("\u201D: ") +
                        m_server->errorString();
            delete m_server;
            m_server = nullptr;
            return false;
        }
    }
    QObject::connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Another user's process is never heard, whatever it sends.
        if (peerUid(*socket) != qint64(::geteuid())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine(maxMessageSize + 2);
                if (!line.endsWith('\n')) {
                    socket->abort();
                    return;
                }
                emit messageReceived(QString::fromUtf8(line.chopped(1)));
            }
            if (socket->bytesAvailable() > maxMessageSize)
                socket->abort();
        });
    }
}

SingleInstance::Peer SingleInstance::connectTo(QLocalSocket& socket, std::chrono::milliseconds timeout) const {
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(int(timeout.count())))
        return Peer::none;
    if (peerUid(socket) != qint64(::geteuid())) {
        socket.abort();
        return Peer::otherUser;
    }
    return Peer::sameUser;
}

SingleInstance::Peer SingleInstance::answeringPeer(std::chrono::milliseconds timeout) const {
    QLocalSocket socket;
    const Peer peer = connectTo(socket, timeout);
    if (peer == Peer::sameUser)
        socket.disconnectFromServer();
    return peer;
}

bool SingleInstance::sendToRunningInstance(const QString& message, std::chrono::milliseconds timeout) const {
    QLocalSocket socket;
    if (connectTo(socket, timeout) != Peer::sameUser)
        return false;
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    socket.write(line.toUtf8() + '\n');
    const bool written = socket.waitForBytesWritten(int(timeout.count()));
    socket.disconnectFromServer();
    return written;
}

} // namespace pylon
