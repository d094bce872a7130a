#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/os/os.h"
#include "tests/recman/other_process.h"
#include "tests/recman/recman_test_util.h"
#include "tests/support/test_support.h"

using namespace recmantest;
using namespace recman;

namespace {

class RecmanLock : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    path = dir.path + "l.dat";
    ASSERT_EQ(Create(path, Spec(16, {{{1, 4, 0}}})), 0);
    ASSERT_EQ(Open(f, path), 0);
    for (const char* k : {"AAAA", "BBBB", "CCCC"}) ASSERT_EQ(Insert(f, Record(16, k)), 0);
  }
  // The helper in another process works on this case's engine.
  void SameEngine(Other& other) {
    if (OnServer()) other.Ask("use " + TestServer());
  }
  std::string path;
  File f;
};

TEST_P(RecmanLock, RecordLockFromAnotherProcess) {
  Other other;
  SameEngine(other);
  ASSERT_EQ(other.Ask("open " + path), 0);
  ASSERT_EQ(other.Ask("read 205 BBBB"), 0);  // the other process locks BBBB

  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, kStatusRecordLocked);
  Io plain = Read(f, kOpGetEqual, 0, "BBBB");  // reading without a lock is allowed
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(Write(f, kOpUpdate, Record(16, "BBBB1")), kStatusRecordLocked);
  EXPECT_EQ(Write(f, kOpDelete, ""), kStatusRecordLocked);
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "CCCC").status, 0);  // another record

  // A locked read that fails leaves the position where it was: the retry reads the same record.
  ASSERT_EQ(Read(f, kOpGetFirst, 0).status, 0);
  Io io = Read(f, kOpGetNext + kLockBias, 0);
  EXPECT_EQ(io.status, kStatusRecordLocked);
  EXPECT_EQ(io.key.substr(0, 4), std::string(4, '\0'));  // buffers untouched
  // The other process reads on: its lock goes.
  ASSERT_EQ(other.Ask("read 6 x"), 0);
  io = Read(f, kOpGetNext + kLockBias, 0);
  ASSERT_EQ(io.status, 0);
  EXPECT_EQ(io.key.substr(0, 4), "BBBB");
  EXPECT_EQ(other.Ask("read 205 BBBB"), kStatusRecordLocked);  // now ours
  // Our next read releases it.
  ASSERT_EQ(Read(f, kOpGetFirst, 0).status, 0);
  EXPECT_EQ(other.Ask("read 205 BBBB"), 0);
  // Reset of the other process releases its locks.
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, kStatusRecordLocked);
  ASSERT_EQ(other.Ask("reset"), 0);
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, 0);
  // Our Reset releases ours; so does the end of a process.
  ASSERT_EQ(other.Ask("open " + path), 0);
  EXPECT_EQ(other.Ask("read 205 BBBB"), kStatusRecordLocked);
  ASSERT_EQ(Reset(), 0);
  EXPECT_EQ(other.Ask("read 205 BBBB"), 0);
  ASSERT_EQ(Open(f, path), 0);
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, kStatusRecordLocked);
  ASSERT_EQ(other.Ask("close"), 0);
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, 0);
  // Our own lock does not stop our own update.
  EXPECT_EQ(Write(f, kOpUpdate, Record(16, "BBBB2")), 0);
}

TEST_P(RecmanLock, UpdateOfALockedRecordReleasesItsLock) {
  Other other;
  SameEngine(other);
  ASSERT_EQ(other.Ask("open " + path), 0);
  ASSERT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, 0);
  EXPECT_EQ(other.Ask("read 205 BBBB"), kStatusRecordLocked);
  ASSERT_EQ(Write(f, kOpUpdate, Record(16, "BBBB-updated")), 0);
  EXPECT_EQ(other.Ask("read 205 BBBB"), 0);  // at once, before our next read
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, kStatusRecordLocked);
}

