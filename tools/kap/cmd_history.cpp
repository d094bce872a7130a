// kap history DIR [--date YYYYMMDD] [--owner N]: the runs of the return from
// DIR's log (of the quarter of the date, over the owner), and for an owner
// the versions of its filing files, the current one and the kept ones,
// newest first. kap history DIR --show FILE: a kept version, a filing file
// as kap show303 shows it, an NRC file as its requests, a payment map as
// its owners' bytes. kap history DIR --prune YYYYMMDD: the kept versions of
// runs before that day removed.
// Exit code 0, 1 when something cannot be read or removed, 2 for bad usage.
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "format/numbers.h"
#include "format/text.h"
#include "platform/os/os.h"
#include "tools/kap/kap.h"
#include "vat303/filing_check.h"
#include "vat303/filing_file.h"
#include "vat303/history.h"
#include "vat303/nrc_reader.h"
#include "vat303/quarter_check.h"
#include "vat303/run_log.h"

namespace kap {
namespace {

using vat303::RunEntry;

int Usage(const std::string& why) {
  Error("history: " + why +
        ": kap history DIR [--date YYYYMMDD] [--owner N] | --show FILE | --prune YYYYMMDD");
  return 2;
}

// "20240715-101500" -> "15/07/2024 10:15:00"; a date alone -> "15/07/2024".
std::string Shown(const std::string& stamp) {
  if (stamp.size() < 8) return stamp;
  std::string text = stamp.substr(6, 2) + "/" + stamp.substr(4, 2) + "/" + stamp.substr(0, 4);
  if (stamp.size() >= 15)
    text += " " + stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
  return text;
}

// The quarter folder's name of a date YYYYMMDD: "303M2024.2T".
std::string QuarterOf(const std::string& date) {
  if (date.size() < 6) return "";
  std::string year;
  int quarter = 0;
  vat303::QuarterOfDate(date, year, quarter);
  return vat303::QuarterFolderName(year, quarter);
}

void PrintRun(const RunEntry& r, const std::vector<RunEntry>& runs, const std::string& root,
              std::map<std::string, std::uint64_t>& lastDigest) {
  std::cout << "run " << r.id << " by " << r.user << " on " << r.terminal << ", " << Shown(r.start);
  if (r.ended) {
    std::cout << " to " << Shown(r.end).substr(r.end.compare(0, 8, r.start, 0, 8) == 0 ? 11 : 0) << ", exit "
              << r.status << "\n";
  } else {
    std::string namedBy;
    for (const RunEntry& later : runs)
      for (const std::string& id : later.unended)
        if (id == r.id) namedBy = later.id;
    if (!namedBy.empty()) std::cout << ", no end: killed or stopped (named by run " << namedBy << ")\n";
    else if (vat303::RunStillGoing(root, r)) std::cout << ", no end yet: still running\n";
    else std::cout << ", no end: killed or stopped\n";
  }
  std::cout << "  " << r.mode << " " << Shown(r.date) << ", owners " << r.from << "-" << r.to;
  if (r.mode == "S")
    std::cout << ", payment " << r.payment << ", annual summary " << r.annual << ", town " << Cp850ToUtf8(r.town)
              << ", account ..." << r.account;
  std::cout << "\n";
  for (const vat303::LoggedTerritory& t : r.territories)
    std::cout << "  territory " << t.code << " " << t.folder << ": " << t.written << " written (" << t.replaced
              << " replaced), " << t.removed << " removed, " << t.refused << " refused\n";
  for (const vat303::LoggedFolder& f : r.folders) {
    const bool known = lastDigest.count(f.folder);
    std::cout << "  " << f.folder << " left as " << format::DigestText(f.digest)
              << (!known ? "" : lastDigest[f.folder] == f.digest ? " (unchanged)" : " (changed)") << "\n";
    lastDigest[f.folder] = f.digest;
  }
  if (!r.unended.empty()) {
    std::cout << "  runs without end before it:";
    for (const std::string& id : r.unended) std::cout << " " << id;
    std::cout << "\n";
  }
}

// One version of a filing file: its type letter and result.
std::string Describe(const std::string& bytes) {
  const bool annual = vat303::HasAnnualPages(bytes);
  const int type = vat303::FindField("01", vat303::FieldSource::ReturnType);
  const int result = vat303::FindField("03", vat303::FieldSource::FinalResult, 1);
  std::int64_t cents = 0;
  const std::string letter(vat303::FieldInFile(bytes, type, annual));
  const bool amount = vat303::AmountCents(vat303::FieldInFile(bytes, result, annual), cents);
  return "type " + (letter.empty() ? std::string("?") : letter) + ", result " + (amount ? vat303::CentsAsEuros(cents) : "?");
}

// The owner's filing files in each agency folder (of `quarter`, or all):
// the current one, then the kept ones newest first. A kept version equal to
// the next newer one was left by a run killed before it replaced the file.
int PrintOwner(const std::string& root, const std::string& quarter, int owner,
               const std::map<std::string, const RunEntry*>& byId) {
  const std::string name = vat303::OwnerFileName(owner);
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> versions;  // folder -> (path, label)
  for (const std::string& folder : vat303::AllQuarterFolders(root)) {
    const std::string shown = vat303::AgencyAndQuarter(folder);
    if ((quarter.empty() || shown.substr(shown.find('/') + 1) == quarter) && os::FileExists(folder + name))
      versions[shown].push_back({folder + name, "current"});
  }
  for (const vat303::KeptVersion& v : vat303::KeptVersions(root, quarter, name)) {
    if (v.leftover) continue;
    const auto run = byId.find(v.runId);
    versions[v.agency + "/" + v.quarter].push_back(
        {v.path, "until run " + v.runId +
                     (run == byId.end() ? "" : " (" + run->second->user + " on " + run->second->terminal + ")")});
  }
  int code = 0;
  for (const auto& [folder, list] : versions) {
    std::cout << "owner " << format::ZeroPad(owner, 4) << ", " << folder << ":\n";
    std::string newer;
    bool first = true;
    for (const auto& [path, label] : list) {
      std::string bytes;
      if (!os::ReadFile(path, bytes)) {
        Error("history: cannot read " + path);
        code = 1;
        continue;
      }
      if (!first && bytes == newer) continue;
      first = false;
      newer = bytes;
      std::cout << "  " << (label == "current" ? folder + "/" + name : path.substr(root.size())) << "  " << label
                << "  " << Describe(bytes) << "\n";
    }
  }
  if (versions.empty()) std::cout << "owner " << format::ZeroPad(owner, 4) << ": no filing file\n";
  return code;
}

int ShowNrc(const std::string& path, const std::string& bytes) {
  const vat303::NrcReading reading = vat303::ReadNrcText(bytes);
  std::cout << path << ": " << reading.details.size() << " requests, record version " << reading.version << "\n";
  for (const vat303::NrcDetailRead& d : reading.details)
    std::cout << "  " << d.record << "  " << d.model << " " << d.year << " " << d.period << "  " << d.taxId << "  "
              << Latin1ToUtf8(std::string(d.name)) << "  " << (d.amountKnown ? vat303::CentsAsEuros(d.amount) : "?") << "\n";
  if (reading.problems.empty()) return 0;
  Error("history: " + path + " is not whole: " + std::to_string(reading.problems.size()) + " fault(s) from record " +
        std::to_string(reading.problems.front().record));
  return 1;
}

int Show(const std::string& root, const std::string& file) {
  const std::string path = os::FileExists(file) ? file : root + file;
  std::string bytes;
  if (!os::ReadFile(path, bytes)) {
    Error("history: cannot read " + file);
    return 1;
  }
  const std::string host = os::HostPath(path);
  const std::string base = host.substr(host.rfind('/') + 1);
  if (base.rfind("NRC_BANC.SOL", 0) == 0) return ShowNrc(path, bytes);
  if (base.rfind("V303.MAP", 0) == 0) {
    std::cout << path << ": the payment form of each owner's last filing file\n";
    for (std::size_t owner = 1; owner <= bytes.size(); ++owner)
      if (bytes[owner - 1] != ' ')
        std::cout << "  " << format::ZeroPad(static_cast<int>(owner), 4) << " " << bytes[owner - 1] << "\n";
    return 0;
  }
  // A kept version lies two folders below its quarter's, a current file one.
  std::string folder = host.substr(0, host.rfind('/'));
  if (host.find("/HISTORIC/") != std::string::npos) folder = folder.substr(0, folder.rfind('/'));
  return ShowFilingFile(path, folder, root);
}

int Prune(const std::string& root, const std::string& date) {
  long removed = 0;
  long long bytes = 0;
  int code = 0;
  std::set<std::string> folders;
  for (const vat303::KeptVersion& v : vat303::KeptVersions(root, "")) {
    if (v.runId.compare(0, 8, date) >= 0) continue;
    const long long size = os::FileSize(v.path);
    if (!os::DeleteFile(v.path)) {
      Error("history: cannot remove " + v.relative);
      code = 1;
      continue;
    }
    ++removed;
    bytes += size;
    if (!v.agency.empty()) folders.insert(root + "HISTORIC/" + v.quarter + "/" + v.agency);
    folders.insert(root + "HISTORIC/" + v.quarter);
  }
  // Folders left empty go too (an agency's before its quarter's).
  for (auto f = folders.rbegin(); f != folders.rend(); ++f) os::RemoveDir(*f);
  std::cout << "removed " << removed << " kept versions of runs before " << Shown(date) << ", " << bytes
            << " bytes\n";
  return code;
}

}  // namespace

int CmdHistory(const std::vector<std::string>& args) {
  if (args.empty() || args[0].rfind("--", 0) == 0) return Usage("the data folder comes first");
  const std::string root = DirArg(args[0]);
  if (!os::DirExists(root)) return Usage("no such folder " + args[0]);
  std::map<std::string, std::string> options;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    if (args[i] != "--date" && args[i] != "--owner" && args[i] != "--show" && args[i] != "--prune")
      return Usage("unknown option '" + args[i] + "'");
    if (i + 1 >= args.size()) return Usage(args[i] + " needs a value");
    options[args[i]] = args[i + 1];
  }
  if (options.count("--show") + options.count("--prune") > 0 && options.size() > 1)
    return Usage("--show and --prune go alone");
  if (options.count("--show")) return Show(root, options["--show"]);
  for (const char* date : {"--date", "--prune"})
    if (options.count(date) && !IsDateArg(options[date])) return Usage("not a date: " + options[date]);
  if (options.count("--prune")) return Prune(root, options["--prune"]);
  const std::string owner = options.count("--owner") ? options["--owner"] : "";
  if (options.count("--owner") &&
      (owner.empty() || owner.size() > 4 || owner.find_first_not_of("0123456789") != std::string::npos ||
       std::stoi(owner) == 0))
    return Usage("an owner number is 1 to 9999: " + owner);

  const std::string quarter = options.count("--date") ? QuarterOf(options["--date"]) : "";
  const std::string code = owner.empty() ? "" : format::ZeroPad(std::stoi(owner), 4);
  const std::vector<RunEntry> runs = vat303::ReadRunLog(root);
  std::map<std::string, const RunEntry*> byId;
  std::map<std::string, std::uint64_t> lastDigest;
  for (const RunEntry& r : runs) {
    byId[r.id] = &r;
    if ((quarter.empty() || QuarterOf(r.date) == quarter) && (code.empty() || (r.from <= code && code <= r.to)))
      PrintRun(r, runs, root, lastDigest);
  }
  if (runs.empty()) std::cout << "no run in " << os::HostPath(vat303::RunLogPath(root)) << "\n";
  return code.empty() ? 0 : PrintOwner(root, quarter, std::stoi(code), byId);
}

}  // namespace kap
