// The caller's side of one FileLogger::log call as the application makes it: the line built, handed
// to the writer thread, and the bare message sent to the system log, which is Qt's default message
// handler writing to standard error. Standard error is /dev/null here, as for an application started
// by the desktop or the service manager, so the terminal is not what is measured. The value is the
// calling thread's CPU time; the disk write happens on the writer thread. Repetitions last a fixed
// wall time (UseRealTime), so a busy machine does not stretch them.
//
// Floor: a minimal logger doing the same work: the same line built with snprintf into a std::string,
// pushed onto a mutex-guarded queue that one thread writes to a file, and "<category>: <message>"
// written to standard error.
#include "BenchTable.h"
#include "foundation/FileLogger.h"
#include "foundation/LogWriter.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Standard error on /dev/null while it lives.
class StandardErrorToNull {
public:
    StandardErrorToNull()
        : m_saved(::dup(STDERR_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
    ~StandardErrorToNull() {
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
    }
    StandardErrorToNull(const StandardErrorToNull&) = delete;
    StandardErrorToNull& operator=(const StandardErrorToNull&) = delete;

private:
    int m_saved;
};

struct LoggerFixture {
    QTemporaryDir dir;
    pylon::LogWriter writer{dir.path() + QStringLiteral("/logs"),
                            dir.path() + QStringLiteral("/logs/pylon-menubar.log")};
    pylon::FileLogger logger{QStringLiteral("menubar"), QStringLiteral("net.ostrand.Pylon"), writer};
};

// Logs `message` once per iteration at `level` through Qt's default message handler; the writer is
// drained after the timed loop.
void logRepeatedly(benchmark::State& state, pylon::LogLevel level, const QString& message,
                   const QVariantMap& metadata = {}) {
    qInstallMessageHandler(nullptr);
    LoggerFixture fixture;
    const StandardErrorToNull quiet;
    for (auto _ : state)
        fixture.logger.log(level, message, metadata);
    fixture.writer.flush();
}

const QString infoMessage = QStringLiteral("[Pylon][CompanionManager] ensureRunningViaLaunchd: status=enabled");
const QString metadataMessage = QStringLiteral("Diagnostic report saved");
const QString debugMessage = QStringLiteral("poll: status received");
const QString metadataPath = QStringLiteral("/home/user/Desktop/PylonDiagnostics.zip");

void BM_LogInfo(benchmark::State& state) {
    logRepeatedly(state, pylon::LogLevel::info, infoMessage);
}
BENCHMARK(BM_LogInfo)->UseRealTime();

void BM_LogInfoWithMetadata(benchmark::State& state) {
    logRepeatedly(state, pylon::LogLevel::info, metadataMessage, {{QStringLiteral("path"), metadataPath}});
}
BENCHMARK(BM_LogInfoWithMetadata)->UseRealTime();

void BM_LogDebugDisabledSystemLog(benchmark::State& state) {
    logRepeatedly(state, pylon::LogLevel::debug, debugMessage);
}
BENCHMARK(BM_LogDebugDisabledSystemLog)->UseRealTime();

// The floor's logger: one writer thread behind a queue, the line built with the C library.
class MinimalLogger {
public:
    explicit MinimalLogger(const std::string& path)
        : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600))
        , m_thread([this] { run(); }) {}
    ~MinimalLogger() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
        ::close(m_fd);
    }
    MinimalLogger(const MinimalLogger&) = delete;
    MinimalLogger& operator=(const MinimalLogger&) = delete;

    void log(const std::string& category, const std::string& message,
             const std::vector<std::pair<std::string, std::string>>& metadata, bool toSystemLog) {
        std::string line = timestamp() + " [pylon-companion][menubar] " + message;
        if (!metadata.empty()) {
            line += " {";
            for (const auto& [key, value] : metadata) {
                line += (line.back() == '{' ? "\"" : ",\"") + key + "\":\"";
                for (const char c : value)
                    line += c == '/' ? "\\/" : std::string(1, c);
                line += '"';
            }
            line += '}';
        }
        line += '\n';
        {
            const std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(line));
        }
        m_wake.notify_one();
        if (toSystemLog) {
            const std::string text = category + ": " + message + "\n";
            std::fwrite(text.data(), 1, text.size(), stderr);
        }
    }

    void flush() {
        std::unique_lock lock(m_mutex);
        m_drained.wait(lock, [this] { return m_queue.empty() && !m_writing; });
    }

private:
    static std::string timestamp() {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        std::tm utc{};
        ::gmtime_r(&now.tv_sec, &utc);
        char text[32];
        const int length =
            std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                          utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(now.tv_nsec / 1000000));
        return std::string(text, std::size_t(length));
    }

    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            const std::string line = std::move(m_queue.front());
            m_queue.pop_front();
            m_writing = true;
            lock.unlock();
            [[maybe_unused]] const ssize_t written = ::write(m_fd, line.data(), line.size());
            lock.lock();
            m_writing = false;
            m_drained.notify_all();
        }
    }

    int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<std::string> m_queue;
    bool m_stopping = false;
    bool m_writing = false;
    std::thread m_thread;
};

void logMinimally(benchmark::State& state, const QString& message,
                  const std::vector<std::pair<std::string, std::string>>& metadata, bool toSystemLog) {
    QTemporaryDir dir;
    MinimalLogger logger(dir.filePath(QStringLiteral("minimal.log")).toStdString());
    const std::string text = message.toStdString();
    const std::string category = "net.ostrand.Pylon.menubar";
    const StandardErrorToNull quiet;
    for (auto _ : state)
        logger.log(category, text, metadata, toSystemLog);
    logger.flush();
}

void BM_Floor_LogInfo(benchmark::State& state) {
    logMinimally(state, infoMessage, {}, true);
}
BENCHMARK(BM_Floor_LogInfo)->UseRealTime();

void BM_Floor_LogInfoWithMetadata(benchmark::State& state) {
    logMinimally(state, metadataMessage, {{"path", metadataPath.toStdString()}}, true);
}
BENCHMARK(BM_Floor_LogInfoWithMetadata)->UseRealTime();

void BM_Floor_LogFileOnly(benchmark::State& state) {
    logMinimally(state, debugMessage, {}, false);
}
BENCHMARK(BM_Floor_LogFileOnly)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    using pylon::bench::Measure;
    return pylon::bench::runWithTable(
        argc, argv,
        {
            Measure{.name = "log line, caller's CPU", .benchmark = "BM_LogInfo", .floor = "BM_Floor_LogInfo"},
            Measure{.name = "log line with metadata, caller's CPU",
                    .benchmark = "BM_LogInfoWithMetadata",
                    .floor = "BM_Floor_LogInfoWithMetadata",
                    .maxValue = 5},
            Measure{.name = "debug log line (system log off), caller's CPU",
                    .benchmark = "BM_LogDebugDisabledSystemLog",
                    .floor = "BM_Floor_LogFileOnly"},
        });
}
