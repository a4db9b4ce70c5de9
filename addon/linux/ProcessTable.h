#pragma once

#include "../src/Platform.h"

#include <vector>

namespace pylon::accelerator::linux_backend {

// The running Live processes, from one pass over /proc, ordered by process id. Processes that
// vanish or cannot be read during the pass are left out.
std::vector<RunningApplication> runningLiveProcesses();

} // namespace pylon::accelerator::linux_backend
