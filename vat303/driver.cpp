// One run of the return: every territory, every owner of the range, the
// filing files or the report, the spool and the print program.
#include "format/text.h"
#include "vat303/driver.h"

#include <algorithm>
#include <map>
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
#include "vat303/filing_pass.h"
#include "vat303/nrc_file.h"
#include "vat303/period_totals.h"
#include "vat303/quarter_check.h"
#include "vat303/record_fields.h"
#include "vat303/report.h"
#include "vat303/return_state.h"
#include "vat303/run_log.h"
#include "vat303/run_reads.h"
#include "vat303/texts.h"

namespace vat303 {
namespace {

using records::OwnerRecord;
using records::TerritoryRecord;
using settings::Translate;

constexpr int kProgressEveryMs = 100;

struct RunState {
  bool filing = false;   // "S" mode
  bool stopped = false;  // a read failed or a file could not be written: no further owner is processed
  int result = 0;
  int refused = 0;       // files of the territory that broke a filing rule
  std::map<std::string, int> passesLeft;  // by agency directory: the territories still to write there
  std::int64_t lastProgress = 0;
  std::string progressTitle;
  std::string folder;    // the territory's agency folder under DataRoot, "AEAT/303M2024.2T"
};
RunState run;

using format::TrimRight;

void Stop() {
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
  const std::string code = format::FitText(format::CodeText(BytesAt(OwnerRecord, kOwnerCode, kOwnerCodeWidth)), 4);
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
// Chooses OutputDir for the current territory and opens its pass. False
// when the territory gets no files (the operator has been told why).
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
  run.folder = os::HostPath(agency) + QuarterFolderName(Year, Quarter);
  OutputDir = output::FullPath(settings::DataRoot + run.folder);
  NrcFile = OutputDir + "NRC_BANC.SOL";
  if (OpenFilingPass(--run.passesLeft[agency] <= 0)) return true;
  run.result = 1;
  return false;
}

// The territory's summary: the files written and removed, and what became
// of the requests.
void TerritoryMessage() {
  const PassCounts& counts = FilingPassCounts();
  if (FilesWritten == 0 && counts.removed == 0 && run.refused == 0 && !counts.requestsNotSaved) return;
  // (NumText writes nothing for zero.)
  std::string text = Translate(texts::kReportGenerated) + (FilesWritten > 0 ? format::NumText(FilesWritten) : "0") +
                     Translate(texts::kFilesIn) + OutputDir;
  if (counts.removed > 0)
    text += Translate(texts::kFilesRemoved) + format::NumText(counts.removed) + Translate(texts::kEarlierFiles);
  if (run.refused > 0)
    text += Translate(texts::kFilesRefused) + format::NumText(run.refused) + Translate(texts::kRefusedFiles);
  if (counts.requestsNotSaved) text += Translate(texts::kRequestsNotSaved);
  if (counts.otherAccount && !counts.requestsNotSaved) text += Translate(texts::kOtherAccount) + counts.headerAccount;
  ShowRunMessage(text);
}

// What the pass did, and what its folder holds after it, for the run log.
void LogPass() {
  const PassCounts& counts = FilingPassCounts();
  LogTerritory({format::UnpackDigits(BytesAt(TerritoryRecord, kTerritoryCode, 1)), run.folder, FilesWritten,
                counts.replaced, counts.removed, run.refused});
  if (counts.closed) LogFolder(run.folder, counts.outputsDigest);
}

// The folder as it leaves the pass, checked as kap check303 checks it: any
// fault is said (file, rule and message), and the run did not succeed.
void CheckFolder() {
  const std::vector<const FilingPayment*> checked = FilingPassCheckedFiles();
  const FolderCheck check = CheckAgencyFolder(settings::DataRoot, OutputDir, Year, Quarter, &checked);
  if (check.faults.empty()) return;
  std::vector<std::string> lines;
  for (const FolderFault& f : check.faults)
    lines.push_back(Translate(texts::kFolderFault) + OutputDir + f.file + " (" + f.rule + "): " + f.message);
  ShowRunMessages(lines);
  run.result = 1;
}

// ---- one owner -----------------------------------------------------------------------
// Reads everything the owner's return needs, then writes or removes. A read
// that fails stops the run before anything of the owner is touched.
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
  const ReadResult fiscalRead = RunGetByKey(records::kFiscalFile, 0, fiscal.substr(kFiscalTaxId, kTaxIdWidth), 0);
  if (fiscalRead == ReadResult::Failed) return Stop();
  HasFiscalRecord = fiscalRead == ReadResult::Found;

