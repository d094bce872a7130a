// State of one run of the return, shared by the driver, the period totals,
// the filing file, the NRC request file and the report. Amounts are euro
// cents held as doubles.
#pragma once

#include <string>

namespace vat303 {

// Sums of one owner's period records in one territory pass, and the amounts
// derived from them.
struct Totals {
  double SumBaseA = 0, SumQuotaA = 0;
  double SumBaseB = 0, SumQuotaB = 0;
  double SumBaseC = 0, SumQuotaC = 0;
  double SumInputVat = 0;
  double SumDeductibleBase = 0, SumDeductibleQuota = 0;
  double SumRegularisation = 0;
  double Compensation = 0;
  double SumBalance = 0;
  double SumCash1 = 0, SumCash2 = 0, SumCash3 = 0, SumCash4 = 0;
  double YearBases = 0, YearBaseA = 0, YearCash1 = 0;  // annual pass only
  bool FoundAny = false;
  double OutputVat = 0;      // SumQuotaB + SumQuotaA + SumQuotaC
  double GeneralResult = 0;  // OutputVat - SumDeductibleQuota - SumRegularisation
};
extern Totals PeriodTotals;

// The last positive rate met in each slot (reset for every owner) and the
// prorata of the last group read (ProrataPct / 100).
extern int RateSeenA, RateSeenB, RateSeenC;
extern double Prorata;

// Derived by ReturnAmounts.
extern double AppliedCompensation, PendingCompensation, FinalResult;
extern char CashFlag;  // '1' or '2'

// The run: year and quarter of SelDate, the period code ("2T"), the
// territory's output directory and request file, the owner's filing file,
// the count of filing files written in the territory, and the owner checks.
extern std::string Year;        // 4 digits
extern int Quarter;             // 1..4
extern std::string PeriodCode;  // quarter digit + "T"
extern std::string OutputDir;
extern std::string NrcFile;
extern std::string FilingFile;
extern int FilesWritten;
extern bool IsSpanish, HasTaxId, HasAccount;
// The owner's fiscal record was found (the read by its tax identifier gave
// status 0). Without it the fiscal record buffer still holds an earlier
// owner's name, so the filing name is taken from the owner record instead.
extern bool HasFiscalRecord;

// The installation holder: Kova.ini [Titular] "Nom" and "NIF" ("ES" + 9).
extern std::string HolderName, HolderTaxId;

// Everything above back to its start value (tests).
void ResetReturnStateForTests();

}  // namespace vat303
