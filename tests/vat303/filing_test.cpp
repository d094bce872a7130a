// The filing file's record design, the values of its fields, and the check
// that reads a file back (kap show303).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "forms/selection.h"
#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "records/data_files.h"
#include "tests/support/test_support.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/filing_check.h"
#include "vat303/filing_file.h"
#include "vat303/filing_layout.h"
#include "vat303/filing_rules.h"
#include "vat303/quarter_check.h"
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

// A file as the program writes it, with the field at (page, source, nth) replaced.
std::string With(std::string file, const char* page, vat303::FieldSource source, int nth, const std::string& text) {
  const std::string_view at =
      vat303::FieldInFile(file, vat303::FindField(page, source, nth), vat303::HasAnnualPages(file));
  file.replace(static_cast<std::size_t>(at.data() - file.data()), at.size(), text);
  return file;
}

class Show303Test : public returntest::ReturnTest {};

// Files made by the program, one field changed per case: exactly the rule
// that guards that field breaks. Every rule's message has its translations.
TEST_F(Show303Test, EachRuleFindsTheChangeItGuardsAndCorrectFilesBreakNone) {
  using S = vat303::FieldSource;
  FilingValues q2 = Values();  // a positive result with compensation applied, payment N
  q2.totals.OutputVat = 2100, q2.totals.SumDeductibleQuota = 500, q2.totals.SumRegularisation = 100;
  q2.totals.GeneralResult = 1500, q2.totals.Compensation = 300, q2.totals.SumBalance = 1500;
  q2.applied = 300, q2.final = 1500, q2.returnType = 'I';
  FilingValues q4 = Values();  // the annual summary of a fourth quarter
  q4.year = "2023", q4.periodCode = "4T", q4.fourthQuarter = '1', q4.annual = '1', q4.laterRates = true;
  q4.annualPages = true, q4.prorata = 0.85, q4.totals.YearBases = 1000, q4.totals.YearBaseA = -200;
  q4.totals.YearCash1 = 50, q4.cashFlag = '2';
  const std::string plain = vat303::FilingText(q2), annual = vat303::FilingText(q4);
  const vat303::FilingContext n{"2024", 2, 'N'}, q4Context{"2023", 4, 'D'};
  EXPECT_TRUE(vat303::CheckFilingRules(plain, n).empty());
  EXPECT_TRUE(vat303::CheckFilingRules(annual, q4Context).empty());
  EXPECT_TRUE(vat303::CheckFilingRules(vat303::FilingText(Values()), {}).empty());

  auto variant = [](FilingValues v, void (*change)(FilingValues&)) { return change(v), vat303::FilingText(v); };
  const struct Case {
    const char* rule;
    std::string bytes;
    vat303::FilingContext context;
  } cases[] = {
      {"disseny", With(plain, "01", S::DeductibleBase, 0, "0000000000000X000"), n},
      {"llargada", plain + " ", n},
      {"nif", With(plain, "01", S::OwnerTaxId, 0, " 12345678"), n},
      {"nom", With(plain, "01", S::FilingName, 0, "," + std::string(79, ' ')), n},
      {"periode", With(plain, "</T", S::Year, 0, "2023"), n},
      {"periode", plain, {"2024", 3, 'N'}},
      {"zero", With(plain, "01", S::Zero, 3, "00000000000000001"), n},
      {"zero-negatiu", With(plain, "01", S::SlotABase, 0, "N0000000000000000"), n},
      {"total-deduir", With(plain, "01", S::DeductibleQuota, 0, "00000000000000600"), n},
      {"resultat-general", With(plain, "01", S::OutputVat, 0, "00000000000002000"), n},
      {"resultats-03", With(plain, "03", S::GeneralResult, 1, "00000000000001400"), n},
      {"compensacio", With(plain, "03", S::Compensation, 0, "00000000000000400"), n},
      {"resultat", With(plain, "03", S::FinalResult, 0, "00000000000001400"), n},
      {"tipus", With(plain, "01", S::ReturnType, 0, "C"), n},
      {"tipus-pagament", plain, {"2024", 2, 'D'}},
      {"saldo-zero", With(plain, "03", S::NilMark, 0, "X"), n},
      {"indicadors", With(plain, "01", S::FourthQuarter, 0, "2"), n},
      {"pagines-anuals",
       variant(q4, [](FilingValues& v) { v.periodCode = "3T", v.fourthQuarter = v.annual = '0', v.laterRates = false; }),
       {"2023", 3, 'D'}},
      {"resum-anual", With(annual, "05", S::Page05Base, 0, "00000000000000800"), q4Context},
      {"tipus-impositius", variant(q2, [](FilingValues& v) { v.laterRates = true; }), n},
      {"percentatge", variant(q4, [](FilingValues& v) { v.prorata = 1.5; }), q4Context},
      {"criteri-caixa", With(annual, "03", S::Cash2, 0, "00000000000000010"), q4Context},
      {"banc", With(plain, "DID", S::None, 1, "ES123456789"), n},
      {"import-nrc", variant(q2, [](FilingValues& v) { v.final = 1e12, v.totals.SumBalance = 1e12; }), n},
  };
  std::set<std::string> tested;
  for (const Case& c : cases) {
    const std::vector<vat303::RuleBreak> broken = vat303::CheckFilingRules(c.bytes, c.context);
    std::string names;
    for (const vat303::RuleBreak& b : broken) names += std::string(b.rule->name) + " ";
    EXPECT_EQ(names, c.rule + std::string(" ")) << c.rule;
    tested.insert(c.rule);
  }
  EXPECT_EQ(tested.size(), vat303::FilingRules().size());

  std::vector<vat303::FilingRule> rules = vat303::FilingRules();
  rules.insert(rules.end(), vat303::FolderRules().begin(), vat303::FolderRules().end());
  settings::FormName = "RUVOZ303";
  for (const char* language : {"SPA", "GLG", "OCI"}) {
    settings::Idioma = language;
    for (const vat303::FilingRule& r : rules) EXPECT_NE(settings::Translate(r.message), r.message) << r.name;
  }
}

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
  // A file of the design that breaks a rule: the rule, its fields and its message.
  os::WriteFile(work.path + "P0003", With(good, "01", vat303::FieldSource::ReturnType, 0, "I"));
  EXPECT_EQ(Kap({"show303", work.path + "P0003"}), 1);
  EXPECT_NE(lastKapErrors.find("rule tipus (01/13 03/374): LA LLETRA DEL TIPUS DE DECLARACI\xC3\x93"),
            std::string::npos) << lastKapErrors;
  EXPECT_EQ(Kap({"show303"}), 2);
}

}  // namespace
