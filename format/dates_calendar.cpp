// Date arithmetic on packed dates: adding days, months or years, the distance
// between two dates and the day of the week. Dates before 5 October 1582
// follow the Julian leap rule, later ones the Gregorian rule.
#include <algorithm>
#include <string>

#include "format/dates.h"
#include "format/dates_internal.h"

namespace format {

namespace {

using dates_detail::Ymd;

char UnitLetter(const std::string& unit) {
  if (unit.size() != 1) return '\0';
  char c = unit[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return c;
}

long long FloorDiv(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

long long PositiveMod(long long a, long long b) { return ((a % b) + b) % b; }

// Days from the first date to the second (the first not later), with the
// leap rule of each year: Julian before 1582, Gregorian from 1582 on.
long long DaysBetween(const Ymd& early, const Ymd& late) {
  auto julian = [](long long year) { return year < 1582; };
  long long days = 0;
  for (long long y = early.year + 1; y < late.year; ++y)
    days += dates_detail::IsLeapYear(y, julian(y)) ? 366 : 365;
  const int lastMonth = early.year == late.year ? late.month - 1 : 12;
  for (int m = std::max(early.month, 1); m <= lastMonth && m <= 12; ++m)
    days += dates_detail::MonthLength(early.year, m, julian(early.year));
  if (early.year != late.year) {
    for (int m = 1; m < late.month && m <= 12; ++m)
      days += dates_detail::MonthLength(late.year, m, julian(late.year));
  }
  return days - early.day + late.day;
}

}  // namespace

std::string DateAdd(const std::string& packedDate, long count, const std::string& unit) {
  if (count == 0) return packedDate;
  Ymd date = dates_detail::SplitDate(packedDate);
  const bool julian = dates_detail::DateNumber(date) < dates_detail::kGregorianStart;
  // Any count beyond this range leaves 0..9999 anyway; clamping keeps the
  // arithmetic below far from overflow.
  const long long n = std::clamp<long long>(count, -100000000LL, 100000000LL);
  const char u = UnitLetter(unit);
  long long year = date.year;
  long long month = date.month;
  long long day = date.day;
  if (u == 'D') {
    day += n;
  } else if (u == 'M') {
    month += n;
    long long carry = FloorDiv(month - 1, 12);
    year += carry;
    month -= 12 * carry;
  } else if (u == 'A') {
    year += n;
  }
  // Past either end of the representable years the result is clamped, which
  // also bounds the loops below.
  auto beyond = [&]() { return year > 9999 || year < 0; };
  if (n > 0) {
    while (!beyond() && day > dates_detail::MonthLength(year, static_cast<int>(month), julian)) {
      if (u == 'D') {
        day -= dates_detail::MonthLength(year, static_cast<int>(month), julian);
        if (++month > 12) {
          month = 1;
          ++year;
        }
      } else {
        day = dates_detail::MonthLength(year, static_cast<int>(month), julian);
      }
    }
  } else {
    while (!beyond() && day <= 0) {
      if (--month < 1) {
        month = 12;
        --year;
      }
      day += dates_detail::MonthLength(year, static_cast<int>(month), julian);
    }
    if (u != 'D' && !beyond()) {
      int length = dates_detail::MonthLength(year, static_cast<int>(month), julian);
      if (day > length) day = length;
    }
  }
  if (year > 9999) return PackDigits("99991231");
  if (year < 0) return PackDigits("00000101");
  return dates_detail::PackDate(year, static_cast<int>(std::min<long long>(month, 99)),
                                static_cast<int>(std::min<long long>(day, 99)));
}

long DateDiff(const std::string& date1, const std::string& date2, const std::string& unit) {
  Ymd a = dates_detail::SplitDate(date1);
  Ymd b = dates_detail::SplitDate(date2);
  if (dates_detail::DateNumber(b) < dates_detail::DateNumber(a)) std::swap(a, b);
  long long result = 0;
  switch (UnitLetter(unit)) {
    case 'D':
      result = DaysBetween(a, b);
      break;
    case 'M':
      result = 12 * (b.year - a.year) - a.month + b.month;
      break;
    case 'A':
      result = b.year - a.year;
      if (b.month < a.month || (b.month == a.month && b.day < a.day)) --result;
      break;
    default:
      return 0;
  }
  // Only a malformed date (a day beyond its month) could make it negative.
  return static_cast<long>(std::max<long long>(result, 0));
}

int DayOfWeek(const std::string& packedDate) {
  Ymd date = dates_detail::SplitDate(packedDate);
  const long long d =
      DateDiff(packedDate, dates_detail::PackDate(date.year, 1, 1), "D") - 1;
  const long long y = date.year - 1;
  long long first;
  if (dates_detail::DateNumber(date) >= dates_detail::kGregorianStart) {
    first = PositiveMod(y + y / 4 - y / 100 + y / 400, 7) + 1;
  } else {
    first = PositiveMod(y + y / 4, 7) + 6;
  }
  return static_cast<int>(PositiveMod(first + d, 7) + 1);
}

}  // namespace format
