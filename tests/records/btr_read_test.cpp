// Keyed, sequential and direct reads, key forms, and lock modes against a
// record held by another process.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "settings/config.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/layouts.h"
#include "tests/records/records_helpers.h"
#include "tests/support/test_support.h"

namespace {

using recordstest::Owner;
using recordstest::PackedCode;

class BtrReadTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string owner;  // record buffer of file 6
  void SetUp() override { recordstest::StartRecordsTest(dir.path); }
  void TearDown() override {
    int status = 0;
    records::BtrCloseAll(status);
  }
  void OpenOwners(const std::vector<std::string>& list) {
    const records::TableLayout& layout = *records::FindLayout("VPropiet");
    ASSERT_EQ(recordstest::InsertRecords(dir.path + "DADES/VPropiet.dat", records::CreateSpec(layout), list), 0);
    int status = -1;
    records::BtrOpen(6, dir.path + "DADES\\VPropiet", owner, status);
    ASSERT_EQ(status, 0);
  }
  int Code() const {
    return (static_cast<unsigned char>(owner[0]) - 0x80) * 100 + (static_cast<unsigned char>(owner[1]) - 0x80);
  }
  std::string Name() const {
    std::string n = owner.substr(2, 40);
    while (!n.empty() && n.back() == ' ') n.pop_back();
    return n;
  }
};

