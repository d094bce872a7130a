// The owner report in the spool: heading, page breaks, warnings, totals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/numbers.h"
#include "forms/selection.h"
#include "output/spool.h"
#include "platform/os/os.h"
#include "records/data_files.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "settings/date_display.h"
#include "tests/support/test_support.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/report.h"
#include "vat303/return_state.h"

namespace returntest {
namespace {

class ReportTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  void SetUp() override {
    settings::ResetConfigForTests();
    settings::ResetCatalogueForTests();
    settings::ResetDateDisplayForTests();
    format::ResetNumbersForTests();
    format::SetCurrency("a,E");
    settings::TmpDir = dir.path;
    settings::DataRoot = dir.path;
    settings::Idioma = "CAT";
    vat303::ResetReturnStateForTests();
    vat303::HolderName = "GESTORIA";
    forms::SelFrom = PackedOwner(1);
    forms::SelTo = PackedOwner(9999);
    forms::SelDate = PackedDate("20240630");
    records::TerritoryRecord = std::string("\x81" "ESTAT     ", 11) + std::string(21, '\0');
    records::OwnerRecord.assign(826, '\0');
    records::OwnerRecord.replace(0, 2, PackedOwner(42));
    records::OwnerRecord.replace(2, 40, std::string("Owner").append(35, ' '));
    vat303::IsSpanish = vat303::HasTaxId = vat303::HasAccount = true;
    vat303::PeriodTotals = vat303::Totals{};
    vat303::PeriodTotals.FoundAny = true;
    vat303::PeriodTotals.OutputVat = 21000;
    vat303::PeriodTotals.SumBalance = -123456;
    vat303::ResetReport();
    ASSERT_TRUE(output::PrintOpen("PDF"));
  }
  std::vector<std::string> Lines() {
    output::PrintClose();
    std::string bytes;
    os::ReadFile(dir.path + "zediridi.tmp", bytes);
    std::vector<std::string> lines;
    std::size_t at = 0, end;
    while ((end = bytes.find("\r\n", at)) != std::string::npos) {
      lines.push_back(bytes.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
};

TEST_F(ReportTest, HeadingTakesSixLinesAndAFullPageStartsAnother) {
  vat303::ReportLine();
  EXPECT_EQ(vat303::ReportPageCount(), 1);
  EXPECT_EQ(output::LineCount, 7);  // heading and one line
  output::LineCount = 59;
  vat303::ReportLine();  // still fits
  EXPECT_EQ(vat303::ReportPageCount(), 1);
  EXPECT_EQ(output::LineCount, 60);
  vat303::ReportLine();  // 60 lines: a new page first
  EXPECT_EQ(vat303::ReportPageCount(), 2);
  EXPECT_EQ(output::LineCount, 7);
  const std::vector<std::string> lines = Lines();
  EXPECT_EQ(lines[1], "PAGE 66 ");
  EXPECT_EQ(lines[3], " 1 ,GESTORIA, 0 ");
  EXPECT_EQ(lines[5], " 85 ,P\xB7" "GINA    1, 2 ");
  // (96 - 80) / 2: the title of 80 characters starts in column 8.
  EXPECT_EQ(lines[6],
            " 8 ,RELACI\xE0" " D'I.V.A. A PRESENTAR DES DEL PROPIETARI 0001 AL 9999 A 30/6/2024 (ESTAT), 2 ");
  EXPECT_EQ(lines[18], " 1 ," + std::string(134, '-') + ", 1 ");
  EXPECT_EQ(lines[19], " 1 ,42, 0 ");
  EXPECT_EQ(lines[21], "JUSD");
  EXPECT_EQ(lines[22], " 47 ,  0 %, 0 ");
  EXPECT_EQ(lines[23], " 53 ,      210'00 , 0 ");
  EXPECT_EQ(lines[28], " 123 ,    1.234'56-, 1 ");
}

TEST_F(ReportTest, ALongTitleStartsLeftOfTheFirstColumn) {
  records::TerritoryRecord.replace(1, 10, "ABCDEFGHIJ");
  settings::Idioma = "XXX";
  vat303::HolderName = std::string(60, 'H');
  forms::SelDate = PackedDate("20241231");
  vat303::ReportHeading();
  const std::vector<std::string> lines = Lines();
  // 48 + 4 + 4 + 4 + 3 + 10 + 13 = 86 characters: column 5.
  EXPECT_EQ(lines[6].substr(0, 4), " 5 ,");
}

}  // namespace
}  // namespace returntest
