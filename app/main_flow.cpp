// The main routine: runs once from top to bottom.
#include "app/main_flow.h"

#include <string>

#include "app/config.h"
#include "format/dates.h"
#include "platform/console/console.h"
#include "platform/os/os.h"

namespace app {

namespace {

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int MonthLength(int year, int month) {
  static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kLengths[month - 1] + (month == 2 && LeapYear(year) ? 1 : 0);
}

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
  std::string end = format::DateAdd(packedSysDate, -back, "M");
  std::string endDigits = format::UnpackDigits(end);
  if (endDigits.size() != 8) return {empty, ""};
  const int year = Number(endDigits.substr(0, 4));
  const int endMonth = Number(endDigits.substr(4, 2));
  const int length = MonthLength(year, endMonth);
  std::string lengthDigits = std::to_string(length);
  if (lengthDigits.size() < 2) lengthDigits = "0" + lengthDigits;
  end = format::PackDigits(endDigits.substr(0, 6) + lengthDigits);
  return {end, format::DateText(end)};
}

int MainFlow() {
  // The real terminal when there is one; otherwise (a pipe, a batch run) the
  // program runs on the in-memory console.
  if (!console::Start(console::Backend::Terminal)) console::Start(console::Backend::Headless);
  console::ShowCursor(false);
  ConfigSetup();
  if (!DataRoot.empty()) {
    // A relative root would no longer lead to the data once it is the
    // current directory, so it is made absolute first.
    if (DataRoot[0] != '/' && DataRoot[0] != '\\') DataRoot = os::CurrentDir() + DataRoot;
    os::SetCurrentDir(DataRoot);
  }
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
  SavePresenterSettings();
  CloseDataFiles();
  console::Stop();
  return 0;
}

}  // namespace app