TEST_F(BtrReadTest, MovesSkipSilentlyAndCountZeroDoesNothing) {
  OpenOwners({Owner(1, "A"), Owner(2, "B"), Owner(3, "C"), Owner(4, "D"), Owner(5, "E")});
  int status = -1;
  // An empty key with a positive direction reads the first record in key order.
  records::BtrGetByKey(6, 0, "", 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(Code(), 1);
  records::BtrMove(6, 3, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Code(), 4);
  EXPECT_EQ(records::BtrCurrentKey(6), PackedCode(4));
  records::BtrMove(6, 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Code(), 4);
  records::BtrMove(6, -1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Code(), 3);
  // Running off the end: the end-of-file status, the skipped records never
  // reach the buffer.
  records::BtrMove(6, 10, status);
  EXPECT_EQ(status, 9);
  EXPECT_EQ(Code(), 3);
  records::BtrMove(6, 1, status);
  EXPECT_NE(status, 0);
}

TEST_F(BtrReadTest, KeyedReadsInEveryDirectionAndUndefinedKey) {
  OpenOwners({Owner(10, "X"), Owner(20, "Y"), Owner(30, "Z")});
  int status = -1;
  records::BtrGetByKey(6, 0, PackedCode(20), 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Code(), 20);
  records::BtrGetByKey(6, 0, PackedCode(21), 0, status);
  EXPECT_EQ(status, 4);
  records::BtrGetByKey(6, 0, PackedCode(21), 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Code(), 30);
  records::BtrGetByKey(6, 0, PackedCode(29), -1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Code(), 20);
  // A key that exists exactly: either direction reads that very record.
  for (int direction : {1, -1}) {
    records::BtrGetByKey(6, 0, PackedCode(20), direction, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Code(), 20) << "direction " << direction;
  }
  // A partial key with direction 0 finds only a key whose rest is zero.
  records::BtrGetByKey(6, 0, std::string(1, '\x80'), 0, status);
  EXPECT_EQ(status, 4);

  // Key 2 does not exist: 1004, and the current key stays key 0.
  records::BtrGetByKey(6, 0, PackedCode(10), 0, status);
  ASSERT_EQ(status, 0);
  records::BtrGetByKey(6, 2, "", 1, status);
  EXPECT_EQ(status, 1004);
  EXPECT_EQ(Code(), 10);
  records::BtrMove(6, 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Code(), 20);

  // A file number that is not open.
  records::BtrGetByKey(99, 0, "", 1, status);
  EXPECT_EQ(status, 3);
  records::BtrMove(99, 1, status);
  EXPECT_EQ(status, 3);
  EXPECT_EQ(records::BtrCurrentKey(99), "");
  EXPECT_EQ(records::BtrComparableKey("ab", 99), "ab");
}

TEST_F(BtrReadTest, PositionReadsBackTheSameRecord) {
  EXPECT_EQ(records::BtrPosition(6, 0), 0);  // not open
  EXPECT_EQ(records::BtrPosition(6, 5), 3);
  OpenOwners({Owner(1, "ONE"), Owner(2, "TWO"), Owner(3, "THREE")});
  int status = -1;
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  ASSERT_EQ(status, 0);
  const std::int32_t position = records::BtrPosition(6, 0);
  EXPECT_NE(position, 0);
  records::BtrGetByKey(6, 0, PackedCode(3), 0, status);
  EXPECT_EQ(Name(), "THREE");
  EXPECT_EQ(records::BtrPosition(6, position), 0);
  EXPECT_EQ(Name(), "TWO");
  // The record read is current: the next one along key 0 is 3.
  records::BtrMove(6, 1, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Name(), "THREE");
  EXPECT_NE(records::BtrPosition(6, 999999), 0);
}

TEST_F(BtrReadTest, NameKeyFoldsCaseAndAccents) {
  using testsupport::Cp850;
  OpenOwners({Owner(1, Cp850("Zapata Ruiz, Ana")), Owner(2, Cp850("álvarez Gil, José")),
              Owner(3, Cp850("Alonso Peña, Íñigo")), Owner(4, Cp850("ÁVILA MUÑOZ, MARÍA")),
              Owner(5, Cp850("Abad Font, Òscar")), Owner(6, Cp850("Échevarría, Luis")),
              Owner(7, Cp850("avila muñoz, maria"))});
  std::vector<int> order;
  int status = -1;
  records::BtrGetByKey(6, 1, "", 1, status);
  while (status == 0) {
    order.push_back(Code());
    records::BtrMove(6, 1, status);
  }
  // Equal folded names keep their insertion order.
  EXPECT_EQ(order, (std::vector<int>{5, 3, 2, 4, 7, 6, 1}));
  // Comparable form of the current key: the folded name.
  // Keys are padded with zero bytes: the name key is given with its blanks.
  std::string wanted = Cp850("ÁVILA MUÑOZ, MARÍA");
  wanted.resize(40, ' ');
  records::BtrGetByKey(6, 1, wanted, 0, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(Code(), 4);
  std::string expected = "AVILA MUNOZ, MARIA";
  expected.resize(40, ' ');
  EXPECT_EQ(records::BtrCurrentKey(6), expected);
  EXPECT_EQ(records::BtrComparableKey(Cp850("àé"), 6), "AE");
}

TEST_F(BtrReadTest, BinarySegmentTurnsMostSignificantByteFirst) {
  records::TableLayout bin{"BIN", "DADES", 99, 16, 4096, {}, {{{{0, 2, records::kKeyBinary}}}}};
  ASSERT_TRUE(os::WriteFile(dir.path + "ddf/BIN.xdf", records::TemplateBytes(bin)));
  std::string r;
  int status = -1;
  records::BtrOpen(99, dir.path + "DADES\\BIN", r, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(records::BtrComparableKey(std::string("\x01\x00", 2), 99), std::string("\x00\x01", 2));
  EXPECT_EQ(records::BtrComparableKey(std::string("\x01", 1), 99), std::string("\x00\x01", 2));
  EXPECT_LT(records::BtrComparableKey(std::string("\x01\x00", 2), 99),
            records::BtrComparableKey(std::string("\x02\x00", 2), 99));
  EXPECT_LT(records::BtrComparableKey(std::string("\xFF\x00", 2), 99),
            records::BtrComparableKey(std::string("\x00\x01", 2), 99));
  // The engine orders the file the same way.
  std::vector<std::string> list;
  for (int v : {256, 1, 2}) {
    std::string rec(16, '\0');
    rec[0] = static_cast<char>(v & 0xFF);
    rec[1] = static_cast<char>(v >> 8);
    list.push_back(rec);
  }
  ASSERT_EQ(recordstest::InsertRecords(dir.path + "DADES/BIN.dat", records::CreateSpec(bin), list), 0);
  std::vector<std::string> keys;
  records::BtrGetByKey(99, 0, "", 1, status);
  while (status == 0) {
    keys.push_back(records::BtrCurrentKey(99));
    records::BtrMove(99, 1, status);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{std::string("\x00\x01", 2), std::string("\x00\x02", 2),
                                            std::string("\x01\x00", 2)}));
}

// ---- lock modes against a record held by `kap lock` ----------------------------------

class BtrLockTest : public BtrReadTest {
 protected:
  recordstest::Child holder;
  void HoldOwner(int code) {
    holder = recordstest::StartChild(testsupport::BinDir() + "kap",
                                     {"lock", dir.path, "VPropiet", std::to_string(code)});
    ASSERT_EQ(recordstest::ReadLine(holder), "locked");
  }
  void TearDown() override {
    if (holder.pid > 0) recordstest::FinishChild(holder);
    BtrReadTest::TearDown();
  }
};

TEST_F(BtrLockTest, ModeZeroReadsFreelyAndModeTwoFailsAtOnce) {
  OpenOwners({Owner(1, "ONE"), Owner(2, "TWO")});
  HoldOwner(2);
  int status = -1;
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Name(), "TWO");

  records::BtrLockMode(6, "b", status);
  EXPECT_EQ(status, 0);
  records::BtrGetByKey(6, 0, PackedCode(1), 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Name(), "ONE");
  const std::int64_t before = os::MonotonicMs();
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  EXPECT_EQ(status, 84);
  EXPECT_LT(os::MonotonicMs() - before, 1000);
  EXPECT_EQ(Name(), "ONE");  // nothing read

  // "+d" saves mode 2 and reads without locks; "-" restores it.
  records::BtrLockMode(6, "+d", status);
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  EXPECT_EQ(status, 0);
  records::BtrLockMode(6, "-", status);
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  EXPECT_EQ(status, 84);
  // A "-" without a saved pair for the file changes nothing.
  records::BtrLockMode(6, "-", status);
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  EXPECT_EQ(status, 84);
  // Pairs of another file are not taken.
  std::string other;
  records::BtrOpen(162, dir.path + "DADES\\UFiscal", other, status);
  ASSERT_EQ(status, 0);
  records::BtrLockMode(162, "+", status);
  records::BtrLockMode(6, "D-", status);
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  EXPECT_EQ(status, 0);
  records::BtrLockMode(99, "A", status);
  EXPECT_EQ(status, 3);

  // Released: mode 2 reads it.
  EXPECT_EQ(recordstest::FinishChild(holder), 0);
  records::BtrLockMode(6, "B", status);
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  EXPECT_EQ(status, 0);
}

// A start of the random generator whose first two lock waits (as the layer
// draws them: 10000 x fraction + 1 ms) satisfy `wanted`; 0 if none is found.
template <typename Wanted>
std::uint32_t FindWaits(Wanted wanted, int& first, int& second) {
  for (std::uint32_t s = 1; s < 100000; ++s) {
    os::SeedRandom(s);
    first = static_cast<int>(std::lround(10000.0 * os::Rnd() + 1.0));
    second = static_cast<int>(std::lround(10000.0 * os::Rnd() + 1.0));
    if (wanted(first, second)) return s;
  }
  return 0;
}

TEST_F(BtrLockTest, ModeOneWaitsSilentlyThenShowsTheMessageUntilFree) {
  OpenOwners({Owner(1, "ONE"), Owner(2, "TWO")});
  // A sequence whose first wait is short and second long enough to look at
  // the screen while the record is still held.
  int first = 0, second = 0;
  const std::uint32_t sequence = FindWaits(
      [](int w1, int w2) { return w1 < 600 && w2 > 1500 && w2 < 2500; }, first, second);
  ASSERT_NE(sequence, 0u);
  HoldOwner(2);
  int status = -1;
  records::BtrLockMode(6, "A", status);
  os::SeedRandom(sequence);

  std::string seenDuringWait;
  int stillHeld = -1;
  std::thread watcher([&] {
    // In the second wait: the message is up and the record still held.
    os::SleepMs(first + 700);
    seenDuringWait = console::ScreenText();
    stillHeld = 1;
    recordstest::FinishChild(holder);
  });
  const std::int64_t before = os::MonotonicMs();
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  const std::int64_t took = os::MonotonicMs() - before;
  watcher.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Name(), "TWO");
  EXPECT_EQ(stillHeld, 1);
  EXPECT_NE(seenDuringWait.find(records::LockWaitText()), std::string::npos);
  EXPECT_GE(took, first + second - 50);
  // The message window is gone.
  EXPECT_EQ(console::ScreenText().find(records::LockWaitText()), std::string::npos);
}

TEST_F(BtrLockTest, FirstWaitIsSilent) {
  OpenOwners({Owner(1, "ONE"), Owner(2, "TWO")});
  int first = 0, second = 0;
  const std::uint32_t sequence =
      FindWaits([](int w1, int) { return w1 > 1500 && w1 < 2500; }, first, second);
  ASSERT_NE(sequence, 0u);
  HoldOwner(2);
  int status = -1;
  records::BtrLockMode(6, "A", status);
  os::SeedRandom(sequence);
  std::string seen;
  std::thread watcher([&] {
    os::SleepMs(700);
    seen = console::ScreenText();
    recordstest::FinishChild(holder);
  });
  records::BtrGetByKey(6, 0, PackedCode(2), 0, status);
  watcher.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(seen.find(records::LockWaitText()), std::string::npos);
}

}  // namespace