  HasAccount = true;
  if (forms::SelPayment == "D") HasAccount = TrimRight(BytesAt(OwnerRecord, kOwnerAccount, kOwnerAccountWidth)).size() > 4;
  FilingFile = OutputDir + "P" + digits;

  bool written = false;
  if (ByteAt(OwnerRecord, kOwnerStatus) == 0) {
    // Regime dates before 2014 count as no date at all (the buffer only).
    if (BytesAt(OwnerRecord, kRegimeDate, 4).compare(format::PackDigits("20140101")) < 0)
      OwnerRecord.replace(kRegimeDate, 4, format::PackDigits("00000000"));
    if (!SumPeriod()) return Stop();
    if (PeriodTotals.FoundAny) {
      if (!run.filing) {
        ReportLine();
      } else if (IsSpanish && HasTaxId && HasAccount) {
        const FilingOutcome outcome = WriteFilingFile();
        if (outcome == FilingOutcome::Failed) return Stop();  // the earlier file (if any) stays
        if (outcome == FilingOutcome::Refused) {
          // Not put in place: the earlier file and its request stay.
          ++run.refused;
          run.result = 1;
          return;
        }
        written = outcome == FilingOutcome::Written;
      }
    }
  }
  // The owner's data were read and show nothing to file: its earlier file
  // and request go.
  if (run.filing && !written && !RemoveFilingFile(std::stoi(digits))) Stop();
}

void ProcessTerritory() {
  OpenProgress();
  ResetReport();
  run.refused = 0;
  bool pass = true;
  if (run.filing) pass = OpenAgencyDirectory();
  FilesWritten = 0;
  if (pass) {
    ReadResult owner = RunGetByKey(records::kOwnerFile, 0, forms::SelFrom, +1);
    while (owner == ReadResult::Found && !run.stopped &&
           BytesAt(OwnerRecord, kOwnerCode, kOwnerCodeWidth).compare(forms::SelTo) <= 0) {
      ProcessOwner();
      if (!run.stopped) owner = RunMoveNext(records::kOwnerFile);
    }
    if (owner == ReadResult::Failed) Stop();
    if (!run.filing && ReportPageCount() > 0) ReportTotals();
    if (run.filing) {
      // Whatever stopped the run, what this pass did is saved and said.
      if (!CloseFilingPass()) Stop();
      TerritoryMessage();
      LogPass();
      CheckFolder();  // while the pass holds the folder: no other is half done there
      ReleaseFilingPass();
    }
  }
  ShowRunMessages(TakeDataProblems());
  CloseProgress();
}

// The territory codes of the table, for the check of the groups' codes.
bool ReadKnownTerritories() {
  KnownTerritories.clear();
  ReadResult read = RunGetByKey(records::kTerritoryFile, 0, "", +1);
  while (read == ReadResult::Found) {
    KnownTerritories += static_cast<char>(ByteAt(TerritoryRecord, kTerritoryCode));
    ++run.passesLeft[AgencyDir(std::stoi(format::UnpackDigits(BytesAt(TerritoryRecord, kTerritoryCode, 1))))];
    read = RunMoveNext(records::kTerritoryFile);
  }
  return read != ReadResult::Failed;
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
  if (!ReadKnownTerritories()) return Stop();
  ReadResult read = RunGetByKey(records::kTerritoryFile, 0, "", +1);
  while (read == ReadResult::Found && !run.stopped) {
    ProcessTerritory();
    if (!run.stopped) read = RunMoveNext(records::kTerritoryFile);
  }
  if (read == ReadResult::Failed) Stop();
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
  BeginFilingRun();
  HolderName = settings::IniRead(settings::UserSettingsFile(), "Titular", "Nom");
  HolderTaxId = settings::IniRead(settings::UserSettingsFile(), "Titular", "NIF");

  const bool spoolOpen = output::PrintOpen(settings::OutputSetting);
  if (!spoolOpen) ShowRunMessage(Translate(texts::kCannotCreateSpool) + os::HostPath(output::SpoolPath()));
  if (forms::SelMode == "R") format::SetCurrency("p");

  PrepareRun();
  // The run's entry in the log comes first (what it repairs is its doing
  // too); without it the run does not go on. What a run that did not end
  // left half done is put right before anything else.
  const bool logged = BeginRunLog();
  if (logged) RepairInterruptedPasses();
  const bool holderKnown = !TrimRight(NrcRequest.presenterTaxId).empty();
  if (!logged) {
    Stop();
  } else if (!run.filing && !spoolOpen) {
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
  if (!EndRunLog(run.result)) run.result = 1;
  return run.result;
}

}  // namespace vat303
