// Kept versions: made before a run replaces an output, and listed back.
#include "vat303/history.h"

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "vat303/driver.h"
#include "vat303/filing_file.h"
#include "vat303/quarter_check.h"
#include "vat303/return_state.h"
#include "vat303/run_log.h"
#include "vat303/run_messages.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

// What the current run has kept; begun again for each run id.
struct HistoryState {
  std::string runId;
  bool mapKept = false;
  std::string madeFolder;      // the last folder made
  std::set<std::string> wrote;  // files the run wrote itself
};
HistoryState state;

void Failed(const char* text, const std::string& path) {
  ShowRunMessage(settings::Translate(text) + os::HostPath(path));
}

bool SameRun() {
  if (state.runId != RunId()) {
    state = HistoryState{};
    state.runId = RunId();
  }
  return !state.runId.empty();
}

bool MakeFolder(const std::string& path) {
  const std::string folder = path.substr(0, path.find_last_of("/\\") + 1);
  if (folder == state.madeFolder) return true;
  if (!os::MakeDirs(folder)) {
    Failed(texts::kCannotUseDir, folder);
    return false;
  }
  state.madeFolder = folder;
  return true;
}

bool IsAgency(const std::string& name) {
  for (int code = 0; !AgencyDir(code).empty(); ++code)
    if (AgencyDir(code) == name + "\\") return true;
  return false;
}

// "20240715-101500" at `at`.
bool IsStamp(const std::string& text, std::size_t at) {
  if (text.size() < at + 15 || text[at + 8] != '-') return false;
  for (std::size_t i = at; i < at + 15; ++i)
    if (i != at + 8 && (text[i] < '0' || text[i] > '9')) return false;
  return true;
}

// A kept name: the file's name, ".", the run's id; anything after the id
// makes it a leftover temporary copy.
bool SplitKeptName(const std::string& name, KeptVersion& v) {
  for (std::size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', dot + 1)) {
    if (!IsStamp(name, dot + 1)) continue;
    std::size_t end = dot + 16;
    if (end + 1 < name.size() && name[end] == '-' && name[end + 1] >= '0' && name[end + 1] <= '9') {
      end = name.find_first_not_of("0123456789", end + 1);
      if (end == std::string::npos) end = name.size();
    }
    v.file = name.substr(0, dot);
    v.runId = name.substr(dot + 1, end - dot - 1);
    v.leftover = end != name.size();
    return true;
  }
  return false;
}

void ListFolder(const std::string& dataRoot, const std::string& quarter, const std::string& agency,
                const std::string& file, std::vector<KeptVersion>& out) {
  const std::string relative = "HISTORIC/" + quarter + "/" + (agency.empty() ? "" : agency + "/");
  std::vector<os::DirEntry> entries;
  os::ListDir(dataRoot + relative, entries);
  for (const os::DirEntry& e : entries) {
    if (e.isDir) {
      if (agency.empty()) ListFolder(dataRoot, quarter, e.name, file, out);
      continue;
    }
    KeptVersion v;
    if (!SplitKeptName(e.name, v) || (!file.empty() && v.file != file)) continue;
    v.path = dataRoot + relative + e.name;
    v.relative = relative + e.name;
    v.quarter = quarter;
    v.agency = agency;
    out.push_back(v);
  }
}

// The name the file `path` of an agency folder is kept under in the
// current run; "" for a path that is not in an agency folder.
std::string KeptVersionPath(const std::string& path) {
  const std::string host = os::HostPath(path);
  const std::size_t name = host.rfind('/');
  if (name == std::string::npos) return "";
  const std::string folder = AgencyAndQuarter(host.substr(0, name));  // "AEAT/303M2024.2T"
  const std::size_t slash = folder.find('/');
  std::string year;
  int number = 0;
  if (slash == std::string::npos || !IsAgency(folder.substr(0, slash)) ||
      !QuarterOfFolder(folder.substr(slash + 1), year, number))
    return "";
  return settings::DataRoot + "HISTORIC\\" + folder.substr(slash + 1) + "\\" + folder.substr(0, slash) + "\\" +
         host.substr(name + 1) + "." + RunId();
}

}  // namespace

bool KeepsVersionOf(const std::string& path) {
  if (!SameRun() || state.wrote.count(os::HostPath(path))) return false;
  const std::string kept = KeptVersionPath(path);
  return !kept.empty() && !os::FileExists(kept);
}

bool KeepVersion(const std::string& path) {
  if (!KeepsVersionOf(path)) return true;
  const std::string kept = KeptVersionPath(path);
  if (!MakeFolder(kept)) return false;
  if (os::LinkFile(path, kept)) return true;
  Failed(texts::kCannotWrite, kept);
  return false;
}

void NoteRunWrote(const std::string& path) {
  if (SameRun()) state.wrote.insert(os::HostPath(path));
}

bool KeepPaymentMap() {
  if (!SameRun() || state.mapKept) return true;
  // A map this run makes anew has no earlier version.
  const std::string map = PaymentMapPath();
  if (os::FileExists(map)) {
    std::string bytes;
    if (!os::ReadFile(map, bytes)) {
      Failed(texts::kCannotRead, map);
      return false;
    }
    const std::string kept = settings::DataRoot + "HISTORIC\\303M" + Year + "." + std::to_string(Quarter) +
                             "T\\V303.MAP." + state.runId;
    if (!MakeFolder(kept)) return false;
    if (!os::WriteFileAtomic(kept, bytes)) {
      Failed(texts::kCannotWrite, kept);
      return false;
    }
  }
  state.mapKept = true;
  return true;
}

std::vector<KeptVersion> KeptVersions(const std::string& dataRoot, const std::string& quarter,
                                      const std::string& file) {
  std::vector<KeptVersion> out;
  std::vector<os::DirEntry> quarters;
  if (quarter.empty()) os::ListDir(dataRoot + "HISTORIC/", quarters);
  else quarters.push_back({quarter, true});
  for (const os::DirEntry& q : quarters)
    if (q.isDir) ListFolder(dataRoot, q.name, "", file, out);
  std::sort(out.begin(), out.end(), [](const KeptVersion& a, const KeptVersion& b) {
    if (std::tie(a.quarter, a.agency, a.file) != std::tie(b.quarter, b.agency, b.file))
      return std::tie(a.quarter, a.agency, a.file) < std::tie(b.quarter, b.agency, b.file);
    return RunIdBefore(b.runId, a.runId);
  });
  return out;
}

}  // namespace vat303
