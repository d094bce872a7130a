// Edit masks, amounts, fixed-width number text, numeric checks and the
// currency selection.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "settings/config.h"
#include "format/numbers.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace {

using format::FormatAmount;
using format::FormatField;
using format::FormatMask;

// Each test starts with the separators unread and DataRoot pointing at an
// empty folder (no user settings: the default separators).
class NumbersBase : public ::testing::Test {
 protected:
  void SetUp() override {
    savedRoot_ = settings::DataRoot;
    settings::DataRoot = dir_.path;
    format::ResetNumbersForTests();
  }
  void TearDown() override {
    format::ResetNumbersForTests();
    settings::DataRoot = savedRoot_;
  }
  testsupport::TempDir dir_;
  std::string savedRoot_;
};

using MaskFormat = NumbersBase;
using AmountFormat = NumbersBase;
using NumbersCurrency = NumbersBase;

TEST_F(MaskFormat, TableExamples) {
  EXPECT_EQ(FormatMask("ZZ9.99", 1.5), "  1'50");
  EXPECT_EQ(FormatMask("ZZ9.99", 0), "  0'00");
  EXPECT_EQ(FormatMask("ZZZ.ZZ", 0), "      ");
  EXPECT_EQ(FormatMask("ZZ9.ZZ", 1.5), "  1'5 ");
  EXPECT_EQ(FormatMask("ZZ9.ZZ", 1), "  1   ");
  EXPECT_EQ(FormatMask("Z,ZZ9", 1234), "1.234");
  EXPECT_EQ(FormatMask("Z,ZZ9", 123), "  123");
  EXPECT_EQ(FormatMask("9,999", 123), "0.123");
  EXPECT_EQ(FormatMask("**,**9", 123), "***123");
  EXPECT_EQ(FormatMask("ZZZ9", -12), " -12");
  EXPECT_EQ(FormatMask("ZZ9", 1234), "!!!");
  EXPECT_EQ(FormatMask("ZZ9.99", 0.125), "  0'12");
  EXPECT_EQ(FormatMask("ZZ9 %", 21), " 21 %");
}

TEST_F(MaskFormat, HalvesRoundToEven) {
  EXPECT_EQ(FormatMask("ZZ9.99", 0.375), "  0'38");
  EXPECT_EQ(FormatMask("ZZ9", 12.5), " 12");
  EXPECT_EQ(FormatMask("ZZ9", 13.5), " 14");
  EXPECT_EQ(FormatMask("zz9", 2.5), "  2");
}

TEST_F(MaskFormat, Overflow) {
  EXPECT_EQ(FormatMask("9.99", 10.5), "10'5");
  EXPECT_EQ(FormatMask("999", -123), "!!!");
  EXPECT_EQ(FormatMask("ZZZZ", -123), "-123");
  EXPECT_EQ(FormatMask("ZZ9.99", -123.45), "-123'4");
  EXPECT_EQ(FormatMask("", 5), "");
  EXPECT_EQ(FormatMask("abc", 5), "  5");  // no digit positions at all
}

TEST_F(MaskFormat, DecimalBlanksAndSignPositions) {
  EXPECT_EQ(FormatMask("ZZ9.ZZ", 1.05), "  1'05");
  EXPECT_EQ(FormatMask("ZZ9.ZZ", 0.01), "  0'01");
  EXPECT_EQ(FormatMask("ZZ9.99-", -1.5), "  1'50-");
  EXPECT_EQ(FormatMask("ZZ9.99-", 1.5), "  1'50 ");
  EXPECT_EQ(FormatMask("ZZ9.99-", 0), "  0'00 ");
  EXPECT_EQ(FormatMask("+ZZ9", 5), "+  5");
  EXPECT_EQ(FormatMask("+ZZ9", -5), "-  5");
  EXPECT_EQ(FormatMask("Z,ZZ9", -123), " -123");
  EXPECT_EQ(FormatMask("99", -5), "-5");
  EXPECT_EQ(FormatMask("**,**9", -5), "****-5");
}

