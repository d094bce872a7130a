// The steps of the main routine that reach the form, the record files and
// the return driver.
#include <string>

#include "app/main_flow.h"
#include "records/btr.h"
#include "records/data_files.h"
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

void OpenDataFiles() { records::OpenDataFiles(); }

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
