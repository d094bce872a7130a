// The log of the runs: an entry's two lines appended under the log's lock,
// and the log read back.
#include "vat303/run_log.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "format/dates.h"
#include "format/text.h"
#include "forms/selection.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "vat303/run_messages.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

constexpr int kLogLockWaitMs = 60000;

struct LogState {
  bool on = true;
  std::string root;  // DataRoot of the current run
  std::string id;
  os::Lock running;  // the run's byte of the lock file
  std::vector<LoggedTerritory> territories;
  std::vector<LoggedFolder> folders;
};
LogState state;

std::string LockPath(const std::string& root) { return RunLogPath(root) + ".lck"; }

std::string Stamp(const os::DateTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

// A text for a field of its own: no separator, no control byte.
std::string Field(const std::string& text) {
  std::string out = format::TrimRight(text);
  for (char& c : out)
    if (c == '|' || static_cast<unsigned char>(c) < 32) c = ' ';
  return out;
}

int Number(const std::string& text) {
  return !text.empty() && text.size() < 9 && text.find_first_not_of("0123456789") == std::string::npos
             ? std::stoi(text)
             : -1;
}

bool ParseBegin(const std::vector<std::string>& f, RunEntry& r) {
  std::string* const fields[] = {&r.id,   &r.start, &r.user,    &r.terminal, &r.mode, &r.date,
                                 &r.from, &r.to,    &r.payment, &r.annual,   &r.town, &r.account};
  if (f.size() != std::size(fields) + 2 || f[1].size() < 15) return false;
  for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = f[i + 1];
  if (!f.back().empty()) r.unended = format::SplitText(f.back(), ',');
  return true;
}

void ParseEnd(const std::vector<std::string>& f, RunEntry& r) {
  if (f.size() != 6 || f[2].size() < 15 || Number(f[3]) < 0) return;
  r.ended = true;
  r.end = f[2];
  r.status = Number(f[3]);
  for (const std::string& piece : format::SplitText(f[4], ';')) {
    const std::vector<std::string> t = format::SplitText(piece, ',');
    if (t.size() == 6) r.territories.push_back({t[0], t[1], Number(t[2]), Number(t[3]), Number(t[4]), Number(t[5])});
  }
  for (const std::string& piece : format::SplitText(f[5], ';')) {
    const std::size_t eq = piece.find('=');
    LoggedFolder folder;
    if (eq != std::string::npos && format::ParseDigestText(piece.substr(eq + 1), folder.digest)) {
      folder.folder = piece.substr(0, eq);
      r.folders.push_back(folder);
    }
  }
}

// Whole lines only: a line without its end was cut short.
std::vector<RunEntry> Parse(const std::string& bytes) {
  std::vector<RunEntry> runs;
  std::map<std::string, std::size_t> byId;
  std::size_t from = 0;
  for (std::size_t end; (end = bytes.find('\n', from)) != std::string::npos; from = end + 1) {
    const std::vector<std::string> f = format::SplitText(bytes.substr(from, end - from), '|');
    RunEntry r;
    if (f[0] == "B" && ParseBegin(f, r) && !byId.count(r.id)) {
      r.offset = static_cast<long long>(from);
      byId[r.id] = runs.size();
      runs.push_back(r);
    } else if (f[0] == "E" && f.size() > 1 && byId.count(f[1])) {
      ParseEnd(f, runs[byId[f[1]]]);
    }
  }
  return runs;
}

bool TakeLogLock(os::Lock& lock, const std::string& root) {
  if (os::LockByte(lock, LockPath(root), 0, 0)) return true;
  ShowWaitNotice(records::LockWaitText());
  const bool locked = os::LockByte(lock, LockPath(root), 0, kLogLockWaitMs);
  EndWaitNotice();
  return locked;
}

// What goes before a new line (under the log's lock): a line end when a
// cut line is left at the end. `size` is the log's length.
std::string LineStart(const std::string& path, long long& size) {
  size = os::FileSize(path);
  if (size <= 0) {
    size = 0;
    return "";
  }
  os::File f;
  char last = '\n';
  if (os::Open(f, path, "rb") && os::Seek(f, size - 1)) os::Read(f, &last, 1);
  os::Close(f);
  if (last == '\n') return "";
  ++size;
  return "\n";
}

void Failed(const char* text, const std::string& path) {
  ShowRunMessage(settings::Translate(text) + os::HostPath(path));
}

std::string BeginLine(const std::string& id, const std::string& unended) {
  const std::string account = format::TrimRight(forms::PresAccount);
  std::string terminal = Field(os::GetEnv("KAPTERM"));
  if (terminal.empty()) terminal = Field(os::TerminalName());
  if (terminal.empty()) terminal = "-";
  return "B|" + id + "|" + id.substr(0, 15) + "|" + Field(os::LoginName()) + "|" + terminal + "|" +
         Field(forms::SelMode) + "|" + format::UnpackDigits(forms::SelDate) + "|" +
         format::UnpackDigits(forms::SelFrom) + "|" + format::UnpackDigits(forms::SelTo) + "|" +
         Field(forms::SelPayment) + "|" + (forms::SelAnnual ? "S" : "N") + "|" + Field(forms::PresTown) + "|" +
         (account.size() > 4 ? account.substr(account.size() - 4) : "") + "|" + unended;
}

}  // namespace

