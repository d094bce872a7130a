#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "tests/recman/other_process.h"
#include "tests/recman/recman_test_util.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using namespace recmantest;
using namespace recman;

namespace {

class RecmanTest : public EngineTest {};
KOVA_ON_BOTH_ENGINES(RecmanTest);
using RecmanFileCounts = RecmanTest;  // the counts table of the SQLite files
KOVA_ON_FILES_ONLY(RecmanFileCounts);

TEST_P(RecmanTest, CreateStatRoundTrip) {
  const std::string spec = Spec(64, {{{1, 4, kKeyBinary}}, {{5, 10, kKeyDuplicates | kKeyModifiable}, {20, 2, 0}}});
  ASSERT_EQ(Create(Path("a.dat"), spec), 0);
  EXPECT_EQ(Create(Path("a.dat"), spec), kStatusFileExists);
  File f;
  ASSERT_EQ(Open(f, Path("a.dat")), 0);
  std::string rec = Record(64, "\x01\x00\x00\x00" "NAME");
  ASSERT_EQ(Insert(f, rec), 0);
  rec[0] = 2;
  ASSERT_EQ(Insert(f, rec), 0);
  Io st = Read(f, kOpStat, 0);
  ASSERT_EQ(st.status, 0);
  ASSERT_EQ(st.data.size(), 16u + 3 * 16);
  EXPECT_EQ(Get16(st.data, 0), 64);
  EXPECT_EQ(Get16(st.data, 2), 4096);
  EXPECT_EQ(Get16(st.data, 4), 2);
  EXPECT_EQ(Get32(st.data, 6), 2u);
  EXPECT_EQ(Get16(st.data, 16 + 4), kKeyBinary);
  EXPECT_EQ(Get32(st.data, 16 + 6), 2u);
  EXPECT_EQ(Get16(st.data, 32), 5);
  EXPECT_EQ(Get16(st.data, 32 + 2), 10);
  EXPECT_EQ(Get16(st.data, 32 + 4), kKeyDuplicates | kKeyModifiable | kKeySegmented);
  EXPECT_EQ(Get32(st.data, 32 + 6), 1u);  // both records share the name
  EXPECT_EQ(Get16(st.data, 48 + 2), 2);
  // The stored definition is the one given, counts aside.
  std::string zeroed = st.data;
  for (std::size_t at : {6u, 22u, 38u, 54u}) zeroed.replace(at, 4, 4, '\0');
  EXPECT_EQ(zeroed, spec);
}

TEST_P(RecmanTest, CreateOverwriteAndBadSpecs) {
  const std::string good = Spec(32, {{{1, 4, 0}}});
  ASSERT_EQ(Create(Path("b.dat"), good), 0);
  File f;
  ASSERT_EQ(Open(f, Path("b.dat")), 0);
  ASSERT_EQ(Insert(f, Record(32, "KEY1")), 0);
  Reset();
  ASSERT_EQ(Create(Path("b.dat"), good, 0), 0);  // replaces: empty again
  ASSERT_EQ(Open(f, Path("b.dat")), 0);
  EXPECT_EQ(Read(f, kOpGetFirst, 0).status, kStatusEndOfFile);

  EXPECT_EQ(Create(Path("c.dat"), Spec(32, {})), kStatusKeyCount);
  EXPECT_EQ(Create(Path("c.dat"), Spec(32, {{{30, 4, 0}}})), kStatusKeyPosition);
  EXPECT_EQ(Create(Path("c.dat"), Spec(32, {{{0, 4, 0}}})), kStatusKeyPosition);
  EXPECT_EQ(Create(Path("c.dat"), Spec(32, {{{1, 0, 0}}})), kStatusKeyLength);
  EXPECT_EQ(Create(Path("c.dat"), Spec(0, {{{1, 4, 0}}})), kStatusRecordLength);
  EXPECT_EQ(Create(Path("c.dat"), Spec(32, {{{1, 4, kKeyAcs}}})), kStatusAcs);
  std::string badPage = good;
  Put16(badPage, 2, 1000);
  EXPECT_EQ(Create(Path("c.dat"), badPage), kStatusPageSize);
  EXPECT_FALSE(os::FileExists(Path("c.dat")));
  if (!OnServer()) {  // no folders on the server
    EXPECT_EQ(Create(Path("missing/c.dat"), good), kStatusFileNotFound);
  }
  EXPECT_EQ(Create("", good), kStatusBadFileName);
}

// Bytes this process has read from files so far (-1 when unknown).
long long BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string name;
  long long value = -1;
  while (io >> name >> value) {
    if (name == "rchar:") return value;
  }
  return -1;
}