TEST_P(RecmanLock, FileHeldExclusivelyByAnotherProcess) {
  Other other;
  SameEngine(other);
  ASSERT_EQ(other.Ask("exclusive " + path), 0);
  File g;
  EXPECT_EQ(Open(g, path), kStatusFileLocked);
  EXPECT_EQ(Read(f, kOpGetFirst, 0).status, kStatusFileLocked);  // already open: reads wait too
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "AAAA").status, kStatusFileLocked);
  EXPECT_EQ(Insert(f, Record(16, "DDDD")), kStatusFileLocked);
  EXPECT_EQ(Read(f, kOpStat, 0).status, 0);
  EXPECT_FALSE(LockFileExclusive(path));
  EXPECT_EQ(Create(path, Spec(16, {{{1, 4, 0}}}), 0), kStatusFileLocked);
  ASSERT_EQ(other.Ask("unexclusive " + path), 0);
  EXPECT_EQ(Open(g, path), 0);
  EXPECT_EQ(Read(f, kOpGetFirst, 0).status, 0);

  // Exclusive open mode, released by Close; our own exclusive lock does not stop us.
  ASSERT_EQ(other.Ask("open " + path + " -4"), 0);
  EXPECT_EQ(Read(g, kOpGetFirst, 0).status, kStatusFileLocked);
  ASSERT_EQ(other.Ask("close"), 0);
  EXPECT_EQ(Read(g, kOpGetFirst, 0).status, 0);
  ASSERT_TRUE(LockFileExclusive(path));
  EXPECT_EQ(Insert(f, Record(16, "DDDD")), 0);
  EXPECT_EQ(other.Ask("open " + path), kStatusFileLocked);
  ASSERT_EQ(Reset(), 0);  // releases the exclusive lock too
  EXPECT_EQ(other.Ask("open " + path), 0);
  EXPECT_EQ(other.Ask("read 5 DDDD"), 0);
}

TEST_P(RecmanLock, ChildAfterForkStartsWithNoFiles) {
  // The parent has another file open and locked across the fork; the child
  // opens l.dat afresh (SQLite connections must not cross a fork).
  ASSERT_EQ(Reset(), 0);
  const std::string other = dir.path + "other.dat";
  ASSERT_EQ(Create(other, Spec(16, {{{1, 4, 0}}})), 0);
  ASSERT_EQ(Open(f, other), 0);
  ASSERT_EQ(Insert(f, Record(16, "AAAA")), 0);
  ASSERT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "AAAA").status, 0);
  pid_t pid = fork();
  if (pid == 0) {
    // The parent's position block means nothing here, and its lock is not ours.
    int bad = Read(f, kOpGetFirst, 0).status;
    File c;
    int opened = Open(c, path);
    int locked = Read(c, kOpGetEqual + kLockBias, 0, "AAAA").status;
    File o;
    int otherOpened = Open(o, other);
    int otherLocked = Read(o, kOpGetEqual + kLockBias, 0, "AAAA").status;
    _exit(bad == kStatusNotOpen && opened == 0 && locked == 0 && otherOpened == 0 &&
                  otherLocked == kStatusRecordLocked ? 0 : 1);
  }
  int wstatus = 0;
  ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
  EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
  File g;
  ASSERT_EQ(Open(g, path), 0);
  // The child's lock ended with it (on the server as soon as the server has
  // seen its connection close).
  std::int16_t status = -1;
  for (int i = 0; i < 100 && status != 0; ++i) {
    if (i > 0) os::SleepMs(50);
    status = Read(g, kOpGetEqual + kLockBias, 0, "AAAA").status;
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "AAAA").status, 0);  // ours is still ours
}

TEST_P(RecmanLock, SeveralProcessesWriteAndReadAtOnce) {
  ASSERT_EQ(Reset(), 0);  // no connection of ours crosses the fork
  constexpr int kWriters = 3, kEach = 150;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      File c;
      int bad = Open(c, path);
      for (int i = 0; i < kEach && bad == 0; ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%c%03d", 'K' + w, i);
        bad = Insert(c, Record(16, code));
        // Reads in between see a consistent file.
        Io r = Read(c, kOpGetEqual, 0, "AAAA");
        if (bad == 0 && r.status != 0) bad = 1000 + r.status;
      }
      _exit(bad == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
  }
  ASSERT_EQ(Open(f, path), 0);
  EXPECT_EQ(Get32(Read(f, kOpStat, 0).data, 6), 3u + kWriters * kEach);
}