// A negative value near zero gives up no digit or copied character for its minus.
TEST_F(MaskFormat, NegativeNearZeroKeepsEveryDigit) {
  struct Case {
    const char* mask;
    double value;
    const char* want;
  } cases[] = {
      {"9", -0.001, "0"},
      {"!!9", -0.05, "!!0"}, {".99", -0.05, "'05"}, {"ZZ9 %", -0.4, " -0 %"},  // the report's prorata
      {"Z,ZZ9.999999999999999", -1e-15, "   -0'000000000000001"},  // a calculator figure
      {".99", -0.001, "'00"},
      {"9", -0.5, "0"},      // half rounds to the even neighbour, 0
      {"9", -1.5, "!"},      // -2: no room for the minus
  };
  for (const Case& c : cases) EXPECT_EQ(FormatMask(c.mask, c.value), c.want) << c.mask << " " << c.value;
}

TEST_F(MaskFormat, BadValuesAndLongMasksAreSafe) {
  EXPECT_EQ(FormatMask("ZZ9", 1e300), "!!!");
  EXPECT_EQ(FormatMask("ZZ9", -1e300), "!!!");
  EXPECT_EQ(FormatMask("ZZ9", std::nan("")), "!!!");
  EXPECT_EQ(FormatMask("ZZ9", std::numeric_limits<double>::infinity()), "!!!");
  const std::string longMask = std::string(150, '9') + "." + std::string(149, '9');
  std::string out = FormatMask(longMask, 1.5);
  ASSERT_EQ(out.size(), 300u);
  EXPECT_EQ(out[150], '\'');
  const std::string hugeDecimals = "9." + std::string(400, '9');
  out = FormatMask(hugeDecimals, 1.25);
  ASSERT_EQ(out.size(), 402u);
  EXPECT_EQ(out.substr(0, 5), "1'250");
  EXPECT_EQ(FormatMask(std::string(400, 'Z'), 1e300).size(), 400u);
}

TEST_F(MaskFormat, SeparatorsComeFromTheUserSettingsOnce) {
  ASSERT_TRUE(os::WriteFile(dir_.path + "Kova.ini",
                            "[Usuari]\r\nDecCaracter=,\r\nMilCaracter= x\r\n"));
  EXPECT_EQ(FormatMask("Z,ZZ9.99", 1234.5), "1 234,50");
  // Read once: a later change of the file is not seen.
  ASSERT_TRUE(os::WriteFile(dir_.path + "Kova.ini", "[Usuari]\r\nDecCaracter=;\r\n"));
  EXPECT_EQ(FormatMask("Z,ZZ9.99", 1234.5), "1 234,50");
  format::ResetNumbersForTests();
  // Only the first character counts; an empty key gives the default.
  ASSERT_TRUE(os::WriteFile(dir_.path + "Kova.ini",
                            "[Usuari]\r\nDecCaracter=:;x\r\nMilCaracter=\r\n"));
  EXPECT_EQ(FormatMask("Z,ZZ9.99", 1234.5), "1.234:50");
}

TEST_F(AmountFormat, UsualMaskInEurosAndPesetas) {
  format::SetCurrency("a,E");
  EXPECT_EQ(FormatAmount(",ZZZ,ZZZ,ZZ9-", 123456), "    1.234'56 ");
  EXPECT_EQ(FormatAmount(",ZZZ,ZZZ,ZZ9-", -123456), "    1.234'56-");
  EXPECT_EQ(FormatAmount(",ZZZ,ZZZ,ZZ9-", 0), "        0'00 ");
  format::SetCurrency("p,P");
  format::SetCurrency("p");
  EXPECT_EQ(FormatAmount(",ZZZ,ZZZ,ZZ9-", 123456), "     205.414 ");
  format::SetCurrency("");
  EXPECT_EQ(FormatAmount(",ZZZ,ZZZ,ZZ9-", 123456), "    1.234'56 ");
}

TEST_F(AmountFormat, ShapeOfTheMask) {
  // No "9": a zero amount is blank, other amounts force the units digit.
  EXPECT_EQ(FormatAmount("ZZZZZZ", 0), "      ");
  EXPECT_EQ(FormatAmount("ZZZZZZ", 5), "  0'05");
  EXPECT_EQ(FormatAmount("-ZZZZZZZZ", -1234), "-   12'34");
  EXPECT_EQ(FormatAmount("-ZZZZZZZZ", 1234), "    12'34");
  EXPECT_EQ(FormatAmount("**,***,**9", 123456), "**1.234'56");
  EXPECT_EQ(FormatAmount("", 123), "");
  EXPECT_EQ(FormatAmount("Z", 123), "1");  // only the units fit
  EXPECT_EQ(FormatAmount("ZZ9", std::nan("")), "!!!");
}

