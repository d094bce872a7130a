// One run of the return: every territory, every owner of the range, the
// filing files or the report, the spool and the print program.
#include "format/text.h"
#include "vat303/driver.h"

#include <algorithm>
#include <string>
#include <vector>

#include "format/dates.h"
#include "format/numbers.h"
#include "format/taxid.h"
#include "forms/block_runner.h"
#include "forms/selection.h"
#include "output/paths.h"
#include "output/print_device.h"
#include "output/print_program.h"
#include "output/spool.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "vat303/data_problems.h"
#include "vat303/filing_file.h"
#include "vat303/nrc_file.h"
#include "vat303/period_totals.h"
#include "vat303/record_fields.h"
#include "vat303/report.h"
#include "vat303/return_state.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

using records::OwnerRecord;
using records::TerritoryRecord;
using settings::Translate;

// How long a pass waits for another terminal working in the same agency
// directory (it holds the directory's NRC file for its whole pass).
constexpr int kPassLockWaitMs = 10 * 60 * 1000;
constexpr int kProgressEveryMs = 100;

struct RunState {
  bool filing = false;      // "S" mode
  bool stopped = false;     // a file could not be written: no further owner is processed
  int result = 0;
  std::vector<bool> earlierFiles;  // by owner number: a P file was found in OutputDir
  std::int64_t lastProgress = 0;
  std::string progressTitle;
};
RunState run;

using format::TrimRight;

std::string Fit(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, std::min(text.size(), width));
  out.resize(width, ' ');
  return out;
}

// A status that ends a loop without anything wrong: end of file, no such key.
bool NormalEnd(int status) { return status == 0 || status == 4 || status == 9; }

void ReadError(const char* file, int status) {
  ShowRunMessage(Translate(texts::kReadError) + file + " (" + std::to_string(status) + ")");
  run.result = 1;
  run.stopped = true;
}

// Owner codes are four digits, 1 to 9999, packed.
bool ValidOwnerCode(const std::string& code) {
  for (unsigned char c : code)
    if (c < 0x80 || c > 0x80 + 99) return false;
  return format::UnpackDigits(code) != "0000";
}

std::string CodeForMessage(const std::string& code) {
  std::string text;
  static const char hex[] = "0123456789ABCDEF";
  for (unsigned char c : code) text += std::string(1, hex[c >> 4]) + hex[c & 15];
  return text;
}

// ---- progress ---------------------------------------------------------------------------
void OpenProgress() {
  run.progressTitle = Translate(texts::kProcessing) +
                      BytesAt(TerritoryRecord, kTerritoryName, kTerritoryNameWidth) + " ";
  if (Presentation() == RunPresentation::Screen) {
    screen::SetAttr("+rn");
    screen::WindowPush(23, 1, 25, 79);
    screen::WindowFrame(1);
    screen::WinLocate(0, 1);
    screen::WinPrint(run.progressTitle);
    screen::SetAttr("-");
    console::Refresh();
  }
  run.lastProgress = 0;
}

void OwnerProgress() {
  const std::string code = Fit(format::CodeText(BytesAt(OwnerRecord, kOwnerCode, kOwnerCodeWidth)), 4);
  const std::int64_t now = os::MonotonicMs();
  const bool due = now - run.lastProgress >= kProgressEveryMs;
  if (Presentation() == RunPresentation::Screen) {
    screen::WinLocate(1, 2);
    screen::WinPrint(code);
    if (due) console::Refresh();
  } else if (due) {
    ShowProgressLine(run.progressTitle + code);
  }
  if (due) run.lastProgress = now;
}

void CloseProgress() {
  if (Presentation() == RunPresentation::Screen) screen::WindowPop();
  ClearProgressLine();
}

// ---- the agency directory of a filing pass ----------------------------------------------
bool InRange(const std::string& packedCode) {
  return packedCode.compare(forms::SelFrom) >= 0 && packedCode.compare(forms::SelTo) <= 0;
}

// Takes out of the NRC image the requests of the owners of the range whose
// earlier filing file is there, and writes the file, before any of those
// files is touched: no request ever stays without its filing file.
bool HasEarlierFile(const std::string& code) {
  const int owner = std::stoi(format::UnpackDigits(code));
  return owner < static_cast<int>(run.earlierFiles.size()) && run.earlierFiles[static_cast<std::size_t>(owner)];
}

