#pragma once

#include <chrono>

namespace pylon {

// The time source of everything that compares elapsed time (start-up phase, cache spacing,
// throttles), so tests can move time without waiting.
class Clock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual time_point now() const = 0;
};

class SteadyClock final : public Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
};

} // namespace pylon
