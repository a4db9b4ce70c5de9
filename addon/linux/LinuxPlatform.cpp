// The Linux backend: trust is an X display with the XTEST extension, Live processes come from
// /proc (see ProcessTable.h), and the shortcut is typed into the process's focused window (see
// X11Keyboard.h). Both keep what they learnt for the platform's life.

#include "../src/Platform.h"
#include "KeyStrokes.h"
#include "ProcessTable.h"
#include "X11Connection.h"
#include "X11Keyboard.h"

namespace pylon::accelerator {

namespace {

class LinuxPlatform final : public Platform {
public:
    // Asked with every status request: answered from the kept connection without a request to
    // the server.
    bool isTrusted() override {
        const linux_backend::X11Connection::Use x11(m_x11);
        return x11.display() && x11.hasXTest();
    }

    // X11 has no permission prompt: asking changes nothing.
    bool requestTrust() override { return isTrusted(); }

    std::vector<RunningApplication> runningApplications(std::string_view bundleId) override {
        if (bundleId != kLiveBundleId)
            return {};
        return m_processes.runningLiveProcesses();
    }

    bool postKeyEvents(ProcessId processId, std::span<const KeyEvent> events) override {
        const linux_backend::X11Connection::Use x11(m_x11);
        if (!x11.display())
            return false;
        const auto delivery =
            x11.hasXTest() ? linux_backend::KeyDelivery::XTest : linux_backend::KeyDelivery::SyntheticEvents;
        return linux_backend::typeIntoFocusedWindowOf(x11.display(), delivery, processId,
                                                      linux_backend::keyStrokes(events));
    }

private:
    linux_backend::ProcessTable m_processes;
    linux_backend::X11Connection m_x11;
};

} // namespace

std::unique_ptr<Platform> makePlatform() {
    return std::make_unique<LinuxPlatform>();
}

} // namespace pylon::accelerator
