// Packed digits, typed dates, date arithmetic, day of week and code text.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "format/dates.h"
#include "platform/os/os.h"

namespace {

using format::PackDigits;
using format::UnpackDigits;

std::string Date(const char* yyyymmdd) { return PackDigits(yyyymmdd); }

// Every date test runs with the system date fixed in 2026.
class DatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os::DateTime now;
    now.year = 2026;
    now.month = 6;
    now.day = 10;
    now.hour = 12;
    os::SetFixedNow(now);
  }
  void TearDown() override { os::ClearFixedNow(); }
};

TEST(PackedDigits, PacksTwoDigitsPerByteAndBack) {
  EXPECT_EQ(PackDigits("20240315"), "\x94\x98\x83\x8F");
  EXPECT_EQ(UnpackDigits("\x94\x98\x83\x8F"), "20240315");
  EXPECT_EQ(PackDigits("00000000"), std::string(4, '\x80'));
  EXPECT_EQ(PackDigits("99991231"), "\xE3\xE3\x8C\x9F");
  EXPECT_EQ(PackDigits(""), "");
}

TEST(PackedDigits, RightAlignsTrimmedTextAndPadsOddLength) {
  EXPECT_EQ(PackDigits(" 12"), "\x81\x94");   // 012 -> 01, 20
  EXPECT_EQ(PackDigits("12 "), "\x81\x94");   // trimmed, right-aligned the same way
  EXPECT_EQ(PackDigits("123"), "\x8C\x9E");   // 12, 30
  EXPECT_EQ(PackDigits("1 2 "), "\x81\x82");  // inner blank becomes 0: 0102
  EXPECT_EQ(PackDigits("1a"), "\x8A");        // a non-digit counts as 0
  EXPECT_EQ(PackDigits("   "), "\x80\x80");
}

TEST(PackedDigits, UnpackUsesLowSevenBitsAndLastTwoDigits) {
  EXPECT_EQ(UnpackDigits(""), "");
  EXPECT_EQ(UnpackDigits("\x80"), "00");
  EXPECT_EQ(UnpackDigits(std::string(1, '\xFF')), "27");  // 127 -> last two digits
  EXPECT_EQ(UnpackDigits(std::string(1, '\x05')), "05");
  EXPECT_EQ(UnpackDigits(std::string(1, '\0')), "00");
}

TEST(PackedDigits, BytewiseOrderIsNumericOrder) {
  EXPECT_LT(PackDigits("0099"), PackDigits("0100"));
  EXPECT_LT(Date("19991231"), Date("20000101"));
  EXPECT_LT(Date("20240229"), Date("20240301"));
}

TEST(PackedDigits, CodeTextGroupsFromTheRight) {
  EXPECT_EQ(format::CodeText(PackDigits("00010002")), "1.2");
  EXPECT_EQ(format::CodeText(PackDigits("00050000")), "5");
  EXPECT_EQ(format::CodeText(PackDigits("0000000000")), "");
  EXPECT_EQ(format::CodeText(PackDigits("05")), "05");  // one byte: not grouped
  EXPECT_EQ(format::CodeText(PackDigits("00")), "");
  EXPECT_EQ(format::CodeText(PackDigits("123456")), "123456");  // rest joins the first group
  EXPECT_EQ(format::CodeText(PackDigits("0000120003")), "12.3");
  EXPECT_EQ(format::CodeText(PackDigits("000100000002")), "1.0.2");
  EXPECT_EQ(format::CodeText(PackDigits("00000002")), "0.2");
  EXPECT_EQ(format::CodeText(""), "");
}

