#include <string>

#include <gtest/gtest.h>

#include "settings/config.h"
#include "settings/date_display.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using testsupport::Cp850;
using testsupport::Packed;
using testsupport::TempDir;

namespace {

struct DateDisplayTest : ::testing::Test {
  TempDir root;
  void SetUp() override {
    settings::ResetConfigForTests();
    settings::ResetDateDisplayForTests();
    settings::DataRoot = root.path;
    settings::Idioma = "CAT";
  }
  void TearDown() override {
    settings::ResetDateDisplayForTests();
    settings::ResetConfigForTests();
  }
  void UserSettings(const std::string& usuari) {
    os::WriteFile(root.path + "Kova.ini", "[Usuari]\r\n" + usuari);
  }
};

}  // namespace

TEST_F(DateDisplayTest, NumericAndShortMonthForms) {
  const std::string d = Packed(2024, 3, 31);
  EXPECT_EQ(settings::FormatDate(d, 0, "DMA"), "31/3/2024 ");
  EXPECT_EQ(settings::FormatDate(d, 1, "DMA"), "31/mar/2024");
  EXPECT_EQ(settings::FormatDate(d, 0, "ma"), "3/2024 ");  // any case, padded to 2+4+1
  EXPECT_EQ(settings::FormatDate(d, 0, "AMD"), "31/3/2024 ");  // output order is the user's order
  EXPECT_EQ(settings::FormatDate(d, 0, "D"), "31");
  EXPECT_EQ(settings::FormatDate(d, 0, ""), "");
}

TEST_F(DateDisplayTest, LongFormInEachLanguage) {
  const std::string d = Packed(2024, 3, 31), april = Packed(2024, 4, 1);
  EXPECT_EQ(settings::FormatDate(d, 2, "DMA"), "31 de mar\x87 del 2024");
  EXPECT_EQ(settings::FormatDate(april, 2, "DMA"), "1 d'abril del 2024");
  settings::Idioma = "SPA";
  EXPECT_EQ(settings::FormatDate(d, 2, "DMA"), "31 de marzo de 2024");
  EXPECT_EQ(settings::FormatDate(april, 3, "DMA"), "1 de abril de 2024");
  settings::Idioma = "GLG";
  EXPECT_EQ(settings::FormatDate(d, 2, "DMA"), Cp850("31 de março do 2024"));
  settings::Idioma = "OCI";
  EXPECT_EQ(settings::FormatDate(april, 2, "DMA"), "1 d'abriu deth 2024");
  // February starts with "h": the consonant word.
  EXPECT_EQ(settings::FormatDate(Packed(2024, 2, 5), 2, "DMA"), Cp850("5 de hereuèr deth 2024"));
  EXPECT_EQ(settings::FormatDate(Packed(2024, 1, 5), 1, "DMA"), Cp850("5/gèr/2024 "));
  settings::Idioma = "XYZ";  // behaves like Catalan
  EXPECT_EQ(settings::FormatDate(Packed(2024, 8, 2), 2, "MA"), "agost del 2024");
  EXPECT_EQ(settings::FormatDate(Packed(2024, 8, 2), 2, "DM"), "2 d'agost");
}

TEST_F(DateDisplayTest, EmptyDateAndIsoForm) {
  const std::string empty = Packed(2024, 0, 0);
  EXPECT_EQ(settings::FormatDate(empty, 2, "DMA"), "");
  EXPECT_EQ(settings::FormatDate(empty, 0, "DMA"), std::string(10, ' '));
  EXPECT_EQ(settings::FormatDate(empty, 1, "DMA"), std::string(11, ' '));
  EXPECT_EQ(settings::FormatDate(empty, -1, "DMA"), "2024-00-00");
  EXPECT_EQ(settings::FormatDate(Packed(2025, 1, 5), -1, ""), "2025-01-05");
}

TEST_F(DateDisplayTest, UserOrderAndSeparatorAreReadOnce) {
  UserSettings("DatCaracter=-x\r\nDatOrdre=amd\r\n");
  const std::string d = Packed(2024, 3, 31);
  EXPECT_EQ(settings::FormatDate(d, 0, "DMA"), "2024-3-31 ");
  EXPECT_EQ(settings::FormatDate(d, 2, "DMA"), "2024 de mar\x87 del 31");
  EXPECT_EQ(settings::FormatDate(Packed(2025, 1, 5), -1, "DMA"), "2025-01-05");
  UserSettings("DatCaracter=.\r\nDatOrdre=DMA\r\n");
  EXPECT_EQ(settings::FormatDate(d, 0, "DMA"), "2024-3-31 ");  // kept for the run
  settings::ResetDateDisplayForTests();
  EXPECT_EQ(settings::FormatDate(d, 0, "DMA"), "31.3.2024 ");
}

TEST_F(DateDisplayTest, ShortOrderAndBlankSettings) {
  UserSettings("DatCaracter= \r\nDatOrdre=M\r\n");  // blank separator: "/"; order M only
  const std::string d = Packed(2024, 3, 31);
  EXPECT_EQ(settings::FormatDate(d, 0, "DMA"), "3         ");
  settings::ResetDateDisplayForTests();
  UserSettings("DatOrdre=DXA\r\n");
  EXPECT_EQ(settings::FormatDate(d, 0, "DMA"), "31/2024   ");
}

TEST_F(DateDisplayTest, OddInputIsSafe) {
  EXPECT_EQ(settings::FormatDate("", 0, "DMA"), std::string(10, ' '));
  EXPECT_EQ(settings::FormatDate("", -1, "DMA"), "0000-00-00");
  EXPECT_EQ(settings::FormatDate(Packed(2024, 13, 1), 2, "DMA"), "1 de 13 del 2024");
  EXPECT_EQ(settings::FormatDate(Packed(2024, 13, 1), 1, "DMA"), "1/13/2024  ");
  // High bit ignored; values above 99 keep their last two digits.
  EXPECT_EQ(settings::FormatDate(std::string("\x14\x18\x03\x1F", 4), -1, ""), "2024-03-31");
  EXPECT_EQ(settings::FormatDate(std::string("\xFF\xFF\xFF\xFF", 4), -1, ""), "2727-27-27");
}