TEST_F(NumbersCurrency, SelectionRules) {
  format::SetCurrency("a,E");
  format::SetCurrency("p");  // no print currency: the active one
  EXPECT_EQ(FormatAmount("ZZZZZ9", 100), "  1'00");
  format::SetCurrency("p,p");
  EXPECT_EQ(FormatAmount("ZZZZZ9", 100), "  1'00");  // setting it does not switch
  format::SetCurrency("P");
  EXPECT_EQ(FormatAmount("ZZZZZ9", 100), "   166");
  format::SetCurrency("");
  EXPECT_EQ(FormatAmount("ZZZZZ9", 100), "  1'00");
  format::SetCurrency("a, p");  // active and current at once
  EXPECT_EQ(FormatAmount("ZZZZZ9", 100), "   166");
  format::SetCurrency("A,");  // nothing after the comma: euro
  EXPECT_EQ(FormatAmount("ZZZZZ9", 100), "  1'00");
  format::SetCurrency("p,");  // print currency becomes the active one
  format::SetCurrency("p");
  EXPECT_EQ(FormatAmount("ZZZZZ9", 100), "  1'00");
}

TEST(NumbersField, FilingFormats) {
  EXPECT_EQ(FormatField(-1234, "n17"), "N0000000000001234");
  EXPECT_EQ(FormatField(1234, "n17"), "00000000000001234");
  EXPECT_EQ(FormatField(0, "n17"), "00000000000000000");
  EXPECT_EQ(FormatField(2.5, "n17"), "00000000000000002");
  EXPECT_EQ(FormatField(3.5, "N17"), "00000000000000004");
  EXPECT_EQ(FormatField(1234567890123456789.0, "n17"), "34567890123456768");
  EXPECT_EQ(FormatField(85, "V3.2"), "08500");
  EXPECT_EQ(FormatField(100, "V3.2"), "10000");
  EXPECT_EQ(FormatField(0, "V3.2"), "00000");
}

TEST(NumbersField, Options) {
  EXPECT_EQ(FormatField(12, "S5"), "+0012");
  EXPECT_EQ(FormatField(-12, "S5"), "-0012");
  EXPECT_EQ(FormatField(12, "M5"), " 0012");
  EXPECT_EQ(FormatField(-12, "M5"), "N0012");
  EXPECT_EQ(FormatField(-12, "N"), "N12");
  EXPECT_EQ(FormatField(12, "S"), "+12");
  EXPECT_EQ(FormatField(0.5, "Z"), "0.5");
  EXPECT_EQ(FormatField(1.5, ".2"), "1.50");
  EXPECT_EQ(FormatField(0.05, "Z.2"), "0.05");
  EXPECT_EQ(FormatField(1.5, "5.2"), "00001.50");
  EXPECT_EQ(FormatField(1.5, "v5.2"), "0000150");
  EXPECT_EQ(FormatField(-1.5, "5.2"), "-0001.50");
}

TEST(NumbersField, NumTextAndBadInput) {
  EXPECT_EQ(format::NumText(0), "");
  EXPECT_EQ(format::NumText(0.5), ".5");
  EXPECT_EQ(format::NumText(-3), "-3");
  EXPECT_EQ(format::NumText(12.5), "12.5");
  EXPECT_EQ(format::NumText(1.23), "1.23");
  EXPECT_EQ(format::NumText(42), "42");
  EXPECT_EQ(format::NumText(1e20), "100000000000000000000");
  EXPECT_EQ(format::NumText(std::nan("")), "");
  EXPECT_EQ(format::NumText(-std::numeric_limits<double>::infinity()), "");
  EXPECT_EQ(FormatField(5, "n99999999").size(), 255u);  // widths are capped
  EXPECT_EQ(FormatField(1e308, "n17").size(), 17u);
  EXPECT_EQ(FormatField(1.5, "V1.300").size(), 256u);  // decimals capped too
}

