#include "foundation/LogWriter.h"

#include "foundation/UnifiedLog.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <unistd.h>

namespace pylon {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
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

    if (!QDir().mkpath(m_directory)) {
        // QDir does not say why; name the path so the system log is actionable.
        reporter.send(LogLevel::error, QStringLiteral("Failed to create log directory: %1")
                                           .arg(QStringLiteral("could not create the folder ") + m_directory));
        return;
    }

    const QByteArray path = QFile::encodeName(m_filePath);
    // Create the file if it is missing; whether that worked shows when it is opened below.
    if (!QFileInfo::exists(m_filePath)) {
        const int created = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (created >= 0)
            ::close(created);
    }

    const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        reporter.send(LogLevel::error, QStringLiteral("Failed to open log file: %1").arg(systemError(errno)));
        return;
    }
    m_fd = fd; // kept even if positioning fails, like a handle that opened
    {
        std::lock_guard lock(m_mutex);
        m_fileOpen = true;
    }
    if (::lseek(fd, 0, SEEK_END) < 0)
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
