// The steps of the main routine that reach the form, the record files and
// the return driver.
#include <string>

#include "app/main_flow.h"
#include "records/btr.h"
#include "settings/config.h"

namespace app {

using namespace settings;

std::string PresenterTown;
std::string PresenterAccount;
PeriodEnd ProposedPeriod;

namespace {

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

}  // namespace

bool LoadProgramForm() {
  // The form engine is not linked in yet: the program goes on without a form.
  return true;
}

void PresetSelection(const PeriodEnd& period) { ProposedPeriod = period; }

std::string OwnerRecord, FiscalRecord, OfficeRecord, GroupRecord, PeriodRecord, LineRecord,
    TerritoryRecord;

void OpenDataFiles() {
  // One shared status: BtrOpen itself reports a file it cannot open and ends
  // the program.
  struct DataFile {
    int number;
    const char* name;
    std::string* record;
  };
  const DataFile files[] = {
      {6, "DADES\\VPropiet", &OwnerRecord},   {162, "DADES\\UFiscal", &FiscalRecord},
      {163, "TAULES\\UHisenda", &OfficeRecord}, {7, "DADES\\VGrups", &GroupRecord},
      {30, "DADES\\VCapPeri", &PeriodRecord},  {31, "DADES\\VLinPeri", &LineRecord},
      {270, "TAULES\\UTerrito", &TerritoryRecord},
  };
  int status = 0;
  for (const DataFile& f : files) records::BtrOpen(f.number, DataRoot + f.name, *f.record, status);
}

void ReadPresenterSettings() {
  PresenterTown = IniRead(UserSettingsFile(), "Presentador", "Poblacio");
  PresenterAccount = IniRead(UserSettingsFile(), "Presentador", "CCC");
}

void RunReturnDriver() {}

void SavePresenterSettings() {
  IniWrite(UserSettingsFile(), "Presentador", "Poblacio", TrimRight(PresenterTown));
  IniWrite(UserSettingsFile(), "Presentador", "CCC", TrimRight(PresenterAccount));
}

void CloseDataFiles() {
  int status = 0;
  records::BtrCloseAll(status);
}

}  // namespace app