TEST(NumbersField, ZeroPad) {
  EXPECT_EQ(format::ZeroPad(12, 5), "00012");
  EXPECT_EQ(format::ZeroPad(123456, 4), "3456");
  EXPECT_EQ(format::ZeroPad(0, 3), "000");
  EXPECT_EQ(format::ZeroPad(7, 1), "7");
  EXPECT_EQ(format::ZeroPad(7, 0), "");
  EXPECT_EQ(format::ZeroPad(7, -4), "");
  EXPECT_EQ(format::ZeroPad(std::nan(""), 2), "00");
}

TEST(NumbersChecks, NumericText) {
  using format::CheckNumericText;
  EXPECT_TRUE(CheckNumericText("1-", ".-"));
  EXPECT_TRUE(CheckNumericText("--1", "-"));
  EXPECT_TRUE(CheckNumericText("1.2.3", "."));
  EXPECT_TRUE(CheckNumericText("x-5", "-"));
  EXPECT_TRUE(CheckNumericText("5x", ".-"));
  EXPECT_FALSE(CheckNumericText(" -12.5", ".-"));
  EXPECT_FALSE(CheckNumericText(" +12.5 ", ".+"));
  EXPECT_TRUE(CheckNumericText("12.5", ""));
  EXPECT_TRUE(CheckNumericText("-1", "."));
  EXPECT_TRUE(CheckNumericText(".-1", ".-"));
  EXPECT_FALSE(CheckNumericText("", ""));
  EXPECT_FALSE(CheckNumericText("1 2 3", ""));
}

TEST(NumbersChecks, Number) {
  using format::CheckNumber;
  EXPECT_TRUE(CheckNumber("5", 10, 1, 0));   // maximum below minimum
  EXPECT_TRUE(CheckNumber("5", 0, 10, 17));
  EXPECT_TRUE(CheckNumber("5", 0, 10, -1));
  EXPECT_FALSE(CheckNumber("12", 1, 99, 0));
  EXPECT_FALSE(CheckNumber("  7  ", 1, 99, 0));
  EXPECT_TRUE(CheckNumber("100", 1, 99, 0));
  EXPECT_TRUE(CheckNumber("0", 1, 99, 0));
  EXPECT_TRUE(CheckNumber("1.5", 0, 10, 0));   // no point without decimals
  EXPECT_FALSE(CheckNumber("1.25", 0, 10, 1));  // rounded half up to 1.3
  EXPECT_TRUE(CheckNumber("10.06", 0, 10, 1));  // 10.1 is above 10.0
  EXPECT_TRUE(CheckNumber("-5", 0, 10, 0));     // no sign when minimum >= 0
  EXPECT_FALSE(CheckNumber("-5", -10, 10, 0));
  EXPECT_TRUE(CheckNumber("-11", -10, 10, 0));
  EXPECT_TRUE(CheckNumber(std::string(400, '9'), 0, 9999, 0));
  EXPECT_TRUE(CheckNumber("5", std::nan(""), 10, 0));
}

TEST(NumbersChecks, DottedNumbers) {
  using format::CheckDottedNumbers;
  EXPECT_FALSE(CheckDottedNumbers(""));
  EXPECT_FALSE(CheckDottedNumbers("       "));
  EXPECT_FALSE(CheckDottedNumbers("12"));
  EXPECT_TRUE(CheckDottedNumbers("12.5"));     // one dot needs 7 characters
  EXPECT_FALSE(CheckDottedNumbers("1.2    "));
  EXPECT_FALSE(CheckDottedNumbers("12.3456"));
  EXPECT_TRUE(CheckDottedNumbers("1..2   "));
  EXPECT_TRUE(CheckDottedNumbers("1.     "));    // empty group
  EXPECT_TRUE(CheckDottedNumbers("0      "));
  EXPECT_TRUE(CheckDottedNumbers("a      "));
  EXPECT_TRUE(CheckDottedNumbers("10000"));      // first group up to 9999 ...
  EXPECT_FALSE(CheckDottedNumbers("100000"));    // ... or 999999 when length - 1 is a multiple of 5
  EXPECT_TRUE(CheckDottedNumbers("1.10000     "));  // later groups up to 9999
}

}  // namespace
