// The filing file's record design, the values of its fields, and the check
// that reads a file back (kap show303).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "forms/selection.h"
#include "platform/os/os.h"
#include "records/data_files.h"
#include "tests/support/test_support.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/filing_check.h"
#include "vat303/filing_file.h"
#include "vat303/filing_layout.h"
#include "vat303/return_state.h"

namespace {

using vat303::FieldKind;
using vat303::FilingField;
using vat303::FilingValues;

// The value of the field at (page id, position) of a file.
std::string FieldAt(const std::string& file, const std::string& page, int position) {
  for (const vat303::FieldRead& r : vat303::ReadFilingText(file).fields)
    if (vat303::FilingPages()[static_cast<std::size_t>(r.field->page)].id == page && r.field->position == position)
      return r.value;
  return "(no such field)";
}

FilingValues Values() {
  FilingValues v;
  v.year = "2024";
  v.periodCode = "2T";
  v.ownerTaxId = "12345678Z";
  v.name = std::string("GARCIA LOPEZ, MARIA JOSE").append(56, ' ');
  v.totals.FoundAny = true;
  return v;
}

TEST(FilingLayout, PagesAreFilledFieldByFieldToTheirLengths) {
  const auto& pages = vat303::FilingPages();
  std::map<int, int> next;  // page -> next free position
  for (const FilingField& f : vat303::FilingFields()) {
    int& at = next.emplace(f.page, 1).first->second;
    EXPECT_EQ(f.position, at) << pages[static_cast<std::size_t>(f.page)].name << " field " << f.name;
    EXPECT_GT(f.width, 0);
    if (f.kind == FieldKind::Constant) {
      EXPECT_EQ(std::string(f.constant).size(), static_cast<std::size_t>(f.width)) << f.name;
    }
    if (f.kind == FieldKind::Amount) {
      EXPECT_EQ(f.width, 17) << f.name;
    }
    at = f.position + f.width;
  }
  for (std::size_t p = 0; p < pages.size(); ++p)
    EXPECT_EQ(next[static_cast<int>(p)], pages[p].length + 1) << pages[p].name;
  EXPECT_EQ(vat303::FilingLength(false), 3767);
  EXPECT_EQ(vat303::FilingLength(true), 6288);
}

// What the office's files (golden_test.cpp) do not show.
TEST(FilingLayout, FieldsTakeTheValuesOfTheReturn) {
  struct Case {
    const char* what;
    void (*change)(FilingValues&);
    const char* page;
    int position;
    std::string expected;
  } cases[] = {
      {"21 % from slots B and C",
       [](FilingValues& v) {
         v.totals.SumBaseB = 100;
         v.totals.SumBaseC = 20;
         v.rateSeenB = 2100;
         v.rateSeenC = 2100;
       },
       "01", 286, "00000000000000120"},
      {"page 05 with a positive yearly base A",
       [](FilingValues& v) {
         v.annualPages = true;
         v.totals.YearBaseA = 500;
         v.totals.YearBases = 2000;
       },
       "05", 16, "00000000000002500"},
      {"prorata of 85 %",
       [](FilingValues& v) {
         v.annualPages = true;
         v.prorata = 85 / 100.0;
       },
       "05", 51, "08500"},
      {"amounts beyond 17 digits keep the rightmost", [](FilingValues& v) { v.totals.OutputVat = 123456789012345678.0; },
       "01", 617, "23456789012345680"},
  };
  for (const Case& c : cases) {
    FilingValues v = Values();
    c.change(v);
    const std::string file = vat303::FilingText(v);
    EXPECT_EQ(FieldAt(file, c.page, c.position), c.expected) << c.what;
    EXPECT_EQ(file.size(), v.annualPages ? 6288u : 3767u) << c.what;
    EXPECT_EQ(file.find_first_of("\r\n"), std::string::npos) << c.what;
  }
}

class FilingStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vat303::ResetReturnStateForTests();
    forms::ResetSelectionForTests();
    records::OwnerRecord.assign(826, '\0');
    records::FiscalRecord.assign(203, '\0');
  }
  static void Owner(const std::string& taxId, const std::string& name) {
    std::string t = taxId, n = name;
    t.resize(17, ' ');
    n.resize(40, ' ');
    records::OwnerRecord.replace(809, 17, t);
    records::OwnerRecord.replace(2, 40, n);
    records::FiscalRecord.replace(186, 17, t);
  }
  static void Fiscal(const std::string& name) {
    std::string n = name;
    n.resize(40, ' ');
    records::FiscalRecord.replace(14, 40, n);
  }
};

TEST_F(FilingStateTest, ReturnTypeAndIndicatorsFollowTheResultAndTheSummary) {
  struct Case {
    int quarter;
    bool annual;
    double final, yearBases, yearCash;
    std::string payment;
    char type, fourth, annualMark;
    bool pages;
  } cases[] = {
      {4, true, 5, 0, 9, "N", 'I', '1', '1', false},  // cash amounts alone: indicators, but no pages
      {2, false, 5, 0, 0, "D", 'U', '0', '0', false},
  };
  for (const Case& c : cases) {
    vat303::Year = "2023";
    vat303::Quarter = c.quarter;
    forms::SelAnnual = c.annual;
    forms::SelPayment = c.payment;
    vat303::FinalResult = c.final;
    vat303::PeriodTotals.YearBases = c.yearBases;
    vat303::PeriodTotals.YearCash1 = c.yearCash;
    const FilingValues v = vat303::CurrentFilingValues("X");
    const std::string trace = "quarter " + std::to_string(c.quarter) + " result " + std::to_string(c.final);
    EXPECT_EQ(v.returnType, c.type) << trace;
    EXPECT_EQ(v.fourthQuarter, c.fourth) << trace;
    EXPECT_EQ(v.annual, c.annualMark) << trace;
    EXPECT_EQ(v.annualPages, c.pages) << trace;
    EXPECT_EQ(v.laterRates, c.quarter == 4) << trace;  // a fourth quarter of 2023 already has them
  }
}

