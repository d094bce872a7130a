// Turns the bytes a terminal sends (xterm and its descendants, tmux, screen,
// rxvt, the Linux console) into console events.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/console/console.h"

namespace console::detail {

enum class Decoded {
  Event,       // `event` holds a key or a mouse press
  Ignored,     // bytes consumed, nothing to report (releases, unknown sequences, characters CP850 lacks)
  Incomplete,  // the bytes may be the start of a longer sequence: wait for more
};

// Decodes the input unit at the start of `bytes` (not empty). `final` says
// that no more bytes are coming soon (the escape delay passed): a pending
// lone Esc is then the Esc key. `consumed` receives how many bytes were used.
//
// Keys come with their character in CP850 or, for extended keys, the base
// scan code of the key and the modifier bits (F5 with Ctrl is scan 0x3F with
// kLeftCtrl; the Shift/Ctrl/Alt variants are applied by the caller). F11 and
// F12 carry 0x85 and 0x86, the codes the key map uses. Alt plus a character
// key (Esc prefix) gives character 0 and the scan code of the key, e.g.
// Alt+X scan 0x2D with kLeftAlt.
Decoded DecodeInput(std::string_view bytes, bool final, std::size_t& consumed, Event& event);

}  // namespace console::detail
