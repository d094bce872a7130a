// Reading an NRC request file whole and strictly, as the bank reads it: for
// the checks of a quarter's outputs. Nothing is changed; the file's writer
// is nrc_file.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vat303 {

enum class NrcProblem {
  RecordLength,  // a record not of the version's length, or not ended by CR LF
  Header,        // the first record is not a header of version 01 or 02
  RecordType,    // a record of an unknown type, or a second header
  Numbering,     // details not numbered 1, 2, 3, ...
  Amount,        // a detail's amount is not digits
  Ending,        // no trailer, or records after it
  Counts,        // the trailer's count of records or of details is wrong
  Total,         // the trailer's total is not the sum of the details
};

struct NrcProblemAt {
  NrcProblem problem;
  int record = 0;  // from 1
};

// A detail's fields are views into the bytes read: they live as long as
// those bytes.
struct NrcDetailRead {
  int record = 0;                         // from 1 (the header is record 1)
  std::string_view model, year, period;   // "303", "2024", "2T"
  std::string_view taxId;                 // 9 characters
  std::string_view name;                  // 38 characters
  std::int64_t amount = 0;                // cents
  bool amountKnown = false;
};

struct NrcReading {
  int version = 0;  // the header's, 0 when it has none
  std::vector<NrcDetailRead> details;
  std::vector<NrcProblemAt> problems;  // each kind once, at the first record that shows it
};

// Every record of the header's version length followed by CR LF; the header
// first, details numbered from 1 with digits for their amounts, and one
// trailer last whose counts and total are those of the details. An empty
// file holds no request and is whole. The details point into `bytes`.
NrcReading ReadNrcText(std::string_view bytes);

}  // namespace vat303
