// Checks of numeric text typed into fields. Each returns true when the text
// is invalid.
#include <cmath>
#include <cstdlib>
#include <string>

#include "format/numbers.h"

namespace format {

namespace {

// The numeric value of well-formed numeric text (blanks ignored).
double NumericValue(const std::string& text) {
  std::string clean;
  for (char c : text)
    if (c != ' ') clean += c;
  if (clean.empty()) return 0;
  return std::strtod(clean.c_str(), nullptr);
}

}  // namespace

bool CheckNumericText(const std::string& text, const std::string& allowed) {
  const bool pointAllowed = allowed.find('.') != std::string::npos;
  const bool signAllowed = allowed.find_first_of("-+") != std::string::npos;
  bool pointSeen = false, signSeen = false, digitOrPointSeen = false;
  for (char c : text) {
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      digitOrPointSeen = true;
    } else if (c == '.') {
      if (!pointAllowed || pointSeen) return true;
      pointSeen = true;
      digitOrPointSeen = true;
    } else if (c == '-' || c == '+') {
      if (!signAllowed || signSeen || digitOrPointSeen) return true;
      signSeen = true;
    } else {
      return true;
    }
  }
  return false;
}

bool CheckNumber(const std::string& text, double minimum, double maximum, int decimals) {
  if (std::isnan(minimum) || std::isnan(maximum)) return true;
  if (maximum < minimum || decimals < 0 || decimals > 16) return true;
  std::string allowed;
  if (decimals > 0) allowed += '.';
  if (minimum < 0) allowed += '-';
  if (CheckNumericText(text, allowed)) return true;
  const double scale = std::pow(10.0, decimals);
  const double v = std::floor(NumericValue(text) * scale + 0.5);
  return v < std::floor(minimum * scale) || v > std::floor(maximum * scale + 0.5);
}

bool CheckDottedNumbers(const std::string& text) {
  if (text.find_first_not_of(' ') == std::string::npos) return false;
  std::size_t dots = 0;
  for (char c : text)
    if (c == '.') ++dots;
  if (dots > text.size() / 7) return true;
  std::size_t start = 0;
  bool first = true;
  while (true) {
    const std::size_t dot = text.find('.', start);
    const std::string group =
        text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    double maximum = 9999;
    if (first && (text.size() - 1) % 5 == 0) maximum = 999999;
    if (CheckNumber(group, 1, maximum, 0)) return true;
    if (dot == std::string::npos) break;
    start = dot + 1;
    first = false;
  }
  return false;
}

}  // namespace format
