// The field editor: text and choice fields, keys, clipboard, mouse, key map.
#include <string>

#include "tests/screen/screen_fixture.h"

namespace screentest {
namespace {

class FieldEditorTest : public ScreenTest {
 protected:
  int row = 5, column = 10, lineLength = 0, cursor = 1, key = 0;
  // Edits `buffer` over the keys already scripted; returns the ending key.
  int Edit(std::string& buffer) {
    screen::EditField(row, column, lineLength, buffer, cursor, key);
    return key;
  }
  static void Ctrl(int scan) { console::PushKey(0, scan, console::kLeftCtrl); }
  static void Key(int scan) { console::PushKey(0, scan, 0); }
};

TEST_F(FieldEditorTest, OverwriteStopsAtTheEndOfTheField) {
  std::string buffer(5, ' ');
  console::PushText("ABCDEF\r");
  EXPECT_EQ(Edit(buffer), 13);
  EXPECT_EQ(buffer, "ABCDE");
  EXPECT_EQ(cursor, 6);
  EXPECT_EQ(lineLength, 6);
  EXPECT_EQ(Cells(5, 10, 5), "ABCDE");
  EXPECT_EQ(console::AttrAt(5, 10), kUnderline);
  EXPECT_EQ(console::TextAttribute(), kHighlight);  // "h" on leaving
  EXPECT_EQ(console::BeepCount(), 1);
}

TEST_F(FieldEditorTest, InsertModeNeverPushesTextOut) {
  std::string buffer = "ABCD ";
  os::SetInsertToggle(true);
  console::PushText("XY\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "XABCD");
  EXPECT_EQ(cursor, 2);
  EXPECT_EQ(Cells(5, 10, 5), "XABCD");

  // Insert toggles back to overwrite and the toggle persists.
  cursor = 1;
  Key(kInsert);
  console::PushText("Z\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "ZABCD");
  EXPECT_FALSE(os::InsertToggle());
  EXPECT_EQ(console::CursorSize(), 100);
}

TEST_F(FieldEditorTest, DeletingAndClearing) {
  std::string buffer = "HELLO ";
  cursor = 3;
  console::PushText("\b");
  Key(kDelete);
  Key(kEnd);
  console::PushText("!\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "HLO!  ");
  EXPECT_EQ(cursor, 5);

  console::PushText("\x19");  // Ctrl+Y
  console::PushText("Q\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "Q     ");
  EXPECT_EQ(Cells(5, 10, 6), "Q     ");

  cursor = 4;
  Ctrl(kHome);
  Key(kHome);
  Key(kLeft);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "      ");
  EXPECT_EQ(cursor, 1);
}

TEST_F(FieldEditorTest, PasteOverwritesFromTheCursorWithoutGrowing) {
  std::string buffer(4, ' ');
  ASSERT_TRUE(os::ClipboardSet("AB\t\n"));
  cursor = 3;
  console::PushText("\x16\r");  // Ctrl+V
  Edit(buffer);
  EXPECT_EQ(buffer, "  AB");
  EXPECT_EQ(cursor, 3);
  EXPECT_EQ(Cells(5, 10, 4), "  AB");

  ASSERT_TRUE(os::ClipboardSet("  123456  "));
  cursor = 2;
  console::PushText("\x16\r");
  Edit(buffer);
  EXPECT_EQ(buffer, " 123");

  // Copy takes the value without its outer blanks.
  buffer = "  X Y ";
  console::PushText("\x03\r");
  Edit(buffer);
  std::string clip;
  ASSERT_TRUE(os::ClipboardGet(clip));
  EXPECT_EQ(clip, "X Y");
}

TEST_F(FieldEditorTest, MaskedEchoShowsXAndKeepsTheValueOffTheClipboard) {
  screen::SetKeys("h", "");
  std::string buffer(5, ' ');
  ASSERT_TRUE(os::ClipboardSet("before"));
  console::PushText("abc\x03\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "abc  ");
  EXPECT_EQ(Cells(5, 10, 6), "XXXXX ");  // the field only, nothing beyond
  std::string clip;
  ASSERT_TRUE(os::ClipboardGet(clip));
  EXPECT_EQ(clip, "before");
}

TEST_F(FieldEditorTest, WordJumps) {
  std::string buffer = "ONE TWO";
  cursor = 6;  // on the W
  Ctrl(kLeft);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(cursor, 5);
  Ctrl(kLeft);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(cursor, 1);
  Ctrl(kRight);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(cursor, 5);
  Ctrl(kRight);  // no word after TWO: the end
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(cursor, 8);

  // At either end the word keys leave the field.
  Ctrl(kRight);
  EXPECT_EQ(Edit(buffer), 0x7400);
  cursor = 1;
  Ctrl(kLeft);
  EXPECT_EQ(Edit(buffer), 0x7300);

  buffer = "A, B;C";
  cursor = 6;
  Ctrl(kLeft);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(cursor, 4);
}

TEST_F(FieldEditorTest, ValueOverSeveralRows) {
  std::string buffer = "ABCDEFGHIJ";
  lineLength = 5;
  cursor = 2;
  Key(kDown);
  console::PushText("x");
  Key(kEnd);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(Cells(5, 10, 5), "ABCDE");
  EXPECT_EQ(Cells(6, 10, 5), "FxHIJ");
  EXPECT_EQ(cursor, 11);
  // At the end the cursor rests after the last character of the last row.
  EXPECT_EQ(console::CursorRow(), 5);  // placed back on the first cell on leaving

  Key(kDown);  // cursor 11: no row below
  EXPECT_EQ(Edit(buffer), 0x5000);
  Key(kUp);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(cursor, 6);
  Key(kUp);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(cursor, 1);
  Key(kUp);
  EXPECT_EQ(Edit(buffer), 0x4800);
}

// Down moves a row down while the cursor is at or before Limit - lineLength
// (the first position of the last full row), and leaves the field after it.
TEST_F(FieldEditorTest, DownAtTheBoundaryOfTheLastRow) {
  struct Case {
    int width, line, from, key, to;
  } cases[] = {
      {10, 5, 6, 13, 11},     // first position of the last full row: down to Limit
      {10, 5, 7, 0x5000, 7},  // one further: leaves
      {10, 5, 5, 13, 10},
      {12, 5, 8, 13, 13},     // a last row of two: 8 = 13 - 5 moves to Limit
      {12, 5, 9, 0x5000, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    std::string buffer(static_cast<std::size_t>(c.width), 'a');
    lineLength = c.line;
    cursor = c.from;
    Key(kDown);
    console::PushText("\r");
    EXPECT_EQ(Edit(buffer), c.key);
    EXPECT_EQ(cursor, c.to);
    console::FlushInput();
  }
}

TEST_F(FieldEditorTest, CursorPlacementWhileWaiting) {
  std::string buffer = "ABCDEFGHIJ";
  lineLength = 5;
  cursor = 11;  // after the last character: end of the second row, not the third
  os::SetInsertToggle(true);
  OnIdle({[] {
            EXPECT_EQ(console::CursorRow(), 6);
            EXPECT_EQ(console::CursorColumn(), 15);
            EXPECT_TRUE(console::CursorVisible());
            EXPECT_EQ(console::CursorSize(), 50);
            console::PushKey(0, kInsert, 0);
          },
          [] {
            EXPECT_EQ(console::CursorSize(), 100);
            console::PushKey(0, kLeft, 0);
          },
          [] {
            EXPECT_EQ(console::CursorRow(), 6);
            EXPECT_EQ(console::CursorColumn(), 14);
            console::PushText("\r");
          }});
  EXPECT_EQ(Edit(buffer), 13);
  EXPECT_FALSE(console::CursorVisible());

  // A choice field shows its arrows and no cursor while it waits.
  screen::SetChoices("|1,Un|2,Dos");
  buffer = "2";
  row = 8;
  column = 20;
  lineLength = 0;
  OnIdle({[this] {
    EXPECT_EQ(Cells(8, 19, 5), "\x11" "Dos\x10");
    EXPECT_EQ(console::AttrAt(8, 20), kUnderline);
    EXPECT_FALSE(console::CursorVisible());
    console::PushText("\r");
  }});
  Edit(buffer);
  EXPECT_EQ(buffer, "2");
}

TEST_F(FieldEditorTest, MouseClicksInsideMoveOutsideLeave) {
  screen::WindowPush(3, 5, 20, 60);  // field at window row 5, column 10
  std::string buffer = "ABCDEFGH";
  console::PushClick(3 + 5, 5 + 10 + 3);  // on the D
  console::PushText("z\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "ABCzEFGH");
  console::PushClick(12, 30);
  EXPECT_EQ(Edit(buffer), -(30 * 100 + 12));

  // A click is returned even when the key map does not list it.
  screen::SetKeys("a", "d");
  console::PushClick(1, 1);
  EXPECT_EQ(Edit(buffer), -(1 * 100 + 1));
  screen::WindowPop();
}

TEST_F(FieldEditorTest, KeyTranslationAndTheAcceptedKeys) {
  std::string buffer = "AB";
  console::PushText("\t");
  EXPECT_EQ(Edit(buffer), 13);
  console::PushKey(9, 0x0F, console::kShift);
  EXPECT_EQ(Edit(buffer), 0x4800);
  console::PushKey(0, 0x3E, console::kLeftCtrl);  // Ctrl+F4
  EXPECT_EQ(Edit(buffer), 27);
  console::PushKey(0, 0x3E, console::kLeftAlt);  // Alt+F4
  EXPECT_EQ(Edit(buffer), 27);

  screen::SetKeys("a", "d,4f00,1b=2");
  console::PushText("\r");
  EXPECT_EQ(Edit(buffer), 0x4F00);  // Enter reported as End
  Key(kF1);                         // not accepted: ignored
  Key(kDown);                       // not accepted either
  console::PushText("\x1b");
  EXPECT_EQ(Edit(buffer), 2);
  EXPECT_EQ(buffer, "AB");

  // Scripted input running out ends the edit with Esc (tests only).
  Key(kF1);
  EXPECT_EQ(Edit(buffer), 27);
}

TEST_F(FieldEditorTest, ChoiceFieldCycling) {
  screen::SetChoices("|S,S\xA1|N,No|T,Tots");
  std::string buffer = "N";
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "N");
  EXPECT_EQ(Cells(5, 9, 6), " No   ");  // arrows blanked on leaving

  console::PushText("s\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "S");
  EXPECT_EQ(Cells(5, 10, 4), "S\xA1  ");
  console::PushText("n\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "N");
  console::PushText("t\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "T");
  Key(kRight);  // last -> first
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "S");
  Key(kLeft);  // first -> last
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "T");
  console::PushText(" \r");  // space as Right
  Edit(buffer);
  EXPECT_EQ(buffer, "S");
  console::PushText("x\b\r");  // no such initial; backspace does nothing
  Edit(buffer);
  EXPECT_EQ(buffer, "S");

  // Clicks on the arrows; elsewhere leaves.
  console::PushClick(5, 14);  // right arrow
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "N");
  console::PushClick(5, 9);  // left arrow
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "S");
  console::PushClick(5, 40);
  EXPECT_EQ(Edit(buffer), -(40 * 100 + 5));

  console::PushText("\x03\r");
  Edit(buffer);
  std::string clip;
  ASSERT_TRUE(os::ClipboardGet(clip));
  EXPECT_EQ(clip, "S\xA1");
}

TEST_F(FieldEditorTest, ChoiceCodeNarrowerThanTheField) {
  screen::SetChoices("|A,Alfa|B,Beta");
  std::string buffer = "B  ";
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "B  ");  // kept, not reset to the first item
  Key(kRight);
  console::PushText("\r");
  Edit(buffer);
  EXPECT_EQ(buffer, "A  ");
}

}  // namespace
}  // namespace screentest
