// Helpers shared by the date routines: a packed date split into numbers and
// back, and the calendar rules.
#pragma once

#include <string>

namespace format::dates_detail {

// A date as numbers. The year is wide so that date arithmetic can run past
// the representable range before it is clamped.
struct Ymd {
  long long year = 0;
  int month = 0;
  int day = 0;
};

// Day = last byte, month = the byte before, year = the bytes before those.
// Missing bytes count as 0; a byte's value is its low 7 bits (last two digits).
Ymd SplitDate(const std::string& packed);
// PackDigits of year (4 digits), month (2) and day (2). The year must lie in
// 0..9999, month and day in 0..99.
std::string PackDate(long long year, int month, int day);
// year * 10000 + month * 100 + day, for comparisons with 15821005.
long long DateNumber(const Ymd& date);

bool IsLeapYear(long long year, bool julian);
// Days of a month; any month number gives 28..31 (the formula of the rule).
int MonthLength(long long year, int month, bool julian);

// The first Gregorian date, as DateNumber.
constexpr long long kGregorianStart = 15821005;

// The current year of the system date.
int CurrentYear();

}  // namespace format::dates_detail
