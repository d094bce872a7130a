// Data problems noted during a run.
#include "vat303/data_problems.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "settings/catalogue.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

std::set<std::pair<int, std::string>> noted;
std::vector<std::string> pending;

}  // namespace

std::string DataProblemText(DataProblem problem, const std::string& what) {
  const char* text = "";
  switch (problem) {
    case DataProblem::UnknownTerritory: text = texts::kUnknownTerritory; break;
    case DataProblem::DateNotQuarterEnd: text = texts::kDateNotQuarterEnd; break;
    case DataProblem::NegativeBase: text = texts::kNegativeBase; break;
    case DataProblem::ProrataOutOfRange: text = texts::kProrataOutOfRange; break;
    case DataProblem::NoFiscalRecord: text = texts::kNoFiscalRecord; break;
    case DataProblem::EmptyFilingName: text = texts::kEmptyFilingName; break;
    case DataProblem::BadOwnerCode: text = texts::kBadOwnerCode; break;
  }
  return settings::Translate(text) + what;
}

void NoteDataProblem(DataProblem problem, const std::string& what) {
  if (!noted.insert({static_cast<int>(problem), what}).second) return;
  pending.push_back(DataProblemText(problem, what));
}

std::vector<std::string> TakeDataProblems() {
  std::vector<std::string> out;
  out.swap(pending);
  return out;
}

void ResetDataProblems() {
  noted.clear();
  pending.clear();
}

}  // namespace vat303
