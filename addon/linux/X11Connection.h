#pragma once

// One connection to the X display named by DISPLAY, held for one call of the module. X errors
// (a window closing while keys are sent to it) are ignored while it is open instead of ending the
// process, which is what Xlib's default handler would do.

#include "../src/Platform.h"

#include <memory>
#include <span>
#include <vector>

struct _XDisplay;

namespace pylon::accelerator::linux_backend {

using XWindow = unsigned long;

class X11Connection {
public:
    // Nothing when no display can be opened.
    static std::unique_ptr<X11Connection> open();
    // Waits until the server has handled every request, so sent events are delivered before the
    // call returns, then closes the connection.
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool hasXTest() const;
    // Top-level windows (children of a root window, and the window manager's client list when there
    // is one) whose _NET_WM_PID is the process id.
    std::vector<XWindow> topLevelWindowsOf(ProcessId processId) const;
    // Sends the events in order to the window as synthetic key events. False when a key has no
    // keycode on this display, in which case nothing is sent.
    bool sendKeyEvents(XWindow window, std::span<const KeyEvent> events) const;

private:
    // Xlib's error-handler type cannot be named without its header; any function pointer type
    // holds it unchanged.
    using AnyFunction = void (*)();
    X11Connection(_XDisplay* display, AnyFunction previousErrorHandler);

    _XDisplay* m_display;
    AnyFunction m_previousErrorHandler;
};

} // namespace pylon::accelerator::linux_backend
