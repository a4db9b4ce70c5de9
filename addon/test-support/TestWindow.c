/* A test X client: one top-level window whose _NET_WM_PID names a process, reporting every key
 * event it receives.
 *
 * usage: accelerator-test-window [pid]     (the pid defaults to this process's own)
 *
 * Prints "ready <window>" once the window exists, then one line per key event:
 *   KeyPress|KeyRelease <keysym name> <state> <send_event>
 * Each line read on stdin is answered with "end" after a round trip to the server, so every event
 * the server delivered before the line arrived has been printed by then. End of input exits. */

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static void print_pending(Display* display) {
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease)
            continue;
        const KeySym sym = XLookupKeysym(&event.xkey, 0);
        const char* name = sym == NoSymbol ? "NoSymbol" : XKeysymToString(sym);
        printf("%s %s %u %d\n", event.type == KeyPress ? "KeyPress" : "KeyRelease", name ? name : "?", event.xkey.state,
               event.xkey.send_event ? 1 : 0);
    }
    fflush(stdout);
}

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "accelerator-test-window: cannot open display\n");
        return 2;
    }
    const long pid = argc > 1 ? atol(argv[1]) : (long)getpid();
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 32, 32, 0, 0, 0);
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    (const unsigned char*)&pid, 1);
    XMapWindow(display, window);
    XSync(display, False);
    printf("ready 0x%lx\n", (unsigned long)window);
    fflush(stdout);

    struct pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (;;) {
        print_pending(display);
        if (poll(fds, 2, -1) < 0)
            return 1;
        if (fds[1].revents) {
            char buffer[256];
            const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
            if (count <= 0)
                break;
            for (ssize_t i = 0; i < count; ++i) {
                if (buffer[i] != '\n')
                    continue;
                XSync(display, False);
                print_pending(display);
                printf("end\n");
                fflush(stdout);
            }
        }
    }
    XCloseDisplay(display);
    return 0;
}
