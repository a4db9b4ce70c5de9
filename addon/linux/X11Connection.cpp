#include "X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>

namespace pylon::accelerator::linux_backend {

namespace {

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

// Control stands in for the Mac's Command key.
unsigned int modifierState(Modifier flags) {
    return flags == Modifier::Command ? ControlMask : 0;
}

KeySym keySym(Key key) {
    switch (key) {
    case Key::S:
        return XK_s;
    }
    return NoSymbol;
}

// The 32-bit items of a window property of the given type; empty when it is absent or differs.
std::vector<unsigned long> cardinalProperty(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 1L << 16, False, type, &actualType,
                                          &actualFormat, &count, &remaining, &data);
    std::vector<unsigned long> items;
    if (status == Success && data && actualType == type && actualFormat == 32) {
        // Xlib hands out format-32 items as longs, whatever the size of long.
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        items.assign(values, values + count);
    }
    if (data)
        XFree(data);
    return items;
}

std::vector<Window> topLevelWindows(Display* display, Window root) {
    std::vector<Window> windows;
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) && children)
        windows.assign(children, children + count);
    if (children)
        XFree(children);
    // A reparenting window manager puts clients inside frames; its client list names them.
    const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", True);
    if (clientList != None) {
        for (const unsigned long client : cardinalProperty(display, root, clientList, XA_WINDOW))
            windows.push_back(client);
    }
    return windows;
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    const auto previous = reinterpret_cast<AnyFunction>(XSetErrorHandler(ignoreError));
    return std::unique_ptr<X11Connection>(new X11Connection(display, previous));
}

X11Connection::X11Connection(_XDisplay* display, AnyFunction previousErrorHandler)
    : m_display(display)
    , m_previousErrorHandler(previousErrorHandler) {}

X11Connection::~X11Connection() {
    XSync(m_display, False);
    XCloseDisplay(m_display);
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(m_previousErrorHandler));
}

bool X11Connection::hasXTest() const {
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    return XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor);
}

std::vector<XWindow> X11Connection::topLevelWindowsOf(ProcessId processId) const {
    std::vector<XWindow> matching;
    // Only an existing atom can be set on a window; without it no window names a process.
    const Atom pidAtom = XInternAtom(m_display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return matching;
    for (int screen = 0; screen < ScreenCount(m_display); ++screen) {
        for (const Window window : topLevelWindows(m_display, RootWindow(m_display, screen))) {
            const auto pid = cardinalProperty(m_display, window, pidAtom, XA_CARDINAL);
            if (pid.size() == 1 && pid.front() == static_cast<unsigned long>(processId))
                matching.push_back(window);
        }
    }
    std::ranges::sort(matching);
    const auto duplicates = std::ranges::unique(matching);
    matching.erase(duplicates.begin(), duplicates.end());
    return matching;
}

bool X11Connection::sendKeyEvents(XWindow window, std::span<const KeyEvent> events) const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
        return true; // the window has gone: nothing to deliver to
    if (children)
        XFree(children);

    for (const KeyEvent& event : events) {
        if (XKeysymToKeycode(m_display, keySym(event.key)) == 0)
            return false;
    }
    for (const KeyEvent& event : events) {
        XEvent xevent{};
        XKeyEvent& key = xevent.xkey;
        key.type = event.down ? KeyPress : KeyRelease;
        key.display = m_display;
        key.window = window;
        key.root = root;
        key.subwindow = None;
        key.time = CurrentTime;
        key.x = key.y = key.x_root = key.y_root = 1;
        key.state = modifierState(event.flags);
        key.keycode = XKeysymToKeycode(m_display, keySym(event.key));
        key.same_screen = True;
        // Delivered only to the clients listening on this window, never propagated to a frame.
        XSendEvent(m_display, window, False, event.down ? KeyPressMask : KeyReleaseMask, &xevent);
    }
    return true;
}

} // namespace pylon::accelerator::linux_backend
