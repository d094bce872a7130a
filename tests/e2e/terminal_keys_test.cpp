// The terminal back end on a real terminal: keyprobe runs in a detached tmux
// session, keys and mouse clicks are sent with send-keys, and the pane's
// contents show what the console layer decoded and drew.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace {

bool TmuxAvailable() { return testsupport::CommandOutput("tmux -V 2>/dev/null").rfind("tmux", 0) == 0; }

// One tmux server of its own (its own socket), killed at the end.
struct Tmux {
  std::string socket;
  testsupport::TempDir dir;

  Tmux() {
    static int counter = 0;
    socket = "kova_e2e_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  }
  ~Tmux() {
    testsupport::KillProcessesMentioning(dir.path);
    Run("kill-server");
  }

  std::string Run(const std::string& args) {
    return testsupport::CommandOutput("LC_ALL=C.UTF-8 tmux -u -L " + socket + " -f /dev/null " + args + " 2>&1");
  }
  // Starts the shell command line in a 100 x 30 window.
  void Start(const std::string& commandLine) {
    Run("new-session -d -s probe -x 100 -y 30 " + testsupport::ShellQuote("LC_ALL=C.UTF-8 " + commandLine));
  }
  void StartProbe(const std::string& term = "") {
    std::string cmd = testsupport::ShellQuote(testsupport::BinDir() + "keyprobe") + " " + testsupport::ShellQuote(PidFile());
    if (!term.empty()) cmd = "TERM=" + term + " " + cmd;
    Start(cmd + "; stty -a > " + testsupport::ShellQuote(dir.path + "stty.txt") + "; sleep 60");
  }
  std::string PidFile() const { return dir.path + "probe.pid"; }
  int Pid() const {
    std::ifstream in(PidFile());
    int pid = 0;
    in >> pid;
    return pid;
  }
  void Keys(const std::string& keys) { Run("send-keys -t probe " + keys); }
  void Literal(const std::string& text) { Run("send-keys -t probe -l " + testsupport::ShellQuote(text)); }
  std::string Capture() { return Run("capture-pane -p -t probe"); }
  std::string Format(const std::string& f) { return Run("display-message -p -t probe " + testsupport::ShellQuote(f)); }

  // Waits (at most timeoutMs) until the pane shows `text`.
  bool WaitFor(const std::string& text, int timeoutMs = 5000) {
    return WaitUntil([&] { return Capture().find(text) != std::string::npos; }, timeoutMs);
  }
  static bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }
};

std::string EventLine(int n, const std::string& rest) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%03d ", n);
  return buf + rest;
}

std::string Key(int ch, int scan, int mods, bool down = true) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "KEY ch=%03d scan=%02X mods=%02X down=%d", ch, scan, mods, down ? 1 : 0);
  return buf;
}

constexpr int kShift = 0x10, kCtrl = 0x08, kAlt = 0x02;

struct Sent {
  std::string tmuxKeys;  // for send-keys; a leading "-l " sends the rest literally
  std::string expected;
  bool altRelease = false;
};

