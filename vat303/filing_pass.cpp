// A filing pass over an agency folder: its lock, its journal, the filing
// files with their requests and map bytes, and the repair of a pass that
// did not end.
#include "vat303/filing_pass.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "format/numbers.h"
#include "format/text.h"
#include "forms/selection.h"
#include "output/paths.h"
#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "vat303/driver.h"
#include "vat303/filing_file.h"
#include "vat303/history.h"
#include "vat303/nrc_file.h"
#include "vat303/pass_journal.h"
#include "vat303/quarter_check.h"
#include "vat303/return_state.h"
#include "vat303/run_log.h"
#include "vat303/run_messages.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

using settings::Translate;

// How long a pass waits for another terminal working in the same agency
// directory (it holds the directory's NRC file for its whole pass).
constexpr int kPassLockWaitMs = 10 * 60 * 1000;
constexpr int kOwners = 10000;  // owner numbers 1-9999
constexpr std::size_t kOwnersListed = 20;

// An owner's filing file in the folder, as the pass found or left it.
struct OwnerFiling {
  bool there = false;
  bool unreadable = false;
  bool checked = false;       // put in place (or found as it should be) by this pass, the rules checked first
  std::uint64_t digest = 0;
  FilingPayment payment;      // what it says of its payment: its type letter, result, tax id and name
};

// A file of type "I" with a positive result asks for a request when it is
// filed with payment N: its tax id, name and result.
bool Asks(const OwnerFiling& f) { return f.payment.type == 'I' && f.payment.resultKnown && f.payment.result > 0; }
JournalRequest RequestOf(const OwnerFiling& f) { return {f.payment.taxId, f.payment.name, f.payment.result}; }

struct Pass {
  bool open = false;
  std::vector<OwnerFiling> files;  // by owner number
  // The owners whose file asks for each request (tax id, name, amount): where
  // two files ask for equal requests, the map tells whose request it is.
  std::map<std::string, std::vector<int>> asking;
  std::string map;            // the payment map as this pass knows it
  char payment = ' ';
  bool journal = false;       // the journal of this pass is begun
  bool mapStale = false;      // a map byte could not be written
  bool removes = true;        // the last pass of the run over the folder
  PassCounts counts;
};
Pass pass;

// The filing files this run has written, by folder and owner number: a
// later pass of the run over the same folder never takes them away.
std::map<std::string, std::vector<bool>> written;

bool WrittenInRun(int owner) {
  auto folder = written.find(OutputDir);
  return folder != written.end() && folder->second[static_cast<std::size_t>(owner)];
}

void NoteWritten(int owner) {
  std::vector<bool>& folder = written[OutputDir];
  folder.resize(kOwners, false);
  folder[static_cast<std::size_t>(owner)] = true;
}

char RunPayment() { return forms::SelPayment.empty() ? ' ' : forms::SelPayment[0]; }

JournalRequest AsJournal(const NrcRequestFields& r) { return {r.ownerTaxId, r.name, r.amount}; }

void SetOwnerPart(const JournalRequest& r) {
  NrcRequest.ownerTaxId = r.taxId;
  NrcRequest.name = r.name;
  NrcRequest.amount = r.amount;
}

bool SameRequest(const JournalRequest& a, const JournalRequest& b) {
  return format::FitText(a.taxId, 9) == format::FitText(b.taxId, 9) &&
         format::FitText(a.name, 38) == format::FitText(b.name, 38) && a.amount == b.amount;
}

bool ValidOwner(int owner) { return owner >= 1 && owner < kOwners; }

void Fail(const char* text, const std::string& path) { ShowRunMessage(Translate(text) + os::HostPath(path)); }

std::string KeyOf(const JournalRequest& r) {
  return format::FitText(r.taxId, 9) + format::FitText(r.name, 38) + std::to_string(r.amount);
}

OwnerFiling& FileOf(int owner) { return pass.files[static_cast<std::size_t>(owner)]; }

// What the pass knows of the owner's file from now on.
void Note(int owner, const OwnerFiling& file) {
  OwnerFiling& f = FileOf(owner);
  if (Asks(f)) {
    std::vector<int>& owners = pass.asking[KeyOf(RequestOf(f))];
    owners.erase(std::remove(owners.begin(), owners.end(), owner), owners.end());
  }
  f = file;
  if (Asks(f)) pass.asking[KeyOf(RequestOf(f))].push_back(owner);
}

