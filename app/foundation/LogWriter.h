#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace pylon {

class UnifiedLog;

// The one sequential writer behind the log file: a dedicated thread that runs the file set-up and
// every write, one at a time, in submission order. Callers never wait for the disk, except
// setUp() and flush(). The file is opened once and kept open; it is never truncated or rotated.
// Its folder is made 0700 and the file 0600; only a regular file is used (a link, named pipe or
// device in its place turns file logging off, said on standard error and in the system log).
class LogWriter {
public:
    // An empty `logFilePath` makes a writer without a file: nothing is created or written.
    LogWriter(const QString& logDirectory, const QString& logFilePath);
    // Runs what is still queued, then stops the thread.
    ~LogWriter();
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Runs the file set-up on the writer thread and waits for it. Only the first call does
    // anything; a failed set-up is never retried. Failures go to `reporter` at error type.
    // Must not be called from the writer thread.
    void setUp(const std::shared_ptr<const UnifiedLog>& reporter);

    // Queues `line` (UTF-8) for the file; a failed write goes to `reporter`. Returns at once.
    void submit(QByteArray line, std::shared_ptr<const UnifiedLog> reporter);

    // Waits until everything submitted before the call is written.
    void flush();

    bool isFileOpen() const;

private:
    void enqueue(std::function<void()> task);
    void run();
    void runSetUp(const UnifiedLog& reporter);
    void write(const QByteArray& line, const UnifiedLog& reporter);

    const QString m_directory;
    const QString m_filePath;

    // Touched on the writer thread only (set-up and writes).
    bool m_isSetUp = false;
    int m_fd = -1;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    bool m_fileOpen = false; // mirrors m_fd >= 0 for other threads, under m_mutex
    std::thread m_thread;
};

} // namespace pylon
