// The NRC request file: adding and removing requests in both record
// versions, the image held for a pass, damaged files, two writers at once.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tests/support/test_support.h"
#include "tests/vat303/nrc_sample.h"
#include "vat303/nrc_file.h"
#include "vat303/run_messages.h"

namespace {

using vat303::NrcRequest;

class NrcTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string file;

  void SetUp() override {
    file = dir.path + "NRC_BANC.SOL";
    vat303::SetPresentation(vat303::RunPresentation::Batch);
    vat303::ClearShownMessages();
    Version(2);
    testsupport::SetSampleNrcRequest();
  }
  void TearDown() override {
    vat303::AbandonNrcPass();
    os::ClearFixedNow();
  }
  // The clock of the last day of version 1, or of the first of version 2.
  static void Version(int v) { os::SetFixedNow(v == 1 ? os::DateTime{2015, 1, 31} : os::DateTime{2015, 2, 1}); }

  static void Request(const std::string& taxId, const std::string& name, long amount) {
    NrcRequest.ownerTaxId = taxId;
    NrcRequest.name = name;
    NrcRequest.amount = amount;
  }
  std::string Bytes() {
    std::string b;
    os::ReadFile(file, b);
    return b;
  }
  // Records of the file without CR LF (checked to be there).
  std::vector<std::string> Records(int length) {
    const std::string b = Bytes();
    std::vector<std::string> out;
    EXPECT_EQ(b.size() % static_cast<std::size_t>(length + 2), 0u);
    for (std::size_t at = 0; at + static_cast<std::size_t>(length) + 2 <= b.size(); at += static_cast<std::size_t>(length) + 2) {
      EXPECT_EQ(b.substr(at + static_cast<std::size_t>(length), 2), "\r\n");
      out.push_back(b.substr(at, static_cast<std::size_t>(length)));
    }
    return out;
  }
  static std::string At(const std::string& record, int from, int to) {
    return record.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
  }
};

TEST_F(NrcTest, AddAndRemoveInBothVersions) {
  for (int version : {1, 2}) {
    SCOPED_TRACE("version " + std::to_string(version));
    os::DeleteFile(file);
    Version(version);
    const int length = vat303::NrcRecordLength(version);
    EXPECT_EQ(length, version == 1 ? 255 : 256);

    Request("12345678Z", "GARCIA LOPEZ, MARIA JOSE", 16800);
    ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
    std::vector<std::string> r = Records(length);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(At(r[0], 1, 16), "021B65432106-000");
    EXPECT_EQ(At(r[0], 35, 54), "21000418450200051332");
    EXPECT_EQ(At(r[0], 75, 100), std::string("2100") + (version == 1 ? "20150131EI20150131IR01" : "20150201EI20150201IR02"));
    EXPECT_EQ(At(r[0], 111, 115), version == 1 ? "     " : " ES91");
    EXPECT_EQ(At(r[1], 1, 27), "050000130320242TEI12345678Z");
    EXPECT_EQ(At(r[1], 66, 69), "G   ");  // a person: the name's first letter
    EXPECT_EQ(At(r[1], 75, 86), "000000016800");
    EXPECT_EQ(At(r[2], 1, 24), "080000300001000000016800");

    Request("B12345674", "CONSTRUCCIONS PUIG S L,", 50000);
    ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
    Request("34567890V", "VIDAL ROCA, NURIA", 14700);
    ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
    r = Records(length);
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(At(r[2], 1, 27), "050000230320242TEIB12345674");
    EXPECT_EQ(At(r[2], 66, 69), "    ");  // a company
    EXPECT_EQ(At(r[4], 1, 24), "080000500003000000081500");

    // Removing the first of three numbers the others down.
    Request("12345678Z", "GARCIA LOPEZ, MARIA JOSE", 16800);
    ASSERT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcOk);
    r = Records(length);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(At(r[1], 1, 27), "050000130320242TEIB12345674");
    EXPECT_EQ(At(r[2], 1, 27), "050000230320242TEI34567890V");
    EXPECT_EQ(At(r[3], 1, 24), "080000400002000000064700");

    // A request that is not there, of another period, or with the same tax
    // identifier and another name or amount, changes nothing.
    const std::string before = Bytes();
    Request("99999999R", "", 0);
    ASSERT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcOk);
    NrcRequest.period = "3T";
    Request("B12345674", "CONSTRUCCIONS PUIG S L,", 50000);
    ASSERT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcOk);
    NrcRequest.period = "2T";
    for (const auto& [name, amount] : {std::pair<const char*, long>{"CONSTRUCCIONS PUIG S L", 50000},
                                       {"CONSTRUCCIONS PUIG S L,", 50001}}) {
      Request("B12345674", name, amount);
      ASSERT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcOk);
    }
    EXPECT_EQ(Bytes(), before);
  }
}

