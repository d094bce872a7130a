// The main routine: runs once from top to bottom.
#include "app/main_flow.h"

#include <string>

#include "app/config_setup.h"
#include "format/dates.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "settings/config.h"

namespace app {

using namespace settings;

namespace {

int Number(const std::string& digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
  return value;
}

}  // namespace

PeriodEnd ProposedPeriodEnd(const std::string& packedSysDate) {
  const std::string empty = format::PackDigits("00000000");
  std::string digits = format::UnpackDigits(packedSysDate);
  if (packedSysDate.size() != 4 || digits.size() != 8) return {empty, ""};
  const int month = Number(digits.substr(4, 2));
  if (month < 1 || month > 12) return {empty, ""};

  // January, April, July, October go back one month; the second month of a
  // quarter two; the third month three: into the last month of the quarter before.
  const int back = (month - 1) % 3 + 1;
  const std::string inMonth = format::DateAdd(packedSysDate, -back, "M");
  const std::string monthDigits = format::UnpackDigits(inMonth);
  if (monthDigits.size() != 8) return {empty, ""};
  // The month's last day: its first day, one month on, one day back.
  const std::string first = format::PackDigits(monthDigits.substr(0, 6) + "01");
  const std::string end = format::DateAdd(format::DateAdd(first, 1, "M"), -1, "D");
  // In the first quarter of year 0 there is no quarter before (the date
  // arithmetic stops at 1 January of year 0): nothing is proposed.
  const std::string endDigits = format::UnpackDigits(end);
  if (endDigits.size() != 8 || Number(endDigits.substr(4, 2)) % 3 != 0) return {empty, ""};
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
    return 1;
  }
  ProposedPeriod = ProposedPeriodEnd(SysDate);
  PresetSelection(ProposedPeriod);
  OpenDataFiles();
  ReadPresenterSettings();
  RunReturnDriver();
  const bool saved = SavePresenterSettings();
  CloseDataFiles();
  console::Stop();
  return saved ? 0 : 1;
}

}  // namespace app
