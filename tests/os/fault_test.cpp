// The refused-writes hook: the n-th write, rename or directory creation fails
// as a full disk or a refused permission would, and nothing else changes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::TempDir;

class OsFault : public ::testing::Test {
 protected:
  TempDir t;
  void TearDown() override { os::SetFaultPlan(""); }

  std::vector<std::string> Names(const std::string& dir) {
    std::vector<os::DirEntry> entries;
    os::ListDir(dir, entries);
    std::vector<std::string> names;
    for (const os::DirEntry& e : entries) names.push_back(e.name);
    return names;
  }
  std::string Content(const std::string& path) {
    std::string s;
    return os::ReadFile(path, s) ? s : "<missing>";
  }
};

TEST_F(OsFault, OnlyTheNthCallOfItsKindFailsWithItsError) {
  struct Case {
    const char* plan;
    int failing;  // 1-based atomic write that fails (0: none)
    int error;
  } cases[] = {
      {"write:2", 2, ENOSPC}, {"write:3:EACCES", 3, EACCES}, {"rename:1", 1, ENOSPC},
      {"rename:2:EROFS", 2, EROFS}, {"mkdir:1", 0, 0}, {"write:0", 0, 0}, {"any:2", 1, ENOSPC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plan);
    const std::string f = t.path + "Kova.ini";
    ASSERT_TRUE(os::WriteFileAtomic(f, "old"));
    os::SetFaultPlan(c.plan);
    for (int i = 1; i <= 3; ++i) {
      errno = 0;
      const bool ok = os::WriteFileAtomic(f, "new" + std::to_string(i));
      EXPECT_EQ(ok, i != c.failing) << "write " << i;
      if (!ok) {
        EXPECT_EQ(errno, c.error);
        EXPECT_EQ(Content(f), i == 1 ? "old" : "new" + std::to_string(i - 1));  // the earlier file stays
      }
    }
    EXPECT_EQ(os::FaultStruck(), c.failing != 0);
    EXPECT_EQ(Names(t.path), std::vector<std::string>{"Kova.ini"});  // no temporary left
    EXPECT_EQ(os::FaultCalls(os::FaultKind::Write), 3);
  }
}

TEST_F(OsFault, WholeFileWritesCountOnceAndSequentialWritesPerCall) {
  os::SetFaultPlan("write:0");
  os::WriteFile(t.path + "a", "x");
  os::AppendFile(t.path + "a", "y");
  os::WriteFileAtomic(t.path + "b", "z");
  EXPECT_EQ(os::FaultCalls(os::FaultKind::Write), 3);
  EXPECT_EQ(os::FaultCalls(os::FaultKind::Rename), 1);
  os::File f;
  ASSERT_TRUE(os::Open(f, t.path + "c", "wb"));
  os::Write(f, "1");
  os::Write(f, "2");
  EXPECT_TRUE(os::Close(f));
  ASSERT_TRUE(os::Open(f, t.path + "c", "rb"));  // reading counts nothing
  os::Close(f);
  EXPECT_EQ(os::FaultCalls(os::FaultKind::Write), 6);
  os::RenameFile(t.path + "c", t.path + "d");
  EXPECT_EQ(os::FaultCalls(os::FaultKind::Rename), 2);
  EXPECT_FALSE(os::FaultStruck());
}

TEST_F(OsFault, SequentialWriteAndOpenFailWhereCounted) {
  os::SetFaultPlan("write:3");
  os::File f;
  ASSERT_TRUE(os::Open(f, t.path + "spool", "wb"));  // 1
  EXPECT_TRUE(os::Write(f, "line 1\r\n"));           // 2
  EXPECT_FALSE(os::Write(f, "line 2\r\n"));          // 3
  EXPECT_TRUE(os::Write(f, "line 3\r\n"));           // 4
  os::Close(f);
  EXPECT_EQ(Content(t.path + "spool"), "line 1\r\nline 3\r\n");
  os::SetFaultPlan("write:1:EACCES");
  EXPECT_FALSE(os::Open(f, t.path + "other", "ab"));
  EXPECT_EQ(errno, EACCES);
  EXPECT_FALSE(os::FileExists(t.path + "other"));
}

