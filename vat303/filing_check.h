// Reading a filing file back field by field against the record design, with
// every place where it departs from it (for `kap show303` and the tests).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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
// Cents as euros ("-12.34").
std::string CentsAsEuros(std::int64_t cents);

// ---- the fields of many files, read in place --------------------------------------
// Whether the file carries pages 04 and 05: its length says so, or, when it
// has neither length, its page 04 tag.
bool HasAnnualPages(std::string_view bytes);
// The index in FilingFields() of the `nth` field (from 0) of the page with
// id `pageId` that takes `source`; -1 when there is none.
int FindField(const char* pageId, FieldSource source, int nth = 0);
// The text of field `index` of FilingFields() in the file; empty when the
// file has not the field's page or ends before the field does.
std::string_view FieldInFile(std::string_view bytes, int index, bool annualPages);
// Where field `index` starts in a file with or without the annual pages;
// -1 when such a file has not the field's page.
int FieldOffset(int index, bool annualPages);
// Whether `value` has the form of the field's kind: digits, the constant,
// blanks, allowed characters. A constant that changes with the period may
// hold either of its texts.
bool HasFieldForm(const FilingField& field, std::string_view value);
// An amount field's value in cents; false when the text is not an amount.
bool AmountCents(std::string_view value, std::int64_t& cents);

}  // namespace vat303
