// The help viewer: paging, scrolling, switch bytes and the graphical branch.
#include <filesystem>
#include <string>

#include "tests/screen/screen_fixture.h"

namespace screentest {
namespace {

class HelpViewerTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ASSERT_TRUE(os::MakeDir(dir.path + "AJUDA"));
  }
  void WriteTopic(const std::string& topic, int lines) {
    std::string data;
    for (int i = 1; i <= lines; ++i) {
      std::string line = "LINE " + std::to_string(i);
      line.resize(80, ' ');
      data += line;
    }
    ASSERT_TRUE(os::WriteFile(dir.path + "AJUDA/" + topic + ".HLP", data));
  }
  // Text of help line shown at page row r (window from row 4: inside from row 5, text from column 3).
  static std::string Shown(int r) {
    std::string s = console::RowText(4 + r).substr(2, 8);
    return s.substr(0, s.find_last_not_of(' ') + 1);
  }
};

TEST_F(HelpViewerTest, ShortTopicIgnoresMovesAndRestoresTheScreen) {
  console::WriteText(10, 1, "FORM UNDER THE HELP");
  screen::SetAttr("r");
  WriteTopic("SHORT", 3);
  console::PushKey(0, kDown, 0);
  console::PushKey(0, kPgDn, 0);
  console::PushKey(0, kEnd, 0);
  console::PushKey(0, kUp, 0);
  // Scripted input runs out here: the viewer closes as with Esc.
  screen::HelpViewer("SHORT");
  EXPECT_EQ(console::RowText(10).substr(0, 19), "FORM UNDER THE HELP");
  EXPECT_EQ(screen::AttrSlot(), 2);
  EXPECT_EQ(screen::AttrDepth(), 0);
  EXPECT_EQ(screen::WinDepth(), 0);
  EXPECT_FALSE(os::FileExists(StackFile()));
}

TEST_F(HelpViewerTest, TopicIsReadFromTheCurrentDirectory) {
  WriteTopic("HERE", 2);
  const std::string before = os::CurrentDir();
  settings::DataRoot = "/nonexistent/";
  ASSERT_TRUE(os::SetCurrentDir(dir.path));
  console::PushKey(0, kDown, 0);  // the idle hook reads the page, then Esc
  OnIdle({[] {
    EXPECT_EQ(Shown(1), "LINE 1");
    EXPECT_EQ(Shown(2), "LINE 2");
    console::PushText("\x1b");
  }});
  screen::HelpViewer("HERE");
  os::SetCurrentDir(before);
  EXPECT_EQ(screen::WinDepth(), 0);
}

TEST_F(HelpViewerTest, PagingAndScrolling) {
  WriteTopic("LONG", 40);  // page height 17
  auto keys = [](std::vector<int> scans) {
    return [scans] {
      for (int scan : scans) console::PushKey(0, scan, 0);
    };
  };
  std::vector<std::string> seen;
  auto look = [&](std::vector<int> scans) {
    return [&seen, scans] {
      seen.push_back(Shown(1) + "|" + Shown(17));
      for (int scan : scans) console::PushKey(0, scan, 0);
    };
  };
  OnIdle({look({kPgDn}),   // 1..17
          look({kPgDn}),   // 18..34
          look({kDown}),   // 24..40 (the last page ends on the last line)
          look({kUp}),     // Down ignored: still 24..40
          look({kHome}),   // 23..39
          look({kUp}),     // 1..17
          look({kEnd}),    // Up ignored
          look({kPgUp}),   // 24..40
          look({kPgUp}),   // 7..23
          look({}),        // 1..17
          keys({})});
  screen::HelpViewer("LONG");
  const std::vector<std::string> expected = {
      "LINE 1|LINE 17",  "LINE 18|LINE 34", "LINE 24|LINE 40", "LINE 24|LINE 40", "LINE 23|LINE 39",
      "LINE 1|LINE 17",  "LINE 1|LINE 17",  "LINE 24|LINE 40", "LINE 7|LINE 23",  "LINE 1|LINE 17"};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(screen::WinDepth(), 0);
}