void ForgetEarlierFile(const std::string& code) {
  const int owner = std::stoi(format::UnpackDigits(code));
  if (owner < static_cast<int>(run.earlierFiles.size())) run.earlierFiles[static_cast<std::size_t>(owner)] = false;
}

bool RemoveEarlierRequests() {
  bool any = false;
  for (int owner = 1; owner < static_cast<int>(run.earlierFiles.size()) && !any; ++owner)
    any = run.earlierFiles[static_cast<std::size_t>(owner)] && InRange(format::PackDigits(format::ZeroPad(owner, 4)));
  if (!any) return true;
  int status = 0;
  records::BtrGetByKey(records::kOwnerFile, 0, forms::SelFrom, +1, status);
  while (status == 0 && BytesAt(OwnerRecord, kOwnerCode, kOwnerCodeWidth).compare(forms::SelTo) <= 0) {
    const std::string code = BytesAt(OwnerRecord, kOwnerCode, kOwnerCodeWidth);
    if (ValidOwnerCode(code) && HasEarlierFile(code)) {
      NrcRequest.ownerTaxId = BytesAt(OwnerRecord, kOwnerTaxId + 2, 9);
      RemoveNrcRequest(NrcFile);
    }
    records::BtrMove(records::kOwnerFile, 1, status);
  }
  if (!NormalEnd(status)) {
    ReadError("DADES\\VPropiet", status);
    return false;
  }
  return NrcCheckpoint() == kNrcOk;
}

// Chooses and prepares OutputDir for the current territory. False when the
// territory gets no files (the operator has been told why).
bool OpenAgencyDirectory() {
  // The code's value is its two digits (as unpacking reads any byte), so two
  // territory records may share an agency directory.
  const std::string digits = format::UnpackDigits(BytesAt(TerritoryRecord, kTerritoryCode, 1));
  const std::string agency = AgencyDir(std::stoi(digits));
  if (agency.empty()) {
    ShowRunMessage(Translate(texts::kNoAgency) + digits + " " +
                   TrimRight(BytesAt(TerritoryRecord, kTerritoryName, kTerritoryNameWidth)));
    return false;
  }
  OutputDir = output::FullPath(settings::DataRoot + agency + "303M" + Year + "." + std::to_string(Quarter) + "T");
  NrcFile = OutputDir + "NRC_BANC.SOL";
  output::MakePath(OutputDir);
  if (!os::DirExists(OutputDir)) {
    ShowRunMessage(Translate(texts::kCannotUseDir) + OutputDir);
    run.result = 1;
    return false;
  }
  // The lock on the NRC file keeps every other terminal out of this
  // directory until the pass ends.
  if (OpenNrcPass(NrcFile, kPassLockWaitMs) != kNrcOk) {
    run.result = 1;
    return false;
  }
  std::vector<os::DirEntry> entries;
  if (!os::ListDir(OutputDir, entries)) {
    AbandonNrcPass();
    ShowRunMessage(Translate(texts::kCannotUseDir) + OutputDir);
    run.result = 1;
    return false;
  }
  run.earlierFiles.assign(10000, false);
  for (const os::DirEntry& e : entries) {
    if (e.isDir) continue;
    const std::string& n = e.name;
    // Temporary files of a run that was killed.
    if (n.size() > 5 && n[0] == '~' && n.compare(n.size() - 4, 4, ".tmp") == 0) {
      os::DeleteFile(OutputDir + n);
      continue;
    }
    if (n.size() == 5 && n[0] == 'P' && n.find_first_not_of("0123456789", 1) == std::string::npos)
      run.earlierFiles[static_cast<std::size_t>(std::stoi(n.substr(1)))] = true;
  }
  if (!RemoveEarlierRequests()) {
    AbandonNrcPass();
    run.result = 1;
    return false;
  }
  return true;
}

void CloseAgencyDirectory() {
  if (CloseNrcPass() != kNrcOk) run.result = 1;
}

// ---- one owner -----------------------------------------------------------------------
void DeleteEarlierFile(const std::string& code) {
  if (!HasEarlierFile(code)) return;
  if (!os::DeleteFile(FilingFile) && os::FileExists(FilingFile)) {
    ShowRunMessage(Translate(texts::kCannotDelete) + os::HostPath(FilingFile));
    run.result = 1;
    run.stopped = true;
  }
  ForgetEarlierFile(code);
}

