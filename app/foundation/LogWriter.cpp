#include "foundation/LogWriter.h"

#include "foundation/PrivateFiles.h"
#include "foundation/UnifiedLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <unistd.h>

namespace pylon {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The system log may not reach a terminal; whoever started the program learns it here.
void sayOnStandardError(const QString& reason) {
    std::fprintf(stderr, "Pylon: not writing the log file: %s; going on without it.\n", qUtf8Printable(reason));
    std::fflush(stderr);
}

} // namespace

LogWriter::LogWriter(const QString& logDirectory, const QString& logFilePath)
    : m_directory(logDirectory)
    , m_filePath(logFilePath)
    , m_thread([this] { run(); }) {}

LogWriter::~LogWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    if (m_fd >= 0)
        ::close(m_fd);
}

void LogWriter::setUp(const std::shared_ptr<const UnifiedLog>& reporter) {
    std::promise<void> done;
    enqueue([this, reporter, &done] {
        runSetUp(*reporter);
        done.set_value();
    });
    done.get_future().wait();
}

void LogWriter::submit(QByteArray line, std::shared_ptr<const UnifiedLog> reporter) {
    enqueue([this, line = std::move(line), reporter = std::move(reporter)] { write(line, *reporter); });
}

void LogWriter::flush() {
    std::promise<void> done;
    enqueue([&done] { done.set_value(); });
    done.get_future().wait();
}

bool LogWriter::isFileOpen() const {
    std::lock_guard lock(m_mutex);
    return m_fileOpen;
}

void LogWriter::enqueue(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void LogWriter::run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopping, and everything queued has run
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task();
    }
}

void LogWriter::runSetUp(const UnifiedLog& reporter) {
    if (m_isSetUp)
        return;
    m_isSetUp = true; // before anything else: a failed set-up is never retried
    if (m_filePath.isEmpty())
        return; // a writer without a file: lines go to the system log only

    // The log holds paths and host names: its folder is 0700 and the file 0600.
    if (const std::optional<QString> failure = PrivateFiles::makePrivateFolder(m_directory)) {
        reporter.send(LogLevel::error, QStringLiteral("Failed to create log directory: %1").arg(*failure));
        sayOnStandardError(*failure);
        return;
    }

    // Created when missing; only a regular file is written, never the target of a link, and a
    // named pipe in its place cannot make the application wait.
    const PrivateFiles::OpenedFile opened = PrivateFiles::openRegularFile(m_filePath, O_WRONLY | O_CREAT, true);
    if (opened.fd < 0) {
        reporter.send(LogLevel::error, QStringLiteral("Failed to open log file: %1").arg(opened.error));
        sayOnStandardError(opened.error);
        return;
    }
    m_fd = opened.fd; // kept even if positioning fails, like a handle that opened
    {
        std::lock_guard lock(m_mutex);
        m_fileOpen = true;
    }
    if (::lseek(m_fd, 0, SEEK_END) < 0)
        reporter.send(LogLevel::error, QStringLiteral("Failed to open log file: %1").arg(systemError(errno)));
}

void LogWriter::write(const QByteArray& line, const UnifiedLog& reporter) {
    if (m_fd < 0)
        return;
    const char* data = line.constData();
    qsizetype remaining = line.size();
    while (remaining > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(remaining));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            reporter.send(LogLevel::error, QStringLiteral("Failed to write to log file: %1").arg(systemError(errno)));
            return;
        }
        data += written;
        remaining -= written;
    }
}

} // namespace pylon
