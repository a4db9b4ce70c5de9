#include "KeyStrokes.h"

#include <X11/X.h>
#include <X11/keysym.h>
#include <array>

namespace pylon::accelerator::linux_backend {

namespace {

struct ModifierKey {
    Modifier flag;
    KeySymbol symbol;
    unsigned int mask;
};

// Control stands in for the Mac's Command key.
constexpr std::array<ModifierKey, 1> kModifierKeys{{{Modifier::Command, XK_Control_L, ControlMask}}};

KeySymbol symbolOf(Key key) {
    switch (key) {
    case Key::S:
        return XK_s;
    }
    return NoSymbol;
}

bool has(Modifier flags, Modifier flag) {
    return (static_cast<std::uint32_t>(flags) & static_cast<std::uint32_t>(flag)) != 0;
}

} // namespace

std::vector<KeyStroke> keyStrokes(std::span<const KeyEvent> events) {
    std::vector<KeyStroke> strokes;
    unsigned int held = 0;
    const auto releaseUnless = [&](Modifier keep) {
        for (const ModifierKey& modifier : kModifierKeys) {
            if ((held & modifier.mask) && !has(keep, modifier.flag)) {
                strokes.push_back({modifier.symbol, false, held});
                held &= ~modifier.mask;
            }
        }
    };
    for (const KeyEvent& event : events) {
        releaseUnless(event.flags);
        for (const ModifierKey& modifier : kModifierKeys) {
            if (has(event.flags, modifier.flag) && !(held & modifier.mask)) {
                strokes.push_back({modifier.symbol, true, held});
                held |= modifier.mask;
            }
        }
        strokes.push_back({symbolOf(event.key), event.down, held});
    }
    releaseUnless(Modifier{});
    return strokes;
}

} // namespace pylon::accelerator::linux_backend
