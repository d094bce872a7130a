#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "platform/os/os.h"
#include "tests/recman/recman_test_util.h"
#include "tests/support/test_support.h"

using namespace recmantest;
using namespace recman;

namespace {

class RecmanWrite : public EngineTest {};

TEST_P(RecmanWrite, InsertUpdateDeleteKeepKeysInStep) {
  // Key 0 code (unique, fixed), key 1 name (duplicates, modifiable).
  ASSERT_EQ(Create(Path("w.dat"), Spec(16, {{{1, 4, 0}}, {{5, 4, kKeyDuplicates | kKeyModifiable}}})), 0);
  File f;
  ASSERT_EQ(Open(f, Path("w.dat")), 0);
  ASSERT_EQ(Insert(f, Record(16, "0001MMMM")), 0);
  ASSERT_EQ(Insert(f, Record(16, "0002BBBB")), 0);
  ASSERT_EQ(Insert(f, Record(16, "0003ZZZZ")), 0);
  EXPECT_EQ(Insert(f, Record(16, "0002QQQQ")), kStatusDuplicate);
  EXPECT_EQ(Insert(f, Record(15, "0009")), kStatusDataBufferShort);
  EXPECT_EQ(Walk(f, 1), "BBBB MMMM ZZZZ ");

  // Update the current record: the name key follows.
  ASSERT_EQ(Read(f, kOpGetEqual, 0, "0002").status, 0);
  ASSERT_EQ(Write(f, kOpUpdate, Record(16, "0002XXXX")), 0);
  EXPECT_EQ(Walk(f, 1), "MMMM XXXX ZZZZ ");
  Io io = Read(f, kOpGetEqual, 1, "XXXX");
  EXPECT_EQ(io.data.substr(0, 4), "0002");
  // The code may not change; a unique clash is refused and nothing changes.
  EXPECT_EQ(Write(f, kOpUpdate, Record(16, "0007XXXX")), kStatusNotModifiable);
  ASSERT_EQ(Create(Path("u.dat"), Spec(16, {{{1, 4, kKeyModifiable}}})), 0);
  File g;
  ASSERT_EQ(Open(g, Path("u.dat")), 0);
  ASSERT_EQ(Insert(g, Record(16, "AAAA")), 0);
  ASSERT_EQ(Insert(g, Record(16, "BBBB")), 0);
  EXPECT_EQ(Write(g, kOpUpdate, Record(16, "AAAA")), kStatusDuplicate);
  EXPECT_EQ(Walk(g, 0), "AAAA BBBB ");

  // Delete: the next record along the key is still reached.
  ASSERT_EQ(Read(f, kOpGetEqual, 1, "MMMM").status, 0);
  ASSERT_EQ(Write(f, kOpDelete, ""), 0);
  EXPECT_EQ(Write(f, kOpDelete, ""), kStatusBadPositioning);
  EXPECT_EQ(Write(f, kOpUpdate, Record(16, "0001MMMM")), kStatusBadPositioning);
  EXPECT_EQ(Read(f, kOpGetNext, 1).key.substr(0, 4), "XXXX");
  EXPECT_EQ(Read(f, kOpGetEqual, 0, "0001").status, kStatusKeyNotFound);
  EXPECT_EQ(Walk(f, 0), "0002 0003 ");
  EXPECT_EQ(Get32(Read(f, kOpStat, 0).data, 6), 2u);
}

TEST_P(RecmanWrite, TransactionsCommitOrRollBackTogether) {
  ASSERT_EQ(Create(Path("t.dat"), Spec(8, {{{1, 4, 0}}})), 0);
  File f, g;
  ASSERT_EQ(Open(f, Path("t.dat")), 0);
  ASSERT_EQ(Open(g, Path("t.dat")), 0);
  EXPECT_EQ(Write(f, kOpEndTransaction, ""), kStatusNoTransaction);
  ASSERT_EQ(Write(f, kOpBeginTransaction, ""), 0);
  EXPECT_EQ(Write(f, kOpBeginTransaction, ""), kStatusTransactionOpen);
  ASSERT_EQ(Insert(f, Record(8, "AAAA")), 0);
  ASSERT_EQ(Insert(f, Record(8, "BBBB")), 0);
  EXPECT_EQ(Insert(f, Record(8, "AAAA")), kStatusDuplicate);  // the transaction goes on
  EXPECT_EQ(Walk(f, 0), "AAAA BBBB ");
  EXPECT_EQ(Walk(g, 0), "");  // not yet visible elsewhere
  EXPECT_EQ(Insert(g, Record(8, "EEEE")), kStatusFileLocked);  // at once: it would wait for us
  EXPECT_EQ(Write(g, kOpBeginTransaction, ""), kStatusFileLocked);
  ASSERT_EQ(Write(f, kOpAbortTransaction, ""), 0);
  EXPECT_EQ(Walk(f, 0), "");
  ASSERT_EQ(Write(f, kOpBeginTransaction, ""), 0);
  ASSERT_EQ(Insert(f, Record(8, "CCCC")), 0);
  ASSERT_EQ(Write(f, kOpEndTransaction, ""), 0);
  EXPECT_EQ(Walk(g, 0), "CCCC ");
  // Reset abandons an open transaction.
  ASSERT_EQ(Write(f, kOpBeginTransaction, ""), 0);
  ASSERT_EQ(Insert(f, Record(8, "DDDD")), 0);
  ASSERT_EQ(Reset(), 0);
  ASSERT_EQ(Open(g, Path("t.dat")), 0);
  EXPECT_EQ(Walk(g, 0), "CCCC ");
}

TEST_P(RecmanWrite, ReadOnlyOpenRefusesWrites) {
  ASSERT_EQ(Create(Path("ro.dat"), Spec(8, {{{1, 4, 0}}})), 0);
  File f;
  ASSERT_EQ(Open(f, Path("ro.dat")), 0);
  ASSERT_EQ(Insert(f, Record(8, "AAAA")), 0);
  File r;
  ASSERT_EQ(Open(r, Path("ro.dat"), kOpenReadOnly), 0);
  EXPECT_EQ(Insert(r, Record(8, "BBBB")), kStatusReadOnly);
  EXPECT_EQ(Read(r, kOpGetFirst, 0).key.substr(0, 4), "AAAA");
  EXPECT_EQ(Open(r, Path("ro.dat"), 3), kStatusInvalidOp);  // no such open mode
}

using RecmanFiles = RecmanWrite;  // SQLite files only

TEST_P(RecmanFiles, DamagedAndForeignFilesGiveStatuses) {
  File f;
  EXPECT_EQ(Open(f, Path("none.dat")), kStatusFileNotFound);
  EXPECT_EQ(Open(f, ""), kStatusBadFileName);
  ASSERT_TRUE(os::WriteFile(Path("text.dat"), "just some text, not a record file\n"));
  EXPECT_EQ(Open(f, Path("text.dat")), kStatusNotRecordFile);
  ASSERT_TRUE(os::WriteFile(Path("empty.dat"), ""));
  EXPECT_EQ(Open(f, Path("empty.dat")), kStatusNotRecordFile);
  EXPECT_EQ(Open(f, dir.path), kStatusNotRecordFile);
  EXPECT_FALSE(os::FileExists(Path("text.dat.lck")));

  // A record file cut short, and one with garbage over its pages.
  ASSERT_EQ(Create(Path("big.dat"), Spec(200, {{{1, 8, 0}}, {{9, 20, kKeyDuplicates}}})), 0);
  ASSERT_EQ(Open(f, Path("big.dat")), 0);
  for (int i = 0; i < 2000; ++i) {
    char code[9];
    std::snprintf(code, sizeof code, "%08d", i * 7919 % 100000);
    ASSERT_EQ(Insert(f, Record(200, std::string(code) + "NAME" + code)), 0);
  }
  ASSERT_EQ(Reset(), 0);  // checkpoints the journal into the file
  std::string bytes;
  ASSERT_TRUE(os::ReadFile(Path("big.dat"), bytes));
  ASSERT_GT(bytes.size(), 100000u);
  ASSERT_TRUE(os::WriteFile(Path("cut.dat"), bytes.substr(0, bytes.size() / 3)));
  std::string garbled = bytes;
  for (std::size_t at = 8192; at < garbled.size(); at += 97) garbled[at] = static_cast<char>(at * 31);
  ASSERT_TRUE(os::WriteFile(Path("garbled.dat"), garbled));
  for (const char* name : {"cut.dat", "garbled.dat"}) {
    SCOPED_TRACE(name);
    std::int16_t status = Open(f, Path(name));
    if (status != 0) {
      EXPECT_TRUE(status == kStatusIoError || status == kStatusNotRecordFile) << status;
      continue;
    }
    // Reading it through either key ends in a status, not a crash.
    bool failed = false;
    for (int key = 0; key < 2; ++key) {
      Io r = Read(f, kOpGetFirst, key);
      int n = 0;
      while (r.status == 0 && n++ < 5000) r = Read(f, kOpGetNext, key);
      if (r.status != kStatusEndOfFile) {
        failed = true;
        EXPECT_EQ(r.status, kStatusIoError);
      }
      for (int i = 0; i < 50; ++i) {
        char code[9];
        std::snprintf(code, sizeof code, "%08d", i * 7919 % 100000);
        Io e = Read(f, kOpGetEqual, 0, code);
        EXPECT_TRUE(e.status == 0 || e.status == kStatusIoError || e.status == kStatusKeyNotFound) << e.status;
      }
    }
    EXPECT_TRUE(failed);
    Reset();
  }

  // An SQLite database of another shape.
  ASSERT_EQ(Create(Path("shape.dat"), Spec(8, {{{1, 4, 0}}})), 0);
  std::string good;
  ASSERT_TRUE(os::ReadFile(Path("shape.dat"), good));
  ASSERT_TRUE(os::WriteFile(Path("notours.db"), good.substr(0, 68) + std::string(4, '\0') + good.substr(72)));
  EXPECT_EQ(Open(f, Path("notours.db")), kStatusNotRecordFile);  // application id cleared
}

KOVA_ON_BOTH_ENGINES(RecmanWrite);
KOVA_ON_FILES_ONLY(RecmanFiles);

}  // namespace
