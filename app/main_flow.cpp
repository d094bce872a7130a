// The main routine: runs once from top to bottom.
#include "app/main_flow.h"

#include <string>

#include "app/config_setup.h"
#include "format/dates.h"
#include "forms/hooks.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "settings/config.h"

namespace app {

using namespace settings;

PeriodEnd ProposedPeriodEnd(const std::string& packedSysDate) {
  const std::string end = forms::QuarterEndBefore(packedSysDate);
  return {end, format::DateText(end)};
}

int MainFlow() {
  // The real terminal when there is one; otherwise (a pipe, a batch run) the
  // program runs on the in-memory console.
  if (!console::Start(console::Backend::Terminal)) console::Start(console::Backend::Headless);
  console::ShowCursor(false);
  ConfigSetup();
  // The set-up made DataRoot and the terminal's folders absolute, so they
  // still lead to the same places from the data root.
  if (!DataRoot.empty()) os::SetCurrentDir(DataRoot);
  FormName = "RUVOZ303";
  if (!LoadProgramForm()) {
    CloseDataFiles();
    console::Stop();
    ReportFormError();
    return 1;
  }
  ProposedPeriod = ProposedPeriodEnd(SysDate);
  PresetSelection(ProposedPeriod);
  OpenDataFiles();
  ReadPresenterSettings();
  RunReturnDriver();
  TakePresenterFromForm();
  const bool saved = SavePresenterSettings();
  CloseDataFiles();
  console::Stop();
  return saved ? 0 : 1;
}

}  // namespace app
