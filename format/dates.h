// Packed digits and dates: two decimal digits per byte (0x80 + 0..99); a date
// is YYYYMMDD packed into 4 bytes.
#pragma once

#include <string>

namespace format {

std::string PackDigits(const std::string& digits);
std::string UnpackDigits(const std::string& packed);

// What the last CheckDateText parsed.
struct ParsedDate {
  int day = 0, month = 0, year = 0, monthLength = 0;
};
// True (invalid) when the text is not a valid date; the parsed parts stay
// available through LastParsedDate().
bool CheckDateText(const std::string& text);
const ParsedDate& LastParsedDate();

std::string DateFromText(const std::string& text);
std::string DateText(const std::string& packedDate);
std::string DateAdd(const std::string& packedDate, long count, const std::string& unit);
long DateDiff(const std::string& date1, const std::string& date2, const std::string& unit);
int DayOfWeek(const std::string& packedDate);       // 1 Monday .. 7 Sunday
std::string CodeText(const std::string& packedCode);

}  // namespace format