TEST_F(NrcTest, RemovingFromAMissingFileLeavesAnEmptyOneThatAnAddStartsWithAHeader) {
  Request("12345678Z", "X", 0);
  ASSERT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcOk);
  ASSERT_TRUE(os::FileExists(file));
  EXPECT_EQ(Bytes(), "");
  Request("12345678Z", "X", 100);
  ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
  EXPECT_EQ(Records(256).size(), 3u);
}

// Two owners may share a tax identifier: a removal takes the request equal
// in name and amount too, and of two equal ones (interchangeable) the first.
TEST_F(NrcTest, OfTwoEqualRequestsOneIsRemovedAndOneOfTheSameTaxIdentifierStays) {
  for (const auto& [name, amount] : {std::pair<const char*, long>{"FIRST", 100}, {"SECOND", 200}, {"FIRST", 100}}) {
    Request("12345678Z", name, amount);
    vat303::AddNrcRequest(file);
  }
  Request("12345678Z", "FIRST", 100);
  ASSERT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcOk);
  const std::vector<std::string> r = Records(256);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(At(r[1], 1, 7) + At(r[1], 28, 33), "0500001SECOND");
  EXPECT_EQ(At(r[2], 1, 7) + At(r[2], 28, 32), "0500002FIRST");
  EXPECT_EQ(At(r[3], 1, 24), "080000400002000000000300");
}

TEST_F(NrcTest, ATrailerThatIsNotTheLastRecordIsFoundFromTheStart) {
  Request("12345678Z", "ONE", 100);
  vat303::AddNrcRequest(file);
  // A record left after the trailer: the next request goes over the trailer
  // and its new trailer over that record, as when the file is read from its start.
  std::string extra = std::string("05") + std::string(254, 'x') + "\r\n";
  os::AppendFile(file, extra);
  Request("23456789D", "TWO", 50);
  ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
  const std::vector<std::string> r = Records(256);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(At(r[2], 1, 27), "050000230320242TEI23456789D");
  EXPECT_EQ(At(r[3], 1, 24), "080000400002000000000150");
}

std::string Replaced(std::string bytes, std::size_t at, const std::string& with) {
  return bytes.replace(at, with.size(), with);
}

TEST_F(NrcTest, DamagedFilesAreRefusedAndLeftAsTheyWere) {
  Request("12345678Z", "ONE", 100);
  vat303::AddNrcRequest(file);
  const std::string good = Bytes();
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"cut in a record", good.substr(0, good.size() - 100)},
      {"no trailer", good.substr(0, good.size() - 258)},
      {"records of the other version's length", good.substr(0, 257 * 2)},
      {"a record without its line end", good.substr(0, 256) + "xx" + good.substr(258)},
      // Counts that do not add up: adding to them would write a wrong trailer.
      {"a trailer counting another number of details", Replaced(good, 258 * 2 + 7, "00002")},
      {"a trailer counting other records", Replaced(good, 258 * 2 + 2, "00004")},
      {"a trailer with another total", Replaced(good, 258 * 2 + 12, "000000000101")},
      {"details not numbered from 1", Replaced(good, 258 + 2, "00002")},
      {"an amount that is not digits", Replaced(good, 258 + 74, "         100")},
      {"no header first", Replaced(good, 0, "05")},
      {"a trailer alone", good.substr(258 * 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    os::WriteFile(file, c.bytes);
    vat303::ClearShownMessages();
    Request("23456789D", "TWO", 50);
    EXPECT_EQ(vat303::AddNrcRequest(file), vat303::kNrcDamaged);
    EXPECT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcDamaged);
    EXPECT_EQ(vat303::OpenNrcPass(file, 0), vat303::kNrcDamaged);
    EXPECT_EQ(Bytes(), c.bytes);
    ASSERT_FALSE(vat303::ShownMessages().empty());
    EXPECT_NE(vat303::ShownMessages()[0].find("NRC_BANC.SOL"), std::string::npos);
    EXPECT_FALSE(os::FileExists(vat303::NrcTempPath(file)));
  }
}

