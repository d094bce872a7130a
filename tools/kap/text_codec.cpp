// UTF-8 and CP850 by the console's table: kap stores and shows every
// character as the program shows and prints it (0xD5 the euro sign).
#include <cstdio>

#include "platform/console/console.h"
#include "tools/kap/kap.h"

namespace kap {

bool Utf8ToCp850(const std::string& utf8, std::string& cp850) {
  const bool whole = console::Utf8ToCp850(utf8, cp850);
  if (!whole) cp850.clear();
  return whole;
}

std::string Cp850ToUtf8(const std::string& cp850) { return console::Cp850ToUtf8(cp850); }

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 32 || c == 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", c);
      out += hex;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace kap
