// The filing file's record design and the values of its fields.
#include "vat303/filing_layout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "format/numbers.h"
#include "forms/selection.h"
#include "records/data_files.h"
#include "vat303/record_fields.h"

namespace vat303 {
namespace {

enum Page { kOpen, kAux, kP01, kP03, kP04, kP05, kDid, kClose };

constexpr const char* kNameChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789*, \xC7\xD1";
constexpr const char* kIdChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";

struct Row {
  FilingField field;
  int count = 1;
};

Row Const(int page, int pos, const char* text, const char* name, int count = 1) {
  FilingField f;
  f.page = page;
  f.position = pos;
  f.width = static_cast<int>(std::strlen(text));
  f.kind = FieldKind::Constant;
  f.name = name;
  f.constant = text;
  return {f, count};
}

// A constant that takes its later value from 2025 on and in fourth quarters.
Row ByPeriod(int page, int pos, const char* text, const char* later, const char* name) {
  Row r = Const(page, pos, text, name);
  r.field.later = later;
  return r;
}

Row Blank(int page, int pos, int width, const char* name, int count = 1) {
  FilingField f;
  f.page = page;
  f.position = pos;
  f.width = width;
  f.kind = FieldKind::Blank;
  f.name = name;
  return {f, count};
}

Row Amount(int page, int pos, FieldSource source, const char* name, int count = 1) {
  FilingField f;
  f.page = page;
  f.position = pos;
  f.width = 17;
  f.kind = FieldKind::Amount;
  f.source = source;
  f.name = name;
  return {f, count};
}

Row Zero(int page, int pos, int count) { return Amount(page, pos, FieldSource::Zero, "zero amount", count); }

Row Value(int page, int pos, int width, FieldKind kind, FieldSource source, const char* name,
          const char* allowed = "") {
  FilingField f;
  f.page = page;
  f.position = pos;
  f.width = width;
  f.kind = kind;
  f.source = source;
  f.name = name;
  f.allowed = allowed;
  return {f, 1};
}

// The design, page by page, positions as the agency's record design numbers them.
const std::vector<Row>& Rows() {
  using S = FieldSource;
  using K = FieldKind;
  static const std::vector<Row> rows = {
      // Opening tag.
      Const(kOpen, 1, "<T3030", "opening tag"),
      Value(kOpen, 7, 4, K::Number, S::Year, "year"),
      Value(kOpen, 11, 2, K::Code, S::PeriodCode, "period", "1T|2T|3T|4T"),
      Const(kOpen, 13, "0000>", "opening tag end"),
      // Auxiliary block.
      Const(kAux, 1, "<AUX>", "auxiliary block tag"),
      Blank(kAux, 6, 70, "reserved"),
      Const(kAux, 76, "7.00", "version"),
      Blank(kAux, 80, 4, "reserved"),
      Const(kAux, 84, "B70416285", "tax identifier of the software's maker"),
      Blank(kAux, 93, 213, "reserved"),
      Const(kAux, 306, "</AUX>", "auxiliary block end"),
      // Page 01.
      Const(kP01, 1, "<T30301000>", "page 01 tag"),
      Blank(kP01, 12, 1, "reserved"),
      Value(kP01, 13, 1, K::Code, S::ReturnType, "return type", "N|C|U|I"),
      Value(kP01, 14, 9, K::Text, S::OwnerTaxId, "owner tax identifier", kIdChars),
      Value(kP01, 23, 80, K::Text, S::FilingName, "owner name", kNameChars),
      Value(kP01, 103, 4, K::Number, S::Year, "year"),
      Value(kP01, 107, 2, K::Code, S::PeriodCode, "period", "1T|2T|3T|4T"),
      Const(kP01, 109, "2", "indicator"),
      Const(kP01, 110, "2", "indicator"),
      Const(kP01, 111, "3", "indicator"),
      Const(kP01, 112, "2", "indicator"),
      Value(kP01, 113, 1, K::Code, S::CashFlag, "cash accounting", "1|2"),
      Const(kP01, 114, "2", "indicator", 4),
      Blank(kP01, 118, 8, "reserved"),
      Blank(kP01, 126, 1, "reserved"),
      Const(kP01, 127, "2", "indicator"),
      Value(kP01, 128, 1, K::Code, S::FourthQuarter, "fourth-quarter indicator", "0|1|2"),
      Value(kP01, 129, 1, K::Code, S::Annual, "annual indicator", "0|1|2"),
      Amount(kP01, 130, S::SlotABase, "slot A base (rate 0)"),
      Const(kP01, 147, "00000", "rate 0.00 %"),
      Amount(kP01, 152, S::SlotAQuota, "slot A quota (rate 0)"),
      Zero(kP01, 169, 1),
      Const(kP01, 186, "00400", "rate 4.00 %"),
      Zero(kP01, 191, 2),
      ByPeriod(kP01, 225, "00500", "00750", "rate 5.00 % (7.50 % after 2024 or in a fourth quarter)"),
      Zero(kP01, 230, 2),
      Const(kP01, 264, "01000", "rate 10.00 %"),
      Zero(kP01, 269, 1),
      Amount(kP01, 286, S::Base21, "base at 21 %"),
      Const(kP01, 303, "02100", "rate 21.00 %"),
      Amount(kP01, 308, S::Quota21, "quota at 21 %"),
      Zero(kP01, 325, 7),
      Const(kP01, 444, "00175", "rate 1.75 %"),
      Zero(kP01, 449, 2),
      ByPeriod(kP01, 483, "00000", "00100", "rate 0.00 % (1.00 % after 2024 or in a fourth quarter)"),
      Zero(kP01, 488, 2),
      Const(kP01, 522, "00140", "rate 1.40 %"),
      Zero(kP01, 527, 2),
      Const(kP01, 561, "00520", "rate 5.20 %"),
      Zero(kP01, 566, 3),
      Amount(kP01, 617, S::OutputVat, "output VAT"),
      Amount(kP01, 634, S::DeductibleBase, "deductible base"),
      Amount(kP01, 651, S::DeductibleQuota, "deductible quota"),
      Zero(kP01, 668, 14),
      Amount(kP01, 906, S::Regularisation, "regularisation of deductions"),
      Amount(kP01, 923, S::TotalToDeduct, "total to deduct"),
      Amount(kP01, 940, S::GeneralResult, "general result"),
      Zero(kP01, 957, 1),
      ByPeriod(kP01, 974, "00000", "00200", "rate 0.00 % (2.00 % after 2024 or in a fourth quarter)"),
      Zero(kP01, 979, 2),
      ByPeriod(kP01, 1013, "00000", "00050", "rate 0.00 % (0.50 % after 2024 or in a fourth quarter)"),
      Zero(kP01, 1018, 1),
      Blank(kP01, 1035, 535, "reserved"),
      Const(kP01, 1570, "</T30301000>", "page 01 end"),
      // Page 03.
      Const(kP03, 1, "<T30303000>", "page 03 tag"),
      Zero(kP03, 12, 6),
      Amount(kP03, 114, S::Cash1, "cash accounting amount 1"),
      Amount(kP03, 131, S::Cash2, "cash accounting amount 2"),
      Amount(kP03, 148, S::Cash3, "cash accounting amount 3"),
      Amount(kP03, 165, S::Cash4, "cash accounting amount 4"),
      Zero(kP03, 182, 1),
      Amount(kP03, 199, S::GeneralResult, "sum of results"),
      Const(kP03, 216, "10000", "attributable to the state administration (100.00 %)"),
      Amount(kP03, 221, S::GeneralResult, "attributable part"),
      Zero(kP03, 238, 1),
      Amount(kP03, 255, S::Compensation, "compensation pending from earlier periods"),
      Amount(kP03, 272, S::AppliedCompensation, "compensation applied"),
      Amount(kP03, 289, S::PendingCompensation, "compensation still pending"),
      Zero(kP03, 306, 1),
      Amount(kP03, 323, S::FinalResult, "result"),
      Zero(kP03, 340, 2),
      Amount(kP03, 374, S::FinalResult, "result of the return"),
      Value(kP03, 391, 1, K::Code, S::NilMark, "zero balance mark", "X| "),
      Blank(kP03, 392, 1, "reserved"),
      Blank(kP03, 393, 13, "reserved"),
      Blank(kP03, 406, 1, "reserved"),
      Zero(kP03, 407, 2),
      Blank(kP03, 441, 120, "reserved"),
      Blank(kP03, 561, 1, "reserved"),
      Blank(kP03, 562, 1, "reserved"),
      Blank(kP03, 563, 443, "reserved"),
      Const(kP03, 1006, "</T30303000>", "page 03 end"),
      // Page 04 (annual summary).
      Const(kP04, 1, "<T30304000>", "page 04 tag"),
      Blank(kP04, 12, 1, "reserved"),
      Const(kP04, 13, "A01", "activity key"),
      Const(kP04, 16, "8612", "activity heading"),
      Blank(kP04, 20, 3, "empty activity key"),
      Blank(kP04, 23, 4, "empty activity heading"),
      Blank(kP04, 27, 3, "empty activity key"),
      Blank(kP04, 30, 4, "empty activity heading"),
      Blank(kP04, 34, 3, "empty activity key"),
      Blank(kP04, 37, 4, "empty activity heading"),
      Blank(kP04, 41, 3, "empty activity key"),
      Blank(kP04, 44, 4, "empty activity heading"),
      Blank(kP04, 48, 3, "empty activity key"),
      Blank(kP04, 51, 4, "empty activity heading"),
      Blank(kP04, 55, 1, "reserved"),
      Const(kP04, 56, "00000", "percentage", 5),
      Amount(kP04, 81, S::YearBases, "yearly bases B and C"),
      Amount(kP04, 98, S::YearCash1, "yearly cash accounting amount 1"),
      Zero(kP04, 115, 2),
      Amount(kP04, 149, S::YearBaseA, "yearly base A"),
      Zero(kP04, 166, 12),
      Amount(kP04, 370, S::TotalVolume, "total volume"),
      Blank(kP04, 387, 600, "reserved"),
      Const(kP04, 987, "</T30304000>", "page 04 end"),
      // Page 05 (annual summary).
      Const(kP05, 1, "<T30305000>", "page 05 tag"),
      Blank(kP05, 12, 1, "reserved"),
      Const(kP05, 13, "682", "code"),
      Amount(kP05, 16, S::Page05Base, "yearly bases A, B and C (B and C when A is negative)"),
      Amount(kP05, 33, S::YearBases, "yearly bases B and C"),
      Const(kP05, 50, "G", "indicator"),
      Value(kP05, 51, 5, K::Number, S::ProrataPercent, "prorata percentage (2 decimals)"),
      Blank(kP05, 56, 3, "reserved"),
      Zero(kP05, 59, 2),
      Blank(kP05, 93, 1, "reserved"),
      Const(kP05, 94, "00000", "percentage"),
      Blank(kP05, 99, 3, "reserved"),
      Zero(kP05, 102, 2),
      Blank(kP05, 136, 1, "reserved"),
      Const(kP05, 137, "00000", "percentage"),
      Blank(kP05, 142, 3, "reserved"),
      Zero(kP05, 145, 2),
      Blank(kP05, 179, 1, "reserved"),
      Const(kP05, 180, "00000", "percentage"),
      Blank(kP05, 185, 3, "reserved"),
      Zero(kP05, 188, 2),
      Blank(kP05, 222, 1, "reserved"),
      Const(kP05, 223, "00000", "percentage"),
      Zero(kP05, 228, 36),
      Blank(kP05, 840, 672, "reserved"),
      Const(kP05, 1512, "</T30305000>", "page 05 end"),
      // Page DID (bank data, all empty).
      Const(kDid, 1, "<T303DID00>", "page DID tag"),
      Blank(kDid, 12, 11, "empty bank field"),
      Blank(kDid, 23, 34, "empty bank field"),
      Blank(kDid, 57, 70, "empty bank field"),
      Blank(kDid, 127, 35, "empty bank field"),
      Blank(kDid, 162, 30, "empty bank field"),
      Blank(kDid, 192, 2, "empty bank field"),
      Const(kDid, 194, "0", "indicator"),
      Blank(kDid, 195, 617, "reserved"),
      Const(kDid, 812, "</T303DID00>", "page DID end"),
      // Closing tag.
      Const(kClose, 1, "</T3030", "closing tag"),
      Value(kClose, 8, 4, K::Number, S::Year, "year"),
      Value(kClose, 12, 2, K::Code, S::PeriodCode, "period", "1T|2T|3T|4T"),
      Const(kClose, 14, "0000>", "closing tag end"),
  };
  return rows;
}

std::string Fit(const std::string& text, int width) {
  std::string out = text.substr(0, std::min<std::size_t>(text.size(), static_cast<std::size_t>(width)));
  out.resize(static_cast<std::size_t>(width), ' ');
  return out;
}

}  // namespace

const std::vector<FilingPage>& FilingPages() {
  static const std::vector<FilingPage> pages = {
      {"<T", "opening tag", 17, false}, {"AUX", "auxiliary block", 311, false},
      {"01", "page 01", 1581, false},   {"03", "page 03", 1017, false},
      {"04", "page 04", 998, true},     {"05", "page 05", 1523, true},
      {"DID", "page DID", 823, false},  {"</T", "closing tag", 18, false},
  };
  return pages;
}

const std::vector<FilingField>& FilingFields() {
  static const std::vector<FilingField> fields = [] {
    std::vector<FilingField> out;
    for (const Row& row : Rows()) {
      for (int i = 0; i < row.count; ++i) {
        FilingField f = row.field;
        f.position += i * f.width;
        out.push_back(f);
      }
    }
    return out;
  }();
  return fields;
}

int FilingLength(bool annualPages) {
  int length = 0;
  for (const FilingPage& page : FilingPages())
    if (annualPages || !page.annual) length += page.length;
  return length;
}

FilingValues CurrentFilingValues(const std::string& name) {
  FilingValues v;
  const Totals& t = PeriodTotals;
  v.year = Year;
  v.periodCode = PeriodCode;
  v.ownerTaxId = BytesAt(records::OwnerRecord, kOwnerTaxId + 2, 9);
  v.name = Fit(name, 80);
  v.totals = t;
  v.rateSeenA = RateSeenA;
  v.rateSeenB = RateSeenB;
  v.rateSeenC = RateSeenC;
  v.prorata = Prorata;
  v.applied = AppliedCompensation;
  v.pending = PendingCompensation;
  v.final = FinalResult;
  v.cashFlag = CashFlag;

  if (FinalResult == 0) v.returnType = 'N';
  else if (FinalResult < 0) v.returnType = 'C';
  else v.returnType = forms::SelPayment == "D" ? 'U' : 'I';

  const bool yearAmounts = t.YearBaseA + t.YearBases + t.YearCash1 != 0;
  if (Quarter != 4) v.fourthQuarter = '0';
  else v.fourthQuarter = forms::SelAnnual && yearAmounts ? '1' : '2';
  if (!forms::SelAnnual) v.annual = '0';
  else v.annual = yearAmounts ? '1' : '2';

  v.laterRates = std::atoi(Year.c_str()) > 2024 || Quarter > 3;
  v.annualPages = forms::SelAnnual && t.YearBaseA + t.YearBases != 0;
  return v;
}

double FieldAmount(FieldSource source, const FilingValues& v) {
  const Totals& t = v.totals;
  const bool cash = v.cashFlag == '1';
  switch (source) {
    case FieldSource::SlotABase: return v.rateSeenA == 0 ? t.SumBaseA : 0;
    case FieldSource::SlotAQuota: return v.rateSeenA == 0 ? t.SumQuotaA : 0;
    case FieldSource::Base21:
      return (v.rateSeenB == 2100 ? t.SumBaseB : 0) + (v.rateSeenC == 2100 ? t.SumBaseC : 0);
    case FieldSource::Quota21:
      return (v.rateSeenB == 2100 ? t.SumQuotaB : 0) + (v.rateSeenC == 2100 ? t.SumQuotaC : 0);
    case FieldSource::OutputVat: return t.OutputVat;
    case FieldSource::DeductibleBase: return t.SumDeductibleBase;
    case FieldSource::DeductibleQuota: return t.SumDeductibleQuota;
    case FieldSource::Regularisation: return t.SumRegularisation;
    case FieldSource::TotalToDeduct: return t.SumRegularisation + t.SumDeductibleQuota;
    case FieldSource::GeneralResult: return t.GeneralResult;
    case FieldSource::Cash1: return cash ? t.SumCash1 : 0;
    case FieldSource::Cash2: return cash ? t.SumCash2 : 0;
    case FieldSource::Cash3: return cash ? t.SumCash3 : 0;
    case FieldSource::Cash4: return cash ? t.SumCash4 : 0;
    case FieldSource::Compensation: return t.Compensation;
    case FieldSource::AppliedCompensation: return v.applied;
    case FieldSource::PendingCompensation: return v.pending;
    case FieldSource::FinalResult: return v.final;
    case FieldSource::YearBases: return t.YearBases;
    case FieldSource::YearCash1: return t.YearCash1;
    case FieldSource::YearBaseA: return t.YearBaseA;
    case FieldSource::TotalVolume: return t.YearBases + t.YearBaseA + t.YearCash1;
    case FieldSource::Page05Base: return t.YearBaseA < 0 ? t.YearBases : t.YearBaseA + t.YearBases;
    default: return 0;
  }
}

std::string FieldText(const FilingField& f, const FilingValues& v) {
  switch (f.kind) {
    case FieldKind::Constant: return Fit(v.laterRates && f.later ? f.later : f.constant, f.width);
    case FieldKind::Blank: return std::string(static_cast<std::size_t>(f.width), ' ');
    case FieldKind::Amount: {
      const double amount = FieldAmount(f.source, v);
      if (amount == 0 && f.width == 17) return std::string(17, '0');  // most amounts: spare the formatting
      return Fit(format::FormatField(amount, "n17"), f.width);
    }
    default: break;
  }
  switch (f.source) {
    case FieldSource::Year: return Fit(v.year, f.width);
    case FieldSource::PeriodCode: return Fit(v.periodCode, f.width);
    case FieldSource::ReturnType: return Fit(std::string(1, v.returnType), f.width);
    case FieldSource::OwnerTaxId: return Fit(v.ownerTaxId, f.width);
    case FieldSource::FilingName: return Fit(v.name, f.width);
    case FieldSource::CashFlag: return Fit(std::string(1, v.cashFlag), f.width);
    case FieldSource::FourthQuarter: return Fit(std::string(1, v.fourthQuarter), f.width);
    case FieldSource::Annual: return Fit(std::string(1, v.annual), f.width);
    case FieldSource::NilMark: return Fit(v.totals.SumBalance == 0 ? "X" : " ", f.width);
    case FieldSource::ProrataPercent: return Fit(format::FormatField(100 * v.prorata, "V3.2"), f.width);
    default: return std::string(static_cast<std::size_t>(f.width), ' ');
  }
}

std::string FilingText(const FilingValues& v) {
  std::string out;
  out.reserve(static_cast<std::size_t>(FilingLength(true)));
  for (const FilingField& f : FilingFields()) {
    if (FilingPages()[static_cast<std::size_t>(f.page)].annual && !v.annualPages) continue;
    out += FieldText(f, v);
  }
  return out;
}

}  // namespace vat303