TEST_F(DatesTest, CheckDateTextExamples) {
  EXPECT_TRUE(format::CheckDateText("29/02/2023"));
  EXPECT_TRUE(format::CheckDateText("31/04/2024"));
  EXPECT_FALSE(format::CheckDateText("29022024"));
  EXPECT_TRUE(format::CheckDateText("10.10.1582"));
  EXPECT_FALSE(format::CheckDateText("04.10.1582"));
  EXPECT_FALSE(format::CheckDateText("15-10-1582"));
  EXPECT_TRUE(format::CheckDateText("15/3"));
  EXPECT_TRUE(format::CheckDateText("1/2/3/4"));
  // Gregorian leap rule for every year.
  EXPECT_TRUE(format::CheckDateText("29/02/1900"));
  EXPECT_FALSE(format::CheckDateText("29/02/2000"));
  EXPECT_TRUE(format::CheckDateText("29/02/1500"));
}

TEST_F(DatesTest, CheckDateTextLeavesParsedParts) {
  EXPECT_FALSE(format::CheckDateText("15/02/2024"));
  format::ParsedDate p = format::LastParsedDate();
  EXPECT_EQ(p.day, 15);
  EXPECT_EQ(p.month, 2);
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.monthLength, 29);

  EXPECT_FALSE(format::CheckDateText("300976"));
  EXPECT_EQ(format::LastParsedDate().year, 2076);
  EXPECT_EQ(format::LastParsedDate().monthLength, 30);
  EXPECT_FALSE(format::CheckDateText("31/12/77"));
  EXPECT_EQ(format::LastParsedDate().year, 1977);
  EXPECT_EQ(format::LastParsedDate().monthLength, 31);
  // A field's trailing blanks do not make a two-digit year a full one.
  EXPECT_FALSE(format::CheckDateText("311224  "));
  EXPECT_EQ(format::LastParsedDate().year, 2024);
}

TEST_F(DatesTest, CheckDateTextRejectsBadInputSafely) {
  EXPECT_TRUE(format::CheckDateText(""));
  EXPECT_TRUE(format::CheckDateText("ab/cd/efgh"));
  EXPECT_TRUE(format::CheckDateText("1/1/12345"));       // five-digit year
  EXPECT_TRUE(format::CheckDateText("010199999999999"));  // far beyond 16 bits
  EXPECT_TRUE(format::CheckDateText("99999/1/2024"));
  EXPECT_TRUE(format::CheckDateText("0/1/2024"));
  EXPECT_TRUE(format::CheckDateText("1/13/2024"));
  EXPECT_EQ(format::LastParsedDate().monthLength, 0);
  EXPECT_TRUE(format::CheckDateText("1"));
}

TEST_F(DatesTest, DateFromTextExamples) {
  EXPECT_EQ(format::DateFromText("150324"), Date("20240315"));
  EXPECT_EQ(format::DateFromText("15/03/75"), Date("20750315"));
  EXPECT_EQ(format::DateFromText("15/03/76"), Date("19760315"));
  EXPECT_EQ(format::DateFromText("15.03.2024"), Date("20240315"));
  EXPECT_EQ(format::DateFromText("1/2/1850"), Date("18500201"));
  EXPECT_EQ(format::DateFromText("15/3"), std::string(4, '\x80'));
  EXPECT_EQ(format::DateFromText("hello"), std::string(4, '\x80'));
  EXPECT_EQ(format::DateFromText(""), std::string(4, '\x80'));
  // Values are not checked, only packed.
  EXPECT_EQ(format::DateFromText("45/13/2024"), Date("20241345"));
}

TEST_F(DatesTest, DateFromTextRefusesWhatCannotBePacked) {
  EXPECT_EQ(format::DateFromText("1/1/12345"), std::string(4, '\x80'));
  EXPECT_EQ(format::DateFromText("123/1/2024"), std::string(4, '\x80'));
  // A three-digit year is taken as written, as CheckDateText takes it.
  EXPECT_EQ(format::DateFromText("15/03/999"), Date("09990315"));
  EXPECT_FALSE(format::CheckDateText("15/03/999"));
  EXPECT_EQ(format::LastParsedDate().year, 999);
}

