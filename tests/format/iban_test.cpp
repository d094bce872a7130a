#include <gtest/gtest.h>

#include <string>

#include "format/iban.h"

namespace {

using format::CheckIban;

// Independent check of a complete IBAN: moved country and check digits to the
// end, letters as 10-35, the whole number mod 97 must be 1.
bool IbanMod97Holds(const std::string& iban) {
  const std::string moved = iban.substr(4) + iban.substr(0, 4);
  int r = 0;
  for (char c : moved) {
    if (c >= '0' && c <= '9') {
      r = (r * 10 + (c - '0')) % 97;
    } else {
      r = (r * 100 + (c - 'A' + 10)) % 97;
    }
  }
  return r == 1;
}

std::string NoBlanks(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ' ') out.push_back(c);
  return out;
}

// One published example account per country of the table.
const char* const kValidIbans[] = {
    "AT61 1904 3002 3457 3201",           "BE68 5390 0754 7034",
    "BG80 BNBG 9661 1020 3456 78",        "CH93 0076 2011 6238 5295 7",
    "CY17 0020 0128 0000 0012 0052 7600", "CZ65 0800 0000 1920 0014 5399",
    "DE89 3704 0044 0532 0130 00",        "DK50 0040 0440 1162 43",
    "EE38 2200 2210 2014 5685",           "ES91 2100 0418 4502 0005 1332",
    "FI21 1234 5600 0007 85",             "FR14 2004 1010 0505 0001 3M02 606",
    "GB29 NWBK 6016 1331 9268 19",        "GI75 NWBK 0000 0000 7099 453",
    "GR16 0110 1250 0000 0001 2300 695",  "HR12 1001 0051 8630 0016 0",
    "HU42 1177 3016 1111 1018 0000 0000", "IE29 AIBK 9311 5212 3456 78",
    "IS14 0159 2600 7654 5510 7303 39",   "IT60 X054 2811 1010 0000 0123 456",
    "LI21 0881 0000 2324 013A A",         "LT12 1000 0111 0100 1000",
    "LU28 0019 4006 4475 0000",           "LV80 BANK 0000 4351 9500 1",
    "MC58 1122 2000 0101 2345 6789 030",  "MT84 MALT 0110 0001 2345 MTLC AST0 01S",
    "NL91 ABNA 0417 1643 00",             "NO93 8601 1117 947",
    "PL61 1090 1014 0000 0712 1981 2874", "PT50 0002 0123 1234 5678 9015 4",
    "RO49 AAAA 1B31 0075 9384 0000",      "SE45 5000 0000 0583 9825 7466",
    "SI56 2633 0001 2039 086",            "SK31 1200 0000 1987 4263 7541",
    "SM86 U032 2509 8000 0000 0270 100",
};

TEST(IbanCountries, PublishedExamplesOfEveryCountryAreValid) {
  ASSERT_EQ(std::size(kValidIbans), 35u);
  for (const char* example : kValidIbans) {
    const std::string clean = NoBlanks(example);
    ASSERT_TRUE(IbanMod97Holds(clean)) << example;
    std::string iban = clean;
    EXPECT_EQ(CheckIban(iban), 0) << example;
    EXPECT_EQ(iban, clean);
    // With check digits 00 the check digits are computed and written in.
    iban = clean.substr(0, 2) + "00" + clean.substr(4);
    EXPECT_EQ(CheckIban(iban), 0) << example;
    EXPECT_EQ(iban, clean);
    // A wrong pair of check digits is refused.
    iban = clean;
    iban[3] = iban[3] == '9' ? '0' : static_cast<char>(iban[3] + 1);
    EXPECT_EQ(CheckIban(iban), 2) << example;
    // One character too many or too few breaks the layout.
    iban = clean.substr(0, 2) + "00" + clean.substr(4) + "0";
    EXPECT_EQ(CheckIban(iban), 3) << example;
    iban = clean.substr(0, 2) + "00" + clean.substr(4, clean.size() - 5);
    EXPECT_EQ(CheckIban(iban), 3) << example;
  }
}

TEST(IbanSpain, CheckDigitsFilledInForAValidAccount) {
  std::string iban = "ES0021000418450200051332";
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "ES9121000418450200051332");
  iban = "es0021000418450200051332";  // country in small letters
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "es9121000418450200051332");
}

