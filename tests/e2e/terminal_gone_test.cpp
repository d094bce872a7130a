// A terminal that goes away while the program waits for a key: the program
// ends by itself through its exit path (record files closed), at once and
// without spinning. goneprobe holds a record and waits in the screen layer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace {

// A data tree with owner 1, for the probe to hold.
struct DataTree {
  testsupport::TempDir dir;
  std::string root;
  std::string marker;
  DataTree() : root(dir.path + "tree/"), marker(dir.path + "marker.txt") {
    const std::string kap = testsupport::BinDir() + "kap";
    EXPECT_EQ(os::RunProgram(kap, {"init", root}), 0);
    EXPECT_TRUE(os::WriteFile(dir.path + "one.csv", "OwnerCode,OwnerName\n0001,One\n"));
    EXPECT_EQ(os::RunProgram(kap, {"load", root, "VPropiet", dir.path + "one.csv"}), 0);
  }
  std::string Marker() const {
    std::string text;
    os::ReadFile(marker, text);
    return text;
  }
};

enum class Loss {
  MasterClosed,   // the terminal closes: reads fail, poll reports a hang-up
  HangUpSignal,   // the same on the controlling terminal: SIGHUP as well
  InputClosed,    // the input descriptor itself is closed: poll reports it invalid
};

struct Ending {
  bool inTime = false;
  bool exited = false;
  int code = -1;
  double cpuSeconds = 0;
  bool restored = true;  // line mode and echo back on the terminal (when it is still there)
};

// Runs the probe on a new pseudo-terminal, waits until it is ready, takes the
// terminal away and measures how the probe ends (killed after 5 s).
Ending LoseTerminal(const DataTree& tree, Loss loss) {
  Ending ending;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return ending;
  const std::string slaveName = ptsname(master);
  struct winsize size{};
  size.ws_row = 30;
  size.ws_col = 100;
  ioctl(master, TIOCSWINSZ, &size);
  const std::string probe = testsupport::BinDir() + "goneprobe";
  const pid_t pid = fork();
  if (pid == 0) {
    ::close(master);
    if (loss == Loss::HangUpSignal) setsid();
    const int slave = ::open(slaveName.c_str(), O_RDWR | (loss == Loss::HangUpSignal ? 0 : O_NOCTTY));
    if (slave < 0) _exit(126);
    if (loss == Loss::HangUpSignal) ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    if (slave > 2) ::close(slave);
    setenv("TERM", "xterm-256color", 1);
    if (loss == Loss::InputClosed)
      execl(probe.c_str(), probe.c_str(), tree.root.c_str(), tree.marker.c_str(), "close-input", nullptr);
    else
      execl(probe.c_str(), probe.c_str(), tree.root.c_str(), tree.marker.c_str(), nullptr);
    _exit(127);
  }
  // Read what the probe draws until it says it is ready.
  std::string screen;
  const auto readyBy = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (screen.find("READY") == std::string::npos && std::chrono::steady_clock::now() < readyBy) {
    char buf[4096];
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;
    screen.append(buf, static_cast<std::size_t>(n));
  }
  EXPECT_NE(screen.find("READY"), std::string::npos) << "the probe never became ready";
  int openMaster = master;
  if (loss != Loss::InputClosed) {
    ::close(master);
    openMaster = -1;
  } else {
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  int status = 0;
  struct rusage usage{};
  const auto endBy = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  pid_t done = 0;
  while ((done = wait4(pid, &status, WNOHANG, &usage)) == 0 && std::chrono::steady_clock::now() < endBy) {
    if (openMaster >= 0) {  // keep the terminal drained
      char buf[4096];
      while (::read(openMaster, buf, sizeof buf) > 0) {
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ending.inTime = done == pid;
  if (!ending.inTime) {
    kill(pid, SIGKILL);
    wait4(pid, &status, 0, &usage);
  }
  if (openMaster >= 0) {
    struct termios modes{};
    ending.restored = tcgetattr(openMaster, &modes) == 0 && (modes.c_lflag & ICANON) && (modes.c_lflag & ECHO);
    ::close(openMaster);
  }
  ending.exited = WIFEXITED(status);
  ending.code = ending.exited ? WEXITSTATUS(status) : -1;
  ending.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return ending;
}

TEST(TerminalGone, ProgramEndsThroughItsExitPathWithoutSpinning) {
  for (const Loss loss : {Loss::MasterClosed, Loss::HangUpSignal, Loss::InputClosed}) {
    SCOPED_TRACE(static_cast<int>(loss));
    DataTree tree;
    const Ending ending = LoseTerminal(tree, loss);
    EXPECT_TRUE(ending.inTime) << "still running 5 s after the terminal went away";
    EXPECT_TRUE(ending.exited) << "ended by a signal, not by the program's exit path";
    EXPECT_EQ(ending.code, 1);
    EXPECT_TRUE(ending.restored) << "the terminal was left in raw mode";
    EXPECT_NE(tree.Marker().find("ended files=closed"), std::string::npos) << tree.Marker();
    std::printf("terminal lost (case %d): probe used %.3f s of CPU in all\n", static_cast<int>(loss),
                ending.cpuSeconds);
    EXPECT_LT(ending.cpuSeconds, 1.0);
    // The record the probe held is free again.
    EXPECT_EQ(std::system(("echo | " + testsupport::ShellQuote(testsupport::BinDir() + "kap") + " lock " + testsupport::ShellQuote(tree.root) +
                           " VPropiet 0001 >/dev/null 2>&1")
                              .c_str()),
              0);
  }
}

TEST(TerminalGone, ClosingTheTmuxWindowEndsTheProgram) {
  if (testsupport::CommandOutput("tmux -V 2>/dev/null").rfind("tmux", 0) != 0) GTEST_SKIP() << "tmux not installed";
  DataTree tree;
  const std::string tmux = "LC_ALL=C.UTF-8 tmux -u -L kova_gone_" + std::to_string(getpid()) + " -f /dev/null ";
  testsupport::CommandOutput(tmux + "new-session -d -s probe -x 100 -y 30 " +
         testsupport::ShellQuote("TERM=tmux-256color " + testsupport::ShellQuote(testsupport::BinDir() + "goneprobe") + " " + testsupport::ShellQuote(tree.root) + " " +
               testsupport::ShellQuote(tree.marker)) +
         " 2>&1");
  bool ready = false;
  for (int i = 0; i < 200 && !ready; ++i) {
    ready = testsupport::CommandOutput(tmux + "capture-pane -p -t probe 2>&1").find("READY") != std::string::npos;
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(ready) << testsupport::CommandOutput(tmux + "capture-pane -p -t probe 2>&1");
  int pid = 0;
  std::sscanf(tree.Marker().c_str(), "pid %d", &pid);
  ASSERT_GT(pid, 0);
  testsupport::CommandOutput(tmux + "kill-server 2>&1");
  bool ended = false;
  for (int i = 0; i < 100 && !ended; ++i) {
    ended = ::kill(pid, 0) != 0;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(ended) << "the probe outlived its terminal by 5 s";
  if (!ended) ::kill(pid, SIGKILL);
  EXPECT_NE(tree.Marker().find("ended files=closed"), std::string::npos) << tree.Marker();
}

}  // namespace