// A filing file of `bytes` (the pass's own when `checked`).
OwnerFiling Filing(const std::string& bytes, bool checked) {
  OwnerFiling f;
  f.there = true;
  f.checked = checked;
  f.digest = format::BytesHash(bytes);
  f.payment = ReadFilingPayment(bytes);
  return f;
}

OwnerFiling Read(const std::string& path) {
  std::string bytes;
  if (os::ReadFile(path, bytes)) return Filing(bytes, false);
  OwnerFiling f;
  f.there = f.unreadable = os::FileExists(path);
  return f;
}

// The owner's earlier filing file, if the pass found one. False when it is
// there but cannot be read.
bool Earlier(int owner) {
  if (!FileOf(owner).unreadable) return true;
  Fail(texts::kCannotRead, FilingFile);
  return false;
}

// Whether the NRC file holds the request of the owner's earlier file: as
// many equal requests as there are files asking for them filed with
// payment N, by the map, count as theirs; one more is this file's.
bool HeldRequest(int owner, JournalRequest& request) {
  const OwnerFiling& f = FileOf(owner);
  if (!f.there) return false;
  NrcPassKeepFile();
  if (!Asks(f)) return false;
  const JournalRequest asked = RequestOf(f);
  NrcRequestFields r = NrcRequest;
  r.ownerTaxId = asked.taxId, r.name = asked.name, r.amount = asked.amount;
  int others = 0;
  for (int other : pass.asking[KeyOf(asked)])
    others += other != owner && pass.map[static_cast<std::size_t>(other - 1)] == 'N';
  if (NrcPassCount(r) <= others) return false;
  request = asked;
  return true;
}

bool EnsureJournal() {
  if (pass.journal) return true;
  JournalHead head;
  head.nrcDigest = NrcPassFileDigest();
  head.payment = pass.payment;
  head.presenter = NrcRequest;
  pass.journal = BeginJournal(OutputDir, head);
  if (!pass.journal) Fail(texts::kCannotWrite, JournalPath(OutputDir));
  return pass.journal;
}

bool Journal(const JournalChange& change) {
  if (!EnsureJournal()) return false;
  if (JournalAdd(change)) return true;
  Fail(texts::kCannotWrite, JournalPath(OutputDir));
  return false;
}

// The request changes of a journaled change, on the pass's NRC image
// (NrcRequest's presenter part with each request's owner part).
bool ApplyRequests(const JournalChange& c) {
  const NrcRequestFields kept = NrcRequest;
  bool ok = true;
  if (c.takenOut) {
    SetOwnerPart(c.out);
    ok = RemoveNrcRequest(NrcFile) == kNrcOk;
  }
  if (ok && c.added) {
    SetOwnerPart(c.in);
    ok = AddNrcRequest(NrcFile) == kNrcOk;
  }
  NrcRequest = kept;
  return ok;
}

std::string OwnerList(const std::vector<int>& owners) {
  std::string list;
  for (std::size_t i = 0; i < owners.size() && i < kOwnersListed; ++i)
    list += (i ? " " : "") + format::ZeroPad(owners[i], 4);
  if (owners.size() > kOwnersListed) list += " ... (" + format::NumText(static_cast<double>(owners.size())) + ")";
  return list;
}

