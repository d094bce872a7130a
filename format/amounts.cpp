// Amounts of euro cents shown in the current currency: only the shape of the
// caller's mask is kept (length, fill, thousands, sign); the digits and the
// decimals come from the currency.
#include <string>

#include "format/number_internal.h"
#include "format/numbers.h"

namespace format {

namespace {

// Appends text and keeps the rightmost `length` characters.
void AppendKeepRight(std::string& mask, const std::string& text, std::size_t length) {
  mask += text;
  if (mask.size() > length) mask.erase(0, mask.size() - length);
}

}  // namespace

std::string FormatAmount(const std::string& mask, double cents) {
  const std::size_t L = mask.size();
  // Shape of the mask. A "." in it is not used: the decimals are those of
  // the currency.
  char fillLetter = 'Z';
  bool thousands = false;
  bool nineBeforePoint = false;
  bool pointSeen = false;
  char sign = '\0';
  bool leadingSign = false;
  for (std::size_t i = 0; i < L; ++i) {
    const char c = mask[i];
    if (c == 'Z' || c == 'z') fillLetter = 'Z';
    else if (c == '*') fillLetter = '*';
    else if (c == ',') thousands = true;
    else if (c == '.') pointSeen = true;
    else if (c == '9' && !pointSeen) nineBeforePoint = true;
    else if (c == '-' || c == '+') {
      sign = c;
      leadingSign = i == 0;
    }
  }
  const bool unitsForced = cents != 0 || nineBeforePoint;

  std::string built(L, fillLetter);
  if (unitsForced) AppendKeepRight(built, "9", L);
  if (thousands) {
    for (long long p = static_cast<long long>(L) - 3; p >= 1; p -= 4) {
      built.insert(static_cast<std::size_t>(p), 1, ',');
      built.erase(0, built.size() - L);
    }
  }
  double value;
  if (numbers_detail::CurrentCurrency() == 'P') {
    value = cents / 100 * 166.386;
  } else {
    value = cents / 100;
    AppendKeepRight(built, unitsForced ? ".99" : ".ZZ", L);
  }
  if (sign != '\0') {
    if (leadingSign) {
      built[0] = sign;
    } else {
      AppendKeepRight(built, std::string(1, sign), L);
    }
  }
  return FormatMask(built, value);
}

}  // namespace format
