// The print spool, line by line.
#include <gtest/gtest.h>

#include <string>

#include "output/spool.h"
#include "platform/os/os.h"
#include "settings/config.h"
#include "tests/support/test_support.h"

namespace {

class SpoolTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  void SetUp() override {
    settings::ResetConfigForTests();
    settings::TmpDir = dir.path;
  }
  std::string Spool() {
    std::string bytes;
    os::ReadFile(dir.path + "zediridi.tmp", bytes);
    return bytes;
  }
};

TEST_F(SpoolTest, LinesNumbersAndPageCheck) {
  ASSERT_TRUE(output::PrintOpen("PDF:/x/informe.pdf"));
  // Before any page: length and count are 0, so each text finds its page
  // full and a page of 0 lines comes first.
  output::PrintText(5, "A", 0);
  output::PrintText(5, "B", 0);
  EXPECT_EQ(output::LineCount, 0);
  output::PrintPage(66);
  output::PrintCommand("@e");
  output::PrintText(-3, "C", 2);
  EXPECT_EQ(output::LineCount, 2);
  output::PrintPage(2);
  output::PrintText(1, "D", 2);
  output::PrintText(1, "E", 1);  // the page is full: a new one first
  EXPECT_EQ(output::PageLength, 2);
  EXPECT_EQ(output::LineCount, 1);
  ASSERT_TRUE(output::PrintClose());
  EXPECT_EQ(Spool(),
            "DEVICEPDF:/x/informe.pdf\r\n"
            "PAGE 0 \r\n"
            " 5 ,A, 0 \r\n"
            "PAGE 0 \r\n"
            " 5 ,B, 0 \r\n"
            "PAGE 66 \r\n"
            "*@e\r\n"
            "-3 ,C, 2 \r\n"
            "PAGE 2 \r\n"
            " 1 ,D, 2 \r\n"
            "PAGE 2 \r\n"
            " 1 ,E, 1 \r\n");
}

TEST_F(SpoolTest, ControlCharactersBecomeBlanksInACopy) {
  ASSERT_TRUE(output::PrintOpen("\t TXT:/x/a\tb.txt \r"));  // the device as the print program reads it
  output::PrintPage(66);
  const std::string text = std::string("a\tb\rc\nd\x7F" "e\xFF" "f\x82", 12);
  output::PrintText(1, text, 1);
  EXPECT_EQ(text, std::string("a\tb\rc\nd\x7F" "e\xFF" "f\x82", 12));
  output::PrintClose();
  EXPECT_EQ(Spool(), "DEVICETXT:/x/a b.txt\r\nPAGE 66 \r\n 1 ,a b c d e f\x82, 1 \r\n");
}

TEST_F(SpoolTest, JustifyCodesAreNormalisedInPlace) {
  struct Case {
    std::string code, normal;
  } cases[] = {
      {"", "E"},          {"  c", "C"},          {"Right", "D"},     {"d", "D"},
      {"a", "A"},         {"block", "A"},        {"x", "E"},         {"e", "E"},
      {"N12\\ZZ9.99\\ tail", "N 12 \\ZZ9.99\\"}, {" n-7 \\Z\\", "N 7 \\Z\\"},
      {"N", "N 0 "},      {"N3\\open", "N 3 \\open"},
  };
  ASSERT_TRUE(output::PrintOpen(""));
  std::string expected = "DEVICE\r\n";
  for (const Case& c : cases) {
    std::string code = c.code;
    output::PrintJustify(code);
    EXPECT_EQ(code, c.normal) << "code \"" << c.code << "\"";
    expected += "JUS" + c.normal + "\r\n";
  }
  output::PrintClose();
  EXPECT_EQ(Spool(), expected);
}

TEST_F(SpoolTest, ASpoolThatCannotBeCreatedReportsItAndTakesNothing) {
  settings::TmpDir = dir.path + "missing/";
  EXPECT_FALSE(output::PrintOpen("PDF"));
  output::PrintPage(66);
  output::PrintText(1, "x", 1);
  EXPECT_FALSE(output::PrintClose());
  EXPECT_FALSE(os::FileExists(dir.path + "missing/zediridi.tmp"));
}

}  // namespace
