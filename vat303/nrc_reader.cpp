// A strict reading of an NRC request file.
#include "vat303/nrc_reader.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vat303/nrc_file.h"

namespace vat303 {
namespace {

// Field places (from 0) in the records.
constexpr std::size_t kVersionAt = 98;                                   // header
constexpr std::size_t kSequenceAt = 2, kModelAt = 7, kYearAt = 10, kPeriodAt = 14, kTaxIdAt = 18, kNameAt = 27,
                      kAmountAt = 74;                                    // detail
constexpr std::size_t kRecordsAt = 2, kDetailsAt = 7, kTotalAt = 12;    // trailer

// The number in `width` digits at `at`; false when they are not all digits.
bool Number(std::string_view record, std::size_t at, std::size_t width, std::int64_t& value) {
  value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (record[i] < '0' || record[i] > '9') return false;
    value = value * 10 + (record[i] - '0');
  }
  return true;
}

void Note(NrcReading& out, NrcProblem problem, int record) {
  for (const NrcProblemAt& p : out.problems)
    if (p.problem == problem) return;
  out.problems.push_back({problem, record});
}

// The record length with its CR LF: by the header's version, else by where
// the first line ends. 0 when neither tells.
std::size_t RecordLength(std::string_view bytes, NrcReading& out) {
  const std::string_view version = bytes.size() >= kVersionAt + 2 ? bytes.substr(kVersionAt, 2) : "";
  if (bytes.substr(0, 2) == "02" && (version == "01" || version == "02")) {
    out.version = version[1] - '0';
    return static_cast<std::size_t>(NrcRecordLength(out.version)) + 2;
  }
  Note(out, NrcProblem::Header, 1);
  const std::size_t end = bytes.find("\r\n");
  for (int v : {1, 2})
    if (end == static_cast<std::size_t>(NrcRecordLength(v))) return end + 2;
  return 0;
}

void ReadDetail(std::string_view record, int number, NrcReading& out) {
  NrcDetailRead d;
  d.record = number;
  std::int64_t sequence = 0;
  if (!Number(record, kSequenceAt, 5, sequence) || sequence != static_cast<std::int64_t>(out.details.size()) + 1)
    Note(out, NrcProblem::Numbering, number);
  d.amountKnown = Number(record, kAmountAt, 12, d.amount);
  if (!d.amountKnown) Note(out, NrcProblem::Amount, number);
  d.model = record.substr(kModelAt, 3);
  d.year = record.substr(kYearAt, 4);
  d.period = record.substr(kPeriodAt, 2);
  d.taxId = record.substr(kTaxIdAt, 9);
  d.name = record.substr(kNameAt, 38);
  out.details.push_back(std::move(d));
}

void ReadTrailer(std::string_view record, int number, NrcReading& out) {
  std::int64_t records = 0, details = 0, total = 0, sum = 0;
  for (const NrcDetailRead& d : out.details) sum += d.amount;
  const std::int64_t count = static_cast<std::int64_t>(out.details.size());
  if (!Number(record, kRecordsAt, 5, records) || !Number(record, kDetailsAt, 5, details) || records != count + 2 ||
      details != count)
    Note(out, NrcProblem::Counts, number);
  if (!Number(record, kTotalAt, 12, total) || total != sum) Note(out, NrcProblem::Total, number);
}

}  // namespace

NrcReading ReadNrcText(std::string_view bytes) {
  NrcReading out;
  if (bytes.empty()) return out;
  const std::size_t length = RecordLength(bytes, out);
  if (length == 0) {
    Note(out, NrcProblem::RecordLength, 1);
    return out;
  }
  const std::size_t records = bytes.size() / length;
  out.details.reserve(records);
  bool trailer = false;
  for (std::size_t k = 0; k < records; ++k) {
    const std::string_view record = bytes.substr(k * length, length);
    const int number = static_cast<int>(k) + 1;
    if (record.substr(length - 2) != "\r\n") Note(out, NrcProblem::RecordLength, number);
    const std::string_view type = record.substr(0, 2);
    if (k == 0) {
      if (type != "02") Note(out, NrcProblem::Header, number);
    } else if (trailer) {
      Note(out, NrcProblem::Ending, number);
    } else if (type == "05") {
      ReadDetail(record, number, out);
    } else if (type == "08") {
      trailer = true;
      ReadTrailer(record, number, out);
    } else {
      Note(out, NrcProblem::RecordType, number);
    }
  }
  if (bytes.size() % length != 0) Note(out, NrcProblem::RecordLength, static_cast<int>(records) + 1);
  if (!trailer) Note(out, NrcProblem::Ending, static_cast<int>(std::max<std::size_t>(records, 1)));
  return out;
}

}  // namespace vat303
