#pragma once

// The running Live processes, from a pass over /proc.
//
// The companion asks for them with every status document, about once a second, and on this kind
// of machine reading one small /proc file costs some 8 µs of CPU: reading the name of each of a
// desktop's hundreds of processes every second would cost more than answering the request. So a
// table remembers the processes whose name is not Live's (nor a Wine loader's) and leaves them
// unread for a while. What it must never miss stays fresh:
// - a new process, or a new process under a reused id, is read on the first pass that sees it
//   (the id's /proc entry is a new inode then);
// - a process is read on every pass until it has been read kSettleTime after it was first seen:
//   a launcher forks and executes Wine, changing the name, in a process's first moments;
// - a process remembered as not Live is read again after kRecheckTime, so one that executes Wine
//   long after it started is listed that much later at the most.
// Processes named as Live or as a Wine loader are read on every pass.

#include "../src/Platform.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace pylon::accelerator::linux_backend {

class ProcessTable {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kSettleTime = std::chrono::seconds(2);
    static constexpr Clock::duration kRecheckTime = std::chrono::seconds(10);

    // `procRoot` is /proc but for tests, which lay out a folder of their own like it.
    explicit ProcessTable(std::string procRoot = "/proc", std::function<Clock::time_point()> clock = Clock::now);

    // The running Live processes, ordered by process id. Processes that vanish or cannot be read
    // during the pass are left out.
    std::vector<RunningApplication> runningLiveProcesses();

private:
    struct NotLive {
        ino_t entry = 0; // the inode of /proc/<pid>: another process under the same id has another
        Clock::time_point firstSeen;
        Clock::time_point lastRead;
        bool seenThisPass = false;
    };
    bool isKnownNotLive(ProcessId processId, ino_t entry, Clock::time_point now);
    void rememberNotLive(ProcessId processId, ino_t entry, Clock::time_point now);

    std::string m_procRoot;
    std::function<Clock::time_point()> m_clock;
    std::unordered_map<ProcessId, NotLive> m_notLive;
};

} // namespace pylon::accelerator::linux_backend