TEST_P(RecmanFileCounts, StatAfterAnotherProcessWritesReadsLittleWhateverTheFileSize) {
  // A keyed read of the access layer: Stat twice, then Get Equal. Another
  // process writes in between, so nothing cached is valid any more.
  const std::string path = Path("big.dat");
  ASSERT_EQ(Create(path, Spec(64, {{{1, 8, 0}}, {{9, 20, kKeyDuplicates}}})), 0);
  File f;
  ASSERT_EQ(Open(f, path), 0);
  std::string none(255, '\0');
  std::uint32_t len = 0;
  ASSERT_EQ(BTRCALL(kOpBeginTransaction, f.pos, nullptr, &len, none.data(), 0, 0), 0);
  for (int i = 0; i < 20000; ++i) {
    char code[9], name[21];
    std::snprintf(code, sizeof code, "%08d", i);
    std::snprintf(name, sizeof name, "NAME%016d", i / 3);
    ASSERT_EQ(Insert(f, Record(64, std::string(code) + name)), 0);
  }
  ASSERT_EQ(BTRCALL(kOpEndTransaction, f.pos, nullptr, &len, none.data(), 0, 0), 0);
  if (BytesRead() < 0) GTEST_SKIP() << "no /proc/self/io";
  Other writer;
  ASSERT_EQ(writer.Ask("open " + path), 0);
  long long most = 0;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(writer.Ask("insert W000000" + std::to_string(i)), 0);
    const long long before = BytesRead();
    Io st = Read(f, kOpStat, 0);
    ASSERT_EQ(st.status, 0);
    EXPECT_EQ(Get32(st.data, 6), 20001u + i);
    EXPECT_EQ(Get32(st.data, 32 + 6), 6667u + 1);  // the new records share an empty name
    ASSERT_EQ(Read(f, kOpStat, 0).status, 0);
    ASSERT_EQ(Read(f, kOpGetEqual, 0, "00012345").status, 0);
    most = std::max(most, BytesRead() - before);
  }
  // A few pages: a count would read the whole key indexes (over 500 KB).
  EXPECT_LT(most, 64 * 1024);
}

// The counts of every key after each step, as Stat gives them.
std::string Counts(File& f) {
  Io st = Read(f, kOpStat, 0);
  if (st.status != 0) return "status " + std::to_string(st.status);
  return std::to_string(Get32(st.data, 6)) + " " + std::to_string(Get32(st.data, 16 + 6)) + " " +
         std::to_string(Get32(st.data, 32 + 6));
}

