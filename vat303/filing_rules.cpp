// The rules of a correct filing file, each a check over fields found in the
// record design by page and source, so that no position is written twice.
#include "vat303/filing_rules.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "format/taxid.h"
#include "settings/catalogue.h"
#include "vat303/filing_check.h"
#include "vat303/filing_layout.h"

namespace vat303 {
namespace {

using S = FieldSource;

// One file under check, as one rule sees it: its fields are the rule's.
struct Reading {
  std::string_view bytes;
  bool annual = false;
  const FilingContext* context = nullptr;
  const std::vector<int>* fields = nullptr;

  std::string_view Text(std::size_t i) const { return FieldInFile(bytes, (*fields)[i], annual); }
};

struct RuleDef {
  const char* name;
  const char* message;
  std::vector<int> fields;  // read by the check, in this order, and listed
  const char* more;         // what else it concerns, in words ("" for nothing)
  bool (*holds)(const Reading&);
};

// The amounts of the rule's first N fields. False when one is missing or not
// an amount: the rule then has nothing to say (the design and length rules
// speak for such a file).
template <std::size_t N>
bool Amounts(const Reading& r, std::array<std::int64_t, N>& v) {
  for (std::size_t i = 0; i < N; ++i)
    if (!AmountCents(r.Text(i), v[i])) return false;
  return true;
}

int F(const char* page, S source, int nth = 0) { return FindField(page, source, nth); }

// The indexes of the design's fields that pass `test` (given the field and
// its page).
template <typename Test>
std::vector<int> FieldsWhere(Test test) {
  std::vector<int> out;
  const std::vector<FilingField>& fields = FilingFields();
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (test(fields[i], FilingPages()[static_cast<std::size_t>(fields[i].page)])) out.push_back(static_cast<int>(i));
  return out;
}

// Fields of a rule that checks many of them in every file a run writes:
// their places found once, in files without [0] and with [1] the annual
// pages (a field of an annual page has none in the first).
struct Place {
  std::size_t offset, width;
  const FilingField* field;
};
using Places = std::array<std::vector<Place>, 2>;

Places PlacesOf(const std::vector<int>& fields) {
  Places out;
  for (std::size_t annual = 0; annual < 2; ++annual)
    for (int i : fields) {
      const FilingField& f = FilingFields()[static_cast<std::size_t>(i)];
      const int offset = FieldOffset(i, annual == 1);
      if (offset >= 0) out[annual].push_back({static_cast<std::size_t>(offset), static_cast<std::size_t>(f.width), &f});
    }
  return out;
}

// The text of a place in the file; empty when the file ends before it.
std::string_view At(const Reading& r, const Place& p) {
  return p.offset + p.width <= r.bytes.size() ? r.bytes.substr(p.offset, p.width) : std::string_view();
}

const std::vector<Place>& In(const Reading& r, const Places& places) { return places[r.annual ? 1 : 0]; }

char Letter(std::string_view text) { return text.empty() ? ' ' : text.front(); }

// The later rates apply after 2024 and in every fourth quarter: by the
// folder's year and quarter where known, else by page 01's.
bool LaterRates(const Reading& r) {
  static const int year = F("01", S::Year), period = F("01", S::PeriodCode);
  const std::string_view y = r.context->year.empty() ? FieldInFile(r.bytes, year, r.annual) : r.context->year;
  const char q = r.context->quarter ? static_cast<char>('0' + r.context->quarter)
                                    : Letter(FieldInFile(r.bytes, period, r.annual));
  return std::atoi(std::string(y).c_str()) > 2024 || q == '4';
}

int Sign(std::int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// ---- the checks ----------------------------------------------------------------------
bool IsBankPage(const FilingPage& page) { return std::string_view(page.id) == "DID"; }

// Every field of the places the file has holds the form of its kind.
bool HaveTheirForm(const Reading& r, const Places& places) {
  for (const Place& p : In(r, places)) {
    const std::string_view text = At(r, p);
    if (!text.empty() && !HasFieldForm(*p.field, text)) return false;
  }
  return true;
}

// Every field but those of the bank page, which has a rule of its own.
bool FollowsDesign(const Reading& r) {
  static const Places places =
      PlacesOf(FieldsWhere([](const FilingField&, const FilingPage& p) { return !IsBankPage(p); }));
  return HaveTheirForm(r, places);
}

bool LengthFitsPages(const Reading& r) { return r.bytes.size() == static_cast<std::size_t>(FilingLength(r.annual)); }

bool TaxIdPresent(const Reading& r) {
  const std::string_view id = r.Text(0);
  if (id.empty()) return true;
  // Left-aligned: blanks only after it.
  const std::size_t blank = id.find(' ');
  return format::HasTaxId("ES" + std::string(id)) &&
         (blank == std::string_view::npos || id.find_first_not_of(' ', blank) == std::string_view::npos);
}

bool NamePresent(const Reading& r) {
  const std::string_view name = r.Text(0);
  if (name.empty()) return true;
  const std::string_view allowed = FilingFields()[static_cast<std::size_t>((*r.fields)[0])].allowed;
  bool something = false;
  for (char c : name) {
    if (allowed.find(c) == std::string_view::npos) return false;
    something = something || (c != ' ' && c != ',' && c != '*');
  }
  return something;
}

bool SamePeriod(const Reading& r) {
  if (r.Text(0) != r.Text(2) || r.Text(4) != r.Text(2) || r.Text(1) != r.Text(3) || r.Text(5) != r.Text(3))
    return false;
  if (!r.context->year.empty() && r.Text(2) != r.context->year) return false;
  const char quarter[] = {static_cast<char>('0' + r.context->quarter), 'T', '\0'};
  return r.context->quarter == 0 || r.Text(3) == quarter;
}

bool UnusedBoxesZero(const Reading& r) {
  static const Places zeros =
      PlacesOf(FieldsWhere([](const FilingField& f, const FilingPage&) { return f.source == S::Zero; }));
  constexpr std::string_view kZero = "00000000000000000";
  for (const Place& p : In(r, zeros)) {
    const std::string_view text = At(r, p);
    std::int64_t v = 0;
    if (text != kZero && AmountCents(text, v) && v != 0) return false;
  }
  return true;
}

bool NoNegativeZero(const Reading& r) {
  static const Places amounts =
      PlacesOf(FieldsWhere([](const FilingField& f, const FilingPage&) { return f.kind == FieldKind::Amount; }));
  for (const Place& p : In(r, amounts)) {
    const std::string_view text = At(r, p);
    if (!text.empty() && text.front() == 'N' && text.find_first_not_of('0', 1) == std::string_view::npos) return false;
  }
  return true;
}

bool TotalToDeduct(const Reading& r) {
  std::array<std::int64_t, 3> v{};
  return !Amounts(r, v) || v[2] == v[0] + v[1];
}

bool GeneralResult(const Reading& r) {
  std::array<std::int64_t, 3> v{};
  return !Amounts(r, v) || v[2] == v[0] - v[1];
}

bool ResultsOfPage03(const Reading& r) {
  std::array<std::int64_t, 3> v{};
  return !Amounts(r, v) || (v[1] == v[0] && v[2] == v[1]);
}

// Compensation from earlier periods, applied and pending.
bool CompensationAddsUp(const Reading& r) {
  std::array<std::int64_t, 3> v{};
  return !Amounts(r, v) || (v[0] >= 0 && v[1] >= 0 && v[2] >= 0 && v[1] + v[2] == v[0]);
}

// A positive result leaves nothing pending, a negative one applies nothing,
// and only a zero result both applies and keeps compensation.
bool ResultFollowsCompensation(const Reading& r) {
  std::array<std::int64_t, 4> v{};  // applied, pending, result, result of the return
  if (!Amounts(r, v)) return true;
  const std::int64_t applied = v[0], pending = v[1], result = v[3];
  return v[2] == result && !(result > 0 && pending != 0) && !(result < 0 && applied != 0) &&
         !(applied > 0 && pending > 0 && result != 0);
}

bool TypeFitsResult(const Reading& r) {
  std::int64_t result = 0;
  if (!AmountCents(r.Text(1), result)) return true;
  const char type = Letter(r.Text(0));
  switch (Sign(result)) {
    case 0: return type == 'N';
    case -1: return type == 'C';
    default: return type == 'U' || type == 'I';
  }
}

bool TypeFitsRunPayment(const Reading& r) {
  return r.context->payment == 0 || TypeFitsPayment(Letter(r.Text(0)), r.context->payment);
}

// "X" exactly when the period's balance is zero: the result is zero and no
// compensation is left pending.
bool ZeroBalanceMark(const Reading& r) {
  std::array<std::int64_t, 2> v{};
  if (!Amounts(r, v)) return true;
  return (r.Text(2) == "X") == (v[0] == 0 && v[1] == 0);
}

bool IndicatorsFitQuarter(const Reading& r) {
  const char quarter = Letter(r.Text(0)), fourth = Letter(r.Text(1)), annual = Letter(r.Text(2));
  if (quarter != '4') return fourth == '0' && annual == '0';
  return (fourth == '1' && annual == '1') || (fourth == '2' && (annual == '0' || annual == '2'));
}

// Pages 04 and 05 come with the annual summary of a fourth quarter whose
// yearly bases are not zero; the annual indicator says whether the year's
// total volume is.
bool AnnualPagesFit(const Reading& r) {
  std::int64_t bases = 0, baseA = 0, volume = 0;
  if (!AmountCents(r.Text(2), bases) || !AmountCents(r.Text(3), baseA) || !AmountCents(r.Text(4), volume)) return true;
  return Letter(r.Text(0)) == '4' && Letter(r.Text(1)) == (volume != 0 ? '1' : '2') && bases + baseA != 0;
}

bool AnnualSummaryAddsUp(const Reading& r) {
  std::array<std::int64_t, 6> v{};  // 04: bases B and C, cash 1, base A, volume; 05: base, bases B and C
  if (!Amounts(r, v)) return true;
  const std::int64_t page05Base = v[2] < 0 ? v[0] : v[2] + v[0];
  return v[3] == v[0] + v[1] + v[2] && v[4] == page05Base && v[5] == v[0];
}

bool RatesOfThePeriod(const Reading& r) {
  const bool later = LaterRates(r);
  for (std::size_t i = 0; i < r.fields->size(); ++i) {
    const FilingField& f = FilingFields()[static_cast<std::size_t>((*r.fields)[i])];
    const std::string_view text = r.Text(i);
    if (!text.empty() && text != (later ? f.later : f.constant)) return false;
  }
  return true;
}

bool PercentageInRange(const Reading& r) {
  const std::string_view text = r.Text(0);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return true;
  return std::atoi(std::string(text).c_str()) <= 10000;
}

bool CashAmountsWithTheirFlag(const Reading& r) {
  if (Letter(r.Text(0)) != '2') return true;
  std::int64_t v = 0;
  for (std::size_t i = 1; i < r.fields->size(); ++i)
    if (AmountCents(r.Text(i), v) && v != 0) return false;
  return true;
}

// The program sends no account: the bank page is the same empty page
// whatever the type letter and payment form.
bool BankPageEmpty(const Reading& r) {
  static const Places page = PlacesOf(FieldsWhere([](const FilingField&, const FilingPage& p) { return IsBankPage(p); }));
  return HaveTheirForm(r, page);
}

// The request's amount has 12 digits.
bool ResultFitsRequest(const Reading& r) {
  std::int64_t result = 0;
  return r.context->payment != 'N' || !AmountCents(r.Text(0), result) || result < 1000000000000;
}

const std::vector<RuleDef>& Defs() {
  static const std::vector<RuleDef> defs = {
      {"disseny",
       "UN CAMP NO T\x90 LA FORMA DEL DISSENY DE REGISTRE (XIFRES, TEXT FIX, BLANCS O CAR\xB7" "CTERS ADMESOS)",
       {}, "every field but page DID's", FollowsDesign},
      {"llargada", "LA LLARGADA DEL FITXER NO CORRESPON A LES P\xB7GINES QUE CONT\x90", {}, "file length",
       LengthFitsPages},
      {"nif", "FALTA EL NIF DEL PROPIETARI O NO \x90S AJUSTAT A L'ESQUERRA", {F("01", S::OwnerTaxId)}, "",
       TaxIdPresent},
      {"nom", "EL NOM DEL PROPIETARI \x90S BUIT O T\x90 CAR\xB7" "CTERS NO ADMESOS", {F("01", S::FilingName)}, "",
       NamePresent},
      {"periode",
       "L'EXERCICI O EL PER\xD6ODE NO COINCIDEIXEN ENTRE LES ETIQUETES, LA P\xB7GINA 01 I LA CARPETA",
       {F("<T", S::Year), F("<T", S::PeriodCode), F("01", S::Year), F("01", S::PeriodCode), F("</T", S::Year),
        F("</T", S::PeriodCode)},
       "folder", SamePeriod},
      {"zero", "UNA CASELLA QUE LA DECLARACI\xE0 NO OMPLE T\x90 UN IMPORT", {}, "boxes the return leaves at zero",
       UnusedBoxesZero},
      {"zero-negatiu", "UN IMPORT \x90S UN ZERO NEGATIU (N SEGUIDA DE ZEROS)", {}, "every amount", NoNegativeZero},
      {"total-deduir",
       "EL TOTAL A DEDUIR NO \x90S LA SUMA DE LA QUOTA DEDU\xD8" "BLE I LA REGULARITZACI\xE0",
       {F("01", S::DeductibleQuota), F("01", S::Regularisation), F("01", S::TotalToDeduct)}, "", TotalToDeduct},
      {"resultat-general",
       "EL RESULTAT DEL R\xD4GIM GENERAL NO \x90S L'IVA REPERCUTIT MENYS EL TOTAL A DEDUIR",
       {F("01", S::OutputVat), F("01", S::TotalToDeduct), F("01", S::GeneralResult)}, "", GeneralResult},
      {"resultats-03", "ELS RESULTATS DE LA P\xB7GINA 03 NO COINCIDEIXEN AMB EL DE LA P\xB7GINA 01",
       {F("01", S::GeneralResult), F("03", S::GeneralResult), F("03", S::GeneralResult, 1)}, "", ResultsOfPage03},
      {"compensacio",
       "LA COMPENSACI\xE0 APLICADA I LA PENDENT NO SUMEN LA DE PER\xD6ODES ANTERIORS, O N'HI HA DE NEGATIVES",
       {F("03", S::Compensation), F("03", S::AppliedCompensation), F("03", S::PendingCompensation)}, "",
       CompensationAddsUp},
      {"resultat", "EL RESULTAT DE LA DECLARACI\xE0 NO CORRESPON A LA COMPENSACI\xE0 APLICADA I PENDENT",
       {F("03", S::AppliedCompensation), F("03", S::PendingCompensation), F("03", S::FinalResult),
        F("03", S::FinalResult, 1)},
       "", ResultFollowsCompensation},
      {"tipus", "LA LLETRA DEL TIPUS DE DECLARACI\xE0 NO CORRESPON AL SIGNE DEL RESULTAT",
       {F("01", S::ReturnType), F("03", S::FinalResult, 1)}, "", TypeFitsResult},
      {"tipus-pagament", "LA LLETRA DEL TIPUS DE DECLARACI\xE0 NO CORRESPON A LA FORMA DE PAGAMENT",
       {F("01", S::ReturnType)}, "payment form", TypeFitsRunPayment},
      {"saldo-zero", "LA MARCA DE SALDO ZERO NO CORRESPON AL RESULTAT",
       {F("03", S::PendingCompensation), F("03", S::FinalResult, 1), F("03", S::NilMark)}, "", ZeroBalanceMark},
      {"indicadors", "ELS INDICADORS DE QUART TRIMESTRE I DE RESUM ANUAL NO CORRESPONEN AL TRIMESTRE",
       {F("01", S::PeriodCode), F("01", S::FourthQuarter), F("01", S::Annual)}, "", IndicatorsFitQuarter},
      {"pagines-anuals",
       "LES P\xB7GINES 04 I 05 NOM\x90S VAN AMB EL RESUM ANUAL D'UN QUART TRIMESTRE AMB BASES DE L'ANY",
       {F("01", S::PeriodCode), F("01", S::Annual), F("04", S::YearBases), F("04", S::YearBaseA),
        F("04", S::TotalVolume)},
       "", AnnualPagesFit},
      {"resum-anual", "ELS IMPORTS DEL RESUM ANUAL NO SUMEN (VOLUM TOTAL O BASES DE LA P\xB7GINA 05)",
       {F("04", S::YearBases), F("04", S::YearCash1), F("04", S::YearBaseA), F("04", S::TotalVolume),
        F("05", S::Page05Base), F("05", S::YearBases)},
       "", AnnualSummaryAddsUp},
      {"tipus-impositius", "ELS TIPUS IMPOSITIUS NO S\xE0N ELS DEL PER\xD6ODE",
       FieldsWhere([](const FilingField& f, const FilingPage&) { return f.later != nullptr; }), "period",
       RatesOfThePeriod},
      {"percentatge", "EL PERCENTATGE DE PRORRATA NO \x90S ENTRE 0 I 100", {F("05", S::ProrataPercent)}, "",
       PercentageInRange},
      {"criteri-caixa", "HI HA IMPORTS DEL CRITERI DE CAIXA AMB UN INDICADOR QUE NO EN PORTA",
       {F("01", S::CashFlag), F("03", S::Cash1), F("03", S::Cash2), F("03", S::Cash3), F("03", S::Cash4)}, "",
       CashAmountsWithTheirFlag},
      {"banc",
       "LA P\xB7GINA DE DADES BANC\xB7RIES NO CORRESPON AL TIPUS NI A LA FORMA DE PAGAMENT (HA D'ANAR BUIDA)",
       {}, "page DID", BankPageEmpty},
      {"import-nrc", "EL RESULTAT NO CAP EN L'IMPORT DE LA SOL\xFALICITUD NRC (12 XIFRES)",
       {F("03", S::FinalResult, 1)}, "payment form", ResultFitsRequest},
  };
  return defs;
}

// "01/13 03/374", then what else the rule concerns.
std::string FieldsText(const RuleDef& def) {
  std::string text;
  for (int i : def.fields) {
    const FilingField& f = FilingFields()[static_cast<std::size_t>(i)];
    text += (text.empty() ? "" : " ") + std::string(FilingPages()[static_cast<std::size_t>(f.page)].id) + "/" +
            std::to_string(f.position);
  }
  if (*def.more) text += (text.empty() ? "" : " ") + std::string(def.more);
  return text;
}

}  // namespace

const std::vector<FilingRule>& FilingRules() {
  static const std::vector<FilingRule> rules = [] {
    std::vector<FilingRule> out;
    for (const RuleDef& def : Defs()) out.push_back({def.name, FieldsText(def), def.message});
    return out;
  }();
  return rules;
}

std::vector<RuleBreak> CheckFilingRules(std::string_view bytes, const FilingContext& context) {
  std::vector<RuleBreak> broken;
  Reading r;
  r.bytes = bytes;
  r.annual = HasAnnualPages(bytes);
  r.context = &context;
  const std::vector<RuleDef>& defs = Defs();
  for (std::size_t i = 0; i < defs.size(); ++i) {
    r.fields = &defs[i].fields;
    if (!defs[i].holds(r)) broken.push_back({&FilingRules()[i], settings::Translate(defs[i].message)});
  }
  return broken;
}

bool TypeFitsPayment(char type, char payment) {
  if (type == 'U') return payment == 'D';
  if (type == 'I') return payment == 'N' || payment == 'E';
  return true;
}

FilingPayment ReadFilingPayment(std::string_view bytes) {
  static const int type = F("01", S::ReturnType), taxId = F("01", S::OwnerTaxId), name = F("01", S::FilingName),
                   result = F("03", S::FinalResult, 1);
  const bool annual = HasAnnualPages(bytes);
  FilingPayment p;
  p.type = Letter(FieldInFile(bytes, type, annual));
  p.resultKnown = AmountCents(FieldInFile(bytes, result, annual), p.result);
  p.taxId = FieldInFile(bytes, taxId, annual);
  p.name = FieldInFile(bytes, name, annual).substr(0, 38);
  return p;
}

}  // namespace vat303