// Brings the NRC file and the map of `folder` (held, its NRC file open as
// the pass's) in line with its filing files after a pass that left its
// journal: each change the journal announces and that reached the folder
// (the file there is the new one, or gone) is made again on the NRC file as
// that pass found it, or, when that pass wrote the NRC file before it
// stopped, only on the map.
bool RepairFolder(const std::string& folder) {
  JournalHead head;
  std::vector<JournalChange> changes;
  if (!ReadJournal(folder, head, changes)) {
    // Its first line is put in place whole: one that cannot be read was
    // not written by a pass, and tells nothing.
    EndJournal(folder);
    return true;
  }
  const bool asFound = NrcPassFileDigest() == head.nrcDigest;
  const NrcRequestFields kept = NrcRequest;
  NrcRequest = head.presenter;  // the owner part is set change by change
  std::vector<int> concerned;
  bool ok = true;
  for (const JournalChange& c : changes) {
    if (!ValidOwner(c.owner)) continue;
    std::string bytes;
    const bool there = os::ReadFile(folder + OwnerFileName(c.owner), bytes);
    const bool reached = c.put ? there && format::BytesHash(bytes) == c.digest : !there;
    if (!reached) continue;
    concerned.push_back(c.owner);
    if (asFound) ok = ApplyRequests(c) && ok;
    if (c.put && head.payment != ' ' && !RecordPaymentType(c.owner, head.payment)) {
      Fail(texts::kCannotWrite, PaymentMapPath());
      ok = false;
    }
  }
  NrcRequest = kept;
  if (!ok || NrcCheckpoint() != kNrcOk) return false;
  EndJournal(folder);
  if (!concerned.empty())
    ShowRunMessage(Translate(texts::kRepaired) + os::HostPath(folder) + Translate(texts::kOwnersConcerned) +
                   OwnerList(concerned));
  return true;
}

}  // namespace

void BeginFilingRun() {
  written.clear();
  pass = Pass{};
}

void RepairInterruptedPasses() {
  if (settings::DataRoot.empty()) return;
  for (const std::string& found : AllQuarterFolders(settings::DataRoot)) {
    const std::string folder = output::FullPath(found);
    if (!os::FileExists(JournalPath(folder))) continue;
    // Held by another terminal: its pass is running, and the journal is its own.
    const std::string nrc = folder + "NRC_BANC.SOL";
    if (OpenNrcPass(nrc, kNrcTryOnce) != kNrcOk) continue;
    const std::string keptNrc = NrcFile;
    NrcFile = nrc;
    RepairFolder(folder);
    NrcFile = keptNrc;
    AbandonNrcPass();
  }
}

bool OpenFilingPass(bool last) {
  pass = Pass{};
  pass.payment = RunPayment();
  pass.removes = last;
  output::MakePath(OutputDir);
  if (!os::DirExists(OutputDir)) {
    Fail(texts::kCannotUseDir, OutputDir);
    return false;
  }
  // The lock on the NRC file keeps every other terminal out of this
  // directory until the pass ends.
  if (OpenNrcPass(NrcFile, kPassLockWaitMs) != kNrcOk) return false;
  std::vector<os::DirEntry> entries;
  if (!os::ListDir(OutputDir, entries)) {
    AbandonNrcPass();
    Fail(texts::kCannotUseDir, OutputDir);
    return false;
  }
  pass.files.assign(kOwners, OwnerFiling{});
  for (const os::DirEntry& e : entries) {
    if (e.isDir) continue;
    // Temporary files of a run that was killed.
    if (IsTempFileName(e.name)) {
      os::DeleteFile(OutputDir + e.name);
      continue;
    }
    const int owner = OwnerOfFileName(e.name);
    if (ValidOwner(owner)) Note(owner, Read(OutputDir + e.name));
  }
  if (os::FileExists(JournalPath(OutputDir)) && !RepairFolder(OutputDir)) {
    AbandonNrcPass();
    return false;
  }
  std::string account, prefix;
  if (pass.payment == 'N' && NrcPassHeader(account, prefix) &&
      (account != format::FitText(NrcRequest.account, 20) ||
       (!prefix.empty() && prefix != format::FitText(NrcRequest.ibanPrefix, 4)))) {
    pass.counts.otherAccount = true;
    pass.counts.headerAccount = (prefix.empty() ? "" : prefix + " ") + account;
  }
  pass.map = ReadPaymentMap();
  pass.open = true;
  return true;
}

