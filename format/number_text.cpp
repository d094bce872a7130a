// Fixed-width numeric text for files (FormatField), plain number text and
// zero-padded whole numbers, and the exact digit texts behind them.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "format/number_internal.h"
#include "format/numbers.h"

namespace format {

namespace numbers_detail {

namespace {

std::string WithoutLeadingZeros(const std::string& digits) {
  std::size_t nz = digits.find_first_not_of('0');
  return nz == std::string::npos ? std::string() : digits.substr(nz);
}

// printf into a string of the right size.
std::string FixedText(double value, int decimals) {
  int size = std::snprintf(nullptr, 0, "%.*f", decimals, value);
  if (size <= 0) return "";
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
  std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
  return std::string(buffer.data(), static_cast<std::size_t>(size));
}

}  // namespace

std::string ScaledDigits(double absValue, int decimals) {
  if (!(absValue > 0) || !std::isfinite(absValue)) return "";
  if (decimals < 0) decimals = 0;
  const double scaled = absValue * std::pow(10.0, decimals);
  if (std::isfinite(scaled)) {
    // nearbyint rounds half to even in the default rounding mode; the whole
    // double is then written exactly, however large (below 2^63 as the
    // integer it is, which is much quicker: every amount of a filing file
    // comes this way).
    const double rounded = std::nearbyint(scaled);
    if (rounded < 9.0e18) {
      char buffer[24];
      const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(rounded)).ptr;
      return WithoutLeadingZeros(std::string(buffer, end));
    }
    return WithoutLeadingZeros(FixedText(rounded, 0));
  }
  // Too large to scale as a double: round the exact decimal text instead.
  std::string text = FixedText(absValue, decimals);
  text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
  return WithoutLeadingZeros(text);
}

std::string SignificantDigits(double absValue, int& decimals) {
  decimals = 0;
  if (!(absValue > 0) || !std::isfinite(absValue)) return "";
  char buffer[1200];  // the longest fixed text of a double is about 1080 characters
  auto result = std::to_chars(buffer, buffer + sizeof buffer, absValue, std::chars_format::fixed);
  if (result.ec != std::errc()) return "";
  std::string text(buffer, result.ptr);
  std::size_t point = text.find('.');
  if (point != std::string::npos) {
    decimals = static_cast<int>(text.size() - point - 1);
    text.erase(point, 1);
  }
  return WithoutLeadingZeros(text);
}

}  // namespace numbers_detail

namespace {

constexpr int kMaxFieldDigits = 255;  // widths and decimals above this are cut to it

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string FormatField(double value, const std::string& format) {
  int width = 0, decimals = 0;
  bool hasWidth = false, hasPoint = false;
  bool optV = false, optZ = false, optS = false, optN = false, optM = false;
  for (char c : format) {
    if (c >= '0' && c <= '9') {
      int& target = hasPoint ? decimals : width;
      if (!hasPoint) hasWidth = true;
      target = std::min(target * 10 + (c - '0'), kMaxFieldDigits);
    } else if (c == '.') {
      hasPoint = true;
    } else {
      switch (Upper(c)) {
        case 'V': optV = true; break;
        case 'Z': optZ = true; break;
        case 'S': optS = true; break;
        case 'N': optN = true; break;
        case 'M': optM = true; break;
        default: break;
      }
    }
  }
  if (!std::isfinite(value)) value = 0;  // no number to write: written as 0
  const bool negative = value < 0;
  const double magnitude = std::fabs(value);

  std::string digits;
  if (hasWidth || hasPoint) {
    digits = numbers_detail::ScaledDigits(magnitude, decimals);
  } else {
    digits = numbers_detail::SignificantDigits(magnitude, decimals);
  }
  if (static_cast<int>(digits.size()) < decimals)
    digits.insert(0, static_cast<std::size_t>(decimals) - digits.size(), '0');
  std::string decimalPart = digits.substr(digits.size() - static_cast<std::size_t>(decimals));
  std::string integerPart = digits.substr(0, digits.size() - decimalPart.size());

  if (!optV && !decimalPart.empty()) decimalPart.insert(0, 1, '.');
  if (optZ && integerPart.empty()) integerPart = "0";
  if (hasWidth) {
    const std::size_t w = static_cast<std::size_t>(width);
    if (integerPart.size() < w) integerPart.insert(0, w - integerPart.size(), '0');
    integerPart = integerPart.substr(integerPart.size() - w);
  }

  std::string sign;
  if (optS && !negative) sign = "+";
  else if (negative) sign = (optN || optM) ? "N" : "-";
  else if (optM) sign = " ";
  if (!sign.empty()) {
    if (hasWidth && !integerPart.empty()) integerPart[0] = sign[0];
    else integerPart.insert(0, sign);
  }
  return integerPart + decimalPart;
}

std::string NumText(double value) { return FormatField(value, ""); }

std::string ZeroPad(double value, int width) {
  if (width <= 0) return "";
  width = std::min(width, 32767);
  std::string text = NumText(value);
  if (text.empty()) text = "0";
  const std::size_t w = static_cast<std::size_t>(width);
  std::string padded = std::string(w, '0') + text;
  return padded.substr(padded.size() - w);
}

}  // namespace format
