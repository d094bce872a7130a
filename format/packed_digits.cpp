// Packed digits: two decimal digits per byte, byte = 0x80 + value 0..99.
#include <string>
#include <vector>

#include "format/dates.h"

namespace format {

namespace {

int DigitValue(char c) { return (c >= '0' && c <= '9') ? c - '0' : 0; }

}  // namespace

std::string PackDigits(const std::string& digits) {
  const std::size_t n = digits.size();
  // Trim blanks at both ends, right-align in n characters filled with "0".
  std::size_t first = digits.find_first_not_of(' ');
  std::string text;
  if (first != std::string::npos) {
    std::size_t last = digits.find_last_not_of(' ');
    text = digits.substr(first, last - first + 1);
  }
  text = std::string(n - text.size(), '0') + text;
  std::string packed;
  packed.reserve((n + 1) / 2);
  for (std::size_t i = 0; i < n; i += 2) {
    int high = DigitValue(text[i]);  // blanks and other bytes count as 0
    int low = i + 1 < n ? DigitValue(text[i + 1]) : 0;
    packed += static_cast<char>(0x80 | (10 * high + low));
  }
  return packed;
}

std::string UnpackDigits(const std::string& packed) {
  std::string digits;
  digits.reserve(packed.size() * 2);
  for (char c : packed) {
    int value = (static_cast<unsigned char>(c) & 0x7F) % 100;
    digits += static_cast<char>('0' + value / 10);
    digits += static_cast<char>('0' + value % 10);
  }
  return digits;
}

std::string CodeText(const std::string& packedCode) {
  const std::string digits = UnpackDigits(packedCode);
  if (digits.find_first_not_of('0') == std::string::npos) return "";
  // A one-byte code is not grouped and keeps its leading zero.
  if (digits.size() <= 2) return digits;
  // Groups of 4 from the right; a rest of fewer than 4 digits joins the
  // first group.
  std::vector<std::string> parts;
  std::size_t end = digits.size();
  while (end >= 8) {
    parts.insert(parts.begin(), digits.substr(end - 4, 4));
    end -= 4;
  }
  parts.insert(parts.begin(), digits.substr(0, end));
  // Drop zero groups at the right end.
  while (parts.size() > 1 && parts.back().find_first_not_of('0') == std::string::npos)
    parts.pop_back();
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& g = parts[i];
    std::size_t nz = g.find_first_not_of('0');
    if (i > 0) text += '.';
    text += nz == std::string::npos ? std::string("0") : g.substr(nz);
  }
  return text;
}

}  // namespace format