TEST_F(HelpViewerTest, WindowFrameAndSwitchBytes) {
  std::string line = "A\x1E" "BC\x1E" "D\x1F" "E\x1E" "F\x1F" "G\x10" "H\x10" "I";
  line.resize(80, ' ');
  std::string wide(120, 'w');  // a line of more than 76 characters with a switch byte
  wide[0] = '\x1E';
  ASSERT_TRUE(os::WriteFile(dir.path + "AJUDA/MARKS.HLP", line + wide.substr(0, 80)));
  bool looked = false;
  OnIdle({[&] {
    looked = true;
    EXPECT_EQ(console::CharAt(4, 1), 0xC9);   // double frame from row 4
    EXPECT_EQ(console::CharAt(22, 80), 0xBC);  // to row 22
    EXPECT_EQ(console::AttrAt(4, 1), kHighlight);
    EXPECT_EQ(console::RowText(5).substr(2, 10), "ABCDEFGHI ");
    const int expected[9] = {kNormal, kHighlight, kHighlight, kNormal, kUnderline, kUnderline, kNormal, kReverse, kNormal};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(console::AttrAt(5, 3 + i), expected[i]) << i;
    EXPECT_EQ(console::RowText(6).substr(2, 77), std::string(76, 'w') + " ");
    EXPECT_EQ(console::AttrAt(6, 3), kHighlight);
    EXPECT_EQ(console::RowText(7).substr(2, 76), std::string(76, ' '));  // past the end: blank
  }});
  screen::HelpViewer("MARKS");
  EXPECT_TRUE(looked);
}

TEST_F(HelpViewerTest, F1OpensTheMenuTopicOnTop) {
  WriteTopic("TOPIC", 2);
  WriteTopic("UUTIMENU", 1);
  std::vector<std::string> seen;
  OnIdle({[&] { console::PushKey(0, kF1, 0); },
          [&] {
            seen.push_back(Shown(1));
            EXPECT_EQ(screen::WinDepth(), 2);
            console::PushKey(0, kF1, 0);  // ignored inside UUTIMENU
            console::PushText("\x1b");
          },
          [&] {
            seen.push_back(Shown(1));
            EXPECT_EQ(screen::WinDepth(), 1);
          }});
  screen::HelpViewer("TOPIC");
  EXPECT_EQ(seen, (std::vector<std::string>{"LINE 1", "LINE 1"}));
  EXPECT_EQ(screen::WinDepth(), 0);
}

TEST_F(HelpViewerTest, GraphicalTerminalHandsThePageToTheStartCommand) {
  const std::string script = dir.path + "comspec.sh";
  ASSERT_TRUE(os::WriteFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + dir.path + "args.txt\"\n"));
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  os::SetEnv("COMSPEC", script);
  settings::EnvMode = "WIN";
  const std::string home = os::CurrentDir();
  ASSERT_TRUE(os::SetCurrentDir(dir.path));
  // The data folder's name reaches the start command as one argument, whatever it holds.
  for (const std::string folder : {"data", "my data", "a;touch INJECTED;b", "it's $(touch INJECTED)"}) {
    SCOPED_TRACE(folder);
    settings::DataRoot = dir.path + folder + "/";
    os::DeleteFile(dir.path + "args.txt");
    screen::HelpViewer("TOPIC");
    std::string args;
    ASSERT_TRUE(os::ReadFile(dir.path + "args.txt", args));
    EXPECT_EQ(args, "/C\nUSTART\n" + dir.path + folder + "/AJUDA/TOPIC.HTM\n");
    EXPECT_FALSE(os::FileExists(dir.path + "INJECTED"));
    EXPECT_EQ(screen::WinDepth(), 0);
  }
  os::SetCurrentDir(home);
  os::SetEnv("COMSPEC", "");
}

TEST_F(HelpViewerTest, MissingTopicSaysSoAndWaitsForAKey) {
  const std::string under = console::ScreenText();
  bool looked = false;
  OnIdle({[&] {
    looked = true;
    EXPECT_EQ(screen::WinDepth(), 1);
    EXPECT_NE(console::ScreenText().find("NO HI HA AJUDA PER A AQUEST TEMA: NOWHERE"), std::string::npos)
        << console::ScreenText();
    console::PushText("x");
  }});
  screen::HelpViewer("NOWHERE");
  EXPECT_TRUE(looked);
  EXPECT_EQ(screen::WinDepth(), 0);
  EXPECT_EQ(console::ScreenText(), under);
  EXPECT_EQ(console::PendingEvents(), 0);  // the key that closed the message was taken
}

}  // namespace
}  // namespace screentest
