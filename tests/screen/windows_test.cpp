// Window stack, frames, attributes and the message box.
#include <string>
#include <vector>

#include "tests/screen/screen_fixture.h"

namespace screentest {
namespace {

struct Snapshot {
  std::string text;
  std::vector<int> attrs;
  int cursorRow = 0, cursorColumn = 0;
};

Snapshot Take() {
  Snapshot s;
  s.text = console::ScreenText();
  for (int r = 1; r <= 25; ++r)
    for (int c = 1; c <= 80; ++c) s.attrs.push_back(console::AttrAt(r, c));
  s.cursorRow = console::CursorRow();
  s.cursorColumn = console::CursorColumn();
  return s;
}

void Paint() {
  for (int r = 1; r <= 25; ++r) {
    std::string line;
    for (int c = 1; c <= 80; ++c) line += static_cast<char>('A' + (r * 7 + c) % 26);
    console::WriteText(r, 1, line, static_cast<std::uint8_t>(r * 9 % 256));
  }
  console::SetCell(10, 30, 0xC7, 0x4E);
  console::SetCursor(3, 7);
}

using WindowTest = ScreenTest;

TEST_F(WindowTest, NestedWindowsRestoreScreenCursorAndRectangle) {
  Paint();
  const Snapshot before = Take();
  screen::WindowPush(5, 10, 15, 40);
  screen::SetAttr("r");
  screen::WindowFrame(2);
  screen::WinLocate(2, 3);
  screen::WinPrint("FIRST");
  screen::WindowPush(8, 20, 12, 60);
  screen::WindowFrame(1);
  screen::WinLocate(1, 1);
  screen::WinPrint("SECOND");
  EXPECT_EQ(screen::WinDepth(), 2);
  EXPECT_EQ(console::RowText(9).substr(20, 6), "SECOND");
  EXPECT_TRUE(os::FileExists(StackFile()));

  screen::WindowPop();
  EXPECT_EQ(screen::WinDepth(), 1);
  EXPECT_EQ(screen::WinInnerTop(), 6);
  EXPECT_EQ(screen::WinInnerLeft(), 11);
  EXPECT_EQ(screen::WinInnerRight(), 39);
  EXPECT_EQ(console::RowText(7).substr(12, 5), "FIRST");
  EXPECT_EQ(console::CursorRow(), 7);
  EXPECT_EQ(console::CursorColumn(), 18);

  screen::WindowPop();
  const Snapshot after = Take();
  EXPECT_EQ(after.text, before.text);
  EXPECT_EQ(after.attrs, before.attrs);
  EXPECT_EQ(after.cursorRow, 3);
  EXPECT_EQ(after.cursorColumn, 7);
  EXPECT_EQ(screen::WinDepth(), 0);
  EXPECT_EQ(screen::WinInnerTop(), 1);
  EXPECT_EQ(screen::WinInnerRight(), 80);
  EXPECT_FALSE(os::FileExists(StackFile()));
}

TEST_F(WindowTest, StackFileHoldsTheRecordLayout) {
  console::SetCursor(7, 9);
  console::WriteText(2, 3, "abc", 0x1F);
  screen::WindowPush(2, 3, 4, 5);
  std::string data;
  ASSERT_TRUE(os::ReadFile(StackFile(), data));
  const std::size_t recordLength = 20 + 3 * 3 * 2 + 5;
  ASSERT_EQ(data.size(), 4 + recordLength);
  EXPECT_EQ(static_cast<unsigned char>(data[0]), 5 + recordLength);
  EXPECT_EQ(data.substr(1, 3), std::string(3, '\0'));
  EXPECT_EQ(data.substr(4, 20), "07090000000002030405");
  EXPECT_EQ(data.substr(24, 6), "a\x1F" "b\x1F" "c\x1F");
  EXPECT_EQ(data.substr(data.size() - 5), "00043");

  screen::WindowPush(3, 4, 3, 4);
  ASSERT_TRUE(os::ReadFile(StackFile(), data));
  EXPECT_EQ(data.substr(4 + recordLength + 4, 16), "0203040503040304");
}

TEST_F(WindowTest, StaleStackFromAnEarlierRunIsIgnored) {
  // A run that ended with windows open left records behind.
  std::string stale = std::string("\x30\x00\x00\x00", 4) + std::string(44, '9');
  ASSERT_TRUE(os::WriteFile(StackFile(), stale));
  screen::WindowPop();  // no window is open: nothing restored, the file goes
  EXPECT_FALSE(os::FileExists(StackFile()));
  EXPECT_EQ(screen::WinDepth(), 0);

  ASSERT_TRUE(os::WriteFile(StackFile(), stale));
  Paint();
  const Snapshot before = Take();
  screen::WindowPush(1, 1, 25, 80);
  screen::WindowFrame(0);
  screen::WindowPop();
  EXPECT_EQ(Take().text, before.text);
  EXPECT_FALSE(os::FileExists(StackFile()));
}

TEST_F(WindowTest, RectangleOutsideTheScreenOpensNothing) {
  screen::WindowPush(0, 1, 5, 5);
  screen::WindowPush(1, 1, 26, 5);
  screen::WindowPush(1, 1, 5, 81);
  // Corners swapped: it would save no cells, and its frame would stay on the
  // screen after it closed (found by the windows fuzz target).
  screen::WindowPush(17, 1, 12, 40);
  screen::WindowPush(1, 40, 12, 1);
  EXPECT_EQ(screen::WinDepth(), 0);
  EXPECT_FALSE(os::FileExists(StackFile()));
  screen::WindowPop();
  EXPECT_EQ(screen::WinDepth(), 0);
}

TEST_F(WindowTest, PositionsAreRelativeToTheInnermostWindow) {
  screen::WinLocate(1, 2);
  EXPECT_EQ(console::CursorRow(), 1);
  EXPECT_EQ(console::CursorColumn(), 2);
  screen::WindowPush(4, 1, 10, 30);
  screen::WinLocate(1, 2);
  EXPECT_EQ(console::CursorRow(), 5);
  EXPECT_EQ(console::CursorColumn(), 3);
  EXPECT_EQ(screen::WinInnerTop(), 5);
  EXPECT_EQ(screen::WinInnerLeft(), 2);
  EXPECT_EQ(screen::WinInnerRight(), 29);
  screen::WindowPop();
}

TEST_F(WindowTest, FrameStylesAndScrolling) {
  screen::WindowFrame(1);  // no window: nothing drawn
  EXPECT_EQ(console::CharAt(1, 1), ' ');
  Paint();
  screen::WindowPush(2, 2, 5, 6);
  screen::SetAttr("n");
  screen::WindowFrame(1);
  EXPECT_EQ(Cells(2, 2, 5), "\xDA\xC4\xC4\xC4\xBF");
  EXPECT_EQ(Cells(3, 2, 5), "\xB3   \xB3");
  EXPECT_EQ(Cells(5, 2, 5), "\xC0\xC4\xC4\xC4\xD9");
  EXPECT_EQ(console::AttrAt(3, 4), kNormal);
  screen::WindowFrame(2);
  EXPECT_EQ(Cells(2, 2, 5), "\xC9\xCD\xCD\xCD\xBB");
  EXPECT_EQ(Cells(4, 2, 5), "\xBA   \xBA");
  EXPECT_EQ(Cells(5, 2, 5), "\xC8\xCD\xCD\xCD\xBC");

  console::WriteText(3, 3, "abc");
  console::WriteText(4, 3, "def");
  screen::ScrollArea(2, 2, 5 - 2, 6 - 2, 1);  // the inside of the window
  EXPECT_EQ(Cells(3, 2, 5), "\xBA" "def\xBA");
  EXPECT_EQ(Cells(4, 2, 5), "\xBA   \xBA");
  screen::ScrollArea(2, 2, 3, 4, -1);
  EXPECT_EQ(Cells(3, 2, 5), "\xBA   \xBA");
  EXPECT_EQ(Cells(4, 2, 5), "\xBA" "def\xBA");
  screen::WindowFrame(0);
  EXPECT_EQ(Cells(2, 2, 5), "     ");
  screen::WindowPop();
}

TEST_F(WindowTest, FrameOfAOneColumnWindowStaysInside) {
  // Found by the windows fuzz target: the frame drew one column to the right
  // of the window, which its closing then left on the screen.
  Paint();
  const Snapshot before = Take();
  for (int column : {2, 80}) {
    screen::WindowPush(2, column, 5, column);
    screen::WindowFrame(1);
    EXPECT_EQ(Cells(2, column, 1), "\xDA");
    EXPECT_EQ(Cells(3, column, 1), "\xB3");
    screen::WindowPop();
    EXPECT_EQ(Take().text, before.text) << column;
  }
}

TEST_F(WindowTest, AttributeSlotsAndSavedSlots) {
  screen::SetAttr("rn");
  EXPECT_EQ(screen::AttrSlot(), 3);
  screen::SetAttr("ur");
  EXPECT_EQ(screen::AttrSlot(), 4);
  EXPECT_EQ(console::TextAttribute(), kUnderline);
  screen::SetAttr("   ");
  screen::SetAttr("");
  EXPECT_EQ(screen::AttrSlot(), 4);
  screen::SetAttr("N");
  EXPECT_EQ(screen::AttrSlot(), 1);
  EXPECT_EQ(console::TextAttribute(), kNormal);
  screen::SetAttr("h");
  EXPECT_EQ(screen::AttrSlot(), 0);
  EXPECT_EQ(console::TextAttribute(), kHighlight);

  screen::SetAttr("n");
  screen::SetAttr("+rh");  // saves normal, selects reverse
  EXPECT_EQ(screen::AttrSlot(), 2);
  EXPECT_EQ(console::TextAttribute(), kReverse);
  screen::SetAttr("+u");
  EXPECT_EQ(screen::AttrDepth(), 2);
  screen::SetAttr("-");
  EXPECT_EQ(screen::AttrSlot(), 2);
  screen::SetAttr("-");
  EXPECT_EQ(screen::AttrSlot(), 1);
  EXPECT_EQ(screen::AttrDepth(), 0);
  screen::SetAttr("-");  // nothing saved: highlight
  EXPECT_EQ(screen::AttrSlot(), 0);
}

TEST_F(WindowTest, MessageBoxGeometry) {
  // Two laid-out lines, the longer 60 characters long.
  const std::string text = std::string(30, 'A') + " " + std::string(60, 'B');
  screen::MessageBox(20, text);
  int top = 0, left = 0, bottom = 0, right = 0;
  screen::WinRect(top, left, bottom, right);
  EXPECT_EQ(top, 17);
  EXPECT_EQ(bottom, 20);
  EXPECT_EQ(left, 41 - 61 / 2 - 2);
  EXPECT_EQ(right, 60 / 2 + 41 + 1);
  EXPECT_EQ(console::CharAt(17, left), 0xDA);
  EXPECT_EQ(Cells(18, left + 2, 30), std::string(30, 'A'));
  EXPECT_EQ(Cells(19, left + 2, 60), std::string(60, 'B'));
  EXPECT_EQ(console::AttrAt(18, left + 2), kReverse);
  EXPECT_EQ(screen::AttrDepth(), 0);
  screen::WindowPop();
  EXPECT_FALSE(os::FileExists(StackFile()));

  screen::MessageBox(25, "HOLA");
  screen::WinRect(top, left, bottom, right);
  EXPECT_EQ(top, 22);
  EXPECT_EQ(bottom, 24);
  EXPECT_EQ(left, 37);
  EXPECT_EQ(right, 44);
  EXPECT_EQ(Cells(23, 39, 4), "HOLA");
  screen::WindowPop();

}

TEST_F(WindowTest, MessageTooLongForTheScreenIsCutAndStillOpensItsWindow) {
  // 30 lines of 76 characters: the 23 that fit are shown, so the caller's
  // pop closes the message and not the window under it.
  std::string text;
  for (int k = 1; k <= 30; ++k) text += std::string(74, static_cast<char>('A' + k % 26)) + (k < 10 ? "0" : "") + std::to_string(k) + " ";
  for (const int base : {1, 12, 25}) {
    SCOPED_TRACE(base);
    screen::WindowPush(3, 3, 10, 30);
    screen::MessageBox(base, text);
    EXPECT_EQ(screen::WinDepth(), 2);
    int top = 0, left = 0, bottom = 0, right = 0;
    screen::WinRect(top, left, bottom, right);
    EXPECT_EQ(top, 1);
    EXPECT_EQ(bottom, 25);
    EXPECT_EQ(Cells(2, left + 2, 76), std::string(74, 'B') + "01");
    EXPECT_EQ(Cells(24, left + 2, 76), std::string(74, 'X') + "23");
    EXPECT_EQ(screen::AttrDepth(), 0);
    screen::WindowPop();
    EXPECT_EQ(screen::WinDepth(), 1);
    screen::WindowPop();
  }
  EXPECT_EQ(screen::WinDepth(), 0);
}

// The stack file is a copy: whatever happens to it, pushes and pops stay
// paired and every pop restores what its push covered.
TEST_F(WindowTest, PushAndPopStayPairedWhateverTheStackFileDoes) {
  enum class Mishap { UnwritableFolder, DeletedBeforePop, CutToThreeBytes, CutToFiveBytes };
  for (const Mishap mishap : {Mishap::UnwritableFolder, Mishap::DeletedBeforePop, Mishap::CutToThreeBytes,
                              Mishap::CutToFiveBytes}) {
    SCOPED_TRACE(static_cast<int>(mishap));
    screen::ResetWindowsForTests();
    os::DeleteFile(StackFile());
    // A folder that cannot be created: its parent is a file.
    ASSERT_TRUE(os::WriteFile(dir.path + "plainfile", "x"));
    settings::TmpDir = mishap == Mishap::UnwritableFolder ? dir.path + "plainfile/" : dir.path;
    Paint();
    const Snapshot before = Take();
    screen::WindowPush(5, 10, 15, 40);
    screen::WindowFrame(2);
    const Snapshot outer = Take();
    screen::MessageBox(12, "A MESSAGE");
    screen::WindowPush(2, 2, 4, 8);  // a calendar-like third window
    screen::WindowFrame(1);
    EXPECT_EQ(screen::WinDepth(), 3);
    if (mishap == Mishap::DeletedBeforePop) os::DeleteFile(StackFile());
    if (mishap == Mishap::CutToThreeBytes) os::WriteFile(StackFile(), "abc");
    if (mishap == Mishap::CutToFiveBytes) os::WriteFile(StackFile(), std::string("\x05\0\0\0x", 5));
    screen::WindowPop();
    screen::WindowPop();
    EXPECT_EQ(screen::WinDepth(), 1);
    EXPECT_EQ(Take().text, outer.text);
    EXPECT_EQ(Take().attrs, outer.attrs);
    // Window-relative positions still refer to the outer window.
    screen::WinLocate(1, 1);
    EXPECT_EQ(console::CursorRow(), 6);
    EXPECT_EQ(console::CursorColumn(), 11);
    screen::WindowPop();
    EXPECT_EQ(screen::WinDepth(), 0);
    const Snapshot after = Take();
    EXPECT_EQ(after.text, before.text);
    EXPECT_EQ(after.attrs, before.attrs);
    EXPECT_EQ(after.cursorRow, before.cursorRow);
    EXPECT_FALSE(os::FileExists(StackFile()));
  }
  settings::TmpDir = dir.path;
}

}  // namespace
}  // namespace screentest