TEST_F(NrcTest, ARequestPastTheTrailersLimitsIsRefusedAndTheFileKept) {
  Request("12345678Z", "ONE", 999999999998);  // the largest total but one
  ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
  Request("23456789D", "TWO", 1);
  ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);  // onto the limit
  const std::string full = Bytes();
  EXPECT_EQ(At(Records(256)[3], 1, 24), "080000400002999999999999");
  vat303::ClearShownMessages();
  Request("34567890V", "THREE", 1);
  EXPECT_EQ(vat303::AddNrcRequest(file), vat303::kNrcFull);
  EXPECT_EQ(Bytes(), full);
  ASSERT_FALSE(vat303::ShownMessages().empty());
  EXPECT_NE(vat303::ShownMessages()[0].find("NRC_BANC.SOL"), std::string::npos);
  EXPECT_FALSE(os::FileExists(vat303::NrcTempPath(file)));
}

// The file as the request algorithms change it record by record: an add
// reads from the start to the first trailer and writes the detail over it
// and a new trailer after; a removal copies every record, leaving out the
// first matching detail, numbering later details down and correcting later
// trailers. Kept here as a plain model to hold the image of a pass against.
struct ModelFile {
  std::string bytes;
  static constexpr std::size_t kRecord = 258;
  static std::string Pad(long value, std::size_t width) {
    std::string digits = std::to_string(value);
    return std::string(width - digits.size(), '0') + digits;
  }
  void Add() {
    std::size_t at = 0;
    long count = 0, total = 0;
    if (bytes.empty()) {
      bytes = vat303::NrcHeader(NrcRequest, 2, "20150201") + "\r\n";
      at = bytes.size();
    } else {
      for (at = 0; at < bytes.size(); at += kRecord)
        if (bytes.compare(at, 2, "08") == 0) break;
      if (at < bytes.size()) {
        count = std::stol(bytes.substr(at + 7, 5));
        total = std::stol(bytes.substr(at + 12, 12));
      }
    }
    ++count;
    total += static_cast<long>(NrcRequest.amount);
    std::string tail = vat303::NrcDetail(NrcRequest, 2, count) + "\r\n" + vat303::NrcTrailer(2, count, total) + "\r\n";
    if (bytes.size() < at + tail.size()) bytes.resize(at + tail.size());
    bytes.replace(at, tail.size(), tail);
  }
  void Remove() {
    std::string out;
    bool removed = false;
    long amount = 0;
    std::string taxId = NrcRequest.ownerTaxId, name = NrcRequest.name;
    taxId.resize(9, ' ');
    name.resize(38, ' ');
    for (std::size_t at = 0; at < bytes.size(); at += kRecord) {
      std::string r = bytes.substr(at, kRecord);
      if (!removed && r.compare(0, 2, "05") == 0 && r.compare(7, 3, NrcRequest.model) == 0 &&
          r.compare(10, 4, NrcRequest.year) == 0 && r.compare(14, 2, NrcRequest.period) == 0 &&
          r.compare(18, 9, taxId) == 0 && r.compare(27, 38, name) == 0 &&
          r.compare(74, 12, Pad(static_cast<long>(NrcRequest.amount), 12)) == 0) {
        removed = true;
        amount = std::stol(r.substr(74, 12));
        continue;
      }
      if (removed && r.compare(0, 2, "05") == 0) r.replace(2, 5, Pad(std::stol(r.substr(2, 5)) - 1, 5));
      if (removed && r.compare(0, 2, "08") == 0) {
        r.replace(2, 5, Pad(std::stol(r.substr(2, 5)) - 1, 5));
        r.replace(7, 5, Pad(std::stol(r.substr(7, 5)) - 1, 5));
        r.replace(12, 12, Pad(std::stol(r.substr(12, 12)) - amount, 12));
      }
      out += r;
    }
    bytes = out;
  }
};

