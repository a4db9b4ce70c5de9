/* Test X client: a top-level window whose _NET_WM_PID is argv[1] (default: own pid). Prints
 * "ready" once it exists. Each line on stdin is a command, done before a round trip to the server:
 *   (empty)  nothing
 *   focus    takes the keyboard focus
 *   point    raises the window, moves the pointer into it and lets the focus follow the pointer
 * after which it prints the key events received so far as
 * "KeyPress|KeyRelease <keysym> <state> <send_event>", then "end". */

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* A command on a window the server cannot focus yet (not mapped by a window manager) must not end
 * the client as Xlib's default handler would. */
static int reportError(Display* display, XErrorEvent* error) {
    (void)display;
    fprintf(stderr, "test window: X error %d on request %d\n", error->error_code, error->request_code);
    return 0;
}

static void command(Display* display, Window window, const char* line) {
    if (strcmp(line, "focus\n") == 0) {
        XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    } else if (strcmp(line, "point\n") == 0) {
        XRaiseWindow(display, window);
        XWarpPointer(display, None, window, 0, 0, 0, 0, 16, 16);
        XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
    }
}

static void report(Display* display) {
    XSync(display, False);
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease)
            continue;
        const char* name = XKeysymToString(XLookupKeysym(&event.xkey, 0));
        printf("%s %s %u %d\n", event.type == KeyPress ? "KeyPress" : "KeyRelease", name ? name : "?", event.xkey.state,
               event.xkey.send_event ? 1 : 0);
    }
    printf("end\n");
    fflush(stdout);
}

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(NULL);
    if (!display)
        return 2;
    XSetErrorHandler(reportError);
    const long pid = argc > 1 ? atol(argv[1]) : (long)getpid();
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 32, 32, 0, 0, 0);
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    (const unsigned char*)&pid, 1);
    XMapWindow(display, window);
    XSync(display, False);
    printf("ready\n");
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        command(display, window, line);
        report(display);
    }
    XCloseDisplay(display);
    return 0;
}
