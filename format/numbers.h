// Numeric edit masks, amounts in the current currency, fixed-width numeric
// text and number checks. Check routines return true for invalid input.
#pragma once

#include <string>

namespace format {

std::string FormatMask(const std::string& mask, double value);
std::string FormatAmount(const std::string& mask, double cents);
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
