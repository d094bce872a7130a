// A filing run killed at any moment: every filing file and NRC file is an
// old one or a new one, never cut; no request is left without its filing
// file; and the next run cleans up and gives what a run never killed gives.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "platform/os/os.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/filing_check.h"

namespace returntest {
namespace {

class CrashTest : public ReturnTest {
 protected:
  // Starts the helper for a filing run of the second quarter of 2024.
  pid_t Start() {
    const std::string helper = testsupport::BinDir() + "run303_helper";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::freopen("/dev/null", "w", stderr);
      ::execl(helper.c_str(), helper.c_str(), tree.c_str(), "S", "20240630", "N", "N", "20240715",
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Filing files and NRC files as they lie, whatever moment the run was
  // stopped at: whole, and every request with its filing file.
  void CheckAsTheyLie(const std::string& trace) {
    const std::map<std::string, std::string> out = Outputs();
    std::map<std::string, std::set<std::string>> filedIds;  // folder -> tax ids of its filing files
    for (const auto& [name, bytes] : out) {
      const std::string folder = name.substr(0, name.rfind('/') + 1);
      const std::string base = name.substr(folder.size());
      if (base[0] == 'P') {
        EXPECT_TRUE(vat303::ReadFilingText(bytes).faults.empty()) << trace << ": " << name << " is not whole";
        filedIds[folder].insert(bytes.substr(328 + 13, 9));
      }
    }
    for (const auto& [name, bytes] : out) {
      if (name.find("NRC_BANC.SOL") == std::string::npos) continue;
      const std::string folder = name.substr(0, name.rfind('/') + 1);
      ASSERT_EQ(bytes.size() % 258, 0u) << trace << ": " << name << " is cut";
      if (bytes.empty()) continue;
      EXPECT_EQ(bytes.compare(bytes.size() - 258, 2, "08"), 0) << trace << ": " << name << " has no trailer";
      for (std::size_t at = 258; at + 258 < bytes.size(); at += 258)
        EXPECT_TRUE(filedIds[folder].count(bytes.substr(at + 18, 9)))
            << trace << ": a request for " << bytes.substr(at + 18, 9) << " without its filing file in " << folder;
    }
  }
};

TEST_F(CrashTest, AKilledRunLeavesWholeFilesAndTheNextRunGivesTheCleanResult) {
  ASSERT_EQ(Kap({"demo", tree, "--owners", "150", "--today", "20240715"}), 0) << lastKapErrors;
  os::MakeDirs(tree + "tmp/");
  os::MakeDirs(tree + "exe/");
  os::WriteFile(tree + "exe/ZEDIRIDI", "#!/bin/sh\nexit 0\n");
  os::RunShell("chmod +x '" + tree + "exe/ZEDIRIDI'");

  // The clean result, and how long a run takes.
  std::int64_t start = os::MonotonicMs();
  ASSERT_EQ(Wait(Start()), 0);
  const int runMs = static_cast<int>(os::MonotonicMs() - start);
  const std::map<std::string, std::string> clean = Outputs();
  ASSERT_GT(clean.size(), 100u);

  std::mt19937 random(20240630);
  for (int round = 0; round < 8; ++round) {
    const bool fromEmpty = round % 4 == 3;  // now and then a first run is killed
    if (fromEmpty) {
      for (const char* agency : {"AEAT", "DFA", "DFB", "DFN"}) os::RunShell("rm -rf '" + tree + agency + "'");
      os::DeleteFile(tree + "DADES/V303.MAP");
    }
    const int delay = static_cast<int>(random() % static_cast<unsigned>(runMs + 1));
    const std::string trace = "round " + std::to_string(round) + ", killed after " + std::to_string(delay) + " ms";
    const pid_t pid = Start();
    os::SleepMs(delay);
    ::kill(pid, SIGKILL);
    Wait(pid);
    // Temporary files may lie there until the next run; nothing else is half done.
    CheckAsTheyLie(trace);

    ASSERT_EQ(Wait(Start()), 0) << trace;
    const std::map<std::string, std::string> after = Outputs();
    for (const auto& [name, bytes] : after)
      EXPECT_EQ(name.find("/~"), std::string::npos) << trace << ": " << name << " left behind";
    EXPECT_EQ(after.size(), clean.size()) << trace;
    for (const auto& [name, bytes] : clean) {
      auto found = after.find(name);
      ASSERT_NE(found, after.end()) << trace << ": " << name << " missing";
      EXPECT_EQ(found->second, bytes) << trace << ": " << name << " differs";
    }
  }
}

TEST_F(CrashTest, TwoTerminalsFilingTheSameQuarterAtOnceLeaveOneRunsResult) {
  ASSERT_EQ(Kap({"demo", tree, "--owners", "150", "--today", "20240715"}), 0) << lastKapErrors;
  os::MakeDirs(tree + "tmp/");
  os::MakeDirs(tree + "exe/");
  os::WriteFile(tree + "exe/ZEDIRIDI", "#!/bin/sh\nexit 0\n");
  os::RunShell("chmod +x '" + tree + "exe/ZEDIRIDI'");
  ASSERT_EQ(Wait(Start()), 0);
  const std::map<std::string, std::string> clean = Outputs();

  // Each pass holds its agency directory: the two runs take turns there,
  // and the second replaces what the first wrote with the same.
  const pid_t first = Start();
  const pid_t second = Start();
  EXPECT_EQ(Wait(first), 0);
  EXPECT_EQ(Wait(second), 0);
  EXPECT_EQ(Outputs(), clean);
}

}  // namespace
}  // namespace returntest
