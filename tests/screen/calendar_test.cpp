// The calendar pop-up: moves, quarters, month lengths and drawing.
#include <string>
#include <vector>

#include "tests/screen/screen_fixture.h"

namespace screentest {
namespace {

class CalendarTest : public ScreenTest {
 protected:
  // Runs the calendar from the date over the scripted keys, then takes the date.
  std::string Pick(int y, int m, int d, const std::vector<int>& scans) {
    settings::SysDate = PackedDate(y, m, d);
    for (int scan : scans) console::PushKey(0, scan, 0);
    console::PushText("F");
    return screen::Calendar();
  }
  // Window (1, 59): relative row r is screen row 1 + r, column c is 59 + c.
  static std::string InnerRow(int r) { return console::RowText(1 + r).substr(59, 20); }
};

TEST_F(CalendarTest, PageMovesKeepTheDayWithinTheMonth) {
  EXPECT_EQ(Pick(2024, 1, 31, {kPgDn}), "30/4/2024 ");
  EXPECT_EQ(Pick(2024, 2, 29, {kPgUp}), "29/11/2023");
  EXPECT_EQ(Pick(2024, 2, 29, {kPgUp, kPgUp}), "29/8/2023 ");
  EXPECT_EQ(Pick(2024, 2, 29, {kPgUp, kPgUp, kPgUp}), "29/5/2023 ");
  // The length comes from the month table of the year shown before the move...
  EXPECT_EQ(Pick(2023, 11, 30, {kPgDn}), "28/2/2024 ");
  EXPECT_EQ(Pick(2024, 5, 31, {kPgUp}), "29/2/2024 ");
  // ...but never a 29 February of a common year.
  EXPECT_EQ(Pick(2024, 11, 30, {kPgDn}), "28/2/2025 ");
  EXPECT_EQ(Pick(2024, 12, 31, {kPgDn, kPgDn, kPgDn, kPgDn}), "30/12/2025");
}

TEST_F(CalendarTest, DayMovesCrossMonthsAndYears) {
  EXPECT_EQ(Pick(2024, 3, 31, {kRight}), "1/4/2024  ");
  EXPECT_EQ(Pick(2024, 1, 3, {kUp}), "27/12/2023");
  EXPECT_EQ(Pick(2023, 12, 28, {kDown}), "4/1/2024  ");
  EXPECT_EQ(Pick(2024, 3, 1, {kLeft}), "29/2/2024 ");
  EXPECT_EQ(Pick(2024, 6, 15, {kHome}), "15/1/2024 ");
  EXPECT_EQ(Pick(2024, 6, 15, {kEnd}), "15/12/2024");
  EXPECT_EQ(Pick(2024, 6, 15, {0x3B, kF1}), "15/6/2024 ");  // other keys ignored
}

TEST_F(CalendarTest, QuarterDrawing) {
  settings::Idioma = "CAT";
  screen::WindowPush(1, 59, 24, 80);
  screen::WindowFrame(1);
  screen::CalendarQuarter(2024, 5);  // May: April to June
  EXPECT_EQ(console::RowText(1).substr(58, 22), "\xDA\xC4\xC4\xC4\xC4\xC4\xC4\xC4 2024 \xC4\xC4\xC4\xC4\xC4\xC4\xC4\xBF");
  EXPECT_EQ(InnerRow(1), "DL DT DC DJ DV DS DG");
  EXPECT_EQ(InnerRow(2), "       ABRIL        ");
  EXPECT_EQ(InnerRow(3), " 1  2  3  4  5  6  7");   // 1 April 2024 is a Monday
  EXPECT_EQ(InnerRow(7), "29 30               ");
  EXPECT_EQ(InnerRow(9), "        MAIG        ");
  EXPECT_EQ(InnerRow(10), "       1  2  3  4  5");  // Wednesday
  EXPECT_EQ(InnerRow(14), "27 28 29 30 31      ");
  EXPECT_EQ(InnerRow(16), "        JUNY        ");
  EXPECT_EQ(InnerRow(17), "                1  2");  // Saturday
  EXPECT_EQ(InnerRow(22), "                    ");
  EXPECT_EQ(console::AttrAt(4, 60), kHighlight);   // days in "h"
  EXPECT_EQ(console::AttrAt(3, 67), kNormal);      // headers in "n"

  // Right on 31 March lands in April: the second quarter.
  EXPECT_EQ(Pick(2024, 3, 31, {kRight}), "1/4/2024  ");
  screen::CalendarQuarter(2024, 4);
  EXPECT_EQ(InnerRow(2), "       ABRIL        ");

  settings::Idioma = "SPA";
  screen::CalendarQuarter(2024, 2);  // February of a leap year
  EXPECT_EQ(InnerRow(1), " L  M  X  J  V  S  D");
  EXPECT_EQ(InnerRow(9), "      FEBRERO       ");
  EXPECT_EQ(InnerRow(14), "26 27 28 29         ");
  settings::Idioma = "OCI";
  screen::CalendarQuarter(2023, 2);
  EXPECT_EQ(InnerRow(1), "DL DT DC DJ DD DS DG");
  EXPECT_EQ(InnerRow(14), "27 28               ");
  screen::WindowPop();
}

TEST_F(CalendarTest, MovesRedrawTheQuarterShownAndMarkTheDay) {
  settings::SysDate = PackedDate(2024, 3, 31);
  std::vector<std::string> headers;
  auto look = [&](int scan) {
    return [&headers, scan] {
      headers.push_back(InnerRow(2).substr(5, 9) + "/" + console::RowText(1).substr(67, 4));
      if (scan != 0) console::PushKey(0, scan, 0);
    };
  };
  OnIdle({[] {
            // 31 March 2024 is a Sunday: last cell of its grid row, underlined.
            EXPECT_EQ(InnerRow(21).substr(18, 2), "31");
            EXPECT_EQ(console::AttrAt(22, 59 + 19), kUnderline);
            EXPECT_EQ(console::AttrAt(22, 59 + 16), kHighlight);
            console::PushKey(0, kRight, 0);
          },
          look(kUp),     // April 2024
          look(kPgDn),   // back in March (24th): first quarter again
          look(kEnd),    // June
          look(kDown),   // December
          look(0)});     // January 2025
  EXPECT_EQ(screen::Calendar(), "");
  const std::vector<std::string> expected = {"  ABRIL  /2024", "  GENER  /2024", "  ABRIL  /2024",
                                             " OCTUBRE /2024", "  GENER  /2025"};
  EXPECT_EQ(headers, expected);
}

TEST_F(CalendarTest, EscLeavesWithoutADateAndRestoresEverything) {
  console::WriteText(5, 60, "UNDER THE CALENDAR");
  screen::SetAttr("r");
  screen::SetKeys("a", "d");
  console::ShowCursor(true);
  settings::SysDate = PackedDate(2024, 5, 15);
  console::PushKey(0, kRight, 0);
  console::PushText("\x1b");
  EXPECT_EQ(screen::Calendar(), "");
  EXPECT_EQ(console::RowText(5).substr(59, 18), "UNDER THE CALENDAR");
  EXPECT_EQ(screen::AttrSlot(), 2);
  EXPECT_EQ(screen::AttrDepth(), 0);
  EXPECT_EQ(screen::KeyMapSavedCount(), 0);
  int out = 0;
  EXPECT_TRUE(screen::KeyMapFind(13, out));
  EXPECT_TRUE(console::CursorVisible());
  EXPECT_FALSE(os::FileExists(StackFile()));

  // Alt+F and f take the date too.
  settings::SysDate = PackedDate(2024, 5, 15);
  console::PushKey(0, 0x21, console::kLeftAlt);
  EXPECT_EQ(screen::Calendar(), "15/5/2024 ");
  console::PushText("f");
  EXPECT_EQ(screen::Calendar(), "15/5/2024 ");
}

}  // namespace
}  // namespace screentest
