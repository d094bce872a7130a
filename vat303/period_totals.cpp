// Sums of the period records of one owner in one territory pass, the yearly
// bases of the annual summary, and the derived return amounts.
#include "vat303/period_totals.h"

#include <string>

#include "format/dates.h"
#include "forms/selection.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "settings/date_display.h"
#include "vat303/data_problems.h"
#include "vat303/record_fields.h"
#include "vat303/return_state.h"
#include "vat303/run_reads.h"

namespace vat303 {

std::string KnownTerritories;

namespace {

using records::GroupRecord;
using records::PeriodRecord;

// Record key of a period record as the operator reads it: "42.1 30/06/2024".
std::string PeriodName(const std::string& record) {
  return format::CodeText(BytesAt(record, kPeriodKey, kGroupCodeWidth)) + " " +
         settings::FormatDate(BytesAt(record, kPeriodKeyDate, 4), 0, "dma");
}

// The amounts of the current period record into the owner's totals.
void AddPeriodRecord() {
  const std::string& r = PeriodRecord;
  Totals& t = PeriodTotals;
  t.FoundAny = true;
  t.SumBaseA += Int32At(r, kBaseA);
  t.SumQuotaA += Int32At(r, kQuotaA);
  t.SumBaseB += Int32At(r, kBaseB);
  t.SumQuotaB += Int32At(r, kQuotaB);
  t.SumBaseC += Int32At(r, kBaseC);
  t.SumQuotaC += Int32At(r, kQuotaC);
  t.SumInputVat += Int32At(r, kInputVat);
  t.SumDeductibleBase += Int32At(r, kDeductibleBase);
  t.SumDeductibleQuota += Int32At(r, kDeductibleQuota);
  t.SumRegularisation += Int32At(r, kRegularisation);
  t.Compensation -= Int32At(r, kCompensationAmt);
  t.SumBalance += Int32At(r, kBalance);
  t.SumCash1 += Int32At(r, kCashAmount1);
  t.SumCash2 += Int32At(r, kCashAmount2);
  t.SumCash3 += Int32At(r, kCashAmount3);
  t.SumCash4 += Int32At(r, kCashAmount4);
  if (Int16At(r, kRateA) > 0) RateSeenA = Int16At(r, kRateA);
  if (Int16At(r, kRateB) > 0) RateSeenB = Int16At(r, kRateB);
  if (Int16At(r, kRateC) > 0) RateSeenC = Int16At(r, kRateC);

  if (Int32At(r, kBaseA) < 0 || Int32At(r, kBaseB) < 0 || Int32At(r, kBaseC) < 0)
    NoteDataProblem(DataProblem::NegativeBase, PeriodName(r));
  if (ByteAt(r, kProrataPct) > 100) NoteDataProblem(DataProblem::ProrataOutOfRange, PeriodName(r));
}

// The year's period records of the current group up to SelDate.
bool AddYearRecords(const std::string& group) {
  const std::string last = group + forms::SelDate;
  ReadResult read = RunGetByKey(records::kPeriodFile, 0, group + forms::SelDate.substr(0, 2), +1);
  while (read == ReadResult::Found && PeriodRecord.compare(0, kPeriodKeyWidth, last) <= 0) {
    PeriodTotals.YearBases += static_cast<double>(Int32At(PeriodRecord, kBaseB)) + Int32At(PeriodRecord, kBaseC);
    PeriodTotals.YearBaseA += Int32At(PeriodRecord, kBaseA);
    PeriodTotals.YearCash1 += Int32At(PeriodRecord, kCashAmount1);
    if (!format::IsQuarterEnd(BytesAt(PeriodRecord, kPeriodKeyDate, 4)))
      NoteDataProblem(DataProblem::DateNotQuarterEnd, PeriodName(PeriodRecord));
    read = RunMoveNext(records::kPeriodFile);
  }
  return read != ReadResult::Failed;
}

}  // namespace

bool SumPeriod() {
  PeriodTotals = Totals{};
  // Every owner starts from its own records: no rate of an earlier owner
  // decides this owner's rate slots.
  RateSeenA = RateSeenB = RateSeenC = 0;
  if (PeriodRecord.size() <= kProrataPct) PeriodRecord.resize(kCashAmount4 + 4, '\0');

  const std::string owner = BytesAt(records::OwnerRecord, kOwnerCode, kOwnerCodeWidth);
  const char territory = static_cast<char>(ByteAt(records::TerritoryRecord, kTerritoryCode));
  ReadResult group = RunGetByKey(records::kGroupFile, 0, owner, +1);
  while (group == ReadResult::Found && GroupRecord.compare(0, kOwnerCodeWidth, owner) == 0) {
    const std::string code = BytesAt(GroupRecord, kGroupCode, kGroupCodeWidth);
    const char groupTerritory = static_cast<char>(ByteAt(GroupRecord, kGroupTerritory));
    if (!KnownTerritories.empty() && KnownTerritories.find(groupTerritory) == std::string::npos)
      NoteDataProblem(DataProblem::UnknownTerritory, format::CodeText(code));

    // A group without a record for the quarter leaves the percentage at 0.
    PeriodRecord[kProrataPct] = '\0';
    const ReadResult period = RunGetByKey(records::kPeriodFile, 0, code + forms::SelDate, 0);
    if (period == ReadResult::Failed) return false;
    Prorata = ByteAt(PeriodRecord, kProrataPct) / 100.0;
    const bool here = groupTerritory == territory;
    if (period == ReadResult::Found && here) AddPeriodRecord();
    if (forms::SelAnnual && here && !AddYearRecords(code)) return false;
    group = RunMoveNext(records::kGroupFile);
  }
  if (group == ReadResult::Failed) return false;

  Totals& t = PeriodTotals;
  if (t.FoundAny) {
    t.OutputVat = t.SumQuotaB + t.SumQuotaA + t.SumQuotaC;
    t.GeneralResult = t.OutputVat - t.SumDeductibleQuota - t.SumRegularisation;
    if (t.Compensation < 0) t.Compensation = 0;
  }
  ReturnAmounts();
  return true;
}

void ReturnAmounts() {
  const double c = PeriodTotals.Compensation;
  const double r = PeriodTotals.SumBalance;
  if (c > 0 && c + r >= 0 && r >= 0) {
    AppliedCompensation = c;
    PendingCompensation = 0;
    FinalResult = r;
  } else if (c > 0 && c + r >= 0) {
    AppliedCompensation = c + r;
    PendingCompensation = -r;
    FinalResult = 0;
  } else {
    AppliedCompensation = 0;
    PendingCompensation = c;
    FinalResult = c + r;
  }

  // Cash accounting: "1" when the quarter is on or after the regime date
  // exactly when the owner is under the regime.
  const std::string regimeDate = BytesAt(records::OwnerRecord, kRegimeDate, 4);
  const bool onOrAfter = forms::SelDate.compare(regimeDate) >= 0;
  const bool cashRegime = ByteAt(records::OwnerRecord, kRegimeCode) == 'C';
  CashFlag = onOrAfter == cashRegime ? '1' : '2';
}

}  // namespace vat303
