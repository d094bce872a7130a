// Dates for screen and print, in the configured order and language.
#pragma once

#include <string>

namespace settings {

// mode -1 ISO, 0 numeric, 1 with a three-letter month, 2+ long form with words;
// parts: letters D, M, A in any order and case.
std::string FormatDate(const std::string& packedDate, int mode, const std::string& parts);
void ResetDateDisplayForTests();

}  // namespace settings
