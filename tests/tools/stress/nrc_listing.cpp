// nrc-list FILE YEAR PERIOD: reads an NRC request file on its own terms (not
// through the module that writes it) and checks its shape: records of one
// length (255 or 256 bytes) each ending in CR LF; a header first, a trailer
// last, details between them numbered 1, 2, ... for model 303, YEAR and
// PERIOD; the trailer's record count, detail count and total those of the
// details; no owner with two requests. Prints the requests sorted, one a
// line: tax identifier, amount in cents, name. An empty file has none.
#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tests/tools/stress/stress.h"

namespace stress {
namespace {

bool Digits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

long long Number(const std::string& s) { return Digits(s) ? std::stoll(s) : -1; }

}  // namespace

int NrcListing(const std::vector<std::string>& args) {
  const std::string& file = args[0];
  std::string bytes;
  if (!os::ReadFile(file, bytes)) {
    Fail(file + ": cannot be read");
    return 1;
  }
  if (bytes.empty()) return 0;
  const std::size_t end = bytes.find("\r\n");
  if (end != 255 && end != 256) {
    Fail(file + ": the first record is " + std::to_string(end) + " bytes long");
    return 1;
  }
  const std::size_t record = end + 2;
  if (bytes.size() % record != 0) {
    Fail(file + ": " + std::to_string(bytes.size()) + " bytes are no whole number of records");
    return 1;
  }
  std::vector<std::string> records;
  for (std::size_t at = 0; at < bytes.size(); at += record) {
    if (bytes.compare(at + end, 2, "\r\n") != 0 || bytes.find_first_of("\r\n", at) != at + end) {
      Fail(file + ": record " + std::to_string(records.size() + 1) + " is not " + std::to_string(end) +
           " bytes and CR LF");
      return 1;
    }
    records.push_back(bytes.substr(at, end));
  }
  const std::size_t n = records.size();
  if (n < 2 || records[0].compare(0, 2, "02") != 0 || records[n - 1].compare(0, 2, "08") != 0) {
    Fail(file + ": not a header, details and a trailer");
    return 1;
  }
  const std::string wantKey = "303" + args[1] + args[2];
  std::vector<std::string> lines;
  std::set<std::string> owners;
  long long total = 0;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const std::string& d = records[i];
    const std::string where = file + ": detail " + std::to_string(i);
    if (d.compare(0, 2, "05") != 0) {
      Fail(where + " is of type \"" + d.substr(0, 2) + "\"");
      return 1;
    }
    if (Number(d.substr(2, 5)) != static_cast<long long>(i)) {
      Fail(where + " is numbered " + d.substr(2, 5));
      return 1;
    }
    if (d.substr(7, 3) + d.substr(10, 4) + d.substr(14, 2) != wantKey) {
      Fail(where + " is for " + d.substr(7, 9) + ", not " + wantKey);
      return 1;
    }
    const long long amount = Number(d.substr(74, 12));
    if (amount <= 0) {
      Fail(where + " has the amount \"" + d.substr(74, 12) + "\"");
      return 1;
    }
    const std::string taxId = d.substr(18, 9);
    if (!owners.insert(taxId).second) {
      Fail(where + ": a second request for " + taxId);
      return 1;
    }
    total += amount;
    lines.push_back(taxId + "|" + std::to_string(amount) + "|" + d.substr(27, 38));
  }
  const std::string& t = records[n - 1];
  const long long details = static_cast<long long>(n) - 2;
  if (Number(t.substr(2, 5)) != details + 2 || Number(t.substr(7, 5)) != details ||
      Number(t.substr(12, 12)) != total) {
    Fail(file + ": the trailer says " + t.substr(2, 5) + " records, " + t.substr(7, 5) + " details, total " +
         t.substr(12, 12) + "; the file has " + std::to_string(n) + ", " + std::to_string(details) + ", " +
         std::to_string(total));
    return 1;
  }
  std::sort(lines.begin(), lines.end());
  for (const std::string& line : lines) std::cout << line << "\n";
  return std::cout.good() ? 0 : 1;
}

}  // namespace stress