TEST_F(DatesTest, DateTextExamples) {
  EXPECT_EQ(format::DateText(Date("20240315")), "150324");
  EXPECT_EQ(format::DateText(Date("19600315")), "15031960");
  EXPECT_EQ(format::DateText(Date("00000000")), "");
  EXPECT_EQ(format::DateText(Date("19760101")), "010176");
  EXPECT_EQ(format::DateText(Date("19751231")), "31121975");
  EXPECT_EQ(format::DateText(Date("20750101")), "010175");
  EXPECT_EQ(format::DateText(Date("20760101")), "01012076");
  // Round trip through the typed form.
  EXPECT_EQ(format::DateFromText(format::DateText(Date("20261231"))), Date("20261231"));
  EXPECT_EQ(format::DateFromText(format::DateText(Date("19600315"))), Date("19600315"));
}

TEST_F(DatesTest, DateTextOfShortPackedStrings) {
  EXPECT_EQ(format::DateText(""), "");
  EXPECT_EQ(format::DateText("\x8F"), "15000000");  // day 15, month 0, year 0
  EXPECT_EQ(format::DateText("\x83\x8F"), "15030000");
}

TEST(DatesCalendar, DateAddExamples) {
  using format::DateAdd;
  EXPECT_EQ(DateAdd(Date("20240131"), 1, "M"), Date("20240229"));
  EXPECT_EQ(DateAdd(Date("20230331"), -1, "M"), Date("20230228"));
  EXPECT_EQ(DateAdd(Date("20240229"), 1, "A"), Date("20250228"));
  EXPECT_EQ(DateAdd(Date("20240228"), 2, "D"), Date("20240301"));
  EXPECT_EQ(DateAdd(Date("20240101"), -1, "D"), Date("20231231"));
  EXPECT_EQ(DateAdd(Date("99991231"), 1, "D"), Date("99991231"));
  EXPECT_EQ(DateAdd(Date("20240315"), 0, "D"), Date("20240315"));
}

TEST(DatesCalendar, DateAddMonthsCarryYears) {
  using format::DateAdd;
  EXPECT_EQ(DateAdd(Date("20240131"), 13, "m"), Date("20250228"));
  EXPECT_EQ(DateAdd(Date("20240331"), -13, "M"), Date("20230228"));
  EXPECT_EQ(DateAdd(Date("20241215"), 1, "M"), Date("20250115"));
  EXPECT_EQ(DateAdd(Date("20240115"), -1, "M"), Date("20231215"));
  EXPECT_EQ(DateAdd(Date("20240115"), -24, "a"), Date("20000115"));
  EXPECT_EQ(DateAdd(Date("20240101"), 366, "d"), Date("20250101"));
  EXPECT_EQ(DateAdd(Date("20240301"), -366, "D"), Date("20230301"));
}

TEST(DatesCalendar, DateAddLeapRuleFollowsTheStartingDate) {
  using format::DateAdd;
  EXPECT_EQ(DateAdd(Date("15000228"), 1, "D"), Date("15000229"));  // Julian
  EXPECT_EQ(DateAdd(Date("17000228"), 1, "D"), Date("17000301"));  // Gregorian
  EXPECT_EQ(DateAdd(Date("15821004"), 1, "D"), Date("15821005"));
}

TEST(DatesCalendar, DateAddClampsHugeCounts) {
  using format::DateAdd;
  EXPECT_EQ(DateAdd(Date("20240101"), LONG_MAX, "D"), Date("99991231"));
  EXPECT_EQ(DateAdd(Date("20240101"), LONG_MAX, "M"), Date("99991231"));
  EXPECT_EQ(DateAdd(Date("20240101"), LONG_MAX, "A"), Date("99991231"));
  EXPECT_EQ(DateAdd(Date("20240101"), 8000, "A"), Date("99991231"));
  EXPECT_EQ(DateAdd(Date("20240101"), LONG_MIN, "D"), Date("00000101"));
  EXPECT_EQ(DateAdd(Date("20240101"), -3000, "A"), Date("00000101"));
  EXPECT_EQ(DateAdd("", 5, "D").size(), 4u);
}

