#pragma once

#include <functional>
#include <qcoro/qcorotask.h>

namespace pylon {

// Runs `job` in the event loop of the application object that exists, until it ends, and returns
// its result (1 if the loop ended first). For the command-line modes that do one thing and exit.
int runInEventLoop(std::function<QCoro::Task<int>()> job);

} // namespace pylon
