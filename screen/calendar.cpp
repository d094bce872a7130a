// The calendar pop-up: a quarter of the working year in a window at the
// right of the screen; the arrow keys move the day, PgDn and PgUp a quarter,
// F takes the date and Esc leaves without one.
#include <algorithm>
#include <string>

#include "settings/config.h"
#include "settings/date_display.h"
#include "format/dates.h"
#include "format/text.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"

namespace screen {
namespace {

constexpr int kRight = 0x4D00, kLeft = 0x4B00, kDown = 0x5000, kUp = 0x4800;
constexpr int kPgDn = 0x5100, kPgUp = 0x4900, kHome = 0x4700, kEnd = 0x4F00;
constexpr int kAltF = 0x2100, kEsc = 27;

struct CalendarState {
  int year = 2000, month = 1, day = 1;
  int shownYear = 0, shownFirstMonth = 0;
  int firstWeekday[3] = {1, 1, 1};  // weekday of day 1 of each shown month
};

bool IsLeap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int MonthLength(int year, int month) {
  if (month == 2) return IsLeap(year) ? 29 : 28;
  return 30 + ((1 + ((month + 1) % 9)) % 2);
}

std::string Packed(int year, int month, int day) {
  return std::string{static_cast<char>(0x80 + year / 100), static_cast<char>(0x80 + year % 100),
                     static_cast<char>(0x80 + month), static_cast<char>(0x80 + day)};
}

int QuarterStart(int month) { return ((month - 1) / 3) * 3 + 1; }

std::string TwoDigits(int day) {
  std::string s = std::to_string(day);
  return s.size() < 2 ? std::string(2 - s.size(), ' ') + s : s;
}

// The day's cell inside the window (the month must be shown).
void DayCell(const CalendarState& cal, int month, int day, int& row, int& column) {
  const int k = month - cal.shownFirstMonth;
  const int c = cal.firstWeekday[k] - 1 + day - 1;
  row = 7 * k + 2 + 1 + c / 7;
  column = 3 * (c % 7) + 1;
}

void WriteDay(const CalendarState& cal) {
  int row = 0, column = 0;
  DayCell(cal, cal.month, cal.day, row, column);
  WinLocate(row, column);
  WinPrint(TwoDigits(cal.day));
}

std::string DayInitials() {
  if (settings::Idioma == "SPA" || settings::Idioma == "GLG") return " L  M  X  J  V  S  D";
  if (settings::Idioma == "OCI") return "DL DT DC DJ DD DS DG";
  return "DL DT DC DJ DV DS DG";
}

void DrawQuarter(CalendarState& cal) {
  cal.shownYear = cal.year;
  cal.shownFirstMonth = QuarterStart(cal.month);
  const int innerWidth = WinInnerRight() - WinInnerLeft();

  SetAttr("n");
  std::string year = std::to_string(cal.year);
  if (year.size() < 4) year.insert(0, 4 - year.size(), ' ');
  WinLocate(0, (innerWidth - 6 + 1) / 2 + 1);
  WinPrint(" " + year + " ");
  WinLocate(1, 1);
  WinPrint(DayInitials());

  format::FoldAccents(false);
  for (int k = 0; k < 3; ++k) {
    const int month = cal.shownFirstMonth + k;
    const int headerRow = 7 * k + 2;
    int weekday = format::DayOfWeek(Packed(cal.year, month, 1));
    if (weekday < 1 || weekday > 7) weekday = 1;
    cal.firstWeekday[k] = weekday;

    SetAttr("n");
    WinLocate(headerRow, 1);
    WinPrint(std::string(20, ' '));
    std::string name = format::UpperText(settings::FormatDate(Packed(cal.year, month, 1), 2, "m"));
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.size() > 20) name.resize(20);
    WinLocate(headerRow, (innerWidth - static_cast<int>(name.size()) + 1) / 2 + 1);
    WinPrint(name);

    SetAttr("h");
    const int length = MonthLength(cal.year, month);
    for (int c = 0; c < 42; ++c) {
      const int day = c - (weekday - 1) + 1;
      WinLocate(headerRow + 1 + c / 7, 3 * (c % 7) + 1);
      WinPrint(day >= 1 && day <= length ? TwoDigits(day) : std::string(2, ' '));
    }
  }
}

void StartDate(CalendarState& cal) {
  const std::string& d = settings::SysDate;
  if (d.size() >= 4) {
    const int year = (static_cast<unsigned char>(d[0]) & 127) * 100 + (static_cast<unsigned char>(d[1]) & 127);
    const int month = static_cast<unsigned char>(d[2]) & 127;
    const int day = static_cast<unsigned char>(d[3]) & 127;
    if (year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= MonthLength(year, month)) {
      cal.year = year;
      cal.month = month;
      cal.day = day;
      return;
    }
  }
  // No usable working date: today.
  const os::DateTime now = os::Now();
  cal.year = now.year;
  cal.month = now.month;
  cal.day = now.day;
}

// Brings a day outside its month into the month before or after.
void Normalise(CalendarState& cal) {
  while (cal.day < 1) {
    if (--cal.month < 1) {
      cal.month = 12;
      --cal.year;
    }
    cal.day += MonthLength(cal.year, cal.month);
  }
  while (cal.day > MonthLength(cal.year, cal.month)) {
    cal.day -= MonthLength(cal.year, cal.month);
    if (++cal.month > 12) {
      cal.month = 1;
      ++cal.year;
    }
  }
}

void MoveMonths(CalendarState& cal, int count) {
  // The day is cut to the new month's length in the table of the year shown
  // before the move...
  const int tableYear = cal.year;
  cal.month += count;
  while (cal.month > 12) {
    cal.month -= 12;
    ++cal.year;
  }
  while (cal.month < 1) {
    cal.month += 12;
    --cal.year;
  }
  cal.day = std::min(cal.day, MonthLength(tableYear, cal.month));
  // ...and never left beyond the real month: no 29 February of a common year.
  cal.day = std::min(cal.day, MonthLength(cal.year, cal.month));
}

}  // namespace

