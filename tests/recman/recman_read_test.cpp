#include <gtest/gtest.h>

#include "platform/os/os.h"
#include "tests/recman/recman_test_util.h"
#include "tests/support/test_support.h"

using namespace recmantest;
using namespace recman;

namespace {

class RecmanRead : public EngineTest {
 protected:
  // 32-byte records: key 0 = bytes 1-4 unique; key 1 = bytes 5-8 with
  // duplicates; the record's tag (which insertion) at byte 20.
  File Fill() {
    EXPECT_EQ(Create(Path("r.dat"), Spec(32, {{{1, 4, 0}}, {{5, 4, kKeyDuplicates}}})), 0);
    File f;
    EXPECT_EQ(Open(f, Path("r.dat")), 0);
    const char* rows[][3] = {{"CCCC", "XXXX", "1"}, {"AAAA", "YYYY", "2"}, {"EEEE", "XXXX", "3"},
                             {"BBBB", "XXXX", "4"}, {"DDDD", "ZZZZ", "5"}};
    for (auto& r : rows) EXPECT_EQ(Insert(f, Record(32, std::string(r[0]) + r[1] + std::string(12, '.') + r[2])), 0);
    return f;
  }
  static std::string Tag(const Io& io) { return io.data.size() > 20 ? io.data.substr(20, 1) : "?"; }
  static std::string K(const Io& io, int n = 4) { return io.key.substr(0, n); }
};

TEST_P(RecmanRead, UniqueKeyReads) {
  File f = Fill();
  Io io = Read(f, kOpGetEqual, 0, "CCCC");
  ASSERT_EQ(io.status, 0);
  EXPECT_EQ(io.data.size(), 32u);
  EXPECT_EQ(Tag(io), "1");
  EXPECT_EQ(K(io), "CCCC");
  EXPECT_EQ(Read(f, kOpGetEqual, 0, "CCC").status, kStatusKeyNotFound);  // remaining bytes zero
  EXPECT_EQ(K(Read(f, kOpGetGreater, 0, "CCCC")), "DDDD");
  EXPECT_EQ(K(Read(f, kOpGetGreaterOrEqual, 0, "CCCC")), "CCCC");
  EXPECT_EQ(K(Read(f, kOpGetGreaterOrEqual, 0, "")), "AAAA");  // empty key: first record
  EXPECT_EQ(K(Read(f, kOpGetLessThan, 0, "CCCC")), "BBBB");
  EXPECT_EQ(K(Read(f, kOpGetLessOrEqual, 0, "CCCC")), "CCCC");
  EXPECT_EQ(K(Read(f, kOpGetLessOrEqual, 0, "CCCD")), "CCCC");
  EXPECT_EQ(K(Read(f, kOpGetLessOrEqual, 0, std::string(4, '\xFF'))), "EEEE");
  EXPECT_EQ(Read(f, kOpGetGreater, 0, "EEEE").status, kStatusEndOfFile);
  EXPECT_EQ(Read(f, kOpGetLessThan, 0, "AAAA").status, kStatusEndOfFile);
  EXPECT_EQ(K(Read(f, kOpGetFirst, 0)), "AAAA");
  std::string order;
  for (Io r = Read(f, kOpGetNext, 0); r.status == 0; r = Read(f, kOpGetNext, 0)) order += K(r, 1);
  EXPECT_EQ(order, "BCDE");
  EXPECT_EQ(K(Read(f, kOpGetLast, 0)), "EEEE");
  order.clear();
  for (Io r = Read(f, kOpGetPrevious, 0); r.status == 0; r = Read(f, kOpGetPrevious, 0)) order += K(r, 1);
  EXPECT_EQ(order, "DCBA");
  // At the end, Next keeps failing; the position stays at the first record.
  EXPECT_EQ(Read(f, kOpGetPrevious, 0).status, kStatusEndOfFile);
  EXPECT_EQ(K(Read(f, kOpGetNext, 0)), "BBBB");
}

TEST_P(RecmanRead, DuplicatesInInsertionOrder) {
  File f = Fill();
  Io io = Read(f, kOpGetEqual, 1, "XXXX");
  ASSERT_EQ(io.status, 0);
  EXPECT_EQ(Tag(io), "1");
  EXPECT_EQ(K(io), "XXXX");
  std::string tags = Tag(io);
  for (Io r = Read(f, kOpGetNext, 1); r.status == 0; r = Read(f, kOpGetNext, 1)) tags += Tag(r);
  EXPECT_EQ(tags, "13425");
  tags.clear();
  for (Io r = Read(f, kOpGetLast, 1); r.status == 0; r = Read(f, kOpGetPrevious, 1)) tags += Tag(r);
  EXPECT_EQ(tags, "52431");
  EXPECT_EQ(Tag(Read(f, kOpGetGreaterOrEqual, 1, "XXXX")), "1");  // first of the equals
  EXPECT_EQ(Tag(Read(f, kOpGetLessOrEqual, 1, "XXXX")), "4");     // last of the equals
  EXPECT_EQ(Tag(Read(f, kOpGetGreater, 1, "XXXX")), "2");
  EXPECT_EQ(Tag(Read(f, kOpGetLessThan, 1, "YYYY")), "4");
  EXPECT_EQ(Tag(Read(f, kOpGetNext, 1)), "2");
  // Next on another key than the position's.
  EXPECT_EQ(Read(f, kOpGetNext, 0).status, kStatusDifferentKey);
  Io st = Read(f, kOpStat, 0);
  EXPECT_EQ(Get32(st.data, 6), 5u);
  EXPECT_EQ(Get32(st.data, 32 + 6), 3u);  // unique values of key 1
}

TEST_P(RecmanRead, ArgumentsAndPositioning) {
  File f = Fill();
  File g;
  ASSERT_EQ(Open(g, Path("r.dat")), 0);
  EXPECT_EQ(Read(g, kOpGetNext, 0).status, kStatusBadPositioning);  // nothing read yet
  EXPECT_EQ(Read(g, kOpGetPosition, 0).status, kStatusBadPositioning);
  EXPECT_EQ(Read(f, kOpGetEqual, 2, "AAAA").status, kStatusBadKeyNumber);
  EXPECT_EQ(Read(f, kOpGetEqual, -1, "AAAA").status, kStatusBadKeyNumber);
  EXPECT_EQ(Read(f, 99, 0).status, kStatusInvalidOp);
  // Key buffer shorter than the key.
  std::string data(32, '\0'), key = "AAAA";
  std::uint32_t len = 32;
  EXPECT_EQ(BTRCALL(kOpGetEqual, f.pos, data.data(), &len, key.data(), 3, 0), kStatusKeyBufferShort);
  EXPECT_EQ(BTRCALL(kOpGetEqual, f.pos, data.data(), &len, nullptr, 4, 0), kStatusKeyBufferShort);
  // No data buffer: the record is cut to nothing, the key still comes back.
  char keyOut[8] = "AAAA";
  EXPECT_EQ(BTRCALL(kOpGetEqual, f.pos, nullptr, nullptr, keyOut, 8, 0), kStatusDataBufferShort);
  // Unknown or cleared position block.
  File none;
  EXPECT_EQ(Read(none, kOpGetFirst, 0).status, kStatusNotOpen);
  EXPECT_EQ(BTRCALL(kOpGetFirst, nullptr, data.data(), &len, key.data(), 4, 0), kStatusNotOpen);
  File copy = f;
  len = 0;
  EXPECT_EQ(BTRCALL(kOpClose, f.pos, nullptr, &len, nullptr, 0, 0), 0);
  EXPECT_EQ(Read(f, kOpGetFirst, 0).status, kStatusNotOpen);
  EXPECT_EQ(Read(copy, kOpGetFirst, 0).status, kStatusNotOpen);
}

TEST_P(RecmanRead, ShortDataBufferCutsRecordAndReturnsKey) {
  File f = Fill();
  Io io = Read(f, kOpGetEqual, 0, "BBBB", 10);
  EXPECT_EQ(io.status, kStatusDataBufferShort);
  EXPECT_EQ(io.data, std::string("BBBBXXXX..", 10));
  EXPECT_EQ(K(io), "BBBB");
  EXPECT_EQ(K(Read(f, kOpGetNext, 0, "", 0)), "CCCC");  // position moved on all the same
}

TEST_P(RecmanRead, PositionAndDirectContinueAlongKey) {
  File f = Fill();
  ASSERT_EQ(Read(f, kOpGetEqual, 0, "CCCC").status, 0);
  Io pos = Read(f, kOpGetPosition, 0);
  ASSERT_EQ(pos.status, 0);
  ASSERT_EQ(pos.data.size(), 4u);
  ASSERT_EQ(Read(f, kOpGetLast, 0).status, 0);
  // Get Direct on key 1: record 1 (CCCC, XXXX, first of the duplicates).
  Io io;
  io.data.replace(0, 4, pos.data);
  io.status = BTRCALL(kOpGetDirect, f.pos, io.data.data(), &io.dataLength, io.key.data(), 255, 1);
  ASSERT_EQ(io.status, 0);
  EXPECT_EQ(io.dataLength, 32u);
  EXPECT_EQ(io.data.substr(0, 4), "CCCC");
  EXPECT_EQ(io.key.substr(0, 4), "XXXX");
  EXPECT_EQ(Tag(Read(f, kOpGetNext, 1)), "3");
  EXPECT_EQ(Tag(Read(f, kOpGetNext, 1)), "4");
  // Bad addresses.
  Io bad;
  bad.data.replace(0, 4, std::string("\x63\x00\x00\x00", 4));
  EXPECT_EQ(BTRCALL(kOpGetDirect, f.pos, bad.data.data(), &bad.dataLength, bad.key.data(), 255, 0),
            kStatusBadAddress);
  bad.data.replace(0, 4, std::string(4, '\0'));
  EXPECT_EQ(BTRCALL(kOpGetDirect, f.pos, bad.data.data(), &bad.dataLength, bad.key.data(), 255, 0),
            kStatusBadAddress);
}

TEST_P(RecmanRead, SegmentedAndBinaryKeys) {
  // Key 0: binary 2-byte integer at 1 then text at 3-4; key 1: 4-byte binary, descending.
  ASSERT_EQ(Create(Path("s.dat"), Spec(16, {{{1, 2, kKeyBinary}, {3, 2, 0}}, {{5, 4, kKeyBinary | kKeyDescending}}})), 0);
  File f;
  ASSERT_EQ(Open(f, Path("s.dat")), 0);
  auto rec = [](int a, const char* t, std::uint32_t b) {
    std::string r(16, '\0');
    r[0] = static_cast<char>(a & 0xFF);
    r[1] = static_cast<char>(a >> 8);
    r.replace(2, 2, t);
    for (int i = 0; i < 4; ++i) r[4 + i] = static_cast<char>((b >> (8 * i)) & 0xFF);
    return r;
  };
  ASSERT_EQ(Insert(f, rec(256, "AA", 1)), 0);
  ASSERT_EQ(Insert(f, rec(1, "ZZ", 70000)), 0);
  ASSERT_EQ(Insert(f, rec(1, "BB", 255)), 0);
  ASSERT_EQ(Insert(f, rec(2, "AA", 256)), 0);
  std::string order;
  for (Io r = Read(f, kOpGetFirst, 0); r.status == 0; r = Read(f, kOpGetNext, 0)) {
    order += std::to_string(static_cast<unsigned char>(r.key[0]) | (static_cast<unsigned char>(r.key[1]) << 8)) +
             r.key.substr(2, 2) + " ";
  }
  EXPECT_EQ(order, "1BB 1ZZ 2AA 256AA ");
  Io io = Read(f, kOpGetEqual, 0, rec(1, "ZZ", 0).substr(0, 4));
  ASSERT_EQ(io.status, 0);
  EXPECT_EQ(io.key.substr(0, 4), std::string("\x01\x00ZZ", 4));  // record form
  order.clear();
  for (Io r = Read(f, kOpGetFirst, 1); r.status == 0; r = Read(f, kOpGetNext, 1)) order += r.data.substr(2, 2);
  EXPECT_EQ(order, "ZZAABBAA");  // 70000, 256, 255, 1
  EXPECT_EQ(Read(f, kOpGetGreaterOrEqual, 1, rec(0, "", 300).substr(4, 4)).data.substr(2, 2), "AA");
}

TEST_P(RecmanRead, AlternateCollatingSequenceFoldsAccents) {
  // Weights: lower case as upper case, CP850 accented capitals and small
  // letters with their base letter.
  std::string acs(256, '\0');
  for (int c = 0; c < 256; ++c) acs[c] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) acs[c] = static_cast<char>(c - 32);
  for (unsigned char c : {0x90, 0x82, 0x8A, 0xD4}) acs[c] = 'E';  // É é è È
  for (unsigned char c : {0xB5, 0xA0, 0x85}) acs[c] = 'A';        // Á á à
  ASSERT_EQ(Create(Path("n.dat"), Spec(24, {{{1, 2, 0}}, {{3, 10, kKeyDuplicates | kKeyAcs}}}, acs)), 0);
  File f;
  ASSERT_EQ(Open(f, Path("n.dat")), 0);
  const std::string names[] = {"FERRER", "\x90LIES", "EVA", "ESTEVE", "ALBA", "\xB5LVAREZ", "eva"};
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(Insert(f, Record(24, std::string(1, static_cast<char>('0' + i)) + "." + names[i])), 0);
  }
  std::vector<std::string> order;
  for (Io r = Read(f, kOpGetFirst, 1); r.status == 0; r = Read(f, kOpGetNext, 1)) order.push_back(r.key.substr(0, 10));
  auto pad = [](std::string s) { s.resize(10, '\0'); return s; };
  std::vector<std::string> expected = {pad("ALBA"), pad("\xB5LVAREZ"), pad("\x90LIES"), pad("ESTEVE"), pad("EVA"),
                                       pad("eva"), pad("FERRER")};
  EXPECT_EQ(order, expected);
  // A search in any case and accent finds the folded name; the key comes back as stored.
  Io io = Read(f, kOpGetEqual, 1, "elies");
  ASSERT_EQ(io.status, 0);
  EXPECT_EQ(io.key.substr(0, 5), "\x90LIES");
  Io st = Read(f, kOpStat, 0);
  ASSERT_EQ(st.data.size(), 16u + 2 * 16 + 265);
  EXPECT_EQ(static_cast<unsigned char>(st.data[48]), 0xAC);
  EXPECT_EQ(st.data.substr(49, 8), "UPPER   ");
  EXPECT_EQ(st.data.substr(57), acs);
  EXPECT_EQ(Get32(st.data, 32 + 6), 6u);  // EVA and eva are one value
}

