#pragma once

#include "foundation/Clock.h"
#include "platform/linux/CompanionProcess.h"

#include <QList>
#include <QObject>
#include <chrono>
#include <optional>

class QSocketNotifier;
class QTimer;

namespace pylon {

// How the process backend keeps a companion alive, as launchd's KeepAlive does: it starts the
// companion again when it exits, after a pause that doubles with each run in a row that ended within
// the start-limit interval, and gives up once the companion was started `startLimitBurst` times
// within `startLimitInterval` (systemd's default start limits).
struct KeepAlivePolicy {
    std::chrono::milliseconds firstPause{500};
    std::chrono::milliseconds longestPause{8000};
    int startLimitBurst = 5;
    std::chrono::milliseconds startLimitInterval{10000};
};

// The pause before starting again a companion that exited at `exitTime`, having been started at
// `starts` (oldest first; the last one began the run that just ended); nothing once the start limit
// is reached. Without any recorded start the run counts as a long one.
std::optional<std::chrono::milliseconds>
pauseBeforeRestart(const KeepAlivePolicy& policy, const QList<Clock::time_point>& starts, Clock::time_point exitTime);

// Tells once when a process exits. A pidfd wakes the event loop only then; where the kernel has
// none, the process is looked at every half second.
class ProcessExitWatch final : public QObject {
    Q_OBJECT
public:
    ProcessExitWatch(ProcessIdentity identity, QObject* parent = nullptr);
    ~ProcessExitWatch() override;

    const ProcessIdentity& identity() const { return m_identity; }

signals:
    void exited();

private:
    void check();

    ProcessIdentity m_identity;
    int m_pidfd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timer = nullptr;
    bool m_told = false;
};

} // namespace pylon