void ProcessOwner() {
  const std::string code = BytesAt(OwnerRecord, kOwnerCode, kOwnerCodeWidth);
  if (!ValidOwnerCode(code)) {
    NoteDataProblem(DataProblem::BadOwnerCode, CodeForMessage(code));
    return;
  }
  OwnerProgress();
  const std::string digits = format::UnpackDigits(code);
  const std::string taxId = BytesAt(OwnerRecord, kOwnerTaxId, kTaxIdWidth);
  IsSpanish = format::IsSpanish(taxId);
  HasTaxId = format::HasTaxId(taxId);

  // The fiscal record by the owner's tax identifier. When there is none the
  // buffer keeps what it held, with the owner's identifier just put in.
  std::string& fiscal = records::FiscalRecord;
  if (fiscal.size() < kFiscalTaxId + kTaxIdWidth) fiscal.resize(kFiscalTaxId + kTaxIdWidth, '\0');
  fiscal.replace(kFiscalTaxId, kTaxIdWidth, taxId);
  int fiscalStatus = 0;
  records::BtrGetByKey(records::kFiscalFile, 0, fiscal.substr(kFiscalTaxId, kTaxIdWidth), 0, fiscalStatus);
  HasFiscalRecord = fiscalStatus == 0;

  HasAccount = true;
  if (forms::SelPayment == "D") HasAccount = TrimRight(BytesAt(OwnerRecord, kOwnerAccount, kOwnerAccountWidth)).size() > 4;
  FilingFile = OutputDir + "P" + digits;

  bool written = false;
  if (ByteAt(OwnerRecord, kOwnerStatus) == 0) {
    // Regime dates before 2014 count as no date at all (the buffer only).
    if (BytesAt(OwnerRecord, kRegimeDate, 4).compare(format::PackDigits("20140101")) < 0)
      OwnerRecord.replace(kRegimeDate, 4, format::PackDigits("00000000"));
    SumPeriod();
    if (PeriodTotals.FoundAny) {
      if (!run.filing) {
        ReportLine();
      } else if (IsSpanish && HasTaxId && HasAccount) {
        const FilingOutcome outcome = WriteFilingFile();
        written = outcome == FilingOutcome::Written;
        if (outcome == FilingOutcome::Failed) {
          // The earlier file (if any) stays where it was.
          run.result = 1;
          run.stopped = true;
          ForgetEarlierFile(code);
          return;
        }
      }
    }
  }
  if (run.filing) {
    if (written) ForgetEarlierFile(code);  // replaced by the new file
    else DeleteEarlierFile(code);
  }
}

void ProcessTerritory() {
  OpenProgress();
  ResetReport();
  bool pass = true;
  if (run.filing) pass = OpenAgencyDirectory();
  FilesWritten = 0;
  if (pass) {
    int status = 0;
    records::BtrGetByKey(records::kOwnerFile, 0, forms::SelFrom, +1, status);
    while (status == 0 && !run.stopped &&
           BytesAt(OwnerRecord, kOwnerCode, kOwnerCodeWidth).compare(forms::SelTo) <= 0) {
      ProcessOwner();
      if (!run.stopped) records::BtrMove(records::kOwnerFile, 1, status);
    }
    if (!NormalEnd(status)) ReadError("DADES\\VPropiet", status);
    if (!run.filing && ReportPageCount() > 0) ReportTotals();
    if (run.filing) CloseAgencyDirectory();
    if (run.filing && FilesWritten > 0)
      ShowRunMessage(Translate(texts::kReportGenerated) + format::NumText(FilesWritten) +
                     Translate(texts::kFilesIn) + OutputDir);
  }
  ShowRunMessages(TakeDataProblems());
  CloseProgress();
}

// The territory codes of the table, for the check of the groups' codes.
void ReadKnownTerritories() {
  KnownTerritories.clear();
  int status = 0;
  records::BtrGetByKey(records::kTerritoryFile, 0, "", +1, status);
  while (status == 0) {
    KnownTerritories += static_cast<char>(ByteAt(TerritoryRecord, kTerritoryCode));
    records::BtrMove(records::kTerritoryFile, 1, status);
  }
}

void PrepareRun() {
  format::CheckDateText(format::DateText(forms::SelDate));
  const format::ParsedDate& date = format::LastParsedDate();
  Year = format::ZeroPad(date.year, 4);
  Quarter = (date.month - 1) / 3 + 1;
  PeriodCode = std::to_string(Quarter) + "T";

  NrcRequest = NrcRequestFields{};
  NrcRequest.model = "303";
  NrcRequest.year = Year;
  NrcRequest.period = PeriodCode;
  NrcRequest.presenterTaxId = HolderTaxId.size() > 2 ? HolderTaxId.substr(2, 9) : "";
  NrcRequest.account = forms::PresAccount.size() > 4 ? forms::PresAccount.substr(4, 20) : "";
  NrcRequest.ibanPrefix = forms::PresAccount.substr(0, 4);
}

