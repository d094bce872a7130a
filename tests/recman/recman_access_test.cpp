// Record files shared between users: the lock file's permissions, a folder
// another user may only read, permission problems named as such. A second
// process runs as another user (root only: root ignores permissions).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/os/os.h"
#include "tests/recman/other_process.h"
#include "tests/recman/recman_test_util.h"
#include "tests/support/test_support.h"

using namespace recmantest;
using namespace recman;

namespace {

class RecmanAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanSwitchUser()) GTEST_SKIP() << "needs root to run a process as another user";
    savedMask = umask(077);  // the creator's umask must not decide the lock file's bits
    ASSERT_EQ(chmod(dir.path.c_str(), 0755), 0);
  }
  void TearDown() override {
    Reset();
    if (CanSwitchUser()) umask(savedMask);
  }
  // A record file AAAA, BBBB (16-byte records, key 0 = bytes 1-4) in folder `sub`.
  std::string MakeFile(const std::string& sub) {
    const std::string folder = dir.path + sub;
    EXPECT_TRUE(os::MakeDirs(folder));
    const std::string path = folder + "/r.dat";
    EXPECT_EQ(Create(path, Spec(16, {{{1, 4, 0}}})), 0);
    File f;
    EXPECT_EQ(Open(f, path), 0);
    for (const char* k : {"AAAA", "BBBB"}) EXPECT_EQ(Insert(f, Record(16, k)), 0);
    EXPECT_EQ(Reset(), 0);
    return path;
  }
  // Folder and record file writable by the other user's group.
  static void ShareWithGroup(const std::string& path, mode_t fileMode = 0664) {
    const std::string folder = path.substr(0, path.rfind('/'));
    ASSERT_EQ(chown(folder.c_str(), 0, kOtherGroup), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0775), 0);
    ASSERT_EQ(chown(path.c_str(), 0, kOtherGroup), 0);
    ASSERT_EQ(chmod(path.c_str(), fileMode), 0);
  }
  testsupport::TempDir dir;
  mode_t savedMask = 0;
};

TEST_F(RecmanAccess, LockFileTakesTheRecordFilePermissionsAndLocksHoldBetweenUsers) {
  // As a new data folder is handed over: files made, no lock file yet, the
  // record file and folder then opened to a group.
  const std::string path = MakeFile("shared");
  ASSERT_TRUE(os::DeleteFile(path + ".lck"));
  ShareWithGroup(path);
  Other other(kOtherUser, kOtherGroup);
  ASSERT_EQ(other.Ask("open " + path), 0);
  struct stat lock {};
  ASSERT_EQ(stat((path + ".lck").c_str(), &lock), 0);
  EXPECT_EQ(lock.st_mode & 07777, 0664u);
  EXPECT_EQ(lock.st_gid, kOtherGroup);

  File f;
  ASSERT_EQ(Open(f, path), 0);
  ASSERT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, 0);
  EXPECT_EQ(other.Ask("read 205 BBBB"), kStatusRecordLocked);
  EXPECT_EQ(other.Ask("read 205 AAAA"), 0);
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "AAAA").status, kStatusRecordLocked);
  EXPECT_EQ(other.Ask("insert CCCC"), 0);
  EXPECT_EQ(Read(f, kOpGetEqual, 0, "CCCC").status, 0);
}

TEST_F(RecmanAccess, LockFileThatCannotBeUsedRefusesTheOpen) {
  const std::string path = MakeFile("narrow");  // its lock file made under the umask of 077
  ShareWithGroup(path);
  File f;
  ASSERT_EQ(Open(f, path), 0);  // the lock file's owner gives it the record file's bits
  struct stat lock {};
  ASSERT_EQ(stat((path + ".lck").c_str(), &lock), 0);
  EXPECT_EQ(lock.st_mode & 07777, 0664u);
  EXPECT_EQ(lock.st_gid, kOtherGroup);
  // A lock file the other user may not write, though it may write the file.
  ASSERT_EQ(chmod((path + ".lck").c_str(), 0644), 0);
  Other other(kOtherUser, kOtherGroup);
  EXPECT_EQ(other.Ask("open " + path), kStatusPermission);
  // One it may not even read, where it may only read the file.
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(chmod((path + ".lck").c_str(), 0600), 0);
  EXPECT_EQ(other.Ask("open " + path), kStatusPermission);
  ASSERT_EQ(chmod((path + ".lck").c_str(), 0644), 0);
  EXPECT_EQ(other.Ask("open " + path), 0);
}

TEST_F(RecmanAccess, FolderThatMayOnlyBeReadIsReadAndSeesWritersThatCome) {
  const std::string path = MakeFile("archive");
  ASSERT_TRUE(os::DeleteFile(path + ".lck"));  // as in a folder no writer has opened yet
  const std::string folder = dir.path + "archive";
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);

  Other reader(kOtherUser, kOtherGroup);
  EXPECT_EQ(reader.Ask("open " + path + " -4"), kStatusPermission);
  ASSERT_EQ(reader.Ask("open " + path), 0);
  EXPECT_EQ(reader.Ask("read 5 BBBB"), 0);
  EXPECT_EQ(reader.Ask("read 12 x"), 0);
  EXPECT_EQ(reader.Ask("stat"), 0);
  EXPECT_EQ(reader.Ask("read 205 AAAA"), 0);
  EXPECT_EQ(reader.Ask("insert CCCC"), kStatusPermission);
  EXPECT_FALSE(os::FileExists(path + "-wal"));

  // A writer comes and goes while the reader waits: the reader's hold keeps
  // its journal from being folded into the file under the reader.
  File w;
  ASSERT_EQ(Open(w, path), 0);
  ASSERT_EQ(Insert(w, Record(16, "CCCC")), 0);
  ASSERT_EQ(Reset(), 0);
  EXPECT_TRUE(os::FileExists(path + "-wal"));
  EXPECT_EQ(reader.Ask("read 5 CCCC"), 0);

  // Another writer, still there: its commits and its locks are seen.
  ASSERT_EQ(Open(w, path), 0);
  ASSERT_EQ(Insert(w, Record(16, "DDDD")), 0);
  ASSERT_EQ(Read(w, kOpGetEqual + kLockBias, 0, "BBBB").status, 0);
  EXPECT_EQ(reader.Ask("read 5 DDDD"), 0);
  EXPECT_EQ(reader.Ask("read 205 BBBB"), kStatusRecordLocked);
  EXPECT_EQ(reader.Ask("read 205 AAAA"), 0);  // a shared lock: the writer sees it taken
  EXPECT_EQ(Read(w, kOpGetEqual + kLockBias, 0, "AAAA").status, kStatusRecordLocked);
  EXPECT_EQ(reader.Ask("insert EEEE"), kStatusPermission);
}

TEST_F(RecmanAccess, PermissionProblemsAreNamedAsSuch) {
  const std::string path = MakeFile("closed");
  Other other(kOtherUser, kOtherGroup);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);  // not readable by others
  EXPECT_EQ(other.Ask("open " + path), kStatusPermission);
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(chmod((dir.path + "closed").c_str(), 0700), 0);  // a folder others may not enter
  EXPECT_EQ(other.Ask("open " + path), kStatusPermission);
  EXPECT_EQ(other.Ask("create " + dir.path + "closed/new.dat"), kStatusPermission);
  EXPECT_EQ(other.Ask("create " + dir.path + "new.dat"), kStatusPermission);  // a folder it may not write
}

}  // namespace
