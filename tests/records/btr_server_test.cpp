// The record store chosen by the office's settings: [Dades] "Servidor" of
// Kova.ini names a server, or the files of the data folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/console/console.h"
#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "records/btr.h"
#include "records/layouts.h"
#include "settings/config.h"
#include "tests/records/records_helpers.h"
#include "tests/support/test_support.h"

namespace {

class BtrServerTest : public ::testing::Test {
 protected:
  void SetUp() override { recordstest::StartRecordsTest(dir.path); }
  void TearDown() override {
    int status = 0;
    records::BtrCloseAll(status);
    recman::UseServer("", "");
  }
  void Setting(const std::string& server) {
    ASSERT_TRUE(os::WriteFile(dir.path + "Kova.ini", "[Titular]\r\nNom=X\r\n[Dades]\r\nServidor=" + server + "\r\n"));
  }
  testsupport::TempDir dir;
  std::string owner;  // record buffer of file 6
};

void ReportShown() {
  const std::string& shown = records::LastMessage();
  std::fprintf(stderr, "shown=[%s] password=%s\n", shown.c_str(),
               shown.find("s3cret") == std::string::npos ? "hidden" : "SHOWN");
}

TEST_F(BtrServerTest, AnUnreachableServerStopsTheRunNamingIt) {
  Setting("host=127.0.0.1 port=1 dbname=office password=s3cret connect_timeout=5");
  EXPECT_EXIT(
      {
        std::atexit(ReportShown);
        int status = 0;
        records::BtrOpen(6, dir.path + "DADES\\VPropiet", owner, status);
      },
      ::testing::ExitedWithCode(0),
      "shown=\\[NO ES POT ACCEDIR AL FITXER .*VPropiet \\(2\\) - SERVIDOR host=127.0.0.1 port=1 dbname=office: "
      "cannot connect.*\\] password=hidden");
  EXPECT_FALSE(os::FileExists(dir.path + "DADES/VPropiet.dat"));
}

TEST_F(BtrServerTest, TheSettingPutsTheFilesOnTheServer) {
  if (testsupport::TestServer().empty()) GTEST_SKIP() << "no server: KOVA_TEST_PG is not set";
  testsupport::ServerSchema schema;
  ASSERT_TRUE(schema.ok);
  Setting("  " + testsupport::TestServer() + " ");
  int status = -1;
  records::BtrOpen(6, dir.path + "DADES\\VPropiet", owner, status);  // created from its template
  ASSERT_EQ(status, 0);
  EXPECT_FALSE(os::FileExists(dir.path + "DADES/VPropiet.dat"));
  const records::TableLayout& layout = *records::FindLayout("VPropiet");
  ASSERT_EQ(recordstest::InsertRecords(dir.path + "DADES/VPropiet.dat", records::CreateSpec(layout),
                                       {recordstest::Owner(7, "SEVEN"), recordstest::Owner(3, "THREE")}),
            0);
  records::BtrGetByKey(6, 0, "", 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(owner.substr(2, 5), "THREE");
  records::BtrMove(6, 1, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(owner.substr(2, 5), "SEVEN");
  // Without the setting, the data folder's files again (here: a new, empty one).
  records::BtrCloseAll(status);
  Setting("");
  records::BtrOpen(6, dir.path + "DADES\\VPropiet", owner, status);
  ASSERT_EQ(status, 0);
  records::BtrGetByKey(6, 0, "", 1, status);
  EXPECT_EQ(status, 9);
  EXPECT_TRUE(os::FileExists(dir.path + "DADES/VPropiet.dat"));
}

}  // namespace