void CheckKeys(Tmux& t) {
  ASSERT_TRUE(t.WaitFor("READY")) << t.Capture();
  const std::vector<Sent> keys = {
      {"Left", Key(0, 0x4B, 0)},
      {"F5", Key(0, 0x3F, 0)},
      {"S-F5", Key(0, 0x3F, kShift)},
      {"C-F5", Key(0, 0x3F, kCtrl)},
      {"M-F5", Key(0, 0x3F, kAlt), true},
      {"F1", Key(0, 0x3B, 0)},
      {"S-F1", Key(0, 0x3B, kShift)},
      {"F10", Key(0, 0x44, 0)},
      {"F11", Key(0, 0x85, 0)},
      {"C-F12", Key(0, 0x86, kCtrl)},
      {"M-x", Key(0, 0x2D, kAlt), true},
      {"M-c", Key(0, 0x2E, kAlt), true},
      {"M-f", Key(0, 0x21, kAlt), true},
      {"M-e", Key(0, 0x12, kAlt), true},
      {"Home", Key(0, 0x47, 0)},
      {"End", Key(0, 0x4F, 0)},
      {"C-Home", Key(0, 0x47, kCtrl)},
      {"C-Left", Key(0, 0x4B, kCtrl)},
      {"C-Right", Key(0, 0x4D, kCtrl)},
      {"Up", Key(0, 0x48, 0)},
      {"Down", Key(0, 0x50, 0)},
      {"PPage", Key(0, 0x49, 0)},
      {"NPage", Key(0, 0x51, 0)},
      {"IC", Key(0, 0x52, 0)},
      {"DC", Key(0, 0x53, 0)},
      {"BTab", Key(0, 0x0F, kShift)},
      {"Tab", Key(9, 0x0F, 0)},
      {"Enter", Key(13, 0x1C, 0)},
      {"BSpace", Key(8, 0x0E, 0)},
      {"C-c", Key(3, 0x2E, kCtrl)},
      {"C-v", Key(22, 0x2F, kCtrl)},
      {"Escape", Key(27, 0x01, 0)},
      {"a", Key('a', 0x1E, 0)},
      {"-l \xC3\xB1", Key(0xA4, 0, 0)},             // n-tilde typed in UTF-8
      {"-l \xE4\xB8\xAD" "b", Key('b', 0x30, 0)},  // a character CP850 lacks is dropped
      {"-l \x1b[99;5u", Key(3, 0x2E, kCtrl)},        // Ctrl+C in the CSI u form
      {"-l \x1b[27;5;118~", Key(22, 0x2F, kCtrl)},   // Ctrl+V as modifyOtherKeys sends it
      {"-l \x1bOc", Key(0, 0x4D, kCtrl)},            // rxvt Ctrl+Right
      {"-l \x1b[a", Key(0, 0x48, kShift)},           // rxvt Shift+Up
      {"-l \x1bOD", Key(0, 0x4B, kCtrl)},            // PuTTY Ctrl+Left
      {"-l \x1b[<0;10;5M", "MOUSE row=05 col=10 buttons=1 mods=00"},
      {"-l \x1b[<2;80;25M\x1b[<2;80;25m", "MOUSE row=25 col=80 buttons=2 mods=00"},
  };
  int n = 0;
  for (const Sent& s : keys) {
    if (s.tmuxKeys.rfind("-l ", 0) == 0) t.Literal(s.tmuxKeys.substr(3));
    else t.Keys(s.tmuxKeys);
    ++n;
    EXPECT_TRUE(t.WaitFor(EventLine(n, s.expected), 3000)) << "sent " << s.tmuxKeys << "\n" << t.Capture();
    if (s.altRelease) {
      ++n;
      EXPECT_TRUE(t.WaitFor(EventLine(n, Key(0, 0x38, 0, false)), 3000)) << s.tmuxKeys << "\n" << t.Capture();
    }
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(TerminalE2E, KeysAndClicksDecodeUnderTmuxTerminalType) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Tmux t;
  t.StartProbe();
  CheckKeys(t);
  // Mouse reporting was switched on in the SGR form.
  EXPECT_EQ(t.Format("#{mouse_standard_flag}#{mouse_sgr_flag}"), "11\n");
}

TEST(TerminalE2E, KeysDecodeUnderXtermTerminalType) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Tmux t;
  t.StartProbe("xterm-256color");
  CheckKeys(t);
}

TEST(TerminalE2E, FramesAccentsAndSymbolsShowAsUnicode) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  // The terminal types tmux itself offers, an xterm, and the Linux console (8 colours).
  for (const std::string term : {"", "xterm-256color", "linux"}) {
    SCOPED_TRACE("TERM=" + term);
    Tmux t;
    t.StartProbe(term);
    ASSERT_TRUE(t.WaitFor("READY"));
    const std::string screen = t.Capture();
    std::istringstream lines(screen);
    std::string first;
    std::getline(lines, first);
    std::string expectedTop = "\xE2\x95\x94";  // double top-left corner, then 58 double lines
    for (int i = 0; i < 58; ++i) expectedTop += "\xE2\x95\x90";
    expectedTop += "\xE2\x95\x97";
    EXPECT_EQ(first.substr(0, expectedTop.size()), expectedTop) << screen;
    EXPECT_NE(screen.find("\xE2\x95\x9A\xE2\x95\x90"), std::string::npos) << screen;  // bottom-left corner
    EXPECT_NE(screen.find("\xE2\x95\x91 KEYPROBE"), std::string::npos) << screen;     // vertical double line
    EXPECT_NE(screen.find("ACCENTS \xC3\x87\xC3\xA7\xC3\xB1\xC3\x91\xC3\xA9\xC3\x89\xC3\xA0\xC3\x80\xC3\xBC"),
              std::string::npos)
        << screen;
    EXPECT_NE(screen.find("SINGLE \xE2\x94\x8C\xE2\x94\x80\xE2\x94\xAC\xE2\x94\x80\xE2\x94\x90"), std::string::npos)
        << screen;
    EXPECT_NE(screen.find("ARROWS \xE2\x96\xBA \xE2\x97\x84 \xE2\x96\xB2 \xE2\x96\xBC  EURO \xE2\x82\xAC"),
              std::string::npos)
        << screen;
    // Colours: the probe's frame is drawn white on blue.
    const std::string styled = t.Run("capture-pane -p -e -t probe");
    EXPECT_NE(styled.find("44m"), std::string::npos) << "no blue background in:\n" << styled;
  }
}

