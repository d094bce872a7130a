// The record design of the Model 303 filing file, as one table: every page
// and every field with its position, width, kind and the value it takes.
// The writer (filing_file.cpp) and the checker of `kap show303` both work
// from this table, so a new year's design is a change to the table alone.
#pragma once

#include <string>
#include <vector>

#include "vat303/return_state.h"

namespace vat303 {

enum class FieldKind {
  Constant,  // fixed text (some change with the period: see FilingField::later)
  Blank,     // blanks
  Amount,    // 17 characters: cents as digits with leading zeros, "N" first when negative
  Number,    // digits (year, percentage)
  Text,      // the name: capitals, digits, "*", ",", blank, Latin-1 C-cedilla and N-tilde
  Code,      // one character (or a fixed set of texts) from `allowed`
};

enum class FieldSource {
  None,  // Constant or Blank
  Year, PeriodCode, ReturnType, OwnerTaxId, FilingName, CashFlag, FourthQuarter, Annual, NilMark,
  Zero, SlotABase, SlotAQuota, Base21, Quota21, OutputVat, DeductibleBase, DeductibleQuota,
  Regularisation, TotalToDeduct, GeneralResult, Cash1, Cash2, Cash3, Cash4, Compensation,
  AppliedCompensation, PendingCompensation, FinalResult, YearBases, YearCash1, YearBaseA,
  TotalVolume, Page05Base, ProrataPercent,
};

struct FilingPage {
  const char* id;      // "01", "AUX", ...
  const char* name;    // for listings
  int length;
  bool annual;         // only with the annual summary's pages
};

struct FilingField {
  int page = 0;        // index into FilingPages()
  int position = 0;    // 1-based within the page
  int width = 0;
  FieldKind kind = FieldKind::Blank;
  FieldSource source = FieldSource::None;
  const char* name = "";
  const char* constant = "";  // Constant: the text
  const char* later = nullptr;  // Constant: the text from 2025 on and in every fourth quarter
  const char* allowed = "";   // Code: the characters it may hold
};

const std::vector<FilingPage>& FilingPages();
// Every field in file order, repeated fields spelled out.
const std::vector<FilingField>& FilingFields();
// Lengths of the whole file without and with the annual pages.
int FilingLength(bool annualPages);

// What the fields of one owner's file take.
struct FilingValues {
  std::string year;        // 4 digits
  std::string periodCode;  // "2T"
  std::string ownerTaxId;  // 9 characters
  std::string name;        // 80 characters
  char returnType = 'N';
  char cashFlag = '1';
  char fourthQuarter = '0';
  char annual = '0';
  bool laterRates = false;   // Year > 2024 or the fourth quarter
  bool annualPages = false;
  Totals totals;
  int rateSeenA = 0, rateSeenB = 0, rateSeenC = 0;
  double prorata = 0;
  double applied = 0, pending = 0, final = 0;
};

// The values of the current owner (run state, period totals, selection).
// `name` is the 80-character name field.
FilingValues CurrentFilingValues(const std::string& name);
// The text of one field (exactly its width).
std::string FieldText(const FilingField& field, const FilingValues& values);
// The whole file.
std::string FilingText(const FilingValues& values);
// A field's value in cents, for the amount sources.
double FieldAmount(FieldSource source, const FilingValues& values);

}  // namespace vat303
