#include "core/EventLoopJob.h"

#include <QCoreApplication>
#include <QTimer>
#include <memory>

namespace pylon {

namespace {

// Everything held by value: the coroutine may outlive the call that started it.
QCoro::Task<> runAndQuit(std::function<QCoro::Task<int>()> job, std::shared_ptr<int> exitCode) {
    QCoro::Task<int> running = job();
    *exitCode = co_await std::move(running);
    QCoreApplication::quit();
}

} // namespace

int runInEventLoop(std::function<QCoro::Task<int>()> job) {
    const auto exitCode = std::make_shared<int>(1);
    QTimer start; // the job begins once the loop turns
    start.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, [job, exitCode] { runAndQuit(job, exitCode); });
    start.start(0);
    QCoreApplication::exec();
    return *exitCode;
}

} // namespace pylon
