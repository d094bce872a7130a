// The key map: the keys that end the editing of a field and the code each is
// reported as, two strings of 2-byte little-endian codes, with a stack of
// saved maps; and the echo character of masked fields.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "screen/keys.h"

namespace screen {
namespace {

std::string g_in;   // accepted keys
std::string g_out;  // what each is reported as
std::vector<std::pair<std::string, std::string>> g_saved;
int g_echo = 0;

// A hexadecimal item ("4d00", " 1b") as a 16-bit signed code; stops at the
// first character that is not a hex digit.
int ParseHex(const std::string& text) {
  std::uint32_t v = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      break;
    v = ((v << 4) | static_cast<std::uint32_t>(d)) & 0xFFFFF;
  }
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

std::string Entry(int code) {
  const auto v = static_cast<std::uint16_t>(code & 0xFFFF);
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

int EntryAt(const std::string& map, std::size_t pos) {
  const auto lo = static_cast<unsigned char>(map[pos]);
  const auto hi = static_cast<unsigned char>(map[pos + 1]);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | (hi << 8)));
}

// Byte position of the entry holding code in the accepted keys, or npos.
std::size_t FindEntry(int code) {
  const int wanted = static_cast<std::int16_t>(static_cast<std::uint16_t>(code & 0xFFFF));
  for (std::size_t pos = 0; pos + 1 < g_in.size(); pos += 2)
    if (EntryAt(g_in, pos) == wanted) return pos;
  return std::string::npos;
}

std::vector<std::string> SplitItems(const std::string& list) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(',', start);
    items.push_back(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

}  // namespace

void SetKeys(const std::string& command, const std::string& list) {
  for (char raw : command) {
    const char letter = (raw >= 'a' && raw <= 'z') ? static_cast<char>(raw - 'a' + 'A') : raw;
    switch (letter) {
      case 'D':
        for (const std::string& item : SplitItems(list)) {
          const std::size_t pos = FindEntry(ParseHex(item));
          if (pos != std::string::npos) {
            g_in.erase(pos, 2);
            if (pos + 1 < g_out.size()) g_out.erase(pos, 2);
          }
        }
        break;
      case 'A':
        for (const std::string& item : SplitItems(list)) {
          // An empty item (an empty list) adds nothing: a code 0 entry would
          // make the accepted list refuse every key.
          if (item.find_first_not_of(' ') == std::string::npos) continue;
          const std::size_t eq = item.find('=');
          const int code = ParseHex(item.substr(0, eq));
          const int result = eq == std::string::npos ? code : ParseHex(item.substr(eq + 1));
          g_in += Entry(code);
          g_out += Entry(result);
        }
        break;
      case 'E':
        g_in.clear();
        g_out.clear();
        break;
      case '+':
        g_saved.emplace_back(g_in, g_out);
        break;
      case '-':
        if (!g_saved.empty()) {
          g_in = std::move(g_saved.back().first);
          g_out = std::move(g_saved.back().second);
          g_saved.pop_back();
        }
        break;
      case 'H':
        g_echo = 88;
        break;
      case 'V':
        g_echo = 0;
        break;
      default:
        break;
    }
  }
}

int EchoChar() { return g_echo; }

bool KeyMapEmpty() { return g_in.empty(); }

bool KeyMapFind(int key, int& reportedAs) {
  const std::size_t pos = FindEntry(key);
  if (pos == std::string::npos) return false;
  reportedAs = pos + 1 < g_out.size() ? EntryAt(g_out, pos) : key;
  return true;
}

int KeyMapSavedCount() { return static_cast<int>(g_saved.size()); }

void ResetKeyMapForTests() {
  g_in.clear();
  g_out.clear();
  g_saved.clear();
  g_echo = 0;
}

}  // namespace screen
