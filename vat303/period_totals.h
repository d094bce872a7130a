// Period totals of one owner in one territory pass and the return amounts
// derived from them.
#pragma once

#include <string>

namespace vat303 {

// Sums the period records of the current owner (records::OwnerRecord) for
// the quarter forms::SelDate, over the owner's groups of the current
// territory (records::TerritoryRecord), into PeriodTotals; with
// forms::SelAnnual also the year's bases up to SelDate. Reads the group and
// period files through the record layer, so their buffers are left on the
// last records read. Ends with ReturnAmounts(). False when a read failed
// (run_reads.h): the run must stop, the totals are not the owner's.
bool SumPeriod();

// AppliedCompensation, PendingCompensation and FinalResult from
// PeriodTotals, and CashFlag from SelDate and the owner's regime.
void ReturnAmounts();

// Territory codes of the territory table (one byte each), filled by the
// driver before the first pass: a group whose territory is not among them
// is noted as a data problem. Empty: no such check.
extern std::string KnownTerritories;

}  // namespace vat303
