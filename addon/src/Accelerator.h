#pragma once

// What the accelerator module does, free of Node-API and of any OS: the rules for the process-id
// argument, the list of running Live instances and the key sequence of the save shortcut.

#include "Platform.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace pylon::accelerator {

inline constexpr std::string_view kPidArgumentRequired = "PID argument required";

// The save shortcut: S pressed then released, with Command alone held during both.
inline constexpr std::array<KeyEvent, 2> kSaveShortcut{{
    {Key::S, true, Modifier::Command},
    {Key::S, false, Modifier::Command},
}};

// The process a caller's number designates. Fractions are dropped toward zero (1234.9 is 1234);
// anything that does not then name a positive signed 32-bit id (0, negatives, NaN, infinities,
// 2^31 and above) designates none. Numbers are never wrapped to their low 32 bits: 2^32 + 1 must
// not reach process 1.
std::optional<ProcessId> processIdFromNumber(double number);

class Accelerator {
public:
    explicit Accelerator(Platform& platform)
        : m_platform(platform) {}

    bool checkAccessibility() { return m_platform.isTrusted(); }
    bool requestAccessibility() { return m_platform.requestTrust(); }
    std::vector<RunningApplication> runningAbletonInstances();
    // Posts the save shortcut to the process the number designates. False, with nothing posted,
    // when it designates none or the platform could not deliver the shortcut to it.
    bool sendCommandS(double processIdNumber);

private:
    Platform& m_platform;
};

} // namespace pylon::accelerator
