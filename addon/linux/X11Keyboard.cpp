#include "X11Keyboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <optional>
#include <vector>

namespace pylon::accelerator::linux_backend {

namespace {

// Windows nest a few levels deep (a toolkit's child window inside the client, inside the window
// manager's frame); the walk up is bounded all the same.
constexpr int kMaximumDepth = 64;

std::optional<unsigned long> processIdOf(Display* display, Window window, Atom pidAtom) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                                          &remaining, &data);
    std::optional<unsigned long> pid;
    // Xlib hands out format-32 items as longs, whatever the size of long.
    if (status == Success && data && type == XA_CARDINAL && format == 32 && count == 1)
        pid = *reinterpret_cast<const unsigned long*>(data);
    if (data)
        XFree(data);
    return pid;
}

Window parentOf(Display* display, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return None;
    if (children)
        XFree(children);
    return parent == root ? None : parent;
}

// The innermost window under the pointer: where keys go while the focus follows the pointer.
Window windowUnderPointer(Display* display) {
    Window current = DefaultRootWindow(display);
    for (int depth = 0; depth < kMaximumDepth; ++depth) {
        Window root = None;
        Window child = None;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        if (!XQueryPointer(display, current, &root, &child, &rootX, &rootY, &x, &y, &mask) || child == None)
            break;
        current = child;
    }
    return current == DefaultRootWindow(display) ? None : current;
}

Window focusedWindow(Display* display) {
    Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display, &focus, &revertTo);
    if (focus == PointerRoot)
        return windowUnderPointer(display);
    return focus;
}

bool belongsTo(Display* display, Window window, ProcessId processId) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
    if (pidAtom == None)
        return false; // no client has ever named its process
    for (int depth = 0; window != None && depth < kMaximumDepth; ++depth) {
        if (processIdOf(display, window, pidAtom) == static_cast<unsigned long>(processId))
            return true;
        window = parentOf(display, window);
    }
    return false;
}

std::optional<std::vector<KeyCode>> keyCodes(Display* display, std::span<const KeyStroke> strokes) {
    std::vector<KeyCode> codes;
    for (const KeyStroke& stroke : strokes) {
        const KeyCode code = XKeysymToKeycode(display, stroke.symbol);
        if (code == 0)
            return std::nullopt;
        codes.push_back(code);
    }
    return codes;
}

void typeWithXTest(Display* display, const std::vector<KeyCode>& codes, std::span<const KeyStroke> strokes) {
    for (std::size_t i = 0; i < strokes.size(); ++i)
        XTestFakeKeyEvent(display, codes[i], strokes[i].down ? True : False, CurrentTime);
}

void sendSyntheticEvents(Display* display, Window window, const std::vector<KeyCode>& codes,
                         std::span<const KeyStroke> strokes) {
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        XEvent event{};
        XKeyEvent& key = event.xkey;
        key.type = strokes[i].down ? KeyPress : KeyRelease;
        key.display = display;
        key.window = window;
        key.root = DefaultRootWindow(display);
        key.subwindow = None;
        key.time = CurrentTime;
        key.x = key.y = key.x_root = key.y_root = 1;
        key.state = strokes[i].state;
        key.keycode = codes[i];
        key.same_screen = True;
        XSendEvent(display, window, False, strokes[i].down ? KeyPressMask : KeyReleaseMask, &event);
    }
}

} // namespace

bool typeIntoFocusedWindowOf(Display* display, KeyDelivery delivery, ProcessId processId,
                             std::span<const KeyStroke> strokes) {
    const auto codes = keyCodes(display, strokes);
    if (!codes)
        return false;
    XGrabServer(display);
    const Window focus = focusedWindow(display);
    const bool focused = focus != None && belongsTo(display, focus, processId);
    if (focused && delivery == KeyDelivery::XTest)
        typeWithXTest(display, *codes, strokes);
    else if (focused)
        sendSyntheticEvents(display, focus, *codes, strokes);
    XUngrabServer(display);
    return focused;
}

} // namespace pylon::accelerator::linux_backend
