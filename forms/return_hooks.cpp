// The hooks of the return form: drawing its blocks, the field rules that
// open and close dependent fields, the checks of typed values, the check of
// block 1 before it is accepted, and the owner pick list. A refused value
// leaves the line that says what is accepted in RefusalText.
//
// Field rules (the Rule item of a field):
//   1  the period end, a quarter's last day; showing it opens field 6 of the
//      block only for December in "S" mode
//   2  whole numbers separated by dots
//   3  the "S"/"N" output switch: links the presenter block, opens fields 5 and 6
//   4  an "S"/"N" switch that opens field 4 of the linked block when "N"
//   21 free text, stored in its normalised form
//   22 a Spanish bank account (or its IBAN typed whole), checked as an IBAN
//      with country code "ES"; an account of zeros is refused
#include <cmath>
#include <string>

#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "forms/hooks.h"
#include "forms/selection.h"
#include "format/dates.h"
#include "format/iban.h"
#include "format/numbers.h"
#include "format/text.h"
#include "platform/console/console.h"
#include "records/data_files.h"
#include "screen/field_editor.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "settings/date_display.h"

namespace forms {
namespace {

constexpr int kOwnerList = 1;
constexpr int kPresenterBlock = 2;
constexpr int kConfirmBlock = 3;

using format::TrimRight;
using settings::Translate;

// What a refusal says is accepted (one line each, translated when shown).
constexpr const char* kDateAccepted = "LA DATA HA DE SER L'\xE9LTIM DIA D'UN TRIMESTRE: 31/3, 30/6, 30/9 O 31/12";
constexpr const char* kOwnerAccepted = "EL N\xE9MERO DE PROPIETARI HA DE SER ENTRE 1 I 9999";
constexpr const char* kRangeAccepted = "EL N\xE9MERO DEL PRIMER PROPIETARI NO POT SER M\x90S ALT QUE EL DE L'\xE9LTIM";
constexpr const char* kAccountLayout = "EL COMPTE HA DE TENIR 20 XIFRES: ENTITAT, OFICINA, CONTROL I N\xE9MERO";
constexpr const char* kBankBranchDigit = "EL PRIMER D\xD6GIT DE CONTROL NO CORRESPON A L'ENTITAT I L'OFICINA";
constexpr const char* kAccountDigit = "EL SEGON D\xD6GIT DE CONTROL NO CORRESPON AL N\xE9MERO DE COMPTE";
constexpr const char* kIbanDigits = "ELS D\xD6GITS DE CONTROL DE L'IBAN NO CORRESPONEN AL COMPTE";
constexpr const char* kZeroAccount = "UN COMPTE DE ZEROS NO \x90S V\xB7LID: ESCRIVIU EL COMPTE REAL O DEIXEU-LO EN BLANC";
constexpr const char* kTownWhere = "ESCRIVIU-LA A LES DADES DEL PRESENTADOR (F2)";
constexpr const char* kAccountNeeded = "LA FORMA DE PAGAMENT N NECESSITA UN COMPTE REAL, NI EN BLANC NI DE ZEROS";

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// The value of a field without its trailing blanks: "S", "N", ...
std::string Switch(int block, int field) { return TrimRight(FieldAt(block, field).Value); }

int MonthOf(const std::string& packedDate) {
  const std::string digits = format::UnpackDigits(packedDate);
  return digits.size() == 8 ? (digits[4] - '0') * 10 + (digits[5] - '0') : 0;
}

int MonthOfField(int block, int field) { return MonthOf(format::DateFromText(FieldAt(block, field).Value)); }

// An account part of zeros only: no account, though CheckIban passes it.
bool Zeros(const std::string& account) {
  const std::string digits = TrimRight(account);
  return !digits.empty() && digits.find_first_not_of('0') == std::string::npos;
}

// The typed account as CheckIban takes it: "ES00" and the account, whose
// IBAN check digits the check fills in; or a Spanish IBAN typed whole, whose
// check digits are then checked.
std::string AccountIban(const std::string& typed) {
  const std::size_t first = typed.find_first_not_of(' ');
  if (first != std::string::npos && format::UpperText(typed.substr(first, 2)) == "ES") return typed.substr(first);
  return "ES00" + typed;
}

// Why CheckIban refused an account (a status other than 0), as the one line
// shown: the part that failed.
const char* AccountRefusal(int status, const std::string& iban) {
  if (status == format::kIbanBadCheckDigits) return kIbanDigits;
  if (status != format::kIbanBadNationalCheck) return kAccountLayout;
  const std::string account = TrimRight(iban.substr(4));
  return (format::SpanishCheckFaults(account) & format::kEsBankBranchDigit) ? kBankBranchDigit : kAccountDigit;
}

void Open(int block, int field, bool open) {
  Field& f = FieldAt(block, field);
  if (open) f.Flags &= ~kFlagDisplayOnly;
  else f.Flags |= kFlagDisplayOnly;
}

// The rules call ShowField for other fields; a form file whose rules point
// back at themselves must not recurse for ever.
int g_ruleDepth = 0;

void ApplyRule(int block, int field) {
  const Field& f = FieldAt(block, field);
  switch (f.Rule) {
    case 1:
      Open(block, 6, MonthOf(format::DateFromText(f.Value)) == 12 && Switch(block, 1) == "S");
      ShowField(block, 6);
      break;
    case 3: {
      const bool filing = Switch(block, field) == "S";
      BlockAt(block).LinkedBlock = filing ? kPresenterBlock : 0;
      Open(block, 5, filing);
      Open(block, 6, MonthOfField(block, 2) == 12 && filing);
      ShowField(block, 5);
      ShowField(block, 6);
      break;
    }
    case 4: {
      const int linked = BlockAt(block).LinkedBlock;
      if (linked > 0) Open(linked, 4, Switch(block, field) == "N");
      break;
    }
    default:
      break;
  }
}

void Message(const std::string& text) {
  screen::MessageBox(12, text);
  console::Beep();
  screen::FlushKeys();
  int key = 0;
  screen::WaitKey(key);
  screen::WindowPop();
}

// The checks of block 1 and the presenter block, all of them at once.
struct SelectionFaults {
  bool notQuarterEnd = false, rangeReversed = false, noTown = false, noAccount = false;
};

SelectionFaults Fill() {
  SelectionFaults faults;
  SelMode = FieldAt(1, 1).Value;
  SelDate = format::DateFromText(FieldAt(1, 2).Value);
  SelFrom = format::PackDigits(FieldAt(1, 3).Value);
  SelTo = format::PackDigits(FieldAt(1, 4).Value);
  SelPayment = FieldAt(1, 5).Value;
  const int month = MonthOf(SelDate);
  SelAnnual = month == 12 && Switch(1, 6) == "S";
  // An empty or unreadable date is no quarter end either.
  faults.notQuarterEnd = !format::IsQuarterEnd(SelDate);
  faults.rangeReversed = SelFrom > SelTo;
  PresTown.clear();
  PresAccount.clear();
  if (TrimRight(SelMode) == "S") {
    // The presenter block is the block linked by the output switch; the
    // batch run, which shows no block, finds it as block 2.
    const int presenter = BlockAt(1).LinkedBlock > 0 ? BlockAt(1).LinkedBlock : kPresenterBlock;
    PresTown = FieldAt(presenter, 1).Value;
    PresAccount = "ES00" + TrimRight(FieldAt(presenter, 2).Value);
    format::CheckIban(PresAccount);
    if (Zeros(PresAccount.substr(4))) PresAccount = "ES00";  // no account at all
    faults.noTown = Blank(PresTown);
    faults.noAccount = Blank(PresAccount.substr(4)) && TrimRight(SelPayment) == "N";
  }
  return faults;
}

}  // namespace

std::string QuarterEndBefore(const std::string& packedDate) {
  const std::string empty = format::PackDigits("00000000");
  const int month = MonthOf(packedDate);
  if (packedDate.size() != 4 || month < 1 || month > 12) return empty;
  // Back into the last month of the quarter before, then to its last day:
  // the month's first day, one month on, one day back.
  const std::string inMonth = format::DateAdd(packedDate, -((month - 1) % 3 + 1), "M");
  const std::string digits = format::UnpackDigits(inMonth);
  if (digits.size() != 8) return empty;
  const std::string first = format::PackDigits(digits.substr(0, 6) + "01");
  const std::string end = format::DateAdd(format::DateAdd(first, 1, "M"), -1, "D");
  // In the first quarter of year 0 there is no quarter before (the date
  // arithmetic stops at 1 January of year 0): nothing is proposed.
  return MonthOf(end) % 3 == 0 ? end : empty;
}

void ShowBlock(int block) {
  screen::SetAttr("rh");
  if (block == 1) {
    const std::string& title = settings::MenuTitle;
    const int column = static_cast<int>(std::nearbyint(41.0 - static_cast<double>(title.size()) / 2.0));
    screen::WinLocate(1, column < 1 ? 1 : column);
    screen::WinPrint(title);
  } else if (block == kPresenterBlock) {
    screen::WinLocate(0, 1);
    screen::WinPrint(settings::Translate(" DADES PRESENTADOR "));
  }
  screen::SetAttr("n");
  const int count = BlockAt(block).FieldCount;
  for (int i = 1; i <= count; ++i) {
    const Field& f = FieldAt(block, i);
    screen::WinLocate(f.Row, f.Column);
    screen::WinPrint(f.Label);
  }
  screen::SetAttr("h");
  for (int i = 1; i <= count; ++i) ShowField(block, i);
}

void ShowField(int block, int field) {
  if (g_ruleDepth < 3) {
    ++g_ruleDepth;
    ApplyRule(block, field);
    --g_ruleDepth;
  }
  const Field& f = FieldAt(block, field);
  const int width = f.Width + f.ClearWidth;
  screen::WinLocate(f.Row, f.Column + static_cast<int>(f.Label.size()));
  if (f.Flags & kFlagDisplayOnly) {
    screen::WinPrint(std::string(static_cast<std::size_t>(width), '-'));
    return;
  }
  if (f.Flags & kFlagSecret) return;
  if (f.Rule == 1) {
    screen::WinPrint(settings::FormatDate(format::DateFromText(f.Value), 0, "dma"));
    return;
  }
  if (!f.Mask.empty()) {
    std::string text;
    if (screen::FindChoice(f.Mask, f.Value, text)) {
      text.resize(static_cast<std::size_t>(width), ' ');
      screen::WinPrint(text);
    }
    return;
  }
  if (f.Length > 0) {
    for (int k = 0; static_cast<std::size_t>(k) * f.Length < f.Value.size(); ++k) {
      screen::WinLocate(f.Row + k, f.Column + static_cast<int>(f.Label.size()));
      screen::WinPrint(f.Value.substr(static_cast<std::size_t>(k) * f.Length, static_cast<std::size_t>(f.Length)));
    }
    return;
  }
  screen::WinPrint(f.Value);
}

int CheckField(int block, const std::string& text, int& field, int key) {
  (void)key;
  const Field& f = FieldAt(block, field);
  int status = 0;
  switch (f.Rule) {
    case 1: {
      std::string date = text;
      if (Blank(date)) date = format::DateText(QuarterEndBefore(settings::SysDate));
      status = format::CheckDateText(date) || !format::IsQuarterEnd(format::DateFromText(date)) ? -1 : 0;
      if (status != 0) {
        RefusalText = Translate(kDateAccepted);
      } else {
        std::string stored = date;
        stored.resize(f.Value.size(), ' ');
        if (stored != f.Value) SetValue(block, field, date);
      }
      break;
    }
    case 2:
      status = format::CheckDottedNumbers(text) ? -1 : 0;
      if (status == 0) SetValue(block, field, text);
      else RefusalText = Translate(kOwnerAccepted);
      break;
    case 21:
      SetValue(block, field, format::NormalizeText(text, f.Width));
      break;
    case 22: {
      std::string account = AccountIban(text);
      status = format::CheckIban(account);
      if (status == 0 && Zeros(account.substr(4))) {
        status = -1;  // passes the check, but is no account
        RefusalText = Translate(kZeroAccount);
      } else if (status != 0) {
        RefusalText = Translate(AccountRefusal(status, account));
      } else {
        SetValue(block, field, account.substr(4));
      }
      break;
    }
    default:
      SetValue(block, field, text);
      break;
  }
  if (status == 0) ShowField(block, field);
  return status;
}

int CheckBlock(int block, int key) {
  if (key == kKeyEsc || block != 1) return 0;
  const SelectionFaults faults = Fill();
  // Each fault is said in a message window, with what is accepted.
  if (faults.notQuarterEnd) Message(Translate(kDateAccepted));
  if (faults.rangeReversed) Message(Translate(kRangeAccepted));
  if (faults.noTown) Message(Translate("HEU D'INDICAR LA POBLACI\xE0 DE CONTACTE") + ": " + Translate(kTownWhere));
  if (faults.noAccount) Message(Translate("HEU D'INDICAR EL COMPTE DE C\xB7RREC") + ": " + Translate(kAccountNeeded));
  bool reject = faults.notQuarterEnd || faults.rangeReversed || faults.noTown || faults.noAccount;
  if (!reject) {
    SetValue(kConfirmBlock, 1, "");
    int confirm = kConfirmBlock;
    int confirmKey = key;
    RunBlock(confirm, 0, 0, confirmKey);
    reject = Switch(kConfirmBlock, 1) != "S";
  }
  return reject ? -1 : 0;
}

SelectionCheck FillSelection() {
  const SelectionFaults faults = Fill();
  if (faults.notQuarterEnd) return kSelectionNotQuarterEnd;
  if (faults.rangeReversed) return kSelectionRangeReversed;
  if (faults.noTown) return kSelectionNoTown;
  if (faults.noAccount) return kSelectionNoAccount;
  return kSelectionAccepted;
}

std::string BrowseLine(int list) {
  if (list != kOwnerList) return std::string();
  const std::string& owner = records::OwnerRecord;
  if (owner.size() < 42) return std::string();
  return format::UnpackDigits(owner.substr(0, 2)) + "  " + owner.substr(2, 40);
}

int BrowseStart(int list, std::string& start, std::string& prefix) {
  if (list == kOwnerList) start = TrimRight(FieldAt(ListAt(list).SearchBlock, 1).Value);
  prefix = start;
  return 0;
}

int ApplyBrowse(int list, int block, int field) {
  if (list != kOwnerList || records::OwnerRecord.size() < 2) return 0;
  int target = field;
  const int status = CheckField(block, format::UnpackDigits(records::OwnerRecord.substr(0, 2)), target, 0);
  if (target != field) CurrentField = target;
  return status;
}

}  // namespace forms
