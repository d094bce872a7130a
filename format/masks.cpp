// Numeric edit masks: "9", "Z"/"z" and "*" digit positions, "." and ","
// separators, "-" and "+" sign positions; anything else is copied.
#include <algorithm>
#include <cmath>
#include <string>

#include "format/number_internal.h"
#include "format/numbers.h"

namespace format {

namespace {

bool IsDigitPosition(char c) { return c == '9' || c == 'Z' || c == 'z' || c == '*'; }
bool IsTailPosition(char c) { return IsDigitPosition(c) || c == '-' || c == '+'; }

// Fill state kept while the mask is filled from the right.
enum class Fill { None, Blank, Star };
struct FillState {
  Fill fill = Fill::None;
  bool written = false;  // a fill character was put instead of a digit
  char Char() const { return fill == Fill::Star ? '*' : ' '; }
};

// The number as plain text when it does not fit the mask. A value that
// rounds to zero is shown as the zero it is, without a sign: "0", or the
// decimals alone when the "0" before the point has no room.
std::string OverflowText(std::size_t length, const std::string& digits, int decimals,
                         bool negative, char decimalChar) {
  std::string all = digits;
  const std::size_t dec = static_cast<std::size_t>(decimals);
  if (all.size() < dec) all.insert(0, dec - all.size(), '0');
  std::string integerDigits = all.substr(0, all.size() - dec);
  if (digits.empty()) {
    negative = false;
    if (decimals == 0 || length > dec + 1) integerDigits.assign(1, '0');
  }
  if (length < integerDigits.size() + (negative ? 1 : 0)) return std::string(length, '!');
  std::string text = negative ? "-" : "";
  text += integerDigits;
  if (decimals > 0) text += decimalChar + all.substr(all.size() - dec);
  if (text.size() > length) return text.substr(0, length);
  return std::string(length - text.size(), ' ') + text;
}

}  // namespace

std::string FormatMask(const std::string& mask, double value) {
  const char decimalChar = numbers_detail::DecimalChar();
  const char thousandsChar = numbers_detail::ThousandsChar();
  const long long L = static_cast<long long>(mask.size());
  // A value that is not a number, or infinite, fits no mask.
  if (!std::isfinite(value)) return std::string(mask.size(), '!');

  // Mask analysis.
  long long tail = 0;
  int decimals = 0;
  const std::size_t point = mask.find('.');
  if (point != std::string::npos) {
    for (std::size_t i = point + 1; i < mask.size(); ++i)
      if (IsTailPosition(mask[i])) ++tail;
    if (tail > 0)
      for (std::size_t i = point + 1; i < mask.size() && IsDigitPosition(mask[i]); ++i) ++decimals;
  }
  // The units position: the last digit position before the point (of the
  // whole mask without one). A floating minus takes a position left of it
  // only: no digit of the number, and no character the mask copies, is ever
  // given up for the sign; with no such position free the sign is not shown.
  long long units = 0;
  for (std::size_t i = 0; i < std::min(point, mask.size()); ++i)
    if (IsDigitPosition(mask[i])) units = static_cast<long long>(i) + 1;
  const bool negative = value < 0;
  const bool signedMask = mask.find_first_of("-+") != std::string::npos;
  const std::string D = numbers_detail::ScaledDigits(std::fabs(value), decimals);
  const long long lenD = static_cast<long long>(D.size());
  auto digitAt = [&](long long k) -> char { return (k >= 1 && k <= lenD) ? D[k - 1] : '\0'; };
  auto zerosFrom = [&](long long k) {
    for (long long i = std::max(k, 1LL); i <= lenD; ++i)
      if (D[i - 1] != '0') return false;
    return true;
  };

  std::string out = mask;
  FillState state;
  long long k = lenD + tail - decimals;
  long long pos = L;  // positions 1..L; out[pos - 1]

  // First pass: digits of the number from the right.
  for (; k > 0 && pos >= 1; --pos) {
    char& c = out[pos - 1];
    const bool decimalPart = pos >= L - tail;
    switch (mask[pos - 1]) {
      case '9': {
        char d = digitAt(k);
        c = d ? d : '0';
        state = {Fill::None, false};
        --k;
        break;
      }
      case 'Z':
      case 'z': {
        char d = digitAt(k);
        if (decimalPart && tail != 0 && zerosFrom(k)) {
          c = ' ';
          state = {Fill::Blank, true};
        } else if (d) {
          c = d;
          state = {Fill::Blank, false};
        } else {
          c = decimalPart ? '0' : ' ';
          state = {Fill::Blank, true};
        }
        --k;
        break;
      }
      case '*': {
        char d = digitAt(k);
        c = d ? d : '*';
        state = {Fill::Star, d == '\0'};
        --k;
        break;
      }
      case '.':
        c = state.written ? state.Char() : decimalChar;
        tail = 0;
        break;
      case ',':
        c = thousandsChar;
        break;
      case '-':
        c = negative ? '-' : ' ';
        if (tail != 0) --k;
        break;
      case '+':
        c = negative ? '-' : '+';
        if (tail != 0) --k;
        break;
      default:
        break;
    }
  }

  // Overflow: more digits than positions, or no room left for the minus of
  // an unsigned mask.
  if (k > 0 || (negative && !signedMask && pos < 1))
    return OverflowText(mask.size(), D, decimals, negative, decimalChar);

  // Second pass: the positions left of the number.
  bool minusPending = negative && !signedMask;
  for (; pos >= 1; --pos) {
    char& c = out[pos - 1];
    const bool leftOfTail = pos < L - tail;
    const bool minusHere = minusPending && pos < units;
    switch (mask[pos - 1]) {
      case '9':
        if (minusHere) {
          c = '-';
          minusPending = false;
        } else {
          c = '0';
        }
        state = {Fill::None, false};
        break;
      case 'Z':
      case 'z':
        if (minusHere) {
          c = '-';
          minusPending = false;
        } else if (leftOfTail || value == 0) {
          c = ' ';
          state = {Fill::Blank, true};
        } else {
          c = '0';
          state = {Fill::Blank, false};
        }
        break;
      case '*':
        if (minusHere) {
          c = '-';
          minusPending = false;
        } else {
          c = leftOfTail ? '*' : '0';
        }
        state = {Fill::Star, false};
        break;
      case ',':
        if (minusHere) {
          c = '-';
          minusPending = false;
        } else {
          c = state.fill != Fill::None ? state.Char() : thousandsChar;
        }
        break;
      case '.':
        c = state.written ? state.Char() : decimalChar;
        break;
      case '-':
        c = negative ? '-' : ' ';
        break;
      case '+':
        c = negative ? '-' : '+';
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace format
