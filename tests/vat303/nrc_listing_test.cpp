// scripts/stress reads NRC files with a reader of its own (stress_helper
// nrc-list): it must accept what the writer makes, in both record versions
// and after removals, and refuse each kind of damage it is there to catch.
#include <gtest/gtest.h>

#include <string>

#include "platform/os/os.h"
#include "tests/support/test_support.h"
#include "tests/vat303/nrc_sample.h"
#include "vat303/nrc_file.h"
#include "vat303/run_messages.h"

namespace {

using vat303::NrcRequest;

class NrcListingTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string file;

  void SetUp() override {
    file = dir.path + "NRC_BANC.SOL";
    vat303::SetPresentation(vat303::RunPresentation::Batch);
    testsupport::SetSampleNrcRequest();
  }
  void TearDown() override { os::ClearFixedNow(); }

  void Add(const std::string& taxId, long amount) {
    NrcRequest.ownerTaxId = taxId;
    NrcRequest.name = "OWNER " + taxId;
    NrcRequest.amount = amount;
    ASSERT_EQ(vat303::AddNrcRequest(file), vat303::kNrcOk);
  }
  // Runs the reader on `path`; its listing in `out`.
  int List(const std::string& path, std::string& out) {
    const std::string listing = dir.path + "listing.txt";
    const int code = os::RunShell(testsupport::ShellQuote(testsupport::BinDir() + "stress_helper") + " nrc-list " +
                                  testsupport::ShellQuote(path) + " 2024 2T >" + testsupport::ShellQuote(listing) +
                                  " 2>/dev/null");
    out.clear();
    os::ReadFile(listing, out);
    return code;
  }
};

TEST_F(NrcListingTest, AcceptsTheWritersFilesInBothVersions) {
  for (const os::DateTime today : {os::DateTime{2015, 1, 31}, os::DateTime{2015, 2, 1}}) {
    os::SetFixedNow(today);
    os::DeleteFile(file);
    Add("12345678Z", 16800);
    Add("B82879362", 500);
    Add("00000001R", 7);
    NrcRequest.ownerTaxId = "B82879362";
    NrcRequest.name = "OWNER B82879362";
    NrcRequest.amount = 500;
    ASSERT_EQ(vat303::RemoveNrcRequest(file), vat303::kNrcOk);  // the middle one: the last renumbered
    std::string out;
    EXPECT_EQ(List(file, out), 0);
    EXPECT_EQ(out, "00000001R|7|OWNER 00000001R" + std::string(23, ' ') + "\n12345678Z|16800|OWNER 12345678Z" +
                       std::string(23, ' ') + "\n");
  }
}

TEST_F(NrcListingTest, RefusesEachDamage) {
  os::SetFixedNow(os::DateTime{2025, 3, 31});
  Add("12345678Z", 16800);
  Add("B82879362", 500);
  std::string good;
  ASSERT_TRUE(os::ReadFile(file, good));
  constexpr std::size_t r = 258;  // record and CR LF
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string twice = good;
  twice.replace(2 * r + 18, 9, "12345678Z");
  std::string renumbered = good;
  renumbered.replace(2 * r + 2, 5, "00003");
  std::string total = good;
  total.replace(3 * r + 12, 12, "000000017301");
  std::string count = good;
  count.replace(3 * r + 7, 5, "00003");
  std::string otherPeriod = good;
  otherPeriod.replace(r + 14, 2, "3T");
  std::string noCrLf = good;
  noCrLf[r + 256] = ' ';
  std::string noTrailer = good.substr(0, 3 * r);
  const Case cases[] = {
      {"a second request for one owner", twice},  {"details out of sequence", renumbered},
      {"a total that is not the details'", total}, {"a detail count that is not the file's", count},
      {"a request of another period", otherPeriod}, {"a record without CR LF", noCrLf},
      {"no trailer", noTrailer},                   {"a cut record", good.substr(0, good.size() - 1)},
  };
  std::string out;
  ASSERT_EQ(List(file, out), 0);
  for (const Case& c : cases) {
    ASSERT_TRUE(os::WriteFile(file, c.bytes));
    EXPECT_EQ(List(file, out), 1) << c.what;
  }
}

}  // namespace
