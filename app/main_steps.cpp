// The steps of the main routine that reach the form, the record files and
// the return driver.
#include <iostream>
#include <string>

#include "app/main_flow.h"
#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "platform/console/console.h"
#include "platform/console/cp850_unicode.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/config.h"

namespace app {

using namespace settings;

std::string PresenterTown;
std::string PresenterAccount;
PeriodEnd ProposedPeriod;

namespace {

constexpr int kSelectionBlock = 1;
constexpr int kPresenterBlock = 2;

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

std::string Utf8(const std::string& cp850) {
  std::string out;
  for (char c : cp850) {
    const char32_t u = console::detail::Cp850ToUnicode(static_cast<unsigned char>(c));
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

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

void ReportFormError() { std::cerr << "ruvoz303: " << Utf8(forms::LoadFormError()) << "\n"; }

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

void RunReturnDriver() {
  // The dialogue of the return: block 1 until the operator leaves it with
  // Esc. (An accepted block starts no run yet.)
  screen::SetAttr("n");
  console::Clear(console::TextAttribute());
  for (;;) {
    int block = kSelectionBlock, key = 0;
    forms::RunBlock(block, 0, 0, key);
    if (key == forms::kKeyEsc) return;
  }
}

void TakePresenterFromForm() {
  PresenterTown = TrimRight(forms::FieldAt(kPresenterBlock, 1).Value);
  PresenterAccount = TrimRight(forms::FieldAt(kPresenterBlock, 2).Value);
}

void SavePresenterSettings() {
  IniWrite(UserSettingsFile(), "Presentador", "Poblacio", TrimRight(PresenterTown));
  IniWrite(UserSettingsFile(), "Presentador", "CCC", TrimRight(PresenterAccount));
}

void CloseDataFiles() {
  int status = 0;
  records::BtrCloseAll(status);
}

}  // namespace app
