#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "format/text.h"
#include "tests/support/test_support.h"

namespace {

using format::UpperText;

class TextCase : public ::testing::Test {
 protected:
  void TearDown() override { format::ResetTextForTests(); }
};

TEST_F(TextCase, FoldingIsOffUntilSetAndResets) {
  EXPECT_FALSE(format::AccentsFolded());
  format::FoldAccents(true);
  EXPECT_TRUE(format::AccentsFolded());
  format::ResetTextForTests();
  EXPECT_FALSE(format::AccentsFolded());
}

TEST_F(TextCase, UpperKeepsAccentsByDefaultAndFoldsOnRequest) {
  const std::string text = "\x80" "a i \xA4" "and\xA3@";  // Ça i ñandú@
  EXPECT_EQ(UpperText(text), "\x80" "A I \xA5" "AND\xE9@");
  format::FoldAccents(true);
  EXPECT_EQ(UpperText(text), "CA I NANDU ");
  EXPECT_EQ(UpperText(testsupport::Cp850("Ça i ñandú")), "CA I NANDU");
}

TEST_F(TextCase, UpperTableLetterPairs) {
  const std::string small = "\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x91\x93\x94\x95\x96\x97"
                            "\xA0\xA1\xA2\xA3\xA4\xC6\xD0\xE4\xEC";
  const std::string capital = "\x9A\x90\xB6\x8E\xB7\x8F\x80\xD2\xD3\xD4\xD8\xD7\xDE\x92\xE2\x99\xE3\xEA\xEB"
                              "\xB5\xD6\xE0\xE9\xA5\xC7\xD1\xE5\xED";
  EXPECT_EQ(UpperText(small), capital);
  EXPECT_EQ(UpperText(capital), capital);
  // Letters without a capital in the table, signs and bytes outside 0x40-0xED stay.
  const std::string kept = "\x98\x9B\xE1\xE7\x9C\xEE\xFF 09!?\x01";
  EXPECT_EQ(UpperText(kept), kept);
}

TEST_F(TextCase, FoldTableCoversEveryByte) {
  format::FoldAccents(true);
  for (int c = 0; c < 256; ++c) {
    const std::string one(1, static_cast<char>(c));
    const unsigned char r = static_cast<unsigned char>(UpperText(one)[0]);
    if (c < 0x40 || c >= 0xEE) {
      EXPECT_EQ(r, c) << "byte " << c;
    } else {
      EXPECT_TRUE(r == ' ' || (r >= 'A' && r <= 'Z')) << "byte " << c;
    }
  }
  // A capital with its accent and its small letter fold to the same plain letter.
  format::FoldAccents(false);
  for (int c = 0x40; c <= 0xED; ++c) {
    const std::string one(1, static_cast<char>(c));
    const std::string upper = UpperText(one);
    format::FoldAccents(true);
    EXPECT_EQ(UpperText(upper), UpperText(one)) << "byte " << c;
    format::FoldAccents(false);
  }
  format::FoldAccents(true);
  EXPECT_EQ(UpperText("\xA6\xA7\xD5\xE7\xE8\xE1\x9B\x98"), "AOETTSOY");
  EXPECT_EQ(UpperText("[`{\x7F\x9C\x9E\x9F\xA8\xB4\xB8\xC5\xC8\xCF\xD9\xDD\xDF\xE6"), std::string(17, ' '));
}

TEST(TextNormalize, WorkedExamples) {
  const std::string text = testsupport::Cp850("  Sant  Martí, s/n ");
  EXPECT_EQ(format::NormalizeText(text, 0), "SANT MARTI S N");
  EXPECT_EQ(format::NormalizeText(text, 5), "SANT ");
  EXPECT_EQ(format::NormalizeText(text, 20), "SANT MARTI S N      ");
}

TEST(TextNormalize, ReductionDiffersFromFolding) {
  // Ordinal signs, 0xD5 and thorn are blanks here; they collapse with their neighbours.
  EXPECT_EQ(format::NormalizeText("1\xA6 2\xA7\xD5\xE7\xE8x", 0), "1 2 X");
  EXPECT_EQ(format::NormalizeText("\x87\xA4\x91\xE1\x98@\xF0", 0), "CNASY");
  EXPECT_EQ(format::NormalizeText("", 3), "   ");
  EXPECT_EQ(format::NormalizeText("   ", 0), "");
  EXPECT_EQ(format::NormalizeText("ab", -4), "AB");
}

TEST(TextWrap, HundredCharactersInTwoLines) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += (i ? " abcd" : "abcd");
  text += ".";
  ASSERT_EQ(text.size(), 100u);
  std::string wrapped = text;
  format::WrapText(wrapped, 0, 76, "i");
  ASSERT_EQ(wrapped.size(), 152u);
  EXPECT_EQ(wrapped.substr(0, 76), text.substr(0, 75) + " ");
  EXPECT_EQ(wrapped.substr(76), text.substr(75) + std::string(51, ' '));
}

