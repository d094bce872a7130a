// The block runner on the headless console: field navigation, follow-on
// blocks, paging out and back in, mouse clicks, rejected values, F1, F4.
#include <string>

#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "screen/windows.h"
#include "tests/forms/forms_fixture.h"

namespace {

using formstest::FormsTest;
using testsupport::Cp850;

// Blocks 1-3 are the return form's own (their hooks do more); the runner is
// tried on blocks 4-7.
//   4: a label, A, B (whole numbers), C (value hidden while edited), a label;
//      F3 ends a field, F10 ends it as code 2
//   5: D, E, follow-on block 6
//   6: F, G in a window of its own
//   7: H, I, both with the owner list
const char* const kRunnerForm =
    "7,5\r\n"
    "\"\",0,0,0,0,0,0\r\n\"\",0,0,0,0,0,0\r\n\"\",0,0,0,0,0,0\r\n"
    "\"d,1b,4800,5000,4900,5100,3c00,3e00,3d00,4400=2\",5,0,0,0,0,0\r\n"
    "1,1,\"Cap\",0,0,0,4,0,0,\"\"\r\n"
    "2,1,\"A: \",4,0,0,0,0,0,\"\"\r\n"
    "3,1,\"B: \",4,0,0,0,2,0,\"\"\r\n"
    "4,1,\"C: \",4,0,0,1,0,0,\"\"\r\n"
    "5,1,\"Peu\",0,0,0,4,0,0,\"\"\r\n"
    "\"d,1b,4800,5000,4900,5100,3c00\",2,6,0,0,0,0\r\n"
    "2,1,\"D: \",4,0,0,0,0,0,\"\"\r\n"
    "3,1,\"E: \",4,0,0,0,0,0,\"\"\r\n"
    "\"d,1b,4800,5000,4900,5100\",2,0,10,10,14,40\r\n"
    "1,2,\"F: \",4,0,0,0,0,0,\"\"\r\n"
    "2,2,\"G: \",4,0,0,0,0,0,\"\"\r\n"
    "\"d,1b,4800,5000,3e00\",2,0,0,0,0,0\r\n"
    "2,1,\"H: \",4,0,0,0,0,1,\"\"\r\n"
    "3,1,\"I: \",4,0,0,0,0,1,\"\"\r\n"
    "1\r\n"
    "6,1,3,10,10,60,0,\" PROPIETARIS \",0\r\n";

int RunKeys(int block, int allowPrevious = 0, int allowNext = 0) {
  int key = 0;
  forms::RunBlock(block, allowPrevious, allowNext, key);
  return key;
}

TEST_F(FormsTest, NavigationThroughTheFieldsOfABlock) {
  const struct {
    const char* keys;
    int endKey;
    const char* a;
    const char* b;
    const char* c;
    int beeps;
  } cases[] = {
      // The display-only first field is passed over.
      {"a Down", 27, "a", "", "", 0},
      // Up on the first editable field of a top-level block stays.
      {"Up b Down", 27, "b", "", "", 0},
      // Enter past the last field leaves the block with Enter; Down there stays.
      {"Enter Enter c Enter", 13, "", "", "c", 0},
      {"Down Down Down d Enter", 13, "", "", "d", 0},
      {"Tab Tab i Tab", 13, "", "", "i", 0},
      // Esc on a later field goes back to the first; the next Esc leaves.
      {"Down Down Esc e Down", 27, "e", "", "", 0},
      // PgDn goes to the last field, PgUp to the first (they cannot leave here).
      {"PgDn h PgUp j Enter Enter Enter", 13, "j", "", "h", 0},
      // A click on a label selects its field; a click on nothing changes nothing.
      {"click:4,1 f Enter", 13, "", "", "f", 0},
      {"click:20,70 g Down", 27, "g", "", "", 0},
      // Code 2 (F10 is reported so) leaves the block, as any key the table
      // does not name does (F3); the value is taken first.
      {"b F10", 2, "b", "", "", 0},
      {"Down 7 F3", 0x3D00, "", "7", "", 0},
      // F2 without a follow-on block does nothing.
      {"F2 q Down", 27, "q", "", "", 0},
      // A rejected value beeps and keeps the operator in the field.
      {"Down x Down 5 Down", 27, "", "5", "", 1},
      {"Down 1..2 Enter Esc", 27, "", "", "", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    forms::ResetFormForTests();
    console::ResetForTests();
    ASSERT_TRUE(LoadText(kRunnerForm));
    Script(c.keys);
    EXPECT_EQ(RunKeys(4), c.endKey);
    EXPECT_EQ(Value(4, 2), settings::FixedWidth(c.a, 4));
    EXPECT_EQ(Value(4, 3), settings::FixedWidth(c.b, 4));
    EXPECT_EQ(Value(4, 4), settings::FixedWidth(c.c, 4));
    EXPECT_EQ(console::BeepCount(), c.beeps);
    EXPECT_EQ(screen::KeyMapSavedCount(), 0) << "every field restores the caller's key map";
  }
}

TEST_F(FormsTest, HiddenValueShowsBlanksWhileEditedAndStaysWhenLeftBlank) {
  ASSERT_TRUE(LoadText(kRunnerForm));
  forms::SetValue(4, 4, "keep");
  Script("Down Down");
  std::string whileEditing;
  OnIdle({[&] {
    whileEditing = Cells(4, 4, 4);
    Script("Enter");
  }});
  EXPECT_EQ(RunKeys(4), 13);
  EXPECT_EQ(whileEditing, "    ");
  EXPECT_EQ(Value(4, 4), "keep");
  EXPECT_EQ(Cells(4, 4, 4), "keep");
  // Secret (flag 2): typed characters echo as X, never shown in clear; a blank entry keeps it.
  forms::FieldAt(4, 4).Flags = forms::kFlagSecret;
  Script("Down Down ab");
  OnIdle({[&] { whileEditing = Cells(4, 4, 4); Script("Enter Down Down Enter"); }});
  EXPECT_EQ(RunKeys(4), 13);
  EXPECT_EQ(RunKeys(4), 13);
  EXPECT_EQ(whileEditing + Cells(4, 4, 4) + Value(4, 4), "XXXXXXXXab  ");
}

TEST_F(FormsTest, FollowOnBlocks) {
  const struct {
    const char* keys;
    int endKey;
    const char* d;
    const char* e;
    const char* f;
  } cases[] = {
      // F2 on any field opens the follow-on block; leaving it with Enter
      // leaves the parent with Enter.
      {"F2 z Enter Enter", 13, "", "", "z"},
      // Enter on the last field opens it too.
      {"Down Enter y Enter Enter", 13, "", "", "y"},
      // Up on the first field of the follow-on block comes back with Esc and
      // the parent stays on its field.
      {"Down Enter Up w Up", 27, "", "w", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    forms::ResetFormForTests();
    ASSERT_TRUE(LoadText(kRunnerForm));
    Script(c.keys);
    EXPECT_EQ(RunKeys(5), c.endKey);
    EXPECT_EQ(Value(5, 1), settings::FixedWidth(c.d, 4));
    EXPECT_EQ(Value(5, 2), settings::FixedWidth(c.e, 4));
    EXPECT_EQ(Value(6, 1), settings::FixedWidth(c.f, 4));
    EXPECT_EQ(screen::WinDepth(), 0);
    EXPECT_FALSE(os::FileExists(dir.path + "WinPush.tmp"));
  }
}

TEST_F(FormsTest, PagingOutOfAFollowOnBlockComesBackIntoIt) {
  ASSERT_TRUE(LoadText(kRunnerForm));
  Script("Enter Enter PgDn PgDn");
  EXPECT_EQ(RunKeys(5, 0, 1), 0x5100);
  EXPECT_EQ(forms::ResumeBlock, 6);
  // Run again, the parent goes straight into the block paged out of.
  Script("r Enter Enter");
  EXPECT_EQ(RunKeys(5, 0, 1), 13);
  EXPECT_EQ(Value(6, 1), "r   ");
  EXPECT_EQ(Value(5, 1), "    ");
  EXPECT_EQ(forms::ResumeBlock, 0);
}

TEST_F(FormsTest, F4PicksFromTheListOrBeepsAndEditsAgain) {
  MakeTree({"12,Garrido Font", "7,Abad Soler", "30,Mas Puig"});
  OpenOwners();
  const struct {
    const char* keys;
    int endKey;
    const char* h;
    const char* i;
    int beeps;
  } cases[] = {
      // (Esc comes after the list is shown: an Esc typed ahead would stop
      // the reading of the list instead.)
      {"F4 | Esc | k Down", 27, "k", "", 1},
      // A pick continues as Down, or as Enter on the last field.
      {"F4 Down Enter m Enter", 13, "0012", "m", 0},
      {"Down F4 Enter", 13, "", "0007", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    forms::ResetFormForTests();
    console::ResetForTests();
    ASSERT_TRUE(LoadText(kRunnerForm));
    ScriptStages(c.keys);
    EXPECT_EQ(RunKeys(7), c.endKey);
    EXPECT_EQ(Value(7, 1), settings::FixedWidth(c.h, 4));
    EXPECT_EQ(Value(7, 2), settings::FixedWidth(c.i, 4));
    EXPECT_EQ(console::BeepCount(), c.beeps);
    EXPECT_EQ(forms::SaveStack, "") << "field and list numbers are taken back after the browse";
  }
}

TEST_F(FormsTest, F1ShowsTheHelpTopicEvenFromADamagedFile) {
  ASSERT_TRUE(LoadText(kRunnerForm));
  os::MakeDirs(dir.path + "AJUDA");
  // Not a whole number of 80-byte records, line ends, NULs and unpaired
  // switch bytes.
  std::string help = "\x1E" "AJUDA\r\n" + std::string(3, '\0') + "\x1F\x10" + std::string(100, 'x');
  os::WriteFile(dir.path + "AJUDA/RUVOZ303.HLP", help);
  settings::HelpTopic = "RUVOZ303  ";
  Script("F1");
  std::string shown;
  OnIdle({[&] {
    shown = Cells(5, 3, 5);
    Script("Esc x Down");
  }});
  RunKeys(4);
  EXPECT_EQ(shown, "AJUDA");
  EXPECT_EQ(Value(4, 2), "x   ");
  EXPECT_EQ(screen::WinDepth(), 0);
}

TEST_F(FormsTest, StringStackIsLastInFirstOut) {
  forms::PushStr("12");
  EXPECT_EQ(forms::SaveStack, std::string("12\x02\x00", 4));
  forms::PushStr("");
  const std::string longText(300, 'z');
  forms::PushStr(longText);
  EXPECT_EQ(forms::PopStr(), longText);
  EXPECT_EQ(forms::PopStr(), "");
  EXPECT_EQ(forms::PopStr(), "12");
  EXPECT_EQ(forms::SaveStack, "");
  EXPECT_EQ(forms::PopStr(), "") << "popping an empty stack gives nothing";
}

}  // namespace
