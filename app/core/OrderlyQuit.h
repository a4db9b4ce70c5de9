#pragma once

#include <memory>

namespace pylon {

class FileLogger;
class TerminationSignals;

// Ends the event loop when SIGINT, SIGTERM or SIGHUP arrives, after logging "Received <signal>,
// quitting", so the program leaves through its usual path in every mode: the objects are destroyed
// in order, the settings are synced and the queued log lines are written before it exits with 0.
// The signals are handled while the returned object lives; `log` must outlive it.
std::unique_ptr<TerminationSignals> quitOnTerminationSignals(const FileLogger& log);

} // namespace pylon