void CalendarQuarter(int year, int month) {
  CalendarState cal;
  cal.year = year;
  cal.month = month;
  DrawQuarter(cal);
}

std::string Calendar() {
  SetKeys("+ea", "4d00,4b00,5000,4800,5100,4900,4700,4f00,2100,1b");
  SetAttr("+n");
  console::ShowCursor(false);
  WindowPush(1, 59, 24, 80);
  WindowFrame(1);

  CalendarState cal;
  StartDate(cal);
  DrawQuarter(cal);

  std::string result;
  for (;;) {
    SetAttr("+u");
    WriteDay(cal);
    int key = 0;
    WaitKey(key);
    SetAttr("-");
    WriteDay(cal);

    if (key == 70 || key == 102 || key == kAltF) {
      result = settings::FormatDate(Packed(cal.year, cal.month, cal.day), 0, "dma");
      break;
    }
    if (key == kEsc) break;

    const CalendarState before = cal;
    switch (key) {
      case kRight: cal.day += 1; break;
      case kLeft: cal.day -= 1; break;
      case kDown: cal.day += 7; break;
      case kUp: cal.day -= 7; break;
      case kPgDn: MoveMonths(cal, 3); break;
      case kPgUp: MoveMonths(cal, -3); break;
      case kHome: cal.month = 1; break;
      case kEnd: cal.month = 12; break;
      default: continue;
    }
    Normalise(cal);
    if (cal.year < 1 || cal.year > 9999) {
      cal = before;  // the packed date holds years 1 to 9999 only
      continue;
    }
    if (cal.year != cal.shownYear || QuarterStart(cal.month) != cal.shownFirstMonth) DrawQuarter(cal);
  }

  WindowPop();
  console::ShowCursor(true);
  SetAttr("-");
  SetKeys("-", "");
  return result;
}

}  // namespace screen
