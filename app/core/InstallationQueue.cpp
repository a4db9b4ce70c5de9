#include "core/InstallationQueue.h"

#include <QPointer>
#include <qcoro/qcorosignal.h>

namespace pylon {

QCoro::Task<InstallationQueue::Outcome> InstallationQueue::run(std::function<QCoro::Task<>()> job) {
    QPointer<InstallationQueue> self(this);
    while (self && self->m_busy)
        co_await qCoro(self.data(), &InstallationQueue::slotFreed);
    if (!self)
        co_return Outcome{true, nullptr};
    m_busy = true;
    emit busyChanged();
    std::exception_ptr failure;
    try {
        co_await job();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return Outcome{true, failure};
    m_busy = false;
    emit busyChanged();
    emit slotFreed();
    co_return Outcome{false, failure};
}

} // namespace pylon
