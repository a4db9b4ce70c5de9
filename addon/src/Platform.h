#pragma once

// The few operating-system facilities the accelerator module needs. One backend per OS implements
// this header (linux/ on Linux); the core and the Node-API glue never see the OS directly.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pylon::accelerator {

using ProcessId = std::int32_t;

// The only application the module looks for. Backends without bundle identifiers recognise its
// processes in their own way and report them under this identifier.
inline constexpr std::string_view kLiveBundleId = "com.ableton.live";

// One running application, as the companion reports it; absent facts stay empty (null in JavaScript).
struct RunningApplication {
    ProcessId processId = 0;
    std::optional<std::string> displayName;
    std::optional<std::string> applicationPath;
    std::optional<std::string> bundleId;

    bool operator==(const RunningApplication&) const = default;
};

enum class Key { S };

// Modifier flags in the platform-neutral sense; each backend maps them to its own modifier
// (Command is Control on X11).
enum class Modifier : std::uint32_t { Command = 1u << 0 };

struct KeyEvent {
    Key key = Key::S;
    bool down = true;
    Modifier flags{};

    bool operator==(const KeyEvent&) const = default;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Whether this process may post keyboard events to other applications. Never prompts.
    virtual bool isTrusted() = 0;
    // Like isTrusted, but lets the system ask the user when it can; the answer is the state now.
    virtual bool requestTrust() = 0;
    // Running applications with the given bundle identifier, in the order the system gives them.
    virtual std::vector<RunningApplication> runningApplications(std::string_view bundleId) = 0;
    // Delivers the events, in order, to the process. False when nothing could be delivered (no
    // display or event system, no window of the process to take keys, a key the system cannot
    // type); true once they were handed to the process, whether or not it acts on them.
    virtual bool postKeyEvents(ProcessId processId, std::span<const KeyEvent> events) = 0;
};

// The backend chosen at build time.
std::unique_ptr<Platform> makePlatform();

} // namespace pylon::accelerator