TEST(TextWrap, LongWordIsCutAtTheWidth) {
  std::string text(80, 'x');
  format::WrapText(text, 0, 76, "L");
  EXPECT_EQ(text, std::string(76, 'x') + "xxxx" + std::string(72, ' '));
}

TEST(TextWrap, IndentsAndPadding) {
  std::string text = "aa bb cc dd";
  format::WrapText(text, -2, 7, "e");
  EXPECT_EQ(text, "aa bb  " "  cc dd");
  text = "one two three";
  format::WrapText(text, 3, 8, "L");
  EXPECT_EQ(text, "   one  " "two     " "three   ");
  text = "one two three";
  format::WrapText(text, 0, 9, "n");
  EXPECT_EQ(text, "one two -" "three----");
  text = "one two three";
  format::WrapText(text, 0, 8, "x");  // unknown alignment: lines as they are
  EXPECT_EQ(text, "one two three");
  text = "";
  format::WrapText(text, 0, 76, "i");
  EXPECT_EQ(text, "");
}

// A line broken before a word keeps the blank that ended it; alignment moves
// the line with that blank.
TEST(TextWrap, RightAndCentredLinesKeepTheBreakingBlank) {
  std::string text = "one two three";
  format::WrapText(text, 0, 8, "R");
  EXPECT_EQ(text, "one two " "   three");
  text = "one two three";
  format::WrapText(text, 0, 9, "d");
  EXPECT_EQ(text, " one two " "    three");
  text = "one two three";
  format::WrapText(text, 0, 10, "c");
  EXPECT_EQ(text, " one two  " "  three   ");
}

TEST(TextWrap, JustifiedLinesWidenBlankRunsInTurn) {
  std::string text = "aa bb cc ddd eeee";
  format::WrapText(text, 0, 15, "A");  // the line is "aa bb cc ddd " before widening
  EXPECT_EQ(text, "aa  bb  cc ddd " "eeee");
  text = "aa bb cc ddd eee";
  format::WrapText(text, 0, 16, "b");  // one line only: it is the last, unpadded
  EXPECT_EQ(text, "aa bb cc ddd eee");
  text = "aa bb cc ddd eeee";
  format::WrapText(text, 0, 16, "B");
  EXPECT_EQ(text, "aa  bb  cc  ddd " "eeee");
  // Past the last blank the search starts again at the first blank after the
  // indent; each search begins two characters after the previous insertion.
  text = "a b cccccccc";
  format::WrapText(text, 0, 8, "A");
  EXPECT_EQ(text, "a    b  " "cccccccc");
  text = "abcdefgh ij";
  format::WrapText(text, 0, 9, "A");  // one word on a line that is not the last
  EXPECT_EQ(text, "abcdefgh " "ij");
}