TEST(IbanSpain, WrongNationalCheckDigits) {
  std::string iban = "ES0021000418450200051333";  // last account digit changed
  EXPECT_EQ(CheckIban(iban), -1);
  EXPECT_TRUE(IbanMod97Holds(iban));  // the IBAN digits are still filled in
  iban = "ES0021000418550200051332";  // first check digit changed
  EXPECT_EQ(CheckIban(iban), -1);
  iban = "ES0021000419450200051332";  // branch changed
  EXPECT_EQ(CheckIban(iban), -1);
  // Remainders 0 and 1 give the digit itself: bank and branch 0000 0000 (sum 0),
  // account 0000000002 (sum 12).
  iban = "ES00" "00000000" "01" "0000000002";
  EXPECT_EQ(CheckIban(iban), 0);
}

TEST(IbanSpain, SeparatorsAreRemovedAndLengthKept) {
  std::string iban = "ES00 2100-0418-45.0200051332    ";
  const size_t size = iban.size();
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "ES9121000418450200051332" + std::string(size - 24, ' '));
}

TEST(IbanSpain, MissingOrZeroAccountIsAccepted) {
  std::string iban = "ES00" + std::string(20, ' ');
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "ES00" + std::string(20, ' '));
  iban = "ES00";
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "ES00");
  iban = "ES00 0000-0000 ";
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "ES0000000000   ");
}

TEST(IbanSpain, OneDigitShortIsALayoutFault) {
  std::string iban = "ES002100041845020005133";
  EXPECT_EQ(CheckIban(iban), 3);
  iban = "ES002100041845020005133X";  // letter in a digit group
  EXPECT_EQ(CheckIban(iban), 3);
}

TEST(IbanStructure, CountryAndCheckDigitCharacters) {
  std::string iban = "XX0012345678";
  EXPECT_EQ(CheckIban(iban), 1);
  EXPECT_EQ(iban, "XX0012345678");
  iban = "ES9A21000418450200051332";
  EXPECT_EQ(CheckIban(iban), 2);
  // Wrong check digits win over a wrong layout.
  iban = "ES12 2100 0418 45";
  EXPECT_EQ(CheckIban(iban), 2);
}

TEST(IbanStructure, ShortBlankAndNonAsciiStrings) {
  std::string iban;
  EXPECT_EQ(CheckIban(iban), 1);
  iban = "E";
  EXPECT_EQ(CheckIban(iban), 1);
  iban = "ES";
  EXPECT_EQ(CheckIban(iban), 2);
  iban = "ES0";
  EXPECT_EQ(CheckIban(iban), 2);
  iban = "    ";
  EXPECT_EQ(CheckIban(iban), 1);
  iban = "\xC9S00";
  EXPECT_EQ(CheckIban(iban), 1);
  iban = "ES\xB9\xB9";
  EXPECT_EQ(CheckIban(iban), 2);
  iban = "ES00\x80\xA4\xFF";  // only non-ASCII bytes: removed, nothing left
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "ES00   ");
  iban = "ES00 2100\xA7" "0418450200051332";
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban, "ES9121000418450200051332  ");
}

TEST(IbanNational, BelgiumRemainderZeroStandsFor97) {
  std::string iban = "BE00000000009797";
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_TRUE(IbanMod97Holds(iban));
  iban = "BE00000000009700";
  EXPECT_EQ(CheckIban(iban), -1);
  iban = "BE00539007547035";
  EXPECT_EQ(CheckIban(iban), -1);
}

TEST(IbanNational, NetherlandsFranceAndPortugal) {
  std::string iban = "NL00ABNA0417164301";  // weighted sum not a multiple of 11
  EXPECT_EQ(CheckIban(iban), -1);
  iban = "FR0020041010050500013M02607";  // French key off by one
  EXPECT_EQ(CheckIban(iban), -1);
  iban = "FR0020041010050500013m02606";  // small letter counts as capital
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_EQ(iban.substr(0, 4), "FR14");
  iban = "PT00000201231234567890155";  // Portuguese key off by one
  EXPECT_EQ(CheckIban(iban), -1);
  // A national fault is reported only for a well-formed account.
  iban = "PT0000020123123456789015";
  EXPECT_EQ(CheckIban(iban), 3);
}

TEST(IbanCountries, LettersWhereTheLayoutWantsDigitsAndBack) {
  std::string iban = "GB00NWBK60161331926A19";
  EXPECT_EQ(CheckIban(iban), 3);
  iban = "GB00NW1K60161331926819";
  EXPECT_EQ(CheckIban(iban), 3);
  iban = "IT00X05428111010000ABCDEF12";  // mixed group takes letters and digits
  EXPECT_EQ(CheckIban(iban), 0);
  EXPECT_TRUE(IbanMod97Holds(iban));
}

}  // namespace
