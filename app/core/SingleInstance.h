#pragma once

#include <QObject>
#include <QString>
#include <chrono>

class QLocalServer;
class QLocalSocket;

namespace pylon {

// One running instance per build mode and user. The first instance listens on a local socket in a
// private folder of the user (socketFolder()); a later launch hands its message (a URL, or an
// empty "activate") to it and exits. Both ends check that the process at the other end of the
// socket belongs to the same user before anything is handed over or accepted.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& bundleIdentifier, QObject* parent = nullptr);
    // The socket and its lock in a folder of the caller's choice, made private as well.
    struct Folder {
        QString path;
    };
    explicit SingleInstance(Folder folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The folder of the socket and its lock: SystemInfo::privateRuntimeFolder(), that is
    // "$XDG_RUNTIME_DIR/<identifier>" when the runtime folder is usable (an absolute path to a
    // folder of this user that no one else may enter), else "<cache home>/<identifier>/runtime";
    // never the shared temporary folder.
    static QString socketFolder(const QString& bundleIdentifier);
    // The socket's path in the default folder for this identifier.
    static QString serverName(const QString& bundleIdentifier);

    const QString& socketPath() const { return m_name; }

    // Becomes the running instance unless another one of this user answers; nothing is sent to
    // one that does. A socket left behind by a crashed instance is taken over. Launches at the same
    // moment take turns through a lock file next to the socket, so exactly one of them listens.
    // False with failure() set when neither listening nor handing over is possible.
    bool listen();

    // Why this launch can neither run nor hand over (empty when it can): the folder cannot be
    // made private, the socket is held by another user's process, or listening failed.
    const QString& failure() const { return m_failure; }

    // Hands `message` to the running instance; false when none of this user answered within
    // `timeout`.
    bool sendToRunningInstance(const QString& message,
                               std::chrono::milliseconds timeout = std::chrono::seconds(2)) const;

signals:
    void messageReceived(const QString& message);

private:
    enum class Peer { none, sameUser, otherUser };
    // Whether an instance accepts a connection, and whose it is; nothing is sent.
    Peer answeringPeer(std::chrono::milliseconds timeout) const;
    Peer connectTo(QLocalSocket& socket, std::chrono::milliseconds timeout) const;
    void accept();

    QString m_folder;
    QString m_name;
    QString m_failure;
    QLocalServer* m_server = nullptr;
};

} // namespace pylon
