// The interactive program in a real terminal: ruvoz303 runs in a detached
// tmux session on a demo office made with kap; keys are sent with send-keys
// and the pane's contents show what the operator sees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace {

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Output(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

bool TmuxAvailable() { return Output("tmux -V 2>/dev/null").rfind("tmux", 0) == 0; }

// The demo office and the program running on it in an 80 x 25 window.
struct Office {
  testsupport::TempDir root;
  std::string socket;

  Office() {
    static int counter = 0;
    socket = "kova_program_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  }
  ~Office() { Tmux("kill-server"); }

  bool Make() {
    const std::string kap = testsupport::BinDir() + "kap";
    if (os::RunProgram(kap, {"init", root.path}) != 0) return false;
    if (os::RunProgram(kap, {"demo", root.path, "--owners", "60", "--today", "20240515"}) != 0) return false;
    os::MakeDir(root.path + "tmp");
    return os::WriteFile(root.path + "tmp/Sessio.ini", "[Menu]\r\nTitol=MODEL 303\r\nNomMenu=RUVOZ303\r\n") &&
           os::WriteFile(root.path + "tmp/KovaTerm.ini", "[Sistema]\r\nData=20240515\r\nSortida=PDF\r\nIdioma=CAT\r\n");
  }
  std::string Tmux(const std::string& args) {
    return Output("LC_ALL=C.UTF-8 tmux -u -L " + socket + " -f /dev/null " + args + " 2>&1");
  }
  void Start() {
    const std::string env = "LC_ALL=C.UTF-8 KAPROOT=" + Quote(root.path) + " KAPEXE=" + Quote(testsupport::BinDir()) +
                            " KAPTMP=" + Quote(root.path + "tmp/");
    const std::string command =
        env + " " + Quote(testsupport::BinDir() + "ruvoz303") + "; echo EXIT=$?; sleep 60";
    Tmux("new-session -d -s app -x 80 -y 25 " + Quote(command));
  }
  void Keys(const std::string& keys) { Tmux("send-keys -t app " + keys); }
  void Type(const std::string& text) { Tmux("send-keys -t app -l " + Quote(text)); }
  std::string Screen() { return Tmux("capture-pane -p -t app"); }
  bool WaitFor(const std::string& text, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (Screen().find(text) != std::string::npos) return true;
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // Row n (1-based) of the screen.
  std::string Row(int n) {
    std::istringstream in(Screen());
    std::string line;
    for (int i = 0; i < n && std::getline(in, line); ++i) {
    }
    return line;
  }
  // An owner of the demo office whose name starts with four plain letters:
  // its code and those letters.
  bool SomeOwner(std::string& code, std::string& start, std::string& name) {
    const std::string dump = Output(Quote(testsupport::BinDir() + "kap") + " dump " + Quote(root.path) + " VPropiet");
    std::istringstream in(dump);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
      const std::size_t comma = line.find(',');
      std::string rest = line.substr(comma + 1);
      if (!rest.empty() && rest[0] == '"') rest = rest.substr(1);
      bool plain = rest.size() > 4;
      for (int i = 0; i < 4 && plain; ++i) plain = std::isalpha(static_cast<unsigned char>(rest[i])) != 0;
      if (!plain) continue;
      code = line.substr(0, comma);
      start = rest.substr(0, 4);
      name = rest.substr(0, rest.find(','));
      return true;
    }
    return false;
  }
};

TEST(ProgramE2E, FormListCalculatorCalendarAndEscInARealTerminal) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Office office;
  ASSERT_TRUE(office.Make());
  std::string code, start, name;
  ASSERT_TRUE(office.SomeOwner(code, start, name));
  office.Start();
  ASSERT_TRUE(office.WaitFor("Tipus de sortida")) << office.Screen();
  EXPECT_NE(office.Row(1).find("MODEL 303"), std::string::npos);
  EXPECT_NE(office.Row(6).find("31/3/2024"), std::string::npos) << office.Screen();

  // Block 1: filing mode, the last quarter of 2023, then F4 on the first owner.
  office.Type("s");
  office.Keys("Enter");
  office.Type("31122023");
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor(" : ", 2000));
  office.Keys("F4");
  ASSERT_TRUE(office.WaitFor("CERCA DE PROPIETARIS")) << office.Screen();
  office.Type(start);
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor("PROPIETARIS")) << office.Screen();
  ASSERT_TRUE(office.WaitFor(code + "  " + name)) << office.Screen();
  EXPECT_NE(office.Row(4).find("\u2551" + code + "  " + start), std::string::npos)
      << "the list starts at the typed name\n" << office.Screen();
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor("Des del propietari número .... :  " + code)) << office.Screen();
  EXPECT_NE(office.Screen().find("Resum anual (4t trimestre) ... :  S"), std::string::npos) << office.Screen();

  // On the first owner field again: emptied with Ctrl+Y, the calculator
  // (Alt+X) takes .42 and F types it as 42 (two implied decimals).
  office.Keys("Up");
  office.Keys("C-y");
  office.Keys("M-x");
  ASSERT_TRUE(office.WaitFor("\u250C\u2500\u2500\u2500")) << office.Screen();
  office.Type(".42");
  ASSERT_TRUE(office.WaitFor("42   \u2502")) << office.Screen();
  office.Keys("f");
  office.Keys("Down");
  ASSERT_TRUE(office.WaitFor("Des del propietari número .... :  42\n")) << office.Screen();

  // Back to the date field; the calendar opens on the working date, Right
  // moves one day and F takes it into the field.
  office.Keys("Up");
  office.Keys("Up");
  office.Keys("M-c");
  ASSERT_TRUE(office.WaitFor("MAIG")) << office.Screen();
  office.Keys("Right");
  office.Keys("f");
  office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor("Data final del trimestre ..... :  16/5/2024")) << office.Screen();

  // Esc goes back to the first field, a second Esc ends the program.
  office.Keys("Escape");
  office.Keys("Escape");
  ASSERT_TRUE(office.WaitFor("EXIT=0")) << office.Screen();
}

TEST(ProgramE2E, TerminalShrunkWhileABlockOrListIsOpenRecovers) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Office office;
  ASSERT_TRUE(office.Make());
  office.Start();
  ASSERT_TRUE(office.WaitFor("Tipus de sortida")) << office.Screen();
  for (const bool withList : {false, true}) {
    SCOPED_TRACE(withList ? "list open" : "block open");
    if (withList) {
      office.Keys("Down");
      office.Keys("Down");
      office.Keys("F4");
      ASSERT_TRUE(office.WaitFor("CERCA DE PROPIETARIS")) << office.Screen();
      office.Keys("Enter");
      ASSERT_TRUE(office.WaitFor("PROPIETARIS ")) << office.Screen();
    }
    office.Tmux("resize-window -t app -x 60 -y 20");
    ASSERT_TRUE(office.WaitFor("too small")) << office.Screen();
    office.Keys("Escape");  // keys typed at a too small terminal are dropped
    office.Tmux("resize-window -t app -x 80 -y 25");
    ASSERT_TRUE(office.WaitFor("F4 Llista de propietaris")) << office.Screen();
    if (withList) {
      EXPECT_NE(office.Screen().find("PROPIETARIS"), std::string::npos) << "the list is still open";
      office.Keys("Escape");
    }
  }
  office.Keys("Escape");
  office.Keys("Escape");
  ASSERT_TRUE(office.WaitFor("EXIT=0")) << office.Screen();
}

}  // namespace
