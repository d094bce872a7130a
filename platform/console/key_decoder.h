// Turns the bytes a terminal sends (xterm and its descendants, tmux, screen,
// rxvt, the Linux console) into console events.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

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
// A run of three or more Esc bytes is decided at once: every byte of it is an
// Esc press except the last when more input follows (it starts what follows);
// when the input may go on and ends inside the run, its last three bytes wait
// for the rest, so the bytes decode alike however the terminal's reads split them.
// DecodeInput reports the run as one Esc event with `consumed` its presses;
// DecodeEvents gives one Esc key per press.
//
// Keys come with their character in CP850 or, for extended keys, the base
// scan code of the key and the modifier bits (F5 with Ctrl is scan 0x3F with
// kLeftCtrl; the Shift/Ctrl/Alt variants are applied by the caller). F11 and
// F12 carry 0x85 and 0x86, the codes the key map uses. Alt plus a character
// key (Esc prefix) gives character 0 and the scan code of the key, e.g.
// Alt+X scan 0x2D with kLeftAlt.
Decoded DecodeInput(std::string_view bytes, bool final, std::size_t& consumed, Event& event);

// Decodes as much of `bytes` as can be decided, appending the events (one Esc
// key per byte of an Esc run); returns the number of bytes used. What is left
// is the start of a sequence still incomplete (nothing when `final`).
std::size_t DecodeEvents(std::string_view bytes, bool final, std::vector<Event>& events);

}  // namespace console::detail