bool PutFilingFile(int owner, const std::string& bytes, bool withRequest) {
  JournalChange c;
  c.owner = owner;
  c.put = true;
  c.digest = format::BytesHash(bytes);
  c.added = withRequest;
  if (withRequest) c.in = AsJournal(NrcRequest);
  if (!Earlier(owner)) return false;
  c.takenOut = HeldRequest(owner, c.out);

  // The same file, the same request and the same map byte: nothing to do.
  const bool sameRequest = c.takenOut == c.added && (!c.added || SameRequest(c.out, c.in));
  if (FileOf(owner).there && FileOf(owner).digest == c.digest && sameRequest &&
      pass.map[static_cast<std::size_t>(owner - 1)] == pass.payment) {
    NoteWritten(owner);
    FileOf(owner).checked = true;
    return true;
  }
  if (withRequest && !NrcPassHasRoomFor(c.in.amount)) {
    Fail(texts::kNrcFull, NrcFile);
    return false;
  }
  if (!WriteTempFile(FilingFile, bytes, false)) {
    Fail(texts::kCannotWrite, FilingFile);
    return false;
  }
  if (!Journal(c)) {
    os::DeleteFile(TempPathFor(FilingFile));
    return false;
  }
  // An earlier run's file with other bytes is kept before it is replaced.
  const bool replacing = FileOf(owner).there && FileOf(owner).digest != c.digest && !WrittenInRun(owner);
  if (replacing && !KeepVersion(FilingFile)) {
    os::DeleteFile(TempPathFor(FilingFile));
    return false;
  }
  if (!os::RenameFile(TempPathFor(FilingFile), FilingFile)) {
    os::DeleteFile(TempPathFor(FilingFile));
    Fail(texts::kCannotWrite, FilingFile);
    return false;
  }
  pass.counts.replaced += replacing;
  NoteWritten(owner);
  Note(owner, Filing(bytes, true));
  if (!ApplyRequests(c)) return false;
  if (!RecordPaymentType(owner, pass.payment)) {
    pass.mapStale = true;
    Fail(texts::kCannotWrite, PaymentMapPath());
    return false;
  }
  pass.map[static_cast<std::size_t>(owner - 1)] = pass.payment;
  return true;
}

bool RemoveFilingFile(int owner) {
  if (!pass.removes || WrittenInRun(owner) || !FileOf(owner).there) return true;
  if (!Earlier(owner)) return false;
  JournalChange c;
  c.owner = owner;
  c.takenOut = HeldRequest(owner, c.out);
  if (!Journal(c) || !KeepVersion(FilingFile)) return false;
  if (!os::DeleteFile(FilingFile) && os::FileExists(FilingFile)) {
    Fail(texts::kCannotDelete, FilingFile);
    return false;
  }
  Note(owner, OwnerFiling{});
  ++pass.counts.removed;
  return ApplyRequests(c);
}

bool CloseFilingPass() {
  if (!pass.open) return true;
  pass.open = false;
  if (NrcCheckpoint() != kNrcOk) {
    AbandonNrcPass();
    pass.counts.requestsNotSaved = true;
    if (pass.journal) EndJournal(OutputDir, false);
    return false;
  }
  // The folder's digest is for the run log (none with the history off).
  const std::uint64_t nrc = RunId().empty() ? 0 : NrcPassFileDigest();
  // The folder's outputs as the pass leaves them: each filing file's owner
  // and digest, then the NRC file's digest.
  format::BytesHasher digest;
  for (int owner = 1; owner < kOwners; ++owner)
    if (FileOf(owner).there) {
      const std::uint64_t piece[2] = {static_cast<std::uint64_t>(owner), FileOf(owner).digest};
      format::HashBytes(digest, reinterpret_cast<const char*>(piece), sizeof piece);
    }
  format::HashBytes(digest, reinterpret_cast<const char*>(&nrc), sizeof nrc);
  pass.counts.outputsDigest = format::HashValue(digest);
  pass.counts.closed = true;
  // A map byte that could not be written is set by the next run from the
  // journal, which stays for it.
  if (pass.journal) EndJournal(OutputDir, !pass.mapStale);
  return true;
}

// Everything is written by now: the lock goes, and the image with it.
void ReleaseFilingPass() { AbandonNrcPass(); }

const PassCounts& FilingPassCounts() { return pass.counts; }

std::vector<const FilingPayment*> FilingPassCheckedFiles() {
  std::vector<const FilingPayment*> out(kOwners, nullptr);
  for (std::size_t owner = 0; owner < pass.files.size(); ++owner)
    if (pass.files[owner].checked) out[owner] = &pass.files[owner].payment;
  return out;
}

}  // namespace vat303