TEST_F(OsFault, InPlaceWriteOnAFullDiskLeavesTheFileEmptyARefusedOneUntouched) {
  const std::string f = t.path + "WinPush.tmp";
  ASSERT_TRUE(os::WriteFile(f, "before"));
  os::SetFaultPlan("write:1");
  EXPECT_FALSE(os::WriteFile(f, "after"));
  EXPECT_EQ(Content(f), "");
  ASSERT_TRUE(os::WriteFile(f, "before"));
  os::SetFaultPlan("write:1:EACCES");
  EXPECT_FALSE(os::WriteFile(f, "after"));
  EXPECT_EQ(Content(f), "before");
}

TEST_F(OsFault, DirectoryCreationCountsOnlyLevelsThatAreMade) {
  ASSERT_TRUE(os::MakeDir(t.path + "a"));
  os::SetFaultPlan("mkdir:2");
  EXPECT_FALSE(os::MakeDirs(t.path + "a/b/c/d"));  // a exists; b made; c refused
  EXPECT_TRUE(os::DirExists(t.path + "a/b"));
  EXPECT_FALSE(os::DirExists(t.path + "a/b/c"));
  EXPECT_TRUE(os::MakeDirs(t.path + "a/b/c/d"));   // only the second one failed
  EXPECT_EQ(os::FaultCalls(os::FaultKind::MakeDir), 4);
}

TEST_F(OsFault, FromTheNthOnEveryCallFails) {
  os::SetFaultPlan("write:2+");
  EXPECT_TRUE(os::AppendFile(t.path + "a", "1"));
  EXPECT_FALSE(os::AppendFile(t.path + "a", "2"));
  EXPECT_FALSE(os::AppendFile(t.path + "a", "3"));
  EXPECT_TRUE(os::RenameFile(t.path + "a", t.path + "b"));  // another kind
  EXPECT_EQ(Content(t.path + "b"), "1");
}

TEST_F(OsFault, OnlyFilesInsideTheGivenFoldersCount) {
  ASSERT_TRUE(os::MakeDir(t.path + "data"));
  ASSERT_TRUE(os::MakeDir(t.path + "tmp"));
  os::SetFaultPlan("write:1", t.path + "data");
  EXPECT_TRUE(os::WriteFileAtomic(t.path + "tmp/WinPush.tmp", "w"));
  EXPECT_TRUE(os::WriteFileAtomic(t.path + "database", "a sibling whose name starts alike"));
  const std::string here = os::CurrentDir();
  ASSERT_TRUE(os::SetCurrentDir(t.path + "data"));
  const bool relative = os::WriteFileAtomic("Kova.ini", "k");  // relative to the data folder
  os::SetCurrentDir(here);
  EXPECT_FALSE(relative);
  EXPECT_EQ(os::FaultCalls(os::FaultKind::Write), 1);
}

TEST_F(OsFault, AKillPlanEndsTheProcessJustBeforeTheNthCall) {
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    os::SetFaultPlan("rename:2:KILL");
    os::WriteFileAtomic(t.path + "a", "1");
    os::WriteFileAtomic(t.path + "b", "2");  // killed with its temporary file whole, before the rename
    os::WriteFileAtomic(t.path + "c", "3");
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  EXPECT_EQ(Content(t.path + "a"), "1");
  EXPECT_EQ(Names(t.path).size(), 2u);  // a and b's temporary file
  EXPECT_FALSE(os::FileExists(t.path + "b"));
  EXPECT_FALSE(os::FileExists(t.path + "c"));
}

TEST_F(OsFault, AClosedFileReportsDataThatCouldNotBeWritten) {
  os::File f;
  if (!os::Open(f, "/dev/full", "wb")) GTEST_SKIP() << "no /dev/full";
  EXPECT_TRUE(os::Write(f, "buffered"));  // kept in the C buffer
  EXPECT_FALSE(os::Close(f));             // the disk refuses it at the end
  EXPECT_FALSE(os::WriteFile("/dev/full", "x"));
}

}  // namespace
