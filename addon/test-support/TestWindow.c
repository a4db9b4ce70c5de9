/* Test X client: a top-level window whose _NET_WM_PID is argv[1] (default: own pid). Prints
 * "ready" once it exists; for each line on stdin, after a round trip to the server, prints the key
 * events received as "KeyPress|KeyRelease <keysym> <state> <send_event>" and then "end". */

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(NULL);
    if (!display)
        return 2;
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
        XSync(display, False);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != KeyPress && event.type != KeyRelease)
                continue;
            const char* name = XKeysymToString(XLookupKeysym(&event.xkey, 0));
            printf("%s %s %u %d\n", event.type == KeyPress ? "KeyPress" : "KeyRelease", name ? name : "?",
                   event.xkey.state, event.xkey.send_event ? 1 : 0);
        }
        printf("end\n");
        fflush(stdout);
    }
    XCloseDisplay(display);
    return 0;
}
