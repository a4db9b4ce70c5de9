#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <qcoro/qcorotask.h>

namespace pylon {

// Control-script installations share one staging folder, so they run one after another: each job
// waits until the one before it has finished.
class InstallationQueue : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    struct Outcome {
        bool queueGone = false;     // the queue (and its owner) were destroyed while the job ran
        std::exception_ptr failure; // what the job threw, if anything
    };

    // True while a job runs.
    bool isBusy() const { return m_busy; }

    // Runs `job` once the job before it has finished; never throws.
    QCoro::Task<Outcome> run(std::function<QCoro::Task<>()> job);

signals:
    void busyChanged();
    void slotFreed();

private:
    bool m_busy = false;
};

} // namespace pylon