TEST_P(RecmanRead, KeyThatExistsExactlyInEveryDirection) {
  // A 2-byte binary key, so the search key goes through its comparable form.
  ASSERT_EQ(Create(Path("x.dat"), Spec(8, {{{1, 2, kKeyBinary}}})), 0);
  File f;
  ASSERT_EQ(Open(f, Path("x.dat")), 0);
  for (int v : {100, 300, 200}) ASSERT_EQ(Insert(f, Record(8, std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)})), 0);
  auto value = [](const Io& io) { return static_cast<unsigned char>(io.key[0]) | (static_cast<unsigned char>(io.key[1]) << 8); };
  const std::string key200("\xC8\x00", 2);
  struct Case { int op; int expected; } cases[] = {
      {kOpGetEqual, 200}, {kOpGetGreaterOrEqual, 200}, {kOpGetLessOrEqual, 200},
      {kOpGetGreater, 300}, {kOpGetLessThan, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    Io io = Read(f, c.op, 0, key200);
    ASSERT_EQ(io.status, 0);
    EXPECT_EQ(value(io), c.expected);
    EXPECT_EQ(static_cast<unsigned char>(io.data[0]) | (static_cast<unsigned char>(io.data[1]) << 8), c.expected);
  }
}

KOVA_ON_BOTH_ENGINES(RecmanRead);

}  // namespace
