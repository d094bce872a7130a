// Data problems met while a run reads the records: values outside their
// ranges that the return cannot declare as they are. They never change what
// is written; they are shown to the operator after each territory (or
// written on standard error in a batch run).
#pragma once

#include <string>
#include <vector>

namespace vat303 {

enum class DataProblem {
  UnknownTerritory,   // a group's territory code is not in the territory table
  DateNotQuarterEnd,  // a period record dated on no quarter's last day (summed by the annual pass)
  NegativeBase,       // a period record of the quarter with a negative base
  ProrataOutOfRange,  // a period record of the quarter with a deduction percentage above 100
  NoFiscalRecord,     // an owner filed without a fiscal record (name from the owner record)
  EmptyFilingName,    // an owner whose name has nothing the filing file can hold: not filed
  BadOwnerCode,       // an owner code that is not a number from 1 to 9999: not processed
};

// Notes a problem about `what` (an owner code, a group code, a record key as
// text). The same problem about the same item is noted once per run.
void NoteDataProblem(DataProblem problem, const std::string& what);

// The translated text of a problem about `what`.
std::string DataProblemText(DataProblem problem, const std::string& what);

// The problems noted since the last TakeDataProblems, as texts.
std::vector<std::string> TakeDataProblems();

// Forgets every problem noted (start of a run).
void ResetDataProblems();

}  // namespace vat303
