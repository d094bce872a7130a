// Key codes, Alt + keypad characters, mouse presses, WaitKey and the key map.
#include <string>

#include "tests/screen/screen_fixture.h"

namespace screentest {
namespace {

using KeysTest = ScreenTest;

int ReadKey() {
  int key = 0, button = 0, row = 0, column = 0;
  screen::ReadInput(key, button, row, column);
  return key;
}

TEST_F(KeysTest, ModifierVariantsOfFunctionAndCursorKeys) {
  console::PushKey(0, kF1, console::kLeftAlt);
  console::PushKey(0, kF1, console::kRightCtrl);
  console::PushKey(0, kF1, console::kShift);
  console::PushKey(0, kHome, console::kLeftCtrl);
  console::PushKey(0, kLeft, console::kLeftCtrl);
  console::PushKey(0, kRight, console::kRightCtrl);
  console::PushKey(0, 0x44, console::kRightAlt);  // Alt+F10
  console::PushKey(0, 0x12, console::kLeftAlt);   // Alt+E
  console::PushKey(9, 0x0F, console::kShift);     // Shift+Tab
  console::PushKey(0, 0x85, 0);                   // F11
  console::PushKey(0, 0x86, console::kLeftAlt);   // Alt+F12
  console::PushKey(0, kHome, 0);
  console::PushText("a");
  EXPECT_EQ(ReadKey(), 0x6800);
  EXPECT_EQ(ReadKey(), 0x5E00);
  EXPECT_EQ(ReadKey(), 0x5400);
  EXPECT_EQ(ReadKey(), 0x7700);
  EXPECT_EQ(ReadKey(), 0x7300);
  EXPECT_EQ(ReadKey(), 0x7400);
  EXPECT_EQ(ReadKey(), 0x7100);
  EXPECT_EQ(ReadKey(), 213);
  EXPECT_EQ(ReadKey(), 0x0F00);
  EXPECT_EQ(ReadKey(), 0x8500 - 0x10000);  // 16-bit: negative
  EXPECT_EQ(ReadKey(), 0x8C00 - 0x10000);
  EXPECT_EQ(ReadKey(), 0x4700);
  EXPECT_EQ(ReadKey(), 'a');
  EXPECT_EQ(ReadKey(), 0);  // nothing waiting
}

void PushAltRelease() {
  console::Event release;
  release.kind = console::Event::Key;
  release.scan = 0x38;
  release.keyDown = false;
  console::PushEvent(release);
}

TEST_F(KeysTest, AltAndKeypadDigitsTypeACharacter) {
  // Keypad 1, 6, 4 arrive as End, Right, Left while Alt is held.
  console::PushKey(0, kEnd, console::kLeftAlt);
  console::PushKey(0, kRight, console::kLeftAlt);
  console::PushKey(0, kLeft, console::kLeftAlt);
  PushAltRelease();
  console::PushText("z");
  EXPECT_EQ(ReadKey(), 164);
  EXPECT_EQ(ReadKey(), 'z');

  // The same with the Alt press itself scripted first: still one key.
  console::PushKey(0, 0x38, console::kLeftAlt);
  console::PushKey(0, kEnd, console::kLeftAlt);
  console::PushKey(0, kRight, console::kLeftAlt);
  console::PushKey(0, kLeft, console::kLeftAlt);
  PushAltRelease();
  EXPECT_EQ(ReadKey(), 164);
  // Alt pressed and released alone gives no key.
  console::PushKey(0, 0x38, console::kLeftAlt);
  PushAltRelease();
  EXPECT_EQ(ReadKey(), 0);

  // 3, 0, 0 -> 300 mod 256.
  console::PushKey(0, kPgDn, console::kLeftAlt);
  console::PushKey(0, kInsert, console::kLeftAlt);
  console::PushKey(0, kInsert, console::kLeftAlt);
  PushAltRelease();
  EXPECT_EQ(ReadKey(), 44);

  // Another key ends the digits and is the key.
  console::PushKey(0, kEnd, console::kLeftAlt);
  console::PushKey(0, kF1, console::kLeftAlt);
  EXPECT_EQ(ReadKey(), 0x6800);

  // The Alt release alone and other key releases give no key.
  PushAltRelease();
  EXPECT_EQ(ReadKey(), 0);
}

TEST_F(KeysTest, MousePressesAndWaitKey) {
  console::PushClick(5, 10, 1);
  int key = 0, button = 0, row = 0, column = 0;
  screen::ReadInput(key, button, row, column);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(button, 1);
  EXPECT_EQ(row, 5);
  EXPECT_EQ(column, 10);
  EXPECT_EQ(screen::MouseState(), 2);  // reporting off after an event
  screen::ReadInput(key, button, row, column);
  EXPECT_EQ(screen::MouseState(), 1);  // back on while waiting
  EXPECT_EQ(button, 0);

  console::PushClick(7, 80, 2);
  screen::WaitKey(key);
  EXPECT_EQ(key, static_cast<int16_t>(80 * 256 + 2 * 64 + 7));

  console::PushClick(3, 4, 0);  // a move without a button
  PushAltRelease();
  console::PushText("q");
  screen::WaitKey(key);
  EXPECT_EQ(key, 'q');

  // Scripted input exhausted: Esc, never a hang.
  screen::WaitKey(key);
  EXPECT_EQ(key, 27);
}

TEST_F(KeysTest, TypeAheadComesFirstAndFlushKeepsIt) {
  screen::AddTypeAhead("12");
  console::PushText("x");
  screen::FlushKeys();
  EXPECT_EQ(console::PendingEvents(), 0);
  EXPECT_EQ(ReadKey(), '1');
  EXPECT_EQ(ReadKey(), '2');
  EXPECT_EQ(ReadKey(), 0);
}

TEST_F(KeysTest, KeyMapAddTranslateDeleteAndNestedSaves) {
  int out = 0;
  EXPECT_TRUE(screen::KeyMapEmpty());
  screen::SetKeys("A", "d,1b=2");
  EXPECT_TRUE(screen::KeyMapFind(13, out));
  EXPECT_EQ(out, 13);
  EXPECT_TRUE(screen::KeyMapFind(27, out));
  EXPECT_EQ(out, 2);
  screen::SetKeys("D", "1b");
  EXPECT_FALSE(screen::KeyMapFind(27, out));
  EXPECT_TRUE(screen::KeyMapFind(13, out));
  EXPECT_EQ(out, 13);

  // Entries are found only at their boundaries: 0d00 hides no 000d.
  screen::SetKeys("e", "");
  screen::SetKeys("a", "4D00,0d00");
  EXPECT_TRUE(screen::KeyMapFind(0x4D00, out));
  EXPECT_FALSE(screen::KeyMapFind(0x4D, out));
  EXPECT_TRUE(screen::KeyMapFind(0x0D00, out));

  screen::SetKeys("+ea", "4800,5000=1b");
  EXPECT_EQ(screen::KeyMapSavedCount(), 1);
  EXPECT_FALSE(screen::KeyMapFind(0x4D00, out));
  EXPECT_TRUE(screen::KeyMapFind(0x5000, out));
  EXPECT_EQ(out, 27);
  screen::SetKeys("+e", "");
  EXPECT_TRUE(screen::KeyMapEmpty());
  screen::SetKeys("a", "");  // an empty list adds no entry: every key stays accepted
  EXPECT_TRUE(screen::KeyMapEmpty());
  screen::SetKeys("-", "");
  EXPECT_TRUE(screen::KeyMapFind(0x4800, out));
  screen::SetKeys("-", "");
  EXPECT_TRUE(screen::KeyMapFind(0x4D00, out));
  EXPECT_FALSE(screen::KeyMapFind(0x4800, out));
  screen::SetKeys("-", "");  // nothing saved: unchanged
  EXPECT_TRUE(screen::KeyMapFind(0x4D00, out));
  EXPECT_EQ(screen::KeyMapSavedCount(), 0);

  // F11 and F12 codes (8000 hex and up) match the keys as they arrive.
  screen::SetKeys("a", "8500");
  EXPECT_TRUE(screen::KeyMapFind(0x8500 - 0x10000, out));

  screen::SetKeys("h", "");
  EXPECT_EQ(screen::EchoChar(), 88);
  screen::SetKeys("xV", "");
  EXPECT_EQ(screen::EchoChar(), 0);
}

TEST_F(KeysTest, AltCOpensTheCalendarAndItsDateFollowsAsKeys) {
  settings::SysDate = PackedDate(2024, 5, 15);
  screen::SetKeys("a", "d");
  console::PushKey(0, 0x2E, console::kLeftAlt);  // Alt+C
  console::PushKey(0, 0x2E, console::kLeftAlt);  // Alt+C inside: no second calendar
  console::PushKey(0, kRight, 0);
  console::PushText("f");
  EXPECT_EQ(ReadKey(), 0x2E00);
  EXPECT_EQ(screen::TypeAhead(), "16/5/2024 ");
  EXPECT_EQ(screen::WinDepth(), 0);
  EXPECT_EQ(screen::AttrDepth(), 0);
  EXPECT_EQ(screen::KeyMapSavedCount(), 0);
  int out = 0;
  EXPECT_TRUE(screen::KeyMapFind(13, out));  // the caller's map is back
  std::string typed;
  for (int i = 0; i < 10; ++i) typed += static_cast<char>(ReadKey());
  EXPECT_EQ(typed, "16/5/2024 ");

  // Alt+X: the calculator gives nothing yet; the key itself still arrives.
  console::PushKey(0, 0x2D, console::kLeftAlt);
  EXPECT_EQ(ReadKey(), 0x2D00);
  EXPECT_TRUE(screen::TypeAhead().empty());
}

}  // namespace
}  // namespace screentest