TEST_P(RecmanFileCounts, CountsFollowEveryWriteAndOlderFilesGetThemAtTheirFirstWrite) {
  // Key 0 unique, key 1 with duplicates and modifiable.
  const std::string path = Path("c.dat");
  ASSERT_EQ(Create(path, Spec(16, {{{1, 4, 0}}, {{5, 4, kKeyDuplicates | kKeyModifiable}}})), 0);
  File f;
  ASSERT_EQ(Open(f, path), 0);
  for (const char* r : {"0001XXXX", "0002XXXX", "0003YYYY"}) ASSERT_EQ(Insert(f, Record(16, r)), 0);
  ASSERT_EQ(Reset(), 0);
  // A file as written before the counts were kept in it.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "DROP TRIGGER recman_counts_insert; DROP TRIGGER recman_counts_delete;"
                         " DROP TRIGGER recman_counts_update_k1; DROP TABLE recman_counts;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  ASSERT_EQ(Open(f, path), 0);
  EXPECT_EQ(Counts(f), "3 3 2");
  Other other;
  ASSERT_EQ(other.Ask("open " + path), 0);
  ASSERT_EQ(other.Ask("insert 0004ZZZZ"), 0);  // the first write gives the file its counts
  EXPECT_EQ(Counts(f), "4 4 3");
  ASSERT_EQ(Insert(f, Record(16, "0005XXXX")), 0);
  EXPECT_EQ(Counts(f), "5 5 3");
  std::string data = Record(16, "0003XXXX"), key(255, '\0');  // YYYY's only record becomes XXXX
  ASSERT_EQ(Read(f, kOpGetEqual, 0, "0003").status, 0);
  std::uint32_t len = 16;
  ASSERT_EQ(BTRCALL(kOpUpdate, f.pos, data.data(), &len, key.data(), 255, 0), 0);
  EXPECT_EQ(Counts(f), "5 5 2");
  data = Record(16, "0003QQQQ");
  ASSERT_EQ(BTRCALL(kOpUpdate, f.pos, data.data(), &len, key.data(), 255, 0), 0);
  EXPECT_EQ(Counts(f), "5 5 3");
  ASSERT_EQ(BTRCALL(kOpDelete, f.pos, data.data(), &len, key.data(), 255, 0), 0);  // QQQQ gone
  EXPECT_EQ(Counts(f), "4 4 2");
  ASSERT_EQ(Read(f, kOpGetEqual, 0, "0001").status, 0);  // one XXXX of three
  ASSERT_EQ(BTRCALL(kOpDelete, f.pos, data.data(), &len, key.data(), 255, 0), 0);
  EXPECT_EQ(Counts(f), "3 3 2");
}

TEST_P(RecmanTest, TwoProcessesCreatingTheSameFileLeaveTheWinnersFileIntact) {
  // Round after round, two processes create the same new file at once, then
  // each opens it, adds its own record and reads it back. The one that finds
  // the file made already must not touch the other's journal.
  constexpr int kRounds = 20;
  const std::string spec = Spec(16, {{{1, 4, 0}}});
  int go[2], done[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(done), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      std::mt19937 rng(static_cast<unsigned>(getpid()));
      char own[5] = {'P', static_cast<char>('0' + p), 'P', 'P', '\0'};
      for (int round = 0; round < kRounds; ++round) {
        char token = 0;
        if (read(go[0], &token, 1) != 1) _exit(2);
        usleep(rng() % 3000);
        const std::string path = Path("race" + std::to_string(round) + ".dat");
        const int created = Create(path, spec);
        File c;
        int bad = created == 0 || created == kStatusFileExists ? Open(c, path) : 100 + created;
        if (bad == 0) bad = Insert(c, Record(16, own));
        for (int i = 0; i < 20 && bad == 0; ++i) bad = Read(c, kOpGetEqual, 0, own).status;
        Reset();
        char result = bad != 0 ? 'E' : created == 0 ? 'W' : 'L';
        if (write(done[1], &result, 1) != 1) _exit(2);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  std::string results;
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_EQ(write(go[1], "gg", 2), 2);
    for (int p = 0; p < 2; ++p) {
      char result = 0;
      ASSERT_EQ(read(done[0], &result, 1), 1);
      results += result;
    }
    results += ' ';
  }
  for (pid_t pid : children) {
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
  }
  close(go[0]);
  close(go[1]);
  close(done[0]);
  close(done[1]);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round) + ": " + results.substr(static_cast<std::size_t>(round) * 3, 2));
    const std::string got = results.substr(static_cast<std::size_t>(round) * 3, 2);
    EXPECT_TRUE(got == "WL" || got == "LW");
    File f;
    ASSERT_EQ(Open(f, Path("race" + std::to_string(round) + ".dat")), 0);
    std::string keys;
    for (Io r = Read(f, kOpGetFirst, 0); r.status == 0; r = Read(f, kOpGetNext, 0)) keys += r.key.substr(0, 4) + " ";
    EXPECT_EQ(keys, "P0PP P1PP ");
    EXPECT_EQ(Counts(f), "2 2 0");
    Reset();
  }
}

}  // namespace
