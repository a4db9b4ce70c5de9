#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace pylon::test {

// The permission bits of `path` itself (a link is not followed), or -1 when there is nothing.
inline int modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Writes `text` to the absolute `path`, creating folders; false when the file cannot be written.
inline bool writeFileAt(const QString& path, const QByteArray& text, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

// A Unix socket bound at `path` while the object lives.
class BoundSocket {
public:
    explicit BoundSocket(const QString& path)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        const QByteArray name = QFile::encodeName(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        m_bound = m_fd >= 0 && size_t(name.size()) < sizeof address.sun_path;
        if (m_bound) {
            std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
            m_bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        }
    }
    ~BoundSocket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;
    bool isBound() const { return m_bound; }

private:
    int m_fd;
    bool m_bound = false;
};

} // namespace pylon::test
