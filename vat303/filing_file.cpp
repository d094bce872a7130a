// The owner's filing file, its NRC request and the payment-type map.
#include "vat303/filing_file.h"

#include <cmath>
#include <string>

#include "format/dates.h"
#include "format/numbers.h"
#include "format/text.h"
#include "format/taxid.h"
#include "forms/selection.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "vat303/data_problems.h"
#include "vat303/filing_layout.h"
#include "vat303/filing_pass.h"
#include "vat303/filing_rules.h"
#include "vat303/history.h"
#include "vat303/nrc_file.h"
#include "vat303/record_fields.h"
#include "vat303/return_state.h"
#include "vat303/run_messages.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

constexpr int kMapSize = 9999;
constexpr int kMapLockWaitMs = 120000;

using format::TrimRight;

bool HoldsSomething(const std::string& field) {
  for (char c : field)
    if (c != ' ' && c != ',' && c != '*') return true;
  return false;
}

bool LockMap(os::Lock& lock, const std::string& lockPath) {
  if (os::LockExclusive(lock, lockPath, 0)) return true;
  if (!os::FileExists(lockPath)) return false;
  ShowWaitNotice(records::LockWaitText());
  const bool locked = os::LockExclusive(lock, lockPath, kMapLockWaitMs);
  EndWaitNotice();
  return locked;
}

}  // namespace

std::string TempPathFor(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  const std::string dir = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  return dir + "~" + path.substr(dir.size()) + ".tmp";
}

bool IsTempFileName(const std::string& name) {
  return name.size() > 5 && name[0] == '~' && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

std::string OwnerFileName(int owner) { return "P" + format::ZeroPad(owner, 4); }

int OwnerOfFileName(const std::string& name) {
  if (name.size() != 5 || name[0] != 'P' || name.find_first_not_of("0123456789", 1) != std::string::npos) return 0;
  return std::stoi(name.substr(1));
}

bool WriteTempFile(const std::string& path, const std::string& data, bool flush) {
  const std::string temp = TempPathFor(path);
  os::File f;
  if (!os::Open(f, temp, "wb")) return false;
  bool ok = os::Write(f, data);
  // Seeking flushes the stream's buffer and reports a write that failed.
  ok = ok && (flush ? os::Flush(f) : os::Seek(f, 0));
  ok = os::Close(f) && ok && os::FileSize(temp) == static_cast<long long>(data.size());
  if (!ok) os::DeleteFile(temp);
  return ok;
}

bool ReplaceFile(const std::string& path, const std::string& data, bool flush) {
  if (!WriteTempFile(path, data, flush)) return false;
  if (os::RenameFile(TempPathFor(path), path)) return true;
  os::DeleteFile(TempPathFor(path));
  return false;
}

std::string PaymentMapPath() { return settings::DataRoot + "DADES\\V303.MAP"; }

std::string ReadPaymentMap() {
  std::string map;
  os::ReadFile(PaymentMapPath(), map);
  if (map.size() < kMapSize) map.resize(kMapSize, ' ');
  return map;
}

bool RecordPaymentType(int owner, char payment) {
  if (owner < 1 || owner > kMapSize) return false;
  const std::string path = PaymentMapPath();
  if (os::FileSize(path) < kMapSize) {
    // Missing or short: made up to its length with blanks, keeping the
    // bytes it has, and put in place whole, under the map's lock so that
    // two terminals cannot both make it.
    os::Lock lock;
    if (!LockMap(lock, path + ".lck")) return false;
    bool ok = true;
    bool made = false;
    if (os::FileSize(path) < kMapSize) {
      std::string map;
      if (os::FileExists(path) && !os::ReadFile(path, map)) {
        os::Unlock(lock);
        return false;
      }
      map.resize(kMapSize, ' ');
      map[static_cast<std::size_t>(owner - 1)] = payment;
      ok = KeepPaymentMap() && ReplaceFile(path, map, true);
      made = true;
    }
    os::Unlock(lock);
    if (made || !ok) return ok;
  }
  // A map of full length is only ever changed one byte at a time, and each
  // owner has a byte of its own: one write in place, no lock needed. A byte
  // that is so already is left alone.
  os::File f;
  char was = ' ';
  bool ok = os::Open(f, path, "r+b") && os::Seek(f, owner - 1) && os::Read(f, &was, 1) == 1;
  const bool same = ok && was == payment;
  ok = ok && (same || (KeepPaymentMap() && os::Seek(f, owner - 1) && os::Write(f, &payment, 1) && os::Seek(f, 0)));
  os::Close(f);
  return ok;
}

std::string FilingNameField() {
  using records::FiscalRecord;
  const std::string taxId = BytesAt(FiscalRecord, kFiscalTaxId, kTaxIdWidth);
  // Without a fiscal record the buffer still holds an earlier owner's name:
  // the owner's own name is used instead.
  const std::string name = HasFiscalRecord ? BytesAt(FiscalRecord, kFiscalName, kFiscalNameWidth)
                                           : BytesAt(records::OwnerRecord, kOwnerName, kOwnerNameWidth);
  const format::FilingName parts = format::NormalizeFilingName(taxId, name);
  std::string field = TrimRight(parts.surnames) + ", " + parts.firstName;
  field.resize(80, ' ');
  return HoldsSomething(field) ? field : std::string();
}

FilingOutcome WriteFilingFile() {
  const std::string owner = format::UnpackDigits(BytesAt(records::OwnerRecord, kOwnerCode, kOwnerCodeWidth));
  const std::string name = FilingNameField();
  if (name.empty()) {
    NoteDataProblem(DataProblem::EmptyFilingName, owner);
    return FilingOutcome::NotWritten;
  }
  if (!HasFiscalRecord) NoteDataProblem(DataProblem::NoFiscalRecord, owner);

  const bool request = forms::SelPayment == "N" && PeriodTotals.SumBalance > 0;
  if (request) {
    NrcRequest.ownerTaxId = BytesAt(records::FiscalRecord, kFiscalTaxId + 2, 9);
    NrcRequest.name = name.substr(0, 38);
    NrcRequest.amount = static_cast<std::int64_t>(std::nearbyint(PeriodTotals.SumBalance));
  }
  const std::string text = FilingText(CurrentFilingValues(name));
  // A file the agency would refuse never leaves the office: the owner is
  // named with every rule it breaks, and its earlier file stays.
  FilingContext context;
  context.year = Year;
  context.quarter = Quarter;
  context.payment = forms::SelPayment.empty() ? 0 : forms::SelPayment[0];
  const std::vector<RuleBreak> breaks = CheckFilingRules(text, context);
  if (!breaks.empty()) {
    std::vector<std::string> lines;
    for (const RuleBreak& b : breaks)
      lines.push_back(settings::Translate(texts::kFileRefused) + owner + " (" + b.rule->name + "): " + b.message);
    ShowRunMessages(lines);
    return FilingOutcome::Refused;
  }
  // The pass tells the operator itself what went wrong.
  if (!PutFilingFile(std::stoi(owner), text, request)) return FilingOutcome::Failed;
  ++FilesWritten;
  return FilingOutcome::Written;
}

}  // namespace vat303
