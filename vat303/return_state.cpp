// The state of one run of the return.
#include "vat303/return_state.h"

#include <string>

namespace vat303 {

Totals PeriodTotals;
int RateSeenA = 0, RateSeenB = 0, RateSeenC = 0;
double Prorata = 0;
double AppliedCompensation = 0, PendingCompensation = 0, FinalResult = 0;
char CashFlag = '1';

std::string Year;
int Quarter = 0;
std::string PeriodCode;
std::string OutputDir;
std::string NrcFile;
std::string FilingFile;
int FilesWritten = 0;
bool IsSpanish = false, HasTaxId = false, HasAccount = false;
bool HasFiscalRecord = false;

std::string HolderName, HolderTaxId;

void ResetReturnStateForTests() {
  PeriodTotals = Totals{};
  RateSeenA = RateSeenB = RateSeenC = 0;
  Prorata = 0;
  AppliedCompensation = PendingCompensation = FinalResult = 0;
  CashFlag = '1';
  Year.clear();
  Quarter = 0;
  PeriodCode.clear();
  OutputDir.clear();
  NrcFile.clear();
  FilingFile.clear();
  FilesWritten = 0;
  IsSpanish = HasTaxId = HasAccount = false;
  HasFiscalRecord = false;
  HolderName.clear();
  HolderTaxId.clear();
}

}  // namespace vat303
