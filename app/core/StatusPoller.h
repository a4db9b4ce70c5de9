#pragma once

#include "foundation/Clock.h"
#include "status/StatusResponse.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>

namespace pylon {

class CompanionClient;
class DynamicStatus;
class FileLogger;
class ServiceManager;
class UserDefaults;

// Keeps DynamicStatus current from the companion's status endpoint: the status fetch with its count
// of failures in a row, one poll (publish, cache at most every 30 s, registration flags) and the
// polling loop, which runs until the poller is destroyed.
class StatusPoller : public QObject {
    Q_OBJECT
public:
    struct Context {
        DynamicStatus& status;
        UserDefaults& defaults; // the status cache
        ServiceManager& services; // the registration flags
        const Clock& clock;
        const FileLogger& log;
        quint16 port;
        std::function<bool()> isInStartupPhase;
    };

    explicit StatusPoller(Context context, QObject* parent = nullptr);
    ~StatusPoller() override;

    CompanionClient& client() { return *m_client; }
    int consecutiveFailures() const { return m_consecutiveFailures; }
    // After a start or restart of the companion the back-off begins again.
    void resetFailures() { m_consecutiveFailures = 0; }
    // The views show the starting state from now on (start, restart): an unanswered companion ends
    // it only after the failure ceiling and PollingSchedule::startingGrace.
    void startingBegan() { m_startingSince = m_context.clock.now(); }

    // GET /status and decode; counts failures in a row (at most 10), resets them on success.
    QCoro::Task<std::optional<StatusResponse>> fetchStatus();
    // One poll of the loop: fetch, publish, cache at most every 30 s, registration flags.
    QCoro::Task<> pollOnce();
    // Sets the registration and approval flags from the service manager.
    void updateRegistrationFlags();

    // Starts the loop: poll, pause (PollingSchedule), poll again, until the poller is destroyed.
    void startLoop();

private:
    static QCoro::Task<> runLoop(QPointer<StatusPoller> poller);
    void failedFetch();

    Context m_context;
    CompanionClient* m_client;
    int m_consecutiveFailures = 0;
    std::optional<Clock::time_point> m_lastCacheTime; // none: the distant past
    std::optional<Clock::time_point> m_startingSince; // none: the starting state never times out
};

} // namespace pylon
