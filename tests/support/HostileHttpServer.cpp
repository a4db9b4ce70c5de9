#include "HostileHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pylon::test {

namespace {

// Sends all of `bytes`; false once the client is gone (or the server stops).
bool sendAll(int fd, const QByteArray& bytes, const std::atomic<bool>& stopping) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (stopping)
            return false;
        pollfd writable{fd, POLLOUT, 0};
        if (::poll(&writable, 1, 100) <= 0)
            continue;
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// Reads the request's head (up to the blank line), or gives up after a while.
void readRequest(int fd) {
    QByteArray head;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    char buffer[4096];
    while (!head.contains("\r\n\r\n") && std::chrono::steady_clock::now() < deadline) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, 100) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        head.append(buffer, n);
    }
}

} // namespace

HostileHttpServer::HostileHttpServer(Behaviour behaviour, QByteArray body)
    : m_behaviour(behaviour)
    , m_body(std::move(body)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0 || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        qFatal("HostileHttpServer: cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

HostileHttpServer::~HostileHttpServer() {
    m_stopping = true;
    m_thread.join();
    ::close(m_listener);
}

void HostileHttpServer::run() {
    while (!m_stopping) {
        pollfd incoming{m_listener, POLLIN, 0};
        if (::poll(&incoming, 1, 100) <= 0)
            continue;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        readRequest(fd);
        serve(fd);
        ::close(fd);
    }
}

void HostileHttpServer::serve(int fd) {
    const QByteArray filler(64 * 1024, ' ');
    switch (m_behaviour) {
    case Behaviour::flood:
        if (sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n\r\n{\"x\":\"",
                    m_stopping))
            while (sendAll(fd, filler, m_stopping)) {
            }
        return;
    case Behaviour::chunkedFlood: {
        const QByteArray chunk = QByteArray::number(filler.size(), 16) + "\r\n" + filler + "\r\n";
        if (sendAll(fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", m_stopping))
            while (sendAll(fd, chunk, m_stopping)) {
            }
        return;
    }
    case Behaviour::announcedHuge:
        if (sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10000000000\r\n\r\n", m_stopping))
            while (sendAll(fd, filler, m_stopping)) {
            }
        return;
    case Behaviour::document:
        sendAll(fd,
                "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                    QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body,
                m_stopping);
        return;
    case Behaviour::trickle:
        if (sendAll(fd, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", m_stopping)) {
            while (sendAll(fd, " ", m_stopping))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return;
    case Behaviour::headerFlood:
        if (sendAll(fd, "HTTP/1.1 200 OK\r\n", m_stopping))
            while (sendAll(fd, "X-Filler: " + filler.left(1000) + "\r\n", m_stopping)) {
            }
        return;
    case Behaviour::redirect:
        sendAll(fd, "HTTP/1.1 301 Moved Permanently\r\nLocation: " + m_body + "\r\nContent-Length: 0\r\n\r\n",
                m_stopping);
        // The client is given the time to follow the redirect, which it must not do.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return;
    case Behaviour::raw:
        sendAll(fd, m_body, m_stopping);
        return;
    case Behaviour::notHttp:
        if (sendAll(fd, "SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n", m_stopping)) {
            char byte = 0;
            for (int i = 0; i < 30 && !m_stopping; ++i) { // until the client gives up, at most 3 s
                pollfd readable{fd, POLLIN, 0};
                if (::poll(&readable, 1, 100) > 0 && ::recv(fd, &byte, 1, 0) <= 0)
                    break;
            }
        }
        return;
    }
}

} // namespace pylon::test