// Requests added and removed inside a pass (the image, its batched removals
// and checkpoints) give the file of the same requests one by one, and so do
// the single requests outside a pass. Amounts are few, so that equal
// requests meet.
TEST_F(NrcTest, APassGivesTheFileOfTheSameRequestsOneByOne) {
  std::mt19937 random(303);
  struct Op {
    bool add;
    std::string taxId;
    long amount;
  };
  std::vector<Op> ops;
  for (int i = 0; i < 250; ++i) {
    const std::string taxId = std::to_string(10000000 + static_cast<int>(random() % 60)) + "Z";
    ops.push_back({random() % 3 != 0, taxId, static_cast<long>(random() % 3) * 1000});
  }
  ModelFile model;
  for (const Op& op : ops) {
    Request(op.taxId, "NAME " + op.taxId, op.amount);
    if (op.add) model.Add();
    else model.Remove();
    if (op.add) vat303::AddNrcRequest(file);
    else vat303::RemoveNrcRequest(file);
  }
  EXPECT_EQ(Bytes(), model.bytes);
  os::DeleteFile(file);

  ASSERT_EQ(vat303::OpenNrcPass(file, 0), vat303::kNrcOk);
  for (std::size_t i = 0; i < ops.size(); ++i) {
    Request(ops[i].taxId, "NAME " + ops[i].taxId, ops[i].amount);
    if (ops[i].add) vat303::AddNrcRequest(file);
    else vat303::RemoveNrcRequest(file);
    if (i % 100 == 99) {
      ASSERT_EQ(vat303::NrcCheckpoint(), vat303::kNrcOk);
    }
  }
  ASSERT_EQ(vat303::CloseNrcPass(), vat303::kNrcOk);
  EXPECT_EQ(Bytes(), model.bytes);
  EXPECT_FALSE(os::FileExists(vat303::NrcTempPath(file)));
}

TEST_F(NrcTest, ALockHeldByAnotherTerminalIsWaitedForThenReported) {
  os::Lock other;
  ASSERT_TRUE(os::LockDirectory(other, vat303::NrcLockDirectory(file), 0));
  Request("12345678Z", "ONE", 100);
  EXPECT_EQ(vat303::OpenNrcPass(file, 300), vat303::kNrcLocked);
  EXPECT_FALSE(os::FileExists(file));
  ASSERT_EQ(vat303::ShownMessages().size(), 2u);  // the wait, then the failure
  os::Unlock(other);
  EXPECT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
}

TEST_F(NrcTest, TwoProcessesAddingAndRemovingAtOnceLoseNothing) {
  constexpr int kEach = 60;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      // Each child adds its own requests and takes every third out again.
      int failures = 0;
      for (int i = 0; i < kEach; ++i) {
        Request(std::to_string(c + 1) + std::to_string(1000000 + i) + "A", "CHILD", 100 * (c + 1));
        failures += vat303::AddNrcRequest(file) != vat303::kNrcOk;
        if (i % 3 == 0) failures += vat303::RemoveNrcRequest(file) != vat303::kNrcOk;
      }
      ::_exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::vector<std::string> r = Records(256);
  const int kept = kEach - (kEach + 2) / 3;
  ASSERT_EQ(r.size(), static_cast<std::size_t>(2 * kept + 2));
  long total = 0;
  for (std::size_t i = 1; i + 1 < r.size(); ++i) {
    EXPECT_EQ(At(r[i], 3, 7), std::string(5 - std::to_string(i).size(), '0') + std::to_string(i));
    total += std::stol(At(r[i], 75, 86));
  }
  EXPECT_EQ(total, kept * 100 + kept * 200);
  EXPECT_EQ(At(r.back(), 8, 24), "000" + std::to_string(2 * kept) + std::string(12 - std::to_string(total).size(), '0') + std::to_string(total));
}

}  // namespace