TEST_P(RecmanLock, LocksOfAKilledProcessEnd) {
  const std::string other = dir.path + "x.dat";
  ASSERT_EQ(Create(other, Spec(16, {{{1, 4, 0}}})), 0);
  Other locker, opener;
  SameEngine(locker);
  SameEngine(opener);
  ASSERT_EQ(locker.Ask("open " + path), 0);
  ASSERT_EQ(locker.Ask("read 205 BBBB"), 0);
  ASSERT_EQ(opener.Ask("open " + other + " -4"), 0);
  EXPECT_EQ(Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status, kStatusRecordLocked);
  File g;
  EXPECT_EQ(Open(g, other), kStatusFileLocked);
  for (Other* o : {&locker, &opener}) {
    ASSERT_EQ(kill(o->pid, SIGKILL), 0);
    ASSERT_EQ(waitpid(o->pid, nullptr, 0), o->pid);
    o->pid = -1;
  }
  // The server ends the dead connections as soon as it sees them closed.
  std::int16_t record = -1, open = -1;
  for (int i = 0; i < 100 && (record != 0 || open != 0); ++i) {
    if (i > 0) os::SleepMs(50);
    if (record != 0) record = Read(f, kOpGetEqual + kLockBias, 0, "BBBB").status;
    if (open != 0) open = Open(g, other);
  }
  EXPECT_EQ(record, 0);
  EXPECT_EQ(open, 0);
}

// Moves may be served from rows read ahead (pg_engine.h): never past a
// change of this process, never older than 50 ms, never for a locked read.
TEST_P(RecmanLock, MovesNeverReturnRowsOlderThanTheGuarantee) {
  const std::string file = dir.path + "ahead.dat";
  ASSERT_EQ(Create(file, Spec(16, {{{1, 4, 0}}})), 0);
  File a, g;
  ASSERT_EQ(Open(a, file), 0);
  ASSERT_EQ(Open(g, file), 0);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(Insert(a, Record(16, "K0" + std::to_string(10 + i) + "....0")), 0);
  auto seen = [](const Io& io) { return io.status == 0 ? io.data.substr(0, 4) + io.data.substr(8, 1) : "status " + std::to_string(io.status); };
  ASSERT_EQ(seen(Read(a, kOpGetFirst, 0)), "K0100");
  ASSERT_EQ(seen(Read(a, kOpGetNext, 0)), "K0110");
  // Through another position block of this process: seen at once.
  ASSERT_EQ(Read(g, kOpGetEqual, 0, "K012").status, 0);
  ASSERT_EQ(Write(g, kOpUpdate, Record(16, "K012....1")), 0);
  ASSERT_EQ(Read(g, kOpGetEqual, 0, "K013").status, 0);
  ASSERT_EQ(Write(g, kOpDelete, ""), 0);
  EXPECT_EQ(seen(Read(a, kOpGetNext, 0)), "K0121");
  EXPECT_EQ(seen(Read(a, kOpGetNext, 0)), "K0140");
  // By another process: seen once 50 ms have passed, announced or not.
  Other other;
  SameEngine(other);
  ASSERT_EQ(other.Ask("open " + file), 0);
  ASSERT_EQ(other.Ask("read 5 K015"), 0);
  ASSERT_EQ(other.Ask("write 3 16 K015....2"), 0);
  ASSERT_EQ(other.Ask("read 5 K016"), 0);
  ASSERT_EQ(other.Ask("write 4 16 x"), 0);
  os::SleepMs(60);
  EXPECT_EQ(seen(Read(a, kOpGetNext, 0)), "K0152");
  EXPECT_EQ(seen(Read(a, kOpGetNext, 0)), "K0170");
  // A locked read goes to the file at once, and so does a move backwards.
  ASSERT_EQ(other.Ask("read 5 K018"), 0);
  ASSERT_EQ(other.Ask("write 3 16 K018....3"), 0);
  ASSERT_EQ(other.Ask("read 5 K015"), 0);
  ASSERT_EQ(other.Ask("write 3 16 K015....4"), 0);
  EXPECT_EQ(seen(Read(a, kOpGetNext + kLockBias, 0)), "K0183");
  EXPECT_EQ(other.Ask("read 205 K018"), kStatusRecordLocked);
  EXPECT_EQ(seen(Read(a, kOpGetPrevious, 0)), "K0170");
  EXPECT_EQ(seen(Read(a, kOpGetPrevious, 0)), "K0154");
}

KOVA_ON_BOTH_ENGINES(RecmanLock);

}  // namespace
