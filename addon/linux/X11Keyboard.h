#pragma once

// Typing key strokes into the window of a process that has the keyboard focus.
//
// Only the focused window is typed into. Wine hands keyboard input to the Windows program that is
// in the foreground, which is the one whose X window has the focus; key events sent to any other
// Wine window are dropped (seen with Debian's Wine 8), and most X toolkits likewise ignore keys
// outside the focused window. So a process whose window is not focused gets nothing, and the
// caller hears so, instead of a success that never reached the program.
//
// With XTEST the strokes are real input from the server's point of view: every client takes them
// and the server's own modifier state stays right. XTEST types into whatever has the focus, so the
// focus is checked and the strokes are typed while the server is grabbed: no other client can
// move the focus in between and receive the shortcut by mistake. Without XTEST the strokes are
// sent to the focused window as synthetic events (XSendEvent), which Wine also takes.

#include "KeyStrokes.h"

#include <span>

// Xlib's own name for its Display, declared here so that Xlib's macros stay out of this header.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
struct _XDisplay;

namespace pylon::accelerator::linux_backend {

enum class KeyDelivery { XTest, SyntheticEvents };

// Types the strokes into the focused window when that window is, or lies inside, a window whose
// _NET_WM_PID is the process (with focus following the pointer: the window under the pointer).
// False, with nothing typed, when the process's window does not have the focus or a symbol has no
// key on this display.
bool typeIntoFocusedWindowOf(_XDisplay* display, KeyDelivery delivery, ProcessId processId,
                             std::span<const KeyStroke> strokes);

} // namespace pylon::accelerator::linux_backend
