// Helpers shared by the number routines: the separator characters, the
// current currency and exact digit texts of doubles.
#pragma once

#include <string>

namespace format::numbers_detail {

// Separator characters from the user settings, read on first use.
char DecimalChar();
char ThousandsChar();
// The currency FormatAmount uses: 'E', 'P' or '\0' (none chosen yet: euro).
char CurrentCurrency();

// Decimal text of |value| x 10^decimals rounded half to even, without leading
// zeros; "" when that is 0. The value must be finite and not negative.
std::string ScaledDigits(double absValue, int decimals);
// All significant digits of a finite non-negative value (shortest text that
// reads back as the same double), without leading zeros and without the
// point; `decimals` receives how many of them follow the point.
std::string SignificantDigits(double absValue, int& decimals);

}  // namespace format::numbers_detail