std::string RunLogPath(const std::string& dataRoot) { return dataRoot + "DADES\\V303.LOG"; }

void SetRunHistory(bool on) { state.on = on; }

bool BeginRunLog() {
  os::Unlock(state.running);
  state.id.clear();
  state.territories.clear();
  state.folders.clear();
  state.root = settings::DataRoot;
  if (!state.on || state.root.empty()) return true;
  const std::string path = RunLogPath(state.root);
  os::Lock lock;
  if (!TakeLogLock(lock, state.root)) {
    Failed(texts::kLockedByOther, path);
    return false;
  }
  std::string bytes;
  if (os::FileExists(path) && !os::ReadFile(path, bytes)) {
    os::Unlock(lock);
    Failed(texts::kCannotRead, path);
    return false;
  }
  const std::vector<RunEntry> runs = Parse(bytes);
  std::set<std::string> ids, named;
  for (const RunEntry& r : runs) {
    ids.insert(r.id);
    named.insert(r.unended.begin(), r.unended.end());
  }
  std::string unended;
  for (const RunEntry& r : runs)
    if (!r.ended && !named.count(r.id) && !RunStillGoing(state.root, r)) unended += (unended.empty() ? "" : ",") + r.id;
  const std::string stamp = Stamp(os::Now());
  std::string id = stamp;
  for (int n = 2; ids.count(id); ++n) id = stamp + "-" + std::to_string(n);
  long long size = 0;
  const std::string start = LineStart(path, size);
  // The run's byte is taken before its line is there for another run to
  // see. (It is held already only where the log was emptied under a run
  // still going, whose byte then stands for both.)
  os::LockByte(state.running, LockPath(state.root), 1 + size, 0);
  const bool ok = os::AppendFile(path, start + BeginLine(id, unended) + "\n");
  os::Unlock(lock);
  if (!ok) {
    os::Unlock(state.running);
    Failed(texts::kCannotWrite, path);
    return false;
  }
  state.id = id;
  return true;
}

const std::string& RunId() { return state.id; }

void LogTerritory(const LoggedTerritory& territory) { state.territories.push_back(territory); }

void LogFolder(const std::string& folder, std::uint64_t digest) {
  for (LoggedFolder& f : state.folders)
    if (f.folder == folder) {
      f.digest = digest;
      return;
    }
  state.folders.push_back({folder, digest});
}

bool EndRunLog(int status) {
  if (state.id.empty()) return true;
  std::string territories, folders;
  for (const LoggedTerritory& t : state.territories)
    territories += (territories.empty() ? "" : ";") + t.code + "," + t.folder + "," + std::to_string(t.written) + "," +
                   std::to_string(t.replaced) + "," + std::to_string(t.removed) + "," + std::to_string(t.refused);
  for (const LoggedFolder& f : state.folders)
    folders += (folders.empty() ? "" : ";") + f.folder + "=" + format::DigestText(f.digest);
  const std::string path = RunLogPath(state.root);
  const std::string line = "E|" + state.id + "|" + Stamp(os::Now()) + "|" + std::to_string(status) + "|" +
                           territories + "|" + folders + "\n";
  os::Lock lock;
  long long size = 0;
  const bool ok = TakeLogLock(lock, state.root) && os::AppendFile(path, LineStart(path, size) + line);
  os::Unlock(lock);
  os::Unlock(state.running);
  state.id.clear();
  if (!ok) Failed(texts::kCannotWrite, path);
  return ok;
}

std::vector<RunEntry> ReadRunLog(const std::string& dataRoot) {
  std::string bytes;
  os::ReadFile(RunLogPath(dataRoot), bytes);
  return Parse(bytes);
}

bool RunStillGoing(const std::string& dataRoot, const RunEntry& run) {
  if (run.ended) return false;
  os::Lock probe;
  if (os::LockByte(probe, LockPath(dataRoot), 1 + run.offset, 0)) {
    os::Unlock(probe);
    return false;
  }
  // Held, or a lock file that cannot be opened (a folder only read): taken
  // as still going, so that no run is named as killed by mistake.
  return true;
}

bool RunIdBefore(const std::string& a, const std::string& b) {
  const int stamps = a.compare(0, 15, b, 0, 15);
  if (stamps != 0) return stamps < 0;
  const auto suffix = [](const std::string& id) { return id.size() > 16 ? std::atoi(id.c_str() + 16) : 1; };
  return suffix(a) < suffix(b);
}

}  // namespace vat303
