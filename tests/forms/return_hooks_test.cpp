// The hooks of the return form, on the form that kap init installs: the
// field rules, the display of fields, the checks of typed values, the check
// of block 1 with its messages and confirmation, and the owner list hooks.
#include <string>

#include "format/dates.h"
#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "forms/hooks.h"
#include "forms/selection.h"
#include "tests/forms/forms_fixture.h"

namespace {

using formstest::FormsTest;
using testsupport::Cp850;
using testsupport::Packed;

class HooksTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    MakeTree({"12,Garrido Font, Pere", "7,Abad Soler, Anna"});
    OpenOwners();
    LoadShippedForm();
    // The main routine's presets.
    Preset("R", "310324", "1", "9999", "N", "S");
  }
  static void Preset(const char* mode, const char* date, const char* from, const char* to, const char* payment,
                     const char* annual) {
    forms::SetValue(1, 1, mode);
    forms::SetValue(1, 2, date);
    forms::SetValue(1, 3, from);
    forms::SetValue(1, 4, to);
    forms::SetValue(1, 5, payment);
    forms::SetValue(1, 6, annual);
  }
  static bool Closed(int block, int field) {
    return (forms::FieldAt(block, field).Flags & forms::kFlagDisplayOnly) != 0;
  }
  // Where block 1 shows the value of a field (labels at column 8, 34 wide).
  static std::string Shown(int row, int count) { return Cells(row, 42, count); }
};

TEST_F(HooksTest, OutputModeAndPeriodOpenOrCloseTheDependentFields) {
  const struct {
    const char* mode;
    const char* date;
    bool paymentOpen, annualOpen;
    int linked;
  } cases[] = {
      {"R", "300624", false, false, 0},
      {"S", "300624", true, false, 2},  // June is no December: no annual summary
      {"S", "311224", true, true, 2},
      {"R", "311224", false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " " + c.date);
    Preset(c.mode, c.date, "1", "9999", "N", "S");
    forms::ShowBlock(1);
    EXPECT_EQ(!Closed(1, 5), c.paymentOpen);
    EXPECT_EQ(!Closed(1, 6), c.annualOpen);
    EXPECT_EQ(forms::BlockAt(1).LinkedBlock, c.linked);
    // A closed field shows as dashes over its width and clear width.
    EXPECT_EQ(Shown(11, 28), c.paymentOpen ? Cp850("N: càrrec en compte (NRC)   ") : std::string(28, '-'));
    EXPECT_EQ(Shown(12, 3), c.annualOpen ? Cp850("Sí ") : "---");
  }
}

TEST_F(HooksTest, ShowBlockDrawsTitleLabelsAndValues) {
  const struct {
    const char* title;
    int column;
  } titles[] = {{"ABCDE", 38}, {" MODEL 303 ", 36}, {"ABCD", 39}, {"  ", 40}};
  for (const auto& t : titles) {
    console::ResetForTests();
    settings::MenuTitle = t.title;
    forms::ShowBlock(1);
    EXPECT_EQ(Cells(1, t.column, static_cast<int>(std::string(t.title).size())), t.title);
    EXPECT_EQ(console::AttrAt(1, t.column), screentest::kReverse);
  }
  EXPECT_EQ(Cells(4, 8, 34), "Tipus de sortida ............. :  ");
  EXPECT_EQ(console::AttrAt(4, 8), screentest::kNormal);
  EXPECT_EQ(Shown(4, 28), Cp850("R: informe de l'IVA         "));
  EXPECT_EQ(console::AttrAt(4, 42), screentest::kHighlight);
  EXPECT_EQ(Shown(6, 10), "31/3/2024 ");  // a date field shows the date, not its digits
  EXPECT_EQ(Shown(8, 4), "1   ");
  // A value that is no code of the choice list shows nothing.
  console::ResetForTests();
  forms::SetValue(1, 1, "X");
  forms::ShowBlock(1);
  EXPECT_EQ(Shown(4, 28), std::string(28, ' '));
}

