#include <gtest/gtest.h>

#include "tests/recman/recman_test_util.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using namespace recmantest;
using namespace recman;

namespace {

class RecmanTest : public EngineTest {};
KOVA_ON_BOTH_ENGINES(RecmanTest);

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

}  // namespace