void Territories() {
  ReadKnownTerritories();
  int status = 0;
  records::BtrGetByKey(records::kTerritoryFile, 0, "", +1, status);
  while (status == 0 && !run.stopped) {
    ProcessTerritory();
    records::BtrMove(records::kTerritoryFile, 1, status);
  }
  if (!NormalEnd(status)) ReadError("TAULES\\UTerrito", status);
}

void StartPrintProgram() {
  const output::PrintRun printed = output::RunPrintProgram();
  const int code = printed.code == output::kNothingToPrint ? 0 : printed.code;
  if (code == -1) {
    ShowRunMessage(Translate(texts::kCannotStartPrint) + os::HostPath(output::PrintProgramPath()));
  } else if (code != 0) {
    ShowRunMessage(Translate(texts::kPrintFailed) + std::to_string(code) + (printed.reason.empty() ? "" : ": " + printed.reason));
  } else if (!run.filing && printed.code == output::kNothingToPrint) {
    ShowRunMessage(Translate(texts::kNothingToPrint));
  } else if (!run.filing) {
    // A report run: the operator is told where the report went.
    const output::PrintTarget target = output::PrintDestination(settings::OutputSetting);
    std::string where = os::HostPath(target.path);
    if (!where.empty() && where[0] != '/') where = os::CurrentDir() + where;  // the print program's folder too
    if (target.kind == output::PrintKind::Printer)
      ShowRunMessage(Translate(texts::kReportToQueue) + target.queue);
    else
      ShowRunMessage(Translate(texts::kReportAt) + where);
  }
  if (code != 0 && !run.filing) run.result = 1;
}

}  // namespace

std::string AgencyDir(int territoryCode) {
  static const char* const dirs[] = {"ATC\\", "AEAT\\", "DFA\\", "DFG\\", "DFB\\",
                                     "DFN\\", "ATIC\\", "ATA\\", "ATF\\"};
  if (territoryCode < 0 || territoryCode > 8) return "";
  return dirs[territoryCode];
}

void ReturnDriver() {
  screen::SetAttr("n");
  console::Clear(console::TextAttribute());
  for (;;) {
    int block = 1, key = 0;
    forms::RunBlock(block, 0, 0, key);
    if (key == forms::kKeyEsc) return;
    RunReturn(RunPresentation::Screen);
  }
}

int RunReturn(RunPresentation how) {
  SetPresentation(how);
  ClearShownMessages();
  ResetDataProblems();
  run = RunState{};
  run.filing = forms::SelMode == "S";
  HolderName = settings::IniRead(settings::UserSettingsFile(), "Titular", "Nom");
  HolderTaxId = settings::IniRead(settings::UserSettingsFile(), "Titular", "NIF");

  const bool spoolOpen = output::PrintOpen(settings::OutputSetting);
  if (!spoolOpen) ShowRunMessage(Translate(texts::kCannotCreateSpool) + os::HostPath(output::SpoolPath()));
  if (forms::SelMode == "R") format::SetCurrency("p");

  PrepareRun();
  const bool holderKnown = !TrimRight(NrcRequest.presenterTaxId).empty();
  if (!run.filing && !spoolOpen) {
    run.result = 1;  // a report with nowhere to go
  } else if (run.filing && forms::SelPayment == "N" && !holderKnown) {
    ShowRunMessage(Translate(texts::kNoHolderTaxId));
    run.result = 1;
  } else {
    Territories();
  }
  if (run.stopped) ShowRunMessage(Translate(texts::kRunStopped));

  format::SetCurrency("");
  const bool spoolWritten = output::PrintClose() && spoolOpen;
  if (spoolOpen && !spoolWritten)
    ShowRunMessage(Translate(texts::kCannotCreateSpool) + os::HostPath(output::SpoolPath()));
  // A spool that could not be written is not handed to the print program,
  // which would render what an earlier run left there. A filing run has
  // written its files all the same, but the run still failed to list them.
  if (spoolWritten) StartPrintProgram();
  else run.result = 1;
  return run.result;
}

}  // namespace vat303
