// The interactive program in a real terminal for the end-to-end tests:
// ruvoz303 runs in a detached tmux session on a demo office made with kap;
// keys are sent with send-keys and the pane's contents show what the
// operator sees.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace e2e {

inline bool TmuxAvailable() { return testsupport::CommandOutput("tmux -V 2>/dev/null").rfind("tmux", 0) == 0; }

// The demo office and the program running on it in an 80 x 25 window.
struct Office {
  testsupport::TempDir root;
  std::string socket;

  Office() {
    static int counter = 0;
    socket = "kova_program_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
  }
  ~Office() {
    testsupport::KillProcessesMentioning(root.path);
    Tmux("kill-server");
  }

  // The demo office with the terminal settings; `output` is [Sistema] Sortida.
  bool Make(const std::string& output = "PDF") {
    const std::string kap = testsupport::BinDir() + "kap";
    if (os::RunProgram(kap, {"init", root.path}) != 0) return false;
    if (os::RunProgram(kap, {"demo", root.path, "--owners", "60", "--today", "20240515"}) != 0) return false;
    os::MakeDir(root.path + "tmp");
    return os::WriteFile(root.path + "tmp/Sessio.ini", "[Menu]\r\nTitol=MODEL 303\r\nNomMenu=RUVOZ303\r\n") &&
           os::WriteFile(root.path + "tmp/KovaTerm.ini", "[Sistema]\r\nData=20240515\r\nSortida=" + output + "\r\nIdioma=CAT\r\n");
  }
  std::string Tmux(const std::string& args) {
    return testsupport::CommandOutput("LC_ALL=C.UTF-8 tmux -u -L " + socket + " -f /dev/null " + args + " 2>&1");
  }
  std::string before;  // a shell command run in the terminal before the program ("...; ")
  void Start(const std::string& locale = "LC_ALL=C.UTF-8") {
    Start("KAPTMP=" + testsupport::ShellQuote(root.path + "tmp/"), root.path, locale);
  }
  // The terminal's folders given by `vars` alone (KAPTMP, KAPTERM), started in the folder `from`.
  void Start(const std::string& vars, const std::string& from, const std::string& locale = "LC_ALL=C.UTF-8") {
    const std::string env = "env -u KAPTMP -u KAPTERM " + locale + " KAPROOT=" + testsupport::ShellQuote(root.path) +
                            " KAPEXE=" + testsupport::ShellQuote(testsupport::BinDir()) + " " + vars;
    const std::string command = "cd " + testsupport::ShellQuote(from) + " && " + before + env + " " +
                                testsupport::ShellQuote(testsupport::BinDir() + "ruvoz303") + "; echo EXIT=$?; sleep 60";
    Tmux("new-session -d -s app -x 80 -y 25 " + testsupport::ShellQuote(command));
  }
  void Keys(const std::string& keys) { Tmux("send-keys -t app " + keys); }
  void Type(const std::string& text) { Tmux("send-keys -t app -l " + testsupport::ShellQuote(text)); }
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
    const std::string dump = testsupport::CommandOutput(testsupport::ShellQuote(testsupport::BinDir() + "kap") + " dump " + testsupport::ShellQuote(root.path) + " VPropiet");
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

}  // namespace e2e
