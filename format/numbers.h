// Numeric edit masks, amounts in the current currency, fixed-width numeric
// text and number checks. Check routines return true for invalid input.
#pragma once

#include <string>

namespace format {

// A value that is not a number or infinite fills the mask with "!". A
// negative value with no free position for its minus is shown as the plain
// number text, as when it does not fit.
std::string FormatMask(const std::string& mask, double value);
std::string FormatAmount(const std::string& mask, double cents);
// Widths and decimals above 255 are taken as 255; a value that is not a
// number or infinite is written as 0 (also by NumText and ZeroPad).
std::string FormatField(double value, const std::string& format);
std::string NumText(double value);
std::string ZeroPad(double value, int width);
bool CheckNumber(const std::string& text, double minimum, double maximum, int decimals);
bool CheckNumericText(const std::string& text, const std::string& allowed);
bool CheckDottedNumbers(const std::string& text);
void SetCurrency(const std::string& command);
// Forgets the separators and currency state (tests).
void ResetNumbersForTests();

}  // namespace format
