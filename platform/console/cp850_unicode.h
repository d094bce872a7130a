// CP850 bytes and Unicode code points, as a console shows the bytes.
#pragma once

namespace console::detail {

// The glyph a console shows for a CP850 byte: the classic symbols for the
// control range 1-31 and 127, blank for 0, the euro sign for 0xD5 (the
// program writes its euro sign there), the CP850 letters and box drawing
// characters above 127.
char32_t Cp850ToUnicode(unsigned char byte);
// The CP850 byte for a typed character, or -1 when CP850 has none. Control
// glyphs are not mapped back (they are never typed).
int UnicodeToCp850(char32_t code);

}  // namespace console::detail
