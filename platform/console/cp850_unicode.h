// CP850 bytes and Unicode code points, as a console shows the bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace console::detail {

// The glyph a console shows for a CP850 byte: the classic symbols for the
// control range 1-31 and 127, blank for 0, the euro sign for 0xD5 (the
// program writes its euro sign there), the CP850 letters and box drawing
// characters above 127.
char32_t Cp850ToUnicode(unsigned char byte);
// The CP850 byte for a typed character, or -1 when CP850 has none. Control
// glyphs are not mapped back (they are never typed).
int UnicodeToCp850(char32_t code);

// The UTF-8 character at the start of `bytes` (its first byte 0x80 or
// above): Whole with its code point and length; Incomplete when `bytes` ends
// inside it; Invalid for a byte that cannot start it or continue it, or an
// overlong form. `length` is then the bytes to pass over (at least 1).
enum class Utf8Char { Whole, Incomplete, Invalid };
Utf8Char DecodeUtf8Char(std::string_view bytes, char32_t& code, std::size_t& length);

}  // namespace console::detail