TEST_F(FilingStateTest, NameFieldsOfPersonsCompaniesAndOwnersWithoutAFiscalRecord) {
  struct Case {
    const char* taxId;
    const char* fiscalName;
    bool fiscal;
    const char* ownerName;
    std::string field;  // trimmed
  } cases[] = {
      {"ESB12345674", "ACME SL", true, "", "ACME SL,"},
      {"ES12345678Z", "Garcia L\xA2pez*Maria Jos\x82", true, "", "GARCIA LOPEZ, MARIA JOSE"},
      {"ES23456789D", "Pe\xA4" "a*\xB5ngel", true, "", "PE\xD1" "A, ANGEL"},
      {"ESA08001234", "Fa\x87" "anes", true, "", "FA\xC7" "ANES,"},
      // Without a fiscal record the buffer holds an earlier owner's name:
      // the owner's own name is filed.
      {"ES78901234K", "ZERO ZERO*ANNA", false, "Mas Riera, Carme", "MAS RIERA CARME,"},
      // Nothing the agency can read: no name at all.
      {"ES78901234K", "*", true, "", ""},
      {"ESB12345674", "\xCD\xCD\xCD", true, "", ""},
  };
  for (const Case& c : cases) {
    Owner(c.taxId, c.ownerName);
    Fiscal(c.fiscalName);
    vat303::HasFiscalRecord = c.fiscal;
    std::string field = vat303::FilingNameField();
    if (!c.field.empty()) {
      ASSERT_EQ(field.size(), 80u) << c.fiscalName;
      EXPECT_EQ(field.substr(0, c.field.size()), c.field) << c.fiscalName;
      EXPECT_EQ(field.find_first_not_of(' ', c.field.size()), std::string::npos) << c.fiscalName;
    } else {
      EXPECT_EQ(field, "") << c.fiscalName;
    }
  }
}

TEST(FilingCheck, AFileAsWrittenHasNoFaultsAndEveryChangeIsFound) {
  FilingValues v = Values();
  v.annualPages = true;
  v.totals.GeneralResult = -1234;
  const std::string good = vat303::FilingText(v);
  EXPECT_TRUE(vat303::ReadFilingText(good).faults.empty());
  EXPECT_TRUE(vat303::ReadFilingText(vat303::FilingText(Values())).faults.empty());

  struct Case {
    const char* what;
    std::string bytes;
    int position;  // of the first fault
  } cases[] = {
      {"cut in page 03", good.substr(0, 2000), 2001},
      {"a letter in an amount", good.substr(0, 328 + 629) + "X" + good.substr(328 + 630), 328 + 630},
      {"N inside an amount", good.substr(0, 328 + 629) + "N" + good.substr(328 + 630), 328 + 630},
      {"a CR", good.substr(0, 100) + "\r" + good.substr(101), 101},
      {"a wrong tag", good.substr(0, 17) + "<AUY>" + good.substr(22), 21},
      {"the period rate of a later year", good.substr(0, 328 + 224) + "00750" + good.substr(328 + 229), 328 + 227},
      {"another year in the closing tag", good.substr(0, good.size() - 11) + "2023" + good.substr(good.size() - 7),
       static_cast<int>(good.size()) - 10},
      {"bytes after the end", good + "x", static_cast<int>(good.size()) + 1},
  };
  for (const Case& c : cases) {
    const vat303::FilingReading r = vat303::ReadFilingText(c.bytes);
    ASSERT_FALSE(r.faults.empty()) << c.what;
    int first = r.faults[0].position;
    for (const vat303::FilingFault& f : r.faults) first = std::min(first, f.position);
    EXPECT_EQ(first, c.position) << c.what << ": " << r.faults[0].text;
  }
}

class Show303Test : public returntest::ReturnTest {};

TEST_F(Show303Test, ListsEveryFieldAndExitsWithTheFaultsOfACutFile) {
  FilingValues v = Values();
  const std::string good = vat303::FilingText(v);
  os::WriteFile(work.path + "P0001", good);
  ASSERT_EQ(Kap({"show303", work.path + "P0001"}), 0) << lastKapErrors;
  std::size_t lines = 0;
  for (char ch : lastKapOutput) lines += ch == '\n';
  std::size_t fields = 0;
  for (const FilingField& f : vat303::FilingFields()) fields += !vat303::FilingPages()[static_cast<std::size_t>(f.page)].annual;
  EXPECT_EQ(lines, fields + 3);  // heading, column heading, fields, verdict
  EXPECT_NE(lastKapOutput.find("GARCIA LOPEZ, MARIA JOSE"), std::string::npos);

  os::WriteFile(work.path + "P0002", good.substr(0, 3000));
  EXPECT_EQ(Kap({"show303", work.path + "P0002"}), 1);
  EXPECT_NE(lastKapErrors.find("fault at position 3001"), std::string::npos) << lastKapErrors;
  EXPECT_NE(lastKapErrors.find("the file is cut"), std::string::npos) << lastKapErrors;
  EXPECT_EQ(Kap({"show303"}), 2);
}

}  // namespace
