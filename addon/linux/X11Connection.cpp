#include "X11Connection.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace pylon::accelerator::linux_backend {

namespace {

int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

// Xlib's default prints a message about the lost server; the exit handler below does the rest.
int ignoreIOError(Display*) {
    return 0;
}

void markBroken(Display*, void* broken) {
    *static_cast<bool*>(broken) = true;
}

// Whether the server has closed the connection: its socket then reads end-of-file. Anything else
// waiting there (events every client gets, such as MappingNotify) leaves the connection usable.
bool closedByServer(int fd) {
    pollfd descriptor{fd, POLLIN, 0};
    if (poll(&descriptor, 1, 0) <= 0)
        return false;
    if (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL))
        return true;
    char byte = 0;
    const ssize_t count = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

// The module selects no events, but the server sends some to every client; a changed keyboard
// mapping must reach Xlib's keycode tables.
void drainEvents(Display* display) {
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify)
            XRefreshKeyboardMapping(&event.xmapping);
    }
}

} // namespace

X11Connection::~X11Connection() {
    const Handlers handlers; // closing may meet a dead server
    close();
}

void X11Connection::open() {
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return;
    ++m_openCount;
    m_broken = false;
    XSetIOErrorExitHandler(m_display, markBroken, &m_broken);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    m_hasXTest = XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor);
}

void X11Connection::close() {
    if (!m_display)
        return;
    XCloseDisplay(m_display);
    m_display = nullptr;
    m_hasXTest = false;
}

void X11Connection::prepare() {
    if (m_display && (m_broken || closedByServer(ConnectionNumber(m_display))))
        close();
    if (m_display) {
        drainEvents(m_display);
        if (m_broken)
            close();
    }
    if (!m_display)
        open();
}

X11Connection::Handlers::Handlers()
    : m_previousErrorHandler(reinterpret_cast<AnyFunction>(XSetErrorHandler(ignoreError)))
    , m_previousIOErrorHandler(reinterpret_cast<AnyFunction>(XSetIOErrorHandler(ignoreIOError))) {}

X11Connection::Handlers::~Handlers() {
    XSetIOErrorHandler(reinterpret_cast<XIOErrorHandler>(m_previousIOErrorHandler));
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(m_previousErrorHandler));
}

X11Connection::Use::Use(X11Connection& connection)
    : m_connection(connection) {
    m_connection.prepare();
}

X11Connection::Use::~Use() {
    // Requests not yet answered (sent key events) are waited for, so they are delivered before the
    // call returns and their errors meet this module's handler. A use that sent nothing costs the
    // server nothing.
    Display* display = m_connection.m_display;
    if (display && !m_connection.m_broken && NextRequest(display) - 1 != LastKnownRequestProcessed(display))
        XSync(display, False);
}

} // namespace pylon::accelerator::linux_backend
