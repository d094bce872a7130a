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
// available through LastParsedDate() (monthLength 0 for a month outside
// 1..12, all 0 for an unreadable text). A part beyond 32767 or a year of more
// than four digits makes the text unreadable.
bool CheckDateText(const std::string& text);
const ParsedDate& LastParsedDate();

// The packed empty date for an unreadable text, or one whose day or month has
// more than two digits. The century is added to one- and two-digit years only.
std::string DateFromText(const std::string& text);
std::string DateText(const std::string& packedDate);
// Results after year 9999 give 99991231, results before year 0 give 00000101.
std::string DateAdd(const std::string& packedDate, long count, const std::string& unit);
// Units "D", "M", "A" in either case; never negative.
long DateDiff(const std::string& date1, const std::string& date2, const std::string& unit);
int DayOfWeek(const std::string& packedDate);       // 1 Monday .. 7 Sunday
// The last day of a quarter: 31/3, 30/6, 30/9 or 31/12 of any year.
bool IsQuarterEnd(const std::string& packedDate);
std::string CodeText(const std::string& packedCode);

}  // namespace format
