#include "platform/linux/KeepAlive.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <sys/syscall.h>
#include <unistd.h>

namespace pylon {

std::optional<std::chrono::milliseconds>
pauseBeforeRestart(const KeepAlivePolicy& policy, const QList<Clock::time_point>& starts, Clock::time_point exitTime) {
    const qsizetype count = starts.size();
    if (policy.startLimitBurst > 0 && count >= policy.startLimitBurst &&
        exitTime - starts.at(count - policy.startLimitBurst) <= policy.startLimitInterval)
        return std::nullopt;
    // Runs in a row, the last first, that ended within the interval; a run ends when the next starts.
    int shortRuns = 0;
    for (qsizetype i = count - 1; i >= 0; --i) {
        const Clock::time_point end = i == count - 1 ? exitTime : starts.at(i + 1);
        if (end - starts.at(i) >= policy.startLimitInterval)
            break;
        ++shortRuns;
    }
    std::chrono::milliseconds pause = policy.firstPause;
    for (int i = 1; i < shortRuns && pause < policy.longestPause; ++i)
        pause *= 2;
    return std::min(pause, policy.longestPause);
}

ProcessExitWatch::ProcessExitWatch(ProcessIdentity identity, QObject* parent)
    : QObject(parent)
    , m_identity(identity) {
#ifdef SYS_pidfd_open
    m_pidfd = int(::syscall(SYS_pidfd_open, pid_t(identity.pid), 0));
#endif
    if (m_pidfd >= 0) {
        m_notifier = new QSocketNotifier(m_pidfd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &ProcessExitWatch::check);
    } else {
        m_timer = new QTimer(this);
        m_timer->setInterval(std::chrono::milliseconds(500));
        connect(m_timer, &QTimer::timeout, this, &ProcessExitWatch::check);
        m_timer->start();
    }
    // The pid may have ended, or been reused, before the watch began: one look from the event loop.
    auto* firstLook = new QTimer(this);
    firstLook->setSingleShot(true);
    connect(firstLook, &QTimer::timeout, this, &ProcessExitWatch::check);
    firstLook->start(0);
}

ProcessExitWatch::~ProcessExitWatch() {
    if (m_pidfd >= 0)
        ::close(m_pidfd);
}

void ProcessExitWatch::check() {
    if (m_told || isRunning(m_identity))
        return;
    m_told = true;
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_timer)
        m_timer->stop();
    emit exited();
}

} // namespace pylon
