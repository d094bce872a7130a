#include "platform/os/os.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using testsupport::TempDir;

TEST(OsFiles, BackslashPathsReachTheFileSystem) {
  TempDir t;
  ASSERT_TRUE(os::MakeDirs(t.path + "DADES\\SUB"));
  ASSERT_TRUE(os::WriteFile(t.path + "DADES\\SUB\\x.txt", "abc"));
  std::string s;
  ASSERT_TRUE(os::ReadFile(t.path + "DADES/SUB/x.txt", s));
  EXPECT_EQ(s, "abc");
  std::vector<os::DirEntry> entries;
  ASSERT_TRUE(os::ListDir(t.path + "DADES", entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "SUB");
  EXPECT_TRUE(entries[0].isDir);
  EXPECT_FALSE(os::RemoveDir(t.path + "DADES\\SUB"));  // not empty
  EXPECT_TRUE(os::DeleteFile(t.path + "DADES\\SUB\\x.txt"));
  EXPECT_TRUE(os::RemoveDir(t.path + "DADES\\SUB"));
}

TEST(OsFiles, AtomicWriteReplacesWholeAndLeavesNoTemporary) {
  TempDir t;
  std::string f = t.path + "Kova.ini";
  ASSERT_TRUE(os::WriteFile(f, "old"));
  ASSERT_TRUE(os::WriteFileAtomic(f, std::string(100000, 'n')));
  EXPECT_EQ(os::FileSize(f), 100000);
  std::vector<os::DirEntry> entries;
  os::ListDir(t.path, entries);
  EXPECT_EQ(entries.size(), 1u);
}

TEST(OsFiles, ReadLineHandlesCrLfMissingEndNulAndLongLines) {
  TempDir t;
  std::string f = t.path + "l.txt";
  std::string longLine(200000, 'x');
  ASSERT_TRUE(os::WriteFile(f, std::string("a\r\nb\0c\n", 7) + longLine));
  os::File h;
  ASSERT_TRUE(os::Open(h, f, "rb"));
  std::string line;
  ASSERT_TRUE(os::ReadLine(h, line));
  EXPECT_EQ(line, "a");
  ASSERT_TRUE(os::ReadLine(h, line));
  EXPECT_EQ(line, std::string("b\0c", 3));
  ASSERT_TRUE(os::ReadLine(h, line));
  EXPECT_EQ(line, longLine);
  EXPECT_FALSE(os::ReadLine(h, line));
  os::Close(h);
}

TEST(OsTime, FixedNowAndSleep) {
  os::SetFixedNow({2024, 5, 15, 10, 0, 0, 0});
  EXPECT_EQ(os::Now().month, 5);
  os::ClearFixedNow();
  EXPECT_GE(os::Now().year, 2020);
  auto t0 = os::MonotonicMs();
  os::SleepMs(30);
  EXPECT_GE(os::MonotonicMs() - t0, 29);
}

TEST(OsRandom, RangeAndFixedSequence) {
  os::SeedRandom(7);
  int a = os::RandomInt(1, 10001);
  os::SeedRandom(7);
  EXPECT_EQ(os::RandomInt(1, 10001), a);
  for (int i = 0; i < 1000; ++i) {
    int v = os::RandomInt(1, 3);
    EXPECT_TRUE(v >= 1 && v <= 3);
    double d = os::Rnd();
    EXPECT_TRUE(d >= 0.0 && d < 1.0);
  }
}

TEST(OsProcess, RunProgramReturnsExitCode) {
  EXPECT_EQ(os::RunShell("exit 3"), 3);
  EXPECT_EQ(os::RunProgram("/bin/true", {}), 0);
  EXPECT_EQ(os::RunProgram("/no/such/program", {}), -1);
}

TEST(OsLock, SecondHolderIsRefusedUntilRelease) {
  TempDir t;
  os::Lock a, b;
  ASSERT_TRUE(os::LockExclusive(a, t.path + "x.lck", 0));
  EXPECT_FALSE(os::LockExclusive(b, t.path + "x.lck", 50));
  os::Unlock(a);
  EXPECT_TRUE(os::LockExclusive(b, t.path + "x.lck", 0));
  os::Unlock(b);
}