TEST(DatesCalendar, DateDiffExamples) {
  using format::DateDiff;
  EXPECT_EQ(DateDiff(Date("20240101"), Date("20240301"), "D"), 60);
  EXPECT_EQ(DateDiff(Date("20240301"), Date("20240101"), "D"), 60);
  EXPECT_EQ(DateDiff(Date("20230101"), Date("20250101"), "D"), 731);
  EXPECT_EQ(DateDiff(Date("20231231"), Date("20240101"), "d"), 1);
  EXPECT_EQ(DateDiff(Date("20240115"), Date("20250314"), "M"), 14);
  EXPECT_EQ(DateDiff(Date("20200315"), Date("20240314"), "A"), 3);
  EXPECT_EQ(DateDiff(Date("20200315"), Date("20240315"), "A"), 4);
  EXPECT_EQ(DateDiff(Date("20240315"), Date("20200315"), "A"), 4);
  EXPECT_EQ(DateDiff(Date("20200315"), Date("20240215"), "A"), 3);
  EXPECT_EQ(DateDiff(Date("20200101"), Date("20240101"), "Q"), 0);
}

TEST(DatesCalendar, DateDiffUndoesDateAdd) {
  const std::string start = Date("20230101");
  for (long n = 0; n <= 1200; n += 7) {
    std::string later = format::DateAdd(start, n, "D");
    ASSERT_EQ(format::DateDiff(start, later, "D"), n) << n;
    ASSERT_EQ(format::DateAdd(later, -n, "D"), start) << n;
  }
}

TEST(DatesCalendar, DayOfWeekExamples) {
  EXPECT_EQ(format::DayOfWeek(Date("20240101")), 1);
  EXPECT_EQ(format::DayOfWeek(Date("20240107")), 7);
  EXPECT_EQ(format::DayOfWeek(Date("15821004")), 4);
  EXPECT_EQ(format::DayOfWeek(Date("15821015")), 5);
  EXPECT_EQ(format::DayOfWeek(Date("20000229")), 2);
  EXPECT_EQ(format::DayOfWeek(Date("20261208")), 2);
}

TEST(DatesCalendar, DayOfWeekFollowsEveryDayOfSeveralYears) {
  // 1 January 2024 is a Monday; each following day is the next weekday.
  std::string date = Date("20240101");
  int expected = 1;
  for (int i = 0; i < 3 * 366; ++i) {
    ASSERT_EQ(format::DayOfWeek(date), expected) << format::UnpackDigits(date);
    date = format::DateAdd(date, 1, "D");
    expected = expected % 7 + 1;
  }
}

TEST(DatesCalendar, JulianYearsBeforeTheCalendarChange) {
  // 1 January 1500 was a Wednesday and 4 October 1582 a Thursday; every year
  // divisible by 4 has 29 February before the change, 1500 included.
  const std::string start = Date("15000101");
  const std::string last = Date("15821004");
  std::string date = start;
  int expected = 3;
  long days = 0;
  while (date != last) {
    ASSERT_EQ(format::DayOfWeek(date), expected) << format::UnpackDigits(date);
    date = format::DateAdd(date, 1, "D");
    expected = expected % 7 + 1;
    ++days;
    ASSERT_LT(days, 40000);
  }
  EXPECT_EQ(format::DayOfWeek(last), 4);
  EXPECT_EQ(days, 30227);
  EXPECT_EQ(format::DateDiff(start, last, "D"), days);
  EXPECT_EQ(format::DateDiff(Date("15000101"), Date("15010101"), "D"), 366);
  EXPECT_EQ(format::DateDiff(Date("17000101"), Date("17010101"), "D"), 365);
  EXPECT_EQ(format::DateAdd(Date("15000301"), -1, "D"), Date("15000229"));
  EXPECT_EQ(format::DateAdd(Date("15040229"), 1, "A"), Date("15050228"));
}

TEST(DatesCalendar, DayOfWeekStaysInRangeForOddDates) {
  for (const char* d : {"00000101", "00000000", "99991231", "00011301"}) {
    int w = format::DayOfWeek(Date(d));
    EXPECT_GE(w, 1) << d;
    EXPECT_LE(w, 7) << d;
  }
}

}  // namespace
