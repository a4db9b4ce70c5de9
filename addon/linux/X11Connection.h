#pragma once

// The module's one connection to the X display named by DISPLAY. It is opened on first use and
// kept, because the companion asks several times a second and opening a connection costs the
// server a client set-up and tear-down each time. A connection the server closed (the server
// restarted, the session ended) is noticed before each use and opened again.
//
// Xlib ends the process when a connection breaks inside a call unless the display has an exit
// handler of its own (XSetIOErrorExitHandler, libX11 1.7 and later); this one marks the
// connection broken instead, and it is closed and opened again on the next use.

// Xlib's own name for its Display, declared here so that Xlib's macros stay out of this header.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
struct _XDisplay;

namespace pylon::accelerator::linux_backend {

class X11Connection {
    // Xlib's error handlers are process-wide: these are the module's only while it is in a call.
    // X errors (a window closing while it is read or sent to) are then ignored instead of ending
    // the process, and a lost server prints nothing.
    class Handlers {
    public:
        Handlers();
        ~Handlers();
        Handlers(const Handlers&) = delete;
        Handlers& operator=(const Handlers&) = delete;

    private:
        // Xlib's handler types cannot be named without its header; any function pointer type
        // holds them unchanged.
        using AnyFunction = void (*)();
        AnyFunction m_previousErrorHandler;
        AnyFunction m_previousIOErrorHandler;
    };

public:
    X11Connection() = default;
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // One call's use of the connection: it is checked (and opened or opened again) when the use
    // begins; when it ends, requests still unanswered are waited for.
    class Use {
    public:
        explicit Use(X11Connection& connection);
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

        // The open display, or nullptr when none can be opened.
        _XDisplay* display() const { return m_connection.m_display; }
        bool hasXTest() const { return m_connection.m_hasXTest; }

    private:
        Handlers m_handlers; // first in, last out
        X11Connection& m_connection;
    };

    // How many times a display was opened: lets tests see that the connection is kept.
    int openCount() const { return m_openCount; }

private:
    void prepare();
    void open();
    void close();

    _XDisplay* m_display = nullptr;
    bool m_hasXTest = false;
    bool m_broken = false;
    int m_openCount = 0;
};

} // namespace pylon::accelerator::linux_backend
