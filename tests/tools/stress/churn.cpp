// churn DIR FROM TO STOPFILE NRCFILE...: takes requests of the owners FROM..TO
// out of the NRC files and puts them back, as a filing pass does: the
// file's lock held for the whole change (OpenNrcPass), RemoveNrcRequest,
// sometimes a checkpoint that writes the file without them, AddNrcRequest
// with the same fields, CloseNrcPass. Every pass ends with the same
// requests as it started with, so the files' requests stay what the filing
// runs make them. Runs until STOPFILE exists, at least one pass per file.
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "format/dates.h"
#include "format/numbers.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "tests/tools/stress/stress.h"
#include "vat303/nrc_file.h"
#include "vat303/record_fields.h"

namespace stress {
namespace {

// The tax identifiers (9 characters) of the owners FROM..TO.
std::set<std::string> RangeTaxIds(int from, int to) {
  std::set<std::string> ids;
  const std::string last = format::PackDigits(format::ZeroPad(to, 4));
  int status = 0;
  records::BtrGetByKey(records::kOwnerFile, 0, format::PackDigits(format::ZeroPad(from, 4)), +1, status);
  while (status == 0 && vat303::BytesAt(records::OwnerRecord, vat303::kOwnerCode, vat303::kOwnerCodeWidth) <= last) {
    ids.insert(vat303::BytesAt(records::OwnerRecord, vat303::kOwnerTaxId + 2, 9));
    records::BtrMove(records::kOwnerFile, 1, status);
  }
  return ids;
}

// The requests of the file whose owner is one of `ids`, as request fields.
std::vector<vat303::NrcRequestFields> RequestsOf(const std::string& bytes, const std::set<std::string>& ids) {
  std::vector<vat303::NrcRequestFields> found;
  const std::size_t record = static_cast<std::size_t>(vat303::NrcRecordLength(vat303::NrcVersion())) + 2;
  for (std::size_t at = 0; at + record <= bytes.size(); at += record) {
    if (bytes.compare(at, 2, "05") != 0 || ids.count(bytes.substr(at + 18, 9)) == 0) continue;
    vat303::NrcRequestFields r = vat303::NrcRequest;
    r.model = bytes.substr(at + 7, 3);
    r.year = bytes.substr(at + 10, 4);
    r.period = bytes.substr(at + 14, 2);
    r.ownerTaxId = bytes.substr(at + 18, 9);
    r.name = bytes.substr(at + 27, 38);
    r.amount = std::stoll(bytes.substr(at + 74, 12));
    found.push_back(r);
  }
  return found;
}

// One pass over one file: up to five requests out and back in. False (with
// the reason on standard error) when the NRC module reported a failure.
bool ChurnOnce(const std::string& file, const std::set<std::string>& ids, long& moved) {
  const int opened = vat303::OpenNrcPass(file, 10 * 60 * 1000);
  if (opened != vat303::kNrcOk) {
    Fail("cannot open " + file + " for a pass (status " + std::to_string(opened) + ")");
    return false;
  }
  std::string bytes;
  os::ReadFile(file, bytes);
  std::vector<vat303::NrcRequestFields> requests = RequestsOf(bytes, ids);
  std::vector<vat303::NrcRequestFields> taken;
  const int want = os::RandomInt(1, 5);
  while (!requests.empty() && static_cast<int>(taken.size()) < want) {
    const std::size_t pick = static_cast<std::size_t>(os::RandomInt(0, static_cast<int>(requests.size()) - 1));
    taken.push_back(requests[pick]);
    requests.erase(requests.begin() + static_cast<long>(pick));
  }
  int status = vat303::kNrcOk;
  for (const vat303::NrcRequestFields& r : taken) {
    vat303::NrcRequest = r;
    if (status == vat303::kNrcOk) status = vat303::RemoveNrcRequest(file);
  }
  if (status == vat303::kNrcOk && os::RandomInt(0, 1) == 1) status = vat303::NrcCheckpoint();
  for (auto r = taken.rbegin(); r != taken.rend() && status == vat303::kNrcOk; ++r) {
    vat303::NrcRequest = *r;
    status = vat303::AddNrcRequest(file);
  }
  const int closed = vat303::CloseNrcPass();
  if (status == vat303::kNrcOk) status = closed;
  if (status != vat303::kNrcOk) {
    Fail("changing " + file + " failed (status " + std::to_string(status) + ")");
    return false;
  }
  moved += static_cast<long>(taken.size());
  return true;
}

}  // namespace

int Churn(const std::vector<std::string>& args) {
  OpenData(args[0]);
  const std::set<std::string> ids = RangeTaxIds(std::stoi(args[1]), std::stoi(args[2]));
  const std::string stopFile = args[3];
  const std::vector<std::string> files(args.begin() + 4, args.end());
  os::Randomize();
  vat303::NrcRequest.model = "303";
  long passes = 0, moved = 0;
  std::vector<bool> visited(files.size(), false);
  bool allVisited = false;
  for (std::size_t i = 0; !(allVisited && StopAsked(stopFile)); i = (i + 1) % files.size()) {
    // A file the filing runs have not made yet is not there to change.
    if (!os::FileExists(files[i])) {
      if (StopAsked(stopFile)) visited[i] = true;
      else os::SleepMs(5);
    } else {
      if (!ChurnOnce(files[i], ids, moved)) return 1;
      ++passes;
      visited[i] = true;
      // The lock is polled by whoever waits for it: a pause lets the filing
      // runs have it between passes.
      os::SleepMs(os::RandomInt(5, 40));
    }
    allVisited = true;
    for (bool v : visited) allVisited = allVisited && v;
  }
  int status = 0;
  records::BtrCloseAll(status);
  std::cout << "churn: " << passes << " passes, " << moved << " requests out and back" << std::endl;
  return 0;
}

}  // namespace stress
