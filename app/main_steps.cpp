// The steps of the main routine that reach the form, the record files and
// the return driver.
#include <string>

#include "app/config.h"
#include "app/config_rules.h"
#include "app/main_flow.h"

namespace app {

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

void OpenDataFiles() {}

void ReadPresenterSettings() {
  PresenterTown = IniRead(UserSettingsFile(), "Presentador", "Poblacio");
  PresenterAccount = IniRead(UserSettingsFile(), "Presentador", "CCC");
}

void RunReturnDriver() {}

void SavePresenterSettings() {
  IniWrite(UserSettingsFile(), "Presentador", "Poblacio", TrimRight(PresenterTown));
  IniWrite(UserSettingsFile(), "Presentador", "CCC", TrimRight(PresenterAccount));
}

void CloseDataFiles() {}

}  // namespace app
