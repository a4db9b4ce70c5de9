#pragma once

#include <QObject>
#include <QString>
#include <chrono>

class QLocalServer;

namespace pylon {

// One running instance per build mode and user. The first instance listens on a local socket named
// after the bundle identifier; a later launch hands its message (a URL, or an empty "activate")
// to it and exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& bundleIdentifier, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket name for this identifier and user.
    static QString serverName(const QString& bundleIdentifier);

    // Becomes the running instance unless another one answers; nothing is sent to one that does.
    // A socket left behind by a crashed instance is taken over. Launches at the same moment take
    // turns through a lock file next to the socket, so exactly one of them listens.
    bool listen();

    // Hands `message` to the running instance; false when none answered within `timeout`.
    bool sendToRunningInstance(const QString& message,
                               std::chrono::milliseconds timeout = std::chrono::seconds(2)) const;

signals:
    void messageReceived(const QString& message);

private:
    // Whether an instance accepts a connection; nothing is sent.
    bool isAnswering(std::chrono::milliseconds timeout) const;

    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace pylon
