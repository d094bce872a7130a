// Dates typed by the operator: reading, checking, converting to a packed date
// and back to the digit form of date fields.
#include <string>

#include "format/dates.h"
#include "format/dates_internal.h"
#include "platform/os/os.h"

namespace format {

namespace dates_detail {

Ymd SplitDate(const std::string& packed) {
  const std::string digits = UnpackDigits(packed);
  Ymd date;
  const std::size_t n = digits.size();
  auto twoDigits = [&](std::size_t fromEnd) {
    if (n < fromEnd) return 0;
    return (digits[n - fromEnd] - '0') * 10 + (digits[n - fromEnd + 1] - '0');
  };
  date.day = twoDigits(2);
  date.month = twoDigits(4);
  // The year is every digit before the month; more than 4 digits cannot come
  // from a packed date, so only the last 4 are kept.
  long long year = 0;
  std::size_t yearDigits = n >= 4 ? n - 4 : 0;
  std::size_t start = yearDigits > 4 ? yearDigits - 4 : 0;
  for (std::size_t i = start; i < yearDigits; ++i) year = year * 10 + (digits[i] - '0');
  date.year = year;
  return date;
}

std::string PackDate(long long year, int month, int day) {
  std::string text(8, '0');
  long long y = year;
  for (int i = 3; i >= 0; --i) {
    text[i] = static_cast<char>('0' + y % 10);
    y /= 10;
  }
  text[4] = static_cast<char>('0' + month / 10);
  text[5] = static_cast<char>('0' + month % 10);
  text[6] = static_cast<char>('0' + day / 10);
  text[7] = static_cast<char>('0' + day % 10);
  return PackDigits(text);
}

long long DateNumber(const Ymd& date) { return date.year * 10000 + date.month * 100 + date.day; }

bool IsLeapYear(long long year, bool julian) {
  if (julian) return year % 4 == 0;
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int MonthLength(long long year, int month, bool julian) {
  int m = ((month % 9) + 9) % 9;  // the rule's formula, kept in range for any month
  int length = 30 + ((m + 1) % 9 + 1) % 2;
  if (month == 2) length -= IsLeapYear(year, julian) ? 1 : 2;
  return length;
}

int CurrentYear() { return os::Now().year; }

}  // namespace dates_detail

namespace {

using dates_detail::CurrentYear;

// A typed date split into its numbers.
struct TypedDate {
  bool readable = false;
  int day = 0, month = 0, year = 0;
  bool fullYear = false;  // the year was typed with more than 3 characters
};

// Value of a part: its digits, blanks ignored. False when it does not fit
// the 16-bit range of the date parts.
bool PartValue(const std::string& part, int& value) {
  long v = 0;
  for (char c : part) {
    if (c < '0' || c > '9') continue;
    v = v * 10 + (c - '0');
    if (v > 32767) return false;
  }
  value = static_cast<int>(v);
  return true;
}

std::string Trimmed(const std::string& s) {
  std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  std::size_t last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

TypedDate ReadTypedDate(const std::string& text) {
  TypedDate date;
  std::string parts[3];
  int separators = 0;
  for (char c : text) {
    if (c == ' ' || (c >= '0' && c <= '9')) {
      parts[separators] += c;
    } else if (c == '.' || c == '/' || c == '-') {
      if (separators == 2) return date;  // a third separator
      ++separators;
    } else {
      return date;
    }
  }
  std::string day, month, year;
  if (separators == 0) {
    const std::string& all = parts[0];
    day = all.substr(0, 2);
    if (all.size() > 2) month = all.substr(2, 2);
    if (all.size() > 4) year = all.substr(4);
  } else if (separators == 2) {
    day = parts[0];
    month = parts[1];
    year = parts[2];
  } else {
    return date;
  }
  if (!PartValue(day, date.day) || !PartValue(month, date.month) || !PartValue(year, date.year))
    return date;
  // A year beyond four digits cannot be held in a date.
  if (date.year > 9999) return date;
  date.fullYear = Trimmed(year).size() > 3;
  date.readable = true;
  return date;
}

ParsedDate lastParsed;

}  // namespace

bool CheckDateText(const std::string& text) {
  lastParsed = ParsedDate{};
  TypedDate date = ReadTypedDate(text);
  if (!date.readable) return true;
  int year = date.year;
  if (year < 100 && !date.fullYear) {
    const int current = CurrentYear();
    year += 100 * (current / 100);
    if (year - current > 50) year -= 100;
    else if (current - year > 50) year += 100;
  }
  lastParsed.day = date.day;
  lastParsed.month = date.month;
  lastParsed.year = year;
  const bool monthValid = date.month >= 1 && date.month <= 12;
  lastParsed.monthLength = monthValid ? dates_detail::MonthLength(year, date.month, false) : 0;
  const long long number = static_cast<long long>(year) * 10000 + date.month * 100 + date.day;
  if (number >= 15821005 && number <= 15821014) return true;
  if (!monthValid) return true;
  return date.day < 1 || date.day > lastParsed.monthLength;
}

const ParsedDate& LastParsedDate() { return lastParsed; }

std::string DateFromText(const std::string& text) {
  TypedDate date = ReadTypedDate(text);
  // Day and month beyond two digits cannot be packed into a date.
  if (!date.readable || date.day > 99 || date.month > 99) return std::string(4, '\x80');
  int year = date.year;
  // Only a one- or two-digit year gets the century, as in CheckDateText.
  if (date.day > 0 && date.month > 0 && !date.fullYear && year < 100) {
    const int current = CurrentYear();
    year += 100 * (current / 100);
    if (year - current > 49) year -= 100;
    else if (current - year > 50) year += 100;
  }
  if (year < 0 || year > 9999) return std::string(4, '\x80');
  return dates_detail::PackDate(year, date.month, date.day);
}

bool IsQuarterEnd(const std::string& packedDate) {
  const std::string d = UnpackDigits(packedDate);  // YYYYMMDD
  const std::string monthDay = d.size() == 8 ? d.substr(4) : "";
  return monthDay == "0331" || monthDay == "0630" || monthDay == "0930" || monthDay == "1231";
}

std::string DateText(const std::string& packedDate) {
  dates_detail::Ymd date = dates_detail::SplitDate(packedDate);
  if (date.day == 0 && date.month == 0) return "";
  const int current = CurrentYear();
  auto two = [](long long v) {
    return std::string{static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
  };
  std::string text = two(date.day) + two(date.month);
  if (date.year >= current - 50 && date.year <= current + 49) {
    text += two(date.year % 100);
  } else {
    text += two(date.year / 100 % 100) + two(date.year % 100);
  }
  return text;
}

}  // namespace format
