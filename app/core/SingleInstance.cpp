#include "core/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace pylon {

namespace {

// An exclusive lock on a file in the temporary folder while the object lives. The system drops it
// when the holder ends, however it ends, so a crashed launch never blocks the next one. Without
// the lock after `timeout` (or without the file) the caller goes on unlocked.
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

} // namespace

SingleInstance::SingleInstance(const QString& bundleIdentifier, QObject* parent)
    : QObject(parent)
    , m_name(serverName(bundleIdentifier)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& bundleIdentifier) {
    return bundleIdentifier + QStringLiteral(".instance-") + QString::number(::getuid());
}

bool SingleInstance::listen() {
    // Launches at the same moment take turns: otherwise each could find no one answering, and the
    // later one would remove the earlier one's fresh socket and listen as well.
    const ElectionLock election(QDir(QDir::tempPath()).filePath(m_name + QStringLiteral(".lock")),
                                std::chrono::seconds(5));
    // Only ask whether someone answers: a message here would reach the running instance as an
    // extra "activate".
    if (isAnswering(std::chrono::milliseconds(500)))
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

bool SingleInstance::isAnswering(std::chrono::milliseconds timeout) const {
    const int timeoutMs = int(timeout.count());
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::sendToRunningInstance(const QString& message, std::chrono::milliseconds timeout) const {
    const int timeoutMs = int(timeout.count());
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
