// The main routine: runs once from top to bottom.
#include "app/main_flow.h"

#include <string>

#include "app/config_setup.h"
#include "format/dates.h"
#include "forms/hooks.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"

namespace app {

using namespace settings;

PeriodEnd ProposedPeriodEnd(const std::string& packedSysDate) {
  const std::string end = forms::QuarterEndBefore(packedSysDate);
  return {end, format::DateText(end)};
}

namespace {

// Without a UTF-8 locale the terminal shows lines in ASCII and letters
// without their accents: the operator is told at start which setting shows
// them whole.
void SayWhenGlyphsArePlain() {
  if (!console::PlainGlyphs()) return;
  screen::MessageBox(12, Translate("AQUEST TERMINAL NO EST\xB7 CONFIGURAT EN UTF-8: LES L\xD6NIES I ELS ACCENTS ES "
                                   "MOSTREN SIMPLIFICATS. PER VEURE'LS B\x90, DEFINIU LANG=C.UTF-8 (O UNA ALTRA "
                                   "CONFIGURACI\xE0 REGIONAL UTF-8) ABANS D'ENGEGAR EL PROGRAMA."));
  int key = 0;
  screen::WaitKey(key);
  screen::WindowPop();
}

}  // namespace

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
  console::SetTooSmallText(Translate("EL TERMINAL \x90S MASSA PETIT: AQUEST PROGRAMA NECESSITA 80 COLUMNES I 25 FILES. "
                                     "AMPLIEU LA FINESTRA. ARA EN T\x90"));
  SayWhenGlyphsArePlain();
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
