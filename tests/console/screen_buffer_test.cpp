// The in-memory screen and the headless back end.
#include <gtest/gtest.h>

#include "platform/console/console.h"

namespace {

struct ConsoleTest : ::testing::Test {
  void SetUp() override {
    console::Start(console::Backend::Headless);
    console::ResetForTests();
  }
};

TEST_F(ConsoleTest, StartsBlankWithDefaultAttribute) {
  EXPECT_EQ(console::Rows(), 25);
  EXPECT_EQ(console::Columns(), 80);
  EXPECT_EQ(console::RowText(1), std::string(80, ' '));
  EXPECT_EQ(console::AttrAt(25, 80), 0x07);
  EXPECT_EQ(console::ScreenText().size(), 25u * 80u + 24u);
  EXPECT_EQ(console::CurrentBackend(), console::Backend::Headless);
}

TEST_F(ConsoleTest, WriteTextWrapsAndStopsAtScreenEnd) {
  console::SetTextAttribute(0x1E);
  console::WriteText(1, 78, "abcde");
  EXPECT_EQ(console::RowText(1).substr(77), "abc");
  EXPECT_EQ(console::RowText(2).substr(0, 3), "de ");
  EXPECT_EQ(console::AttrAt(2, 2), 0x1E);
  EXPECT_EQ(console::AttrAt(2, 3), 0x07);
  console::WriteText(25, 79, "xyz", 0x70);  // the z falls off the screen
  EXPECT_EQ(console::CharAt(25, 79), 'x');
  EXPECT_EQ(console::CharAt(25, 80), 'y');
  EXPECT_EQ(console::AttrAt(25, 80), 0x70);
  // Writing does not move the cursor; a start outside the screen writes nothing.
  EXPECT_EQ(console::CursorRow(), 1);
  console::WriteText(0, 1, "q");
  console::WriteText(26, 1, "q");
  console::WriteText(1, 81, "q");
  EXPECT_EQ(console::ScreenText().find('q'), std::string::npos);
}

TEST_F(ConsoleTest, CellsOutsideTheScreenReadAsZero) {
  console::SetCell(0, 5, 'x', 0x1F);
  console::SetCell(3, 81, 'x', 0x1F);
  EXPECT_EQ(console::CharAt(0, 5), 0);
  EXPECT_EQ(console::AttrAt(26, 1), 0);
  EXPECT_EQ(console::CharAt(1, 0), 0);
  console::SetCell(3, 4, 0xC9, 0x1F);
  EXPECT_EQ(console::CharAt(3, 4), 0xC9);
  EXPECT_EQ(console::AttrAt(3, 4), 0x1F);
}

TEST_F(ConsoleTest, ScrollUpDownAndClear) {
  for (int r = 1; r <= 5; ++r) console::WriteText(r, 1, std::string(1, static_cast<char>('0' + r)) + "xx");
  // Rows 2..4, columns 1..2 up by one: column 3 untouched.
  console::Scroll(2, 1, 4, 2, 1, 0x17);
  EXPECT_EQ(console::RowText(2).substr(0, 3), "3xx");
  EXPECT_EQ(console::RowText(3).substr(0, 3), "4xx");
  EXPECT_EQ(console::RowText(4).substr(0, 3), "  x");
  EXPECT_EQ(console::AttrAt(4, 1), 0x17);
  EXPECT_EQ(console::RowText(5).substr(0, 1), "5");
  console::Scroll(1, 1, 5, 80, -2, 0x07);
  EXPECT_EQ(console::RowText(1).substr(0, 3), "   ");
  EXPECT_EQ(console::RowText(3).substr(0, 3), "1xx");
  EXPECT_EQ(console::RowText(5).substr(0, 3), "4xx");
  // More rows than the rectangle holds blanks it; rectangles are clipped.
  console::Scroll(-5, -5, 40, 100, 30, 0x40);
  EXPECT_EQ(console::RowText(5), std::string(80, ' '));
  EXPECT_EQ(console::AttrAt(25, 80), 0x40);
  console::WriteText(7, 7, "k");
  console::Clear(0x1F);
  EXPECT_EQ(console::CharAt(7, 7), ' ');
  EXPECT_EQ(console::AttrAt(7, 7), 0x1F);
}

TEST_F(ConsoleTest, CursorStateIsKept) {
  console::SetCursor(10, 20);
  EXPECT_EQ(console::CursorRow(), 10);
  EXPECT_EQ(console::CursorColumn(), 20);
  console::SetCursor(99, -3);
  EXPECT_EQ(console::CursorRow(), 25);
  EXPECT_EQ(console::CursorColumn(), 1);
  console::ShowCursor(false);
  EXPECT_FALSE(console::CursorVisible());
  console::SetCursorSize(100);
  EXPECT_EQ(console::CursorSize(), 100);
  console::SetCursorSize(0);
  EXPECT_EQ(console::CursorSize(), 1);
  console::ResetForTests();
  EXPECT_TRUE(console::CursorVisible());
  EXPECT_EQ(console::CursorSize(), 25);
}

TEST_F(ConsoleTest, ScriptedInputComesOutInOrder) {
  console::PushText("a\r");
  console::PushKey(0, 0x3B, console::kShift);
  console::PushClick(5, 10, 2);
  EXPECT_EQ(console::PendingEvents(), 4);
  console::Event e;
  ASSERT_TRUE(console::WaitEvent(-1));
  ASSERT_TRUE(console::PollEvent(e));
  EXPECT_EQ(e.kind, console::Event::Key);
  EXPECT_EQ(e.ch, 'a');
  EXPECT_EQ(e.scan, 0x1E);
  ASSERT_TRUE(console::PollEvent(e));
  EXPECT_EQ(e.ch, 13);
  ASSERT_TRUE(console::PollEvent(e));
  EXPECT_EQ(e.ch, 0);
  EXPECT_EQ(e.scan, 0x3B);
  EXPECT_EQ(console::ModifierState(), console::kShift);
  ASSERT_TRUE(console::PollEvent(e));
  EXPECT_EQ(e.kind, console::Event::Mouse);
  EXPECT_EQ(e.row, 5);
  EXPECT_EQ(e.column, 10);
  EXPECT_EQ(e.buttons, 2);
  EXPECT_EQ(console::ModifierState(), 0);
  EXPECT_FALSE(console::PollEvent(e));
  // An empty queue never blocks the headless back end, whatever the timeout.
  EXPECT_FALSE(console::WaitEvent(-1));
  EXPECT_FALSE(console::WaitEvent(5000));
  console::PushText("xyz");
  console::FlushInput();
  EXPECT_EQ(console::PendingEvents(), 0);
}

TEST_F(ConsoleTest, BeepsAreCountedAndReset) {
  console::Beep();
  console::Beep();
  EXPECT_EQ(console::BeepCount(), 2);
  console::ResetForTests();
  EXPECT_EQ(console::BeepCount(), 0);
  EXPECT_GT(console::MouseButtons(), 0);
}

}  // namespace

namespace {

TEST(ConsoleStart, TerminalNeedsATerminalAndKeepsTheScreen) {
  console::Start(console::Backend::Headless);
  console::ResetForTests();
  console::WriteText(1, 1, "kept");
  // Tests run without a terminal on stdin/stdout: the terminal back end is refused.
  if (console::Start(console::Backend::Terminal)) GTEST_SKIP() << "running on a terminal";
  EXPECT_EQ(console::CurrentBackend(), console::Backend::Headless);
  EXPECT_EQ(console::RowText(1).substr(0, 4), "kept");
  console::Stop();
  EXPECT_EQ(console::CurrentBackend(), console::Backend::Headless);
}

}  // namespace
