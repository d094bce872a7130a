// The steps of the main routine that reach the form, the record files and
// the return driver.
#include <string>

#include "app/main_flow.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
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

bool SavePresenterSettings() {
  const std::string file = UserSettingsFile();
  const bool town = IniWrite(file, "Presentador", "Poblacio", TrimRight(PresenterTown));
  const bool account = IniWrite(file, "Presentador", "CCC", TrimRight(PresenterAccount));
  if (town && account) return true;
  // A full disk or a refused folder: the operator must know the town and
  // account will not be proposed next time.
  screen::MessageBox(12, Translate("NO S'HAN POGUT DESAR LES DADES DEL PRESENTADOR A ") + os::HostPath(file));
  int key = 0;
  screen::WaitKey(key);
  screen::WindowPop();
  return false;
}

void CloseDataFiles() {
  int status = 0;
  records::BtrCloseAll(status);
}

}  // namespace app
