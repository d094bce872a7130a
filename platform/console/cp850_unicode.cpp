// CP850 and Unicode: the one table of the system, for the terminal back end
// and for every text that enters or leaves the program (kap, the print
// program, messages on standard error).
#include "platform/console/cp850_unicode.h"

#include <array>
#include <string>

#include "platform/console/console.h"

namespace console::detail {
namespace {

// 0x00-0x1F as a console shows them, then 0x7F.
constexpr char32_t kLow[32] = {
    U' ',      U'\u263A', U'\u263B', U'\u2665', U'\u2666', U'\u2663', U'\u2660', U'\u2022',
    U'\u25D8', U'\u25CB', U'\u25D9', U'\u2642', U'\u2640', U'\u266A', U'\u266B', U'\u263C',
    U'\u25BA', U'\u25C4', U'\u2195', U'\u203C', U'\u00B6', U'\u00A7', U'\u25AC', U'\u21A8',
    U'\u2191', U'\u2193', U'\u2192', U'\u2190', U'\u221F', U'\u2194', U'\u25B2', U'\u25BC'};

constexpr char32_t kHigh[128] = {
    // 0x80
    U'\u00C7', U'\u00FC', U'\u00E9', U'\u00E2', U'\u00E4', U'\u00E0', U'\u00E5', U'\u00E7',
    U'\u00EA', U'\u00EB', U'\u00E8', U'\u00EF', U'\u00EE', U'\u00EC', U'\u00C4', U'\u00C5',
    // 0x90
    U'\u00C9', U'\u00E6', U'\u00C6', U'\u00F4', U'\u00F6', U'\u00F2', U'\u00FB', U'\u00F9',
    U'\u00FF', U'\u00D6', U'\u00DC', U'\u00F8', U'\u00A3', U'\u00D8', U'\u00D7', U'\u0192',
    // 0xA0
    U'\u00E1', U'\u00ED', U'\u00F3', U'\u00FA', U'\u00F1', U'\u00D1', U'\u00AA', U'\u00BA',
    U'\u00BF', U'\u00AE', U'\u00AC', U'\u00BD', U'\u00BC', U'\u00A1', U'\u00AB', U'\u00BB',
    // 0xB0
    U'\u2591', U'\u2592', U'\u2593', U'\u2502', U'\u2524', U'\u00C1', U'\u00C2', U'\u00C0',
    U'\u00A9', U'\u2563', U'\u2551', U'\u2557', U'\u255D', U'\u00A2', U'\u00A5', U'\u2510',
    // 0xC0
    U'\u2514', U'\u2534', U'\u252C', U'\u251C', U'\u2500', U'\u253C', U'\u00E3', U'\u00C3',
    U'\u255A', U'\u2554', U'\u2569', U'\u2566', U'\u2560', U'\u2550', U'\u256C', U'\u00A4',
    // 0xD0 (0xD5 is the dotless i in CP850; the program keeps its euro sign there)
    U'\u00F0', U'\u00D0', U'\u00CA', U'\u00CB', U'\u00C8', U'\u20AC', U'\u00CD', U'\u00CE',
    U'\u00CF', U'\u2518', U'\u250C', U'\u2588', U'\u2584', U'\u00A6', U'\u00CC', U'\u2580',
    // 0xE0
    U'\u00D3', U'\u00DF', U'\u00D4', U'\u00D2', U'\u00F5', U'\u00D5', U'\u00B5', U'\u00FE',
    U'\u00DE', U'\u00DA', U'\u00DB', U'\u00D9', U'\u00FD', U'\u00DD', U'\u00AF', U'\u00B4',
    // 0xF0
    U'\u00AD', U'\u00B1', U'\u2017', U'\u00BE', U'\u00B6', U'\u00A7', U'\u00F7', U'\u00B8',
    U'\u00B0', U'\u00A8', U'\u00B7', U'\u00B9', U'\u00B3', U'\u00B2', U'\u25A0', U'\u00A0'};

}  // namespace

char32_t Cp850ToUnicode(unsigned char byte) {
  if (byte < 0x20) return kLow[byte];
  if (byte == 0x7F) return U'\u2302';
  if (byte < 0x80) return byte;
  return kHigh[byte - 0x80];
}

int UnicodeToCp850(char32_t code) {
  if (code >= 0x20 && code < 0x7F) return static_cast<int>(code);
  if (code < 0x80) return -1;
  for (int i = 0; i < 128; ++i)
    if (kHigh[i] == code) return 0x80 + i;
  return -1;
}

Utf8Char DecodeUtf8Char(std::string_view bytes, char32_t& code, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  std::size_t len = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) len = 2, code = lead & 0x1F, least = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) len = 3, code = lead & 0x0F, least = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) len = 4, code = lead & 0x07, least = 0x10000;
  length = 1;
  if (len == 0) return Utf8Char::Invalid;
  for (; length < len; ++length) {
    if (length >= bytes.size()) return Utf8Char::Incomplete;
    const auto next = static_cast<unsigned char>(bytes[length]);
    if ((next & 0xC0) != 0x80) return Utf8Char::Invalid;
    code = (code << 6) | (next & 0x3F);
  }
  return code < least || code > 0x10FFFF ? Utf8Char::Invalid : Utf8Char::Whole;
}

}  // namespace console::detail

namespace console {

std::string Cp850ToUtf8(const std::string& cp850) {
  std::string out;
  out.reserve(cp850.size());
  for (char ch : cp850) {
    const unsigned char byte = static_cast<unsigned char>(ch);
    // Below 128 the bytes are ASCII as they are: control characters (line
    // ends, tabs) keep their meaning in text that leaves the program.
    const char32_t c = byte < 0x80 ? byte : detail::kHigh[byte - 0x80];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool Utf8ToCp850(const std::string& utf8, std::string& cp850) {
  cp850.clear();
  bool whole = true;
  for (std::size_t i = 0; i < utf8.size();) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      cp850 += utf8[i++];
      continue;
    }
    char32_t code = 0;
    std::size_t length = 1;
    const bool valid =
        detail::DecodeUtf8Char(std::string_view(utf8).substr(i), code, length) == detail::Utf8Char::Whole;
    const int byte = valid ? detail::UnicodeToCp850(code) : -1;
    if (byte < 0) whole = false;
    cp850 += byte < 0 ? '?' : static_cast<char>(byte);
    i += length;
  }
  return whole;
}

}  // namespace console
