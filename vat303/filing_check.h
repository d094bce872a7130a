// Reading a filing file back field by field against the record design, with
// every place where it departs from it (for `kap show303` and the tests).
#pragma once

#include <string>
#include <vector>

#include "vat303/filing_layout.h"

namespace vat303 {

struct FieldRead {
  const FilingField* field = nullptr;
  int offset = 0;         // 0-based in the file
  std::string value;      // as read ("" when the file ends before it)
  bool present = false;   // the whole field is in the file
};

struct FilingFault {
  int position = 0;       // 1-based in the file
  std::string text;
};

struct FilingReading {
  bool annualPages = false;
  std::vector<FieldRead> fields;
  std::vector<FilingFault> faults;
};

// Splits `bytes` by the design (with the annual pages when the file's length
// or its page 04 tag says so) and checks every field: the length, tags and
// constants (the period-dependent ones by the year and period of page 01),
// blanks, digits, amounts ("N" only in the first position), the characters
// of codes, identifier and name, no CR or LF anywhere, and the same year and
// period in the tags as on page 01.
FilingReading ReadFilingText(const std::string& bytes);

// An amount field as euros ("-12.34"); "" when it is not an amount.
std::string AmountAsEuros(const std::string& value);

}  // namespace vat303
