#include "ProcessTable.h"

#include "LiveProcess.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace pylon::accelerator::linux_backend {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::optional<ProcessId> processIdFromEntry(const char* name) {
    const std::string_view text(name);
    ProcessId value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0)
        return std::nullopt;
    return value;
}

// Reads up to limit bytes of /proc/<pid>/<file>, relative to the open /proc directory.
std::optional<std::string> readProcFile(int procFd, std::string_view pid, std::string_view file, std::size_t limit) {
    const std::string relative = std::string(pid) + '/' + std::string(file);
    const FileDescriptor fd(openat(procFd, relative.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    std::string content;
    std::array<char, 512> buffer;
    while (content.size() < limit) {
        const ssize_t count = read(fd.get(), buffer.data(), std::min(buffer.size(), limit - content.size()));
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        content.append(buffer.data(), static_cast<std::size_t>(count));
        // Only argv[0] is of interest in the command line: stop at its end.
        if (file == "cmdline" && content.find('\0') != std::string::npos)
            break;
    }
    return content;
}

std::optional<std::string> readExecutablePath(int procFd, std::string_view pid) {
    const std::string relative = std::string(pid) + "/exe";
    std::array<char, PATH_MAX> buffer;
    const ssize_t length = readlinkat(procFd, relative.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) == buffer.size())
        return std::nullopt;
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::optional<std::string> firstArgumentOf(const std::optional<std::string>& commandLine) {
    if (!commandLine || commandLine->empty())
        return std::nullopt; // kernel threads and zombies have no command line
    return commandLine->substr(0, commandLine->find('\0'));
}

} // namespace

ProcessTable::ProcessTable(std::string procRoot, std::function<Clock::time_point()> clock)
    : m_procRoot(std::move(procRoot))
    , m_clock(std::move(clock)) {}

bool ProcessTable::isKnownNotLive(ProcessId processId, ino_t entry, Clock::time_point now) {
    const auto known = m_notLive.find(processId);
    if (known == m_notLive.end() || known->second.entry != entry)
        return false;
    known->second.seenThisPass = true;
    // Settled once it has been read with kSettleTime behind it: a name that changed in its first
    // seconds has been seen then.
    const bool settled = known->second.lastRead - known->second.firstSeen >= kSettleTime;
    return settled && now - known->second.lastRead < kRecheckTime;
}

void ProcessTable::rememberNotLive(ProcessId processId, ino_t entry, Clock::time_point now) {
    auto [known, added] = m_notLive.try_emplace(processId, NotLive{entry, now, now, true});
    if (!added && known->second.entry != entry)
        known->second = NotLive{entry, now, now, true};
    known->second.lastRead = now;
    known->second.seenThisPass = true;
}

std::vector<RunningApplication> ProcessTable::runningLiveProcesses() {
    std::vector<RunningApplication> applications;
    const std::unique_ptr<DIR, DirCloser> proc(opendir(m_procRoot.c_str()));
    if (!proc)
        return applications;
    const int procFd = dirfd(proc.get());
    const auto now = m_clock();
    for (auto& [processId, known] : m_notLive)
        known.seenThisPass = false;

    while (const dirent* entry = readdir(proc.get())) {
        const auto processId = processIdFromEntry(entry->d_name);
        if (!processId || isKnownNotLive(*processId, entry->d_ino, now))
            continue;
        const std::string_view pid(entry->d_name);
        // The kernel keeps 15 bytes of the name and a newline; more never comes.
        auto comm = readProcFile(procFd, pid, "comm", 64);
        if (!comm)
            continue;
        if (!comm->empty() && comm->back() == '\n')
            comm->pop_back();
        if (!mayBeLive(*comm)) {
            rememberNotLive(*processId, entry->d_ino, now);
            continue;
        }
        m_notLive.erase(*processId);
        const auto firstArgument = firstArgumentOf(readProcFile(procFd, pid, "cmdline", std::size_t(64) * 1024));
        ProcessFacts facts{*processId, std::move(*comm), firstArgument, readExecutablePath(procFd, pid)};
        if (auto application = liveApplication(facts))
            applications.push_back(std::move(*application));
    }
    std::erase_if(m_notLive, [](const auto& known) { return !known.second.seenThisPass; });
    std::ranges::sort(applications, {}, &RunningApplication::processId);
    return applications;
}

} // namespace pylon::accelerator::linux_backend
