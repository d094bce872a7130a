// The owner VAT report: heading, owner lines with their warnings, totals.
#include "format/text.h"
#include "vat303/report.h"

#include <string>

#include "format/dates.h"
#include "format/numbers.h"
#include "forms/selection.h"
#include "output/spool.h"
#include "records/data_files.h"
#include "settings/catalogue.h"
#include "settings/date_display.h"
#include "vat303/record_fields.h"
#include "vat303/return_state.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

using settings::Translate;

constexpr const char* kAmountMask = ",ZZZ,ZZZ,ZZ9-";
constexpr int kAmountColumns[6] = {53, 67, 81, 95, 109, 123};

int pageCount = 0;
// Output VAT, input VAT, deductible, regularised, compensated, balance.
double totals[6] = {0, 0, 0, 0, 0, 0};

void Justify(const char* code) {
  std::string c = code;
  output::PrintJustify(c);
}

using format::TrimRight;

// The six amounts at their columns, the last one ending the line.
void PrintAmounts(const double (&values)[6]) {
  for (int i = 0; i < 6; ++i)
    output::PrintText(kAmountColumns[i], format::FormatAmount(kAmountMask, values[i]), i == 5 ? 1 : 0);
}

}  // namespace

void ResetReport() {
  pageCount = 0;
  for (double& t : totals) t = 0;
}

int ReportPageCount() { return pageCount; }

void ReportHeading() {
  ++pageCount;
  output::PrintPage(66);
  output::PrintCommand("@e");
  output::PrintText(1, HolderName, 0);
  Justify("D");
  output::PrintText(85, Translate(texts::kPage) + format::FormatMask("ZZZ9", pageCount), 2);
  const std::string territory = BytesAt(records::TerritoryRecord, kTerritoryName, kTerritoryNameWidth);
  const std::string title = Translate(texts::kTitle) + format::UnpackDigits(forms::SelFrom) + Translate(texts::kTo) +
                            format::UnpackDigits(forms::SelTo) + Translate(texts::kAt) +
                            TrimRight(settings::FormatDate(forms::SelDate, 0, "dma")) + " (" +
                            TrimRight(territory) + ")";
  output::PrintText((96 - static_cast<int>(title.size())) / 2, title, 2);
  output::PrintCommand("q");
  output::PrintText(1, Translate(texts::kCode), 0);
  output::PrintText(6, Translate(texts::kOwner), 0);
  Justify("D");
  output::PrintText(47, Translate(texts::kProrata), 0);
  const char* headings[6] = {texts::kOutputVat,    texts::kInputVat,    texts::kDeductible,
                             texts::kRegularised, texts::kCompensated, texts::kBalance};
  for (int i = 0; i < 6; ++i) output::PrintText(kAmountColumns[i], Translate(headings[i]), i == 5 ? 1 : 0);
  output::PrintText(1, std::string(134, '-'), 1);
}

void ReportLine() {
  if (pageCount == 0) ReportHeading();
  if (output::LineCount > 59) ReportHeading();
  const Totals& t = PeriodTotals;
  output::PrintText(1, format::CodeText(BytesAt(records::OwnerRecord, kOwnerCode, kOwnerCodeWidth)), 0);
  output::PrintText(6, BytesAt(records::OwnerRecord, kOwnerName, kOwnerNameWidth), 0);
  Justify("D");
  output::PrintText(47, format::FormatMask("ZZ9 %", 100 * Prorata), 0);
  const double values[6] = {t.OutputVat,         t.SumInputVat,  t.SumDeductibleQuota,
                            t.SumRegularisation, t.Compensation, t.SumBalance};
  PrintAmounts(values);
  if (!IsSpanish) output::PrintText(7, Translate(texts::kNotSpanish), 1);
  if (!HasTaxId) output::PrintText(7, Translate(texts::kNoTaxId), 1);
  if (!HasAccount) output::PrintText(6, Translate(texts::kNoAccount), 1);
  for (int i = 0; i < 6; ++i) totals[i] += values[i];
}

void ReportTotals() {
  output::PrintText(53, std::string(82, '-'), 1);
  output::PrintText(6, Translate(texts::kTotals), 0);
  Justify("D");
  PrintAmounts(totals);
  output::PrintText(6, std::string(129, '='), 1);
}

}  // namespace vat303
