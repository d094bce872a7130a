// Templates built from the record layouts, and the open that waits while
// another process holds the whole file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "settings/config.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/layouts.h"
#include "tests/records/records_helpers.h"
#include "tests/support/test_support.h"

namespace {

int At16(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}

TEST(Layouts, OwnerTemplateHoldsBothKeysAndTheFoldingSequence) {
  const records::TableLayout& owners = *records::FindLayout("VPropiet");
  const std::string bytes = records::TemplateBytes(owners);
  const std::string spec = bytes.substr(2);
  EXPECT_EQ(At16(bytes, 0), static_cast<int>(spec.size()));
  EXPECT_EQ(spec.size(), 16u + 2 * 16 + 265);
  EXPECT_EQ(At16(spec, 0), 826);
  EXPECT_EQ(At16(spec, 4), 2);
  EXPECT_EQ(At16(spec, 16), 1);   // OwnerCode at byte 1
  EXPECT_EQ(At16(spec, 18), 2);
  EXPECT_EQ(At16(spec, 20), 0);
  EXPECT_EQ(At16(spec, 32), 3);   // OwnerName at byte 3
  EXPECT_EQ(At16(spec, 34), 40);
  EXPECT_EQ(At16(spec, 36), records::kKeyDuplicates | records::kKeyModifiable | records::kKeyAlternate);
  EXPECT_EQ(static_cast<unsigned char>(spec[48]), 0xAC);
  const std::string table = spec.substr(57);
  ASSERT_EQ(table.size(), 256u);
  const std::string folded = testsupport::Cp850("aAáÁàÀäÄâçÇéÉèÈëêíÍìÌïóÓòÒöÖúÚùÙüÜñÑzZ");
  std::string weights;
  for (unsigned char c : folded) weights += table[c];
  EXPECT_EQ(weights, "AAAAAAAAACCEEEEEEIIIIIOOOOOOUUUUUUNNZZ");
  EXPECT_EQ(table[' '], ' ');
  EXPECT_EQ(table['5'], '5');
}

TEST(Layouts, SegmentedKeysAndEveryTableWithoutSequence) {
  const std::string spec = records::CreateSpec(*records::FindLayout("VLinPeri"));
  EXPECT_EQ(At16(spec, 0), 64);
  EXPECT_EQ(At16(spec, 4), 1);
  ASSERT_EQ(spec.size(), 16u + 3 * 16);
  EXPECT_EQ(At16(spec, 20), records::kKeySegmented);
  EXPECT_EQ(At16(spec, 36), records::kKeySegmented);
  EXPECT_EQ(At16(spec, 52), 0);
  EXPECT_EQ(At16(spec, 48), 9);  // LineNumber at byte 9
  // Every field lies inside its record and none overlaps another.
  for (const records::TableLayout& t : records::Layouts()) {
    std::vector<int> used(static_cast<std::size_t>(t.recordLength), 0);
    for (const records::FieldLayout& f : t.fields) {
      ASSERT_LE(f.offset + f.width, t.recordLength) << t.baseName << "." << f.name;
      for (int i = f.offset; i < f.offset + f.width; ++i) EXPECT_EQ(used[static_cast<std::size_t>(i)]++, 0) << f.name;
    }
  }
  EXPECT_EQ(records::Layouts().size(), 7u);
  EXPECT_EQ(records::LogicalName(*records::FindLayout("UTerrito")), "TAULES\\UTerrito");
  EXPECT_EQ(records::FindLayout("vpropiet"), nullptr);
}

TEST(OpenWait, OpenWaitsWhileAnotherProcessLoadsTheFile) {
  testsupport::TempDir dir;
  console::Start(console::Backend::Headless);
  console::ResetForTests();
  settings::DataRoot = dir.path;
  recordstest::PrepareDataRoot(dir.path);
  const records::TableLayout& owners = *records::FindLayout("VPropiet");
  ASSERT_EQ(recordstest::InsertRecords(dir.path + "DADES/VPropiet.dat", records::CreateSpec(owners),
                                       {recordstest::Owner(1, "ONE")}),
            0);
  const std::string fifo = dir.path + "owners.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  recordstest::Child load = recordstest::StartChild(
      testsupport::BinDir() + "kap", {"load", dir.path, "VPropiet", fifo});
  // kap opens its input only once it holds the file.
  int fd = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  std::thread writer([fd] {
    os::SleepMs(1000);
    const std::string csv = "OwnerCode,OwnerName\n0002,TWO\n";
    EXPECT_EQ(::write(fd, csv.data(), csv.size()), static_cast<ssize_t>(csv.size()));
    ::close(fd);
  });
  std::string record;
  int status = -1;
  const std::int64_t before = os::MonotonicMs();
  records::BtrOpen(6, dir.path + "DADES\\VPropiet", record, status);
  const std::int64_t took = os::MonotonicMs() - before;
  writer.join();
  EXPECT_EQ(status, 0);
  EXPECT_GE(took, 3000);
  EXPECT_EQ(recordstest::FinishChild(load), 0);
  records::BtrGetByKey(6, 0, recordstest::PackedCode(2), 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(record.substr(2, 3), "TWO");
  records::BtrCloseAll(status);
}

}  // namespace