TEST_F(HooksTest, CheckFieldAcceptsStoresOrRejects) {
  const struct {
    int block, field;
    const char* typed;
    int status;  // 0 accepted
    const char* stored;
  } cases[] = {
      {1, 2, "31/12/2024", 0, "31/12/2024"},
      {1, 2, "311224", 0, "311224"},
      {1, 2, "310424", -1, "310324"},      // no 31 April: the old value stays
      {1, 2, "          ", 0, "310324"},  // blank: the last day of the quarter before the working date
      {1, 3, "42  ", 0, "42"},
      {1, 3, "12a ", -1, "1"},
      {1, 3, "0   ", -1, "1"},
      {2, 1, "Sant Cugat d'Empordà", 0, "SANT CUGAT D EMPORDA"},
      {2, 2, "2100 0418 45 0200051332", 0, "21000418450200051332"},
      {2, 2, "2100-0418-45-0200051332", 0, "21000418450200051332"},
      {2, 2, "2100 0418 46 0200051332", -1, ""},  // national check digits wrong
      {2, 2, "2100 0418 45 020005133", 3, ""},    // one digit short
      {2, 2, "", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Preset("R", "310324", "1", "9999", "N", "S");
    forms::SetValue(2, 1, "");
    forms::SetValue(2, 2, "");
    int field = c.field;
    std::string typed = Cp850(c.typed);
    typed.resize(static_cast<std::size_t>(forms::FieldAt(c.block, c.field).Width), ' ');
    EXPECT_EQ(forms::CheckField(c.block, typed, field, 13), c.status);
    EXPECT_EQ(field, c.field);
    EXPECT_EQ(Value(c.block, c.field), settings::FixedWidth(c.stored, forms::FieldAt(c.block, c.field).Width));
  }
}

// The start of the line a refused value leaves for the block runner to show.
TEST_F(HooksTest, RefusedValuesSayWhatIsAccepted) {
  const struct { int block, field; const char* typed; const char* said; } cases[] = {
      {1, 3, "0", "EL NÚMERO DE"}, {2, 2, "21000418560200051332", "EL PRIMER DÍGIT"}, {2, 2, "2100", "EL COMPTE HA"},
      {2, 2, "21000418460200051332", "EL SEGON DÍGIT"}, {2, 2, "ES9221000418450200051332", "ELS DÍGITS DE CONTROL DE L'IBAN"},
      {2, 2, "ES9121000418450200051332", ""}, {2, 2, "00000000000000000000", "UN COMPTE DE ZEROS"}};
  for (const auto& c : cases) {
    int field = c.field;
    forms::RefusalText.clear();
    EXPECT_EQ(forms::CheckField(c.block, c.typed, field, 13) != 0, *c.said != '\0') << c.typed;
    EXPECT_EQ(forms::RefusalText.substr(0, Cp850(c.said).size()), Cp850(c.said)) << c.typed;
  }
}

TEST_F(HooksTest, CheckBlockRejectsShowsItsMessagesAndAsksForConfirmation) {
  const std::string town = Cp850("HEU D'INDICAR LA POBLACIÓ DE CONTACTE");
  const std::string account = Cp850("HEU D'INDICAR EL COMPTE DE CÀRREC");
  const struct {
    const char* name;
    const char* mode;
    const char* date;
    const char* from;
    const char* to;
    const char* payment;
    const char* town;
    const char* account;
    const char* confirmKeys;
    int result;
    int messages;  // 1 town, 2 account, 3 both, 4 a message of its own
    bool confirmed;
  } cases[] = {
      {"period not ending a quarter", "R", "150624", "1", "9999", "N", "", "", "", -1, 4, false},
      {"range reversed", "R", "300624", "0500", "0100", "N", "", "", "", -1, 4, false},
      {"empty date", "R", "", "1", "9999", "N", "", "", "", -1, 4, false},
      {"report confirmed", "R", "300624", "1", "9999", "N", "", "", "Enter", 0, 0, true},
      {"report not confirmed", "R", "300624", "1", "9999", "N", "", "", "n Enter", -1, 0, true},
      {"confirmation left with Esc", "R", "300624", "1", "9999", "N", "", "", "Esc", -1, 0, true},
      {"filing without a town", "S", "300624", "1", "9999", "D", "", "", "", -1, 1, false},
      {"filing without town or account", "S", "300624", "1", "9999", "N", "", "", "", -1, 3, false},
      {"filing with N and no account", "S", "300624", "1", "9999", "N", "GIRONA", "", "", -1, 2, false},
      {"filing with N and zeros", "S", "300624", "1", "9999", "N", "GIRONA", "00000000000000000000", "", -1, 2, false},
      {"filing with D needs no account", "S", "300624", "1", "9999", "D", "GIRONA", "", "Enter", 0, 0, true},
      {"filing complete", "S", "311224", "1", "9999", "N", "GIRONA", "21000418450200051332", "Enter", 0, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    console::ResetForTests();
    Preset(c.mode, c.date, c.from, c.to, c.payment, "S");
    forms::SetValue(2, 1, c.town);
    forms::SetValue(2, 2, c.account);
    forms::ShowBlock(1);
    forms::SetValue(3, 1, "?");
    std::string seen;
    // Each message waits for a key; the confirmation block reads its keys.
    std::vector<std::function<void()>> stages;
    for (int i = 0; i < 2; ++i)
      stages.push_back([&] {
        seen += console::ScreenText();
        Script("x");
      });
    Script(c.confirmKeys);
    OnIdle(stages);
    EXPECT_EQ(forms::CheckBlock(1, 13), c.result);
    EXPECT_EQ(seen.find(town) != std::string::npos, (c.messages & 1) != 0);
    EXPECT_EQ(seen.find(account) != std::string::npos, (c.messages & 2) != 0);
    EXPECT_EQ(console::BeepCount(), c.messages == 3 ? 2 : (c.messages != 0 ? 1 : 0));
    EXPECT_EQ(Value(3, 1) != "?", c.confirmed) << "the confirmation is cleared and asked only when all is right";
    EXPECT_EQ(screen::WinDepth(), 0);
  }
  // Leaving with Esc is always allowed, and nothing is checked.
  Preset("R", "300424", "1", "9999", "N", "S");
  EXPECT_EQ(forms::CheckBlock(1, 27), 0);
  EXPECT_EQ(forms::CheckBlock(2, 13), 0);
}

TEST_F(HooksTest, RefusedValuesAndARefusedBlockOneAreSaid) {
  settings::MenuTitle = " MODEL 303 ";
  // 30 April: a beep, a line at the foot until the next key. Owners 500 to 100: back on field 1 (s: filing).
  Script("Enter 300424 Enter");
  std::string line, box;
  OnIdle({[&] { line = Cells(25, 1, 80); Script("300624 Enter 500 Enter 0100 Enter"); },
          [&] { box = console::ScreenText(); Script("x s Down"); }});
  int block = 1, key = 0;
  forms::RunBlock(block, 0, 0, key);
  EXPECT_EQ(key, 27);
  EXPECT_EQ(line, "     " + Cp850("LA DATA HA DE SER L'ÚLTIM DIA D'UN TRIMESTRE: 31/3, 30/6, 30/9 O 31/12") + "     ");
  EXPECT_EQ(box.substr(24 * 81, 80), std::string(80, ' '));  // the line went with the next key
  EXPECT_EQ(Value(1, 2), "300624    ");
  EXPECT_EQ(Value(1, 1), "S");
  EXPECT_EQ(console::BeepCount(), 2);
}

TEST_F(HooksTest, FillSelectionTakesBlockOneAndThePresenter) {
  Preset("S", "311224", "1", "9999", "N", "S");
  forms::SetValue(2, 1, "GIRONA");
  forms::SetValue(2, 2, "21000418450200051332");
  // No block has been shown: the presenter block is still found.
  EXPECT_EQ(forms::FillSelection(), forms::kSelectionAccepted);
  EXPECT_EQ(forms::SelMode, "S");
  EXPECT_EQ(forms::SelDate, Packed(2024, 12, 31));
  EXPECT_EQ(forms::SelFrom, format::PackDigits("0001"));
  EXPECT_EQ(forms::SelTo, format::PackDigits("9999"));
  EXPECT_EQ(forms::SelPayment, "N");
  EXPECT_TRUE(forms::SelAnnual);
  EXPECT_EQ(forms::PresTown, settings::FixedWidth("GIRONA", 30));
  EXPECT_EQ(forms::PresAccount, "ES9121000418450200051332");

  const struct {
    const char* mode;
    const char* date;
    const char* from;
    const char* to;
    const char* payment;
    const char* town;
    forms::SelectionCheck check;
  } cases[] = {
      {"S", "300924", "1", "9999", "N", "GIRONA", forms::kSelectionAccepted},
      {"S", "311024", "1", "9999", "N", "GIRONA", forms::kSelectionNotQuarterEnd},
      {"S", "300924", "20", "3", "N", "GIRONA", forms::kSelectionRangeReversed},
      {"S", "300924", "1", "9999", "N", "", forms::kSelectionNoTown},
      {"R", "300924", "1", "9999", "N", "", forms::kSelectionAccepted},
  };
  for (const auto& c : cases) {
    Preset(c.mode, c.date, c.from, c.to, c.payment, "S");
    forms::SetValue(2, 1, c.town);
    EXPECT_EQ(forms::FillSelection(), c.check) << c.date << " " << c.from << "-" << c.to << " " << c.town;
  }
  // The town is there but the account is missing.
  forms::SetValue(2, 1, "REUS");
  forms::SetValue(2, 2, "");
  Preset("S", "300924", "1", "9999", "N", "S");
  EXPECT_EQ(forms::FillSelection(), forms::kSelectionNoAccount);
  EXPECT_FALSE(forms::SelAnnual);
}

TEST_F(HooksTest, OwnerListHooks) {
  int status = 0;
  records::BtrGetByKey(records::kOwnerFile, 0, format::PackDigits("0012"), 0, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(forms::BrowseLine(1), settings::FixedWidth("0012  Garrido Font, Pere", 46));
  EXPECT_EQ(forms::BrowseLine(2), "");
  forms::SetValue(4, 1, "gar");
  std::string start = "x", prefix;
  EXPECT_EQ(forms::BrowseStart(1, start, prefix), 0);
  EXPECT_EQ(start, "gar");
  EXPECT_EQ(prefix, "gar");
  start = "other";
  EXPECT_EQ(forms::BrowseStart(2, start, prefix), 0);
  EXPECT_EQ(start, "other");
  EXPECT_EQ(prefix, "other");
  EXPECT_EQ(forms::ApplyBrowse(1, 1, 4), 0);
  EXPECT_EQ(Value(1, 4), "0012");
  EXPECT_EQ(forms::ApplyBrowse(2, 1, 3), 0);
  EXPECT_EQ(Value(1, 3), "1   ");
}

}  // namespace