TEST(TextWrap, ControlCharactersTakeNoColumn) {
  std::string text = "ab\x01 cd ef";
  format::WrapText(text, 0, 5, "I");
  EXPECT_EQ(text, "ab\x01 cd" "ef   ");
  text = "abcde\x01 fg";  // the control code stays with the word before it
  format::WrapText(text, 0, 5, "I");
  EXPECT_EQ(text, "abcde\x01" "fg   ");
  text = "abc \x01" "de";  // blanks before a control code at the break are dropped
  format::WrapText(text, 0, 4, "I");
  EXPECT_EQ(text, "abc " "\x01" "de  ");
}

TEST(TextWrap, DegenerateWidthsEnd) {
  std::string text = "abc de";
  format::WrapText(text, 0, 0, "L");
  EXPECT_EQ(text, "abcde");
  text = "abc";
  format::WrapText(text, 10, 4, "L");
  EXPECT_EQ(text, std::string(10, ' ') + "a" + "bc  ");
}

// Widths and indents are 16-bit values: larger ones are held at the limits,
// so no line asks for more than 32767 columns.
TEST(TextWrap, WidthsAndIndentsOutsideTheSixteenBitRangeAreClamped) {
  struct Case {
    std::string text;
    int indent, width;
    const char* align;
    std::size_t size;
    std::string start;
  } cases[] = {
      {"abc", 0, 40000, "i", 32767, "abc "},
      {"abc", 0, INT_MAX, "L", 32767, "abc "},
      {"abc", 0, INT_MIN, "R", 3, "abc"},
      {"abc", 100000, 10, "L", 32767 + 1 + 10, "    "},
      {"ab cd ef", INT_MIN, 5, "L", 5 + 2 * (32768 + 1), "ab cd"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    format::WrapText(text, c.indent, c.width, c.align);
    EXPECT_EQ(text.size(), c.size) << c.indent << " " << c.width;
    EXPECT_EQ(text.substr(0, c.start.size()), c.start) << c.indent << " " << c.width;
  }
}

TEST(TextSmall, IsAllChar) {
  EXPECT_TRUE(format::IsAllChar("", 65));
  EXPECT_TRUE(format::IsAllChar("000", 48));
  EXPECT_FALSE(format::IsAllChar("00 ", 48));
  EXPECT_TRUE(format::IsAllChar("\xC4\xC4", 0xC4));
  EXPECT_FALSE(format::IsAllChar(" ", 32 + 256));
}

TEST(TextSmall, CenterOffset) {
  EXPECT_EQ(format::CenterOffset("abcdefghij", 75), 32);
  EXPECT_EQ(format::CenterOffset("abc", 4), 0);
  EXPECT_EQ(format::CenterOffset("abcdefgh", 5), -1);  // truncates towards zero
  EXPECT_EQ(format::CenterOffset("", 0), 0);
}

TEST(TextSmall, TrimRightTakesOnlyTrailingBlanks) {
  EXPECT_EQ(format::TrimRight(""), "");
  EXPECT_EQ(format::TrimRight("   "), "");
  EXPECT_EQ(format::TrimRight(" a b  "), " a b");
  EXPECT_EQ(format::TrimRight("a\t"), "a\t");
}

// A digest taken piece by piece is the digest of the whole, wherever the
// pieces are cut (a file is hashed as it is read and as it is written).
TEST(TextSmall, DigestDoesNotDependOnWhereThePiecesAreCut) {
  std::string bytes;
  for (int i = 0; i < 1037; ++i) bytes += static_cast<char>(i * 7);
  for (const std::vector<std::size_t>& cuts : std::vector<std::vector<std::size_t>>{
           {}, {0}, {1}, {7, 8}, {258, 516, 774}, {3, 5, 1036}, {1037}}) {
    format::BytesHasher h;
    std::size_t from = 0;
    for (std::size_t cut : cuts) format::HashBytes(h, bytes.data() + from, cut - from), from = cut;
    format::HashBytes(h, bytes.data() + from, bytes.size() - from);
    EXPECT_EQ(format::HashValue(h), format::BytesHash(bytes)) << cuts.size() << " cuts";
  }
  EXPECT_NE(format::BytesHash(bytes), format::BytesHash(bytes.substr(1)));
}

}  // namespace
