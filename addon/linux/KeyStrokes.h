#pragma once

// The save shortcut as an X11 keyboard types it. Programs under Wine (Live among them) keep their
// own table of held keys, fed by key events: a letter whose state field merely says Control is
// taken as the bare letter. So each modifier is pressed as a key of its own before the letters
// that need it and released after them, as a person's hands would.

#include "../src/Platform.h"

#include <span>
#include <vector>

namespace pylon::accelerator::linux_backend {

using KeySymbol = unsigned long; // an X KeySym

struct KeyStroke {
    KeySymbol symbol = 0;
    bool down = true;
    // The modifier state X reports with the event: the modifiers held just before it.
    unsigned int state = 0;

    bool operator==(const KeyStroke&) const = default;
};

// The strokes that type the events: Control_L stands in for Command. Modifiers still held after the
// last event are released, so the keyboard is left as it was found.
std::vector<KeyStroke> keyStrokes(std::span<const KeyEvent> events);

} // namespace pylon::accelerator::linux_backend
