// The steps of the main routine that reach the form, the record files and
// the return driver.
#include <iostream>
#include <string>

#include "app/main_flow.h"
#include "format/text.h"
#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "vat303/driver.h"

namespace app {

using namespace settings;

std::string PresenterTown;
std::string PresenterAccount;
PeriodEnd ProposedPeriod;

namespace {

constexpr int kSelectionBlock = 1;
constexpr int kPresenterBlock = 2;

using format::TrimRight;

}  // namespace

bool LoadProgramForm() {
  if (forms::LoadForm(DataRoot + "FORMS\\" + FormName + ".JPN")) return true;
  // Nothing can run without the form: the operator reads why, then the
  // program ends.
  screen::MessageBox(12, forms::LoadFormError());
  console::Beep();
  screen::FlushKeys();
  int key = 0;
  screen::WaitKey(key);
  screen::WindowPop();
  return false;
}

void ReportFormError() { std::cerr << "ruvoz303: " << console::Cp850ToUtf8(forms::LoadFormError()) << "\n"; }

void PresetSelection(const PeriodEnd& period) {
  ProposedPeriod = period;
  forms::SetValue(kSelectionBlock, 1, "R");
  forms::SetValue(kSelectionBlock, 2, period.digits);
  forms::SetValue(kSelectionBlock, 3, "1");
  forms::SetValue(kSelectionBlock, 4, "9999");
  forms::SetValue(kSelectionBlock, 5, "N");
  forms::SetValue(kSelectionBlock, 6, "S");
}

void OpenDataFiles() { records::OpenDataFiles(); }

void ReadPresenterSettings() {
  PresenterTown = IniRead(UserSettingsFile(), "Presentador", "Poblacio");
  PresenterAccount = IniRead(UserSettingsFile(), "Presentador", "CCC");
  forms::SetValue(kPresenterBlock, 1, PresenterTown);
  forms::SetValue(kPresenterBlock, 2, PresenterAccount);
}

void RunReturnDriver() { vat303::ReturnDriver(); }

void TakePresenterFromForm() {
  PresenterTown = TrimRight(forms::FieldAt(kPresenterBlock, 1).Value);
  PresenterAccount = TrimRight(forms::FieldAt(kPresenterBlock, 2).Value);
}

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