TEST(TerminalE2E, TooSmallTerminalSaysSoAndRedrawsWhenLargeAgain) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Tmux t;
  t.StartProbe();
  ASSERT_TRUE(t.WaitFor("READY"));
  t.Run("resize-window -t probe -x 60 -y 20");
  EXPECT_TRUE(t.WaitFor("too small")) << t.Capture();
  EXPECT_EQ(t.Capture().find("\xE2\x95\x94"), std::string::npos);
  t.Keys("F5");  // typed at a too small terminal: dropped
  t.Run("resize-window -t probe -x 100 -y 30");
  EXPECT_TRUE(t.WaitFor("READY")) << t.Capture();
  EXPECT_EQ(t.Capture().find("too small"), std::string::npos);
  t.Keys("F6");
  EXPECT_TRUE(t.WaitFor(EventLine(1, Key(0, 0x40, 0)))) << t.Capture();
  // Exactly 80 x 25: the whole screen fits, down to the last cell.
  t.Run("resize-window -t probe -x 80 -y 25");
  EXPECT_TRUE(Tmux::WaitUntil([&] { return t.Capture().find("<END>\n") != std::string::npos; }, 5000))
      << t.Capture();
  EXPECT_EQ(t.Capture().find("too small"), std::string::npos);
}

// stty -a lines say "echo" and "icanon" (not "-echo", "-icanon") once the probe restored the terminal.
bool TerminalRestored(const std::string& stty) {
  return stty.find(" icanon") != std::string::npos && stty.find(" echo ") != std::string::npos &&
         stty.find("-icanon") == std::string::npos;
}

TEST(TerminalE2E, TerminalIsRestoredAtExitAndAfterASignal) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  for (const bool bySignal : {false, true}) {
    SCOPED_TRACE(bySignal ? "killed by SIGTERM" : "Ctrl+Q");
    Tmux t;
    t.StartProbe();
    ASSERT_TRUE(t.WaitFor("READY"));
    EXPECT_EQ(t.Format("#{alternate_on}#{mouse_sgr_flag}"), "11\n");
    if (bySignal) {
      const int pid = t.Pid();
      ASSERT_GT(pid, 0);
      testsupport::CommandOutput("kill -TERM " + std::to_string(pid));
    } else {
      t.Keys("C-q");
    }
    const std::string sttyFile = t.dir.path + "stty.txt";
    std::string stty;
    ASSERT_TRUE(Tmux::WaitUntil(
        [&] {
          std::ifstream in(sttyFile);
          std::stringstream ss;
          ss << in.rdbuf();
          stty = ss.str();
          return stty.find("speed") != std::string::npos;
        },
        5000));
    EXPECT_TRUE(TerminalRestored(stty)) << stty;
    EXPECT_EQ(t.Format("#{alternate_on}#{mouse_any_flag}#{mouse_standard_flag}#{mouse_sgr_flag}"), "0000\n");
  }
}

TEST(TerminalE2E, IdleProgramUsesNoCpu) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Tmux t;
  t.StartProbe();
  ASSERT_TRUE(t.WaitFor("READY"));
  const int pid = t.Pid();
  ASSERT_GT(pid, 0);
  auto ticks = [pid] {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all;
    std::getline(in, all);
    // Fields after the command name in parentheses; utime and stime are fields 14 and 15.
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    long long total = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i)
      if (i >= 14) total += std::stoll(field);
    return total;
  };
  const long long before = ticks();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const long long used = ticks() - before;
  const long hz = sysconf(_SC_CLK_TCK);
  std::printf("keyprobe idle for 3 s used %lld clock ticks (%ld per second)\n", used, hz);
  EXPECT_LE(used, 2) << "a waiting program must not spin";
}

}  // namespace
