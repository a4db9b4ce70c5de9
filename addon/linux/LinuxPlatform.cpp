// The Linux backend: trust is an X display with the XTEST extension, Live processes come from
// /proc, and keys are sent with XSendEvent to the process's top-level windows.

#include "../src/Platform.h"
#include "ProcessTable.h"
#include "X11Connection.h"

namespace pylon::accelerator {

namespace {

class LinuxPlatform final : public Platform {
public:
    bool isTrusted() override {
        const auto connection = linux_backend::X11Connection::open();
        return connection && connection->hasXTest();
    }

    // X11 has no permission prompt: asking changes nothing.
    bool requestTrust() override { return isTrusted(); }

    std::vector<RunningApplication> runningApplications(std::string_view bundleId) override {
        if (bundleId != kLiveBundleId)
            return {};
        return linux_backend::runningLiveProcesses();
    }

    bool postKeyEvents(ProcessId processId, std::span<const KeyEvent> events) override {
        const auto connection = linux_backend::X11Connection::open();
        if (!connection)
            return false;
        bool sent = true;
        for (const auto window : connection->topLevelWindowsOf(processId))
            sent = connection->sendKeyEvents(window, events) && sent;
        return sent;
    }
};

} // namespace

std::unique_ptr<Platform> makePlatform() {
    return std::make_unique<LinuxPlatform>();
}

} // namespace pylon::accelerator
