// The terminal key decoder over any bytes a terminal (or a line noise) can
// send. Expectations: at the end of input every byte is used; what is left
// waiting for more is a short sequence start; decoding the bytes in two
// pieces (the first without `final`) gives the same events as in one; every
// mouse press lies on the screen.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/console/key_decoder.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using console::Event;
using console::detail::DecodeEvents;

bool Same(const Event& a, const Event& b) {
  return a.kind == b.kind && a.ch == b.ch && a.scan == b.scan && a.modifiers == b.modifiers &&
         a.keyDown == b.keyDown && a.row == b.row && a.column == b.column && a.buttons == b.buttons;
}

bool SameEvents(const std::vector<Event>& a, const std::vector<Event>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!Same(a[i], b[i])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte says where the input is cut in two.
  const std::size_t cut = data[0] % size;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::vector<Event> whole;
  fuzz::Check(DecodeEvents(bytes, true, whole) == bytes.size(), "final decoding leaves bytes");
  for (const Event& e : whole) {
    if (e.kind == Event::Mouse)
      fuzz::Check(e.row >= 1 && e.row <= console::kRows && e.column >= 1 && e.column <= console::kColumns &&
                      (e.buttons == 1 || e.buttons == 2 || e.buttons == 4),
                  "mouse press off the screen");
    else
      fuzz::Check(e.kind == Event::Key, "event of no kind");
  }

  std::vector<Event> pieces;
  const std::string_view first = bytes.substr(0, cut);
  const std::size_t used = DecodeEvents(first, false, pieces);
  fuzz::Check(used <= first.size(), "more bytes used than given");
  fuzz::Check(first.size() - used <= 64, "an endless sequence start is kept waiting");
  std::string rest(first.substr(used));
  rest.append(bytes.substr(cut));
  fuzz::Check(DecodeEvents(rest, true, pieces) == rest.size(), "final decoding of the rest leaves bytes");
  fuzz::Check(SameEvents(whole, pieces), "bytes in two pieces decode differently from bytes in one");
  return 0;
}
