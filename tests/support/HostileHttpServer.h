#pragma once

#include <QByteArray>
#include <atomic>
#include <thread>

namespace pylon::test {

// A loopback HTTP peer that misbehaves, on a thread of its own so that it keeps sending while the
// test's event loop is busy reading: it answers every connection in the chosen way until the
// client goes away or the server is destroyed.
class HostileHttpServer {
public:
    enum class Behaviour {
        flood,         // 200 without a length, then body bytes as fast as the socket takes them
        chunkedFlood,  // 200 with chunked encoding, endless chunks
        announcedHuge, // 200 announcing 10 GB, then a flood
        document,      // 200 with `body` and its length (a large one, say)
        trickle,       // 200 without a length, then one byte every 20 ms, endlessly
        headerFlood,   // a status line, then header lines without end
        redirect,      // 301 to `body` (a URL), no body
        notHttp,       // a line that is not HTTP (an SSH banner), then silence
        raw,           // `body` as it is, then the connection closes
    };

    explicit HostileHttpServer(Behaviour behaviour, QByteArray body = {});
    ~HostileHttpServer();
    HostileHttpServer(const HostileHttpServer&) = delete;
    HostileHttpServer& operator=(const HostileHttpServer&) = delete;

    quint16 port() const { return m_port; }
    // Connections accepted so far.
    int connections() const { return m_connections; }

private:
    void run();
    void serve(int fd);

    Behaviour m_behaviour;
    QByteArray m_body;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

} // namespace pylon::test
