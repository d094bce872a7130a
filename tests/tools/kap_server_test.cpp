// kap with the record files on a server: init --server, the commands that
// follow the tree's setting, copy between a folder and a server.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "records/layouts.h"
#include "settings/config.h"
#include "tests/records/records_helpers.h"
#include "tests/support/test_support.h"
#include "tests/tools/kap_run.h"

namespace {

using kaptest::KapRun;

class KapServerTest : public ::testing::Test {
 protected:
  testsupport::TempDir work;
  std::unique_ptr<testsupport::ServerSchema> schema;
  std::string server;

  void SetUp() override {
    server = testsupport::TestServer();
    if (server.empty()) GTEST_SKIP() << "no server: KOVA_TEST_PG is not set";
    schema = std::make_unique<testsupport::ServerSchema>();  // also for the kap runs (PGOPTIONS)
    ASSERT_TRUE(schema->ok);
  }
  void TearDown() override { schema.reset(); }

  KapRun Kap(const std::vector<std::string>& args) { return kaptest::RunKap(work.path, args); }
  // Every file of the tree as CSV.
  std::string DumpAll(const std::string& dir) {
    std::string all;
    for (const records::TableLayout& t : records::Layouts()) {
      KapRun r = Kap({"dump", dir, t.baseName});
      EXPECT_EQ(r.code, 0) << r.err;
      all += t.baseName + "\n" + r.out;
    }
    return all;
  }
  long Records(const std::string& dump) { return static_cast<long>(std::count(dump.begin(), dump.end(), '\n')) - 14; }
};

TEST_F(KapServerTest, InitOnAServerAndTheCommandsFollowTheSetting) {
  const std::string files = work.path + "files/", office = work.path + "office/";
  ASSERT_EQ(Kap({"init", files}).code, 0);
  ASSERT_EQ(Kap({"demo", files, "--owners", "40", "--today", "20261208"}).code, 0);
  KapRun init = Kap({"init", office, "--server", server});
  ASSERT_EQ(init.code, 0) << init.err;
  EXPECT_EQ(settings::IniRead(office + "Kova.ini", "Dades", "Servidor"), server);
  EXPECT_FALSE(os::FileExists(office + "DADES/VPropiet.dat"));
  EXPECT_TRUE(os::DirExists(office + "DADES"));  // for the program's own files
  // The same demo on the server: the same records, byte for byte.
  KapRun demo = Kap({"demo", office, "--owners", "40", "--today", "20261208"});
  ASSERT_EQ(demo.code, 0) << demo.err;
  EXPECT_EQ(DumpAll(office), DumpAll(files));
  // Load and lock there too.
  const std::string csv = work.path + "t.csv";
  ASSERT_TRUE(os::WriteFile(csv, "TerritoryCode,TerritoryName\n09,ALTRE\n"));
  ASSERT_EQ(Kap({"load", office, "UTerrito", csv}).code, 0);
  EXPECT_NE(Kap({"dump", office, "UTerrito"}).out.find("09,ALTRE\n"), std::string::npos);
  recordstest::Child holder =
      recordstest::StartChild(testsupport::BinDir() + "kap", {"lock", office, "UTerrito", "09"});
  EXPECT_EQ(recordstest::ReadLine(holder), "locked");
  KapRun second = Kap({"lock", office, "UTerrito", "09"});
  EXPECT_NE(second.err.find("status 84"), std::string::npos) << second.err;
  EXPECT_EQ(recordstest::FinishChild(holder), 0);
  // A second init keeps the tables and their records.
  ASSERT_EQ(Kap({"init", office}).code, 0);
  EXPECT_NE(Kap({"dump", office, "UTerrito"}).out.find("09,ALTRE\n"), std::string::npos);
}

TEST_F(KapServerTest, CopyMovesEveryFileBothWays) {
  const std::string files = work.path + "files/", back = work.path + "back/";
  ASSERT_EQ(Kap({"init", files}).code, 0);
  ASSERT_EQ(Kap({"demo", files, "--owners", "30", "--today", "20261208"}).code, 0);
  const std::string original = DumpAll(files);
  KapRun copy = Kap({"copy", files, server});
  ASSERT_EQ(copy.code, 0) << copy.err;
  const std::string office = work.path + "office/";
  ASSERT_EQ(Kap({"init", office, "--server", server}).code, 0);  // keeps what was copied
  EXPECT_EQ(DumpAll(office), original);
  // Not over records already there, unless asked to.
  KapRun again = Kap({"copy", files, server});
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("already holds records"), std::string::npos) << again.err;
  EXPECT_NE(again.err.find("nothing copied"), std::string::npos) << again.err;
  EXPECT_EQ(again.err.find(server), std::string::npos) << "the connection string is never shown";
  const std::string csv = work.path + "t.csv";
  ASSERT_TRUE(os::WriteFile(csv, "TerritoryCode,TerritoryName\n09,ALTRE\n"));
  ASSERT_EQ(Kap({"load", office, "UTerrito", csv}).code, 0);
  ASSERT_EQ(Kap({"init", back}).code, 0);
  ASSERT_EQ(Kap({"copy", server, back}).code, 0);
  EXPECT_EQ(DumpAll(back), DumpAll(office));
  ASSERT_EQ(Kap({"copy", files, server, "--replace"}).code, 0);
  EXPECT_EQ(DumpAll(office), original);
}

TEST_F(KapServerTest, AKilledCopyToAServerLeavesItAsItWas) {
  const std::string files = work.path + "files/", office = work.path + "office/";
  ASSERT_EQ(Kap({"init", files}).code, 0);
  ASSERT_EQ(Kap({"demo", files, "--owners", "150", "--today", "20261208"}).code, 0);
  ASSERT_EQ(Kap({"init", office, "--server", server}).code, 0);
  const long all = Records(DumpAll(files));
  for (const char* delay : {"0.05", "0.2", "0.5", "1"}) {
    SCOPED_TRACE(delay);
    const std::string line = "(" + testsupport::ShellQuote(testsupport::BinDir() + "kap") + " copy " + testsupport::ShellQuote(files) + " " +
                             testsupport::ShellQuote(server) + " --replace >/dev/null 2>&1 & p=$!; sleep " + delay +
                             "; kill -9 $p 2>/dev/null; wait $p) 2>/dev/null";
    os::RunShell(line);
    const long now = Records(DumpAll(office));
    EXPECT_TRUE(now == 0 || now == all) << now << " of " << all;
  }
}

TEST_F(KapServerTest, AnUnreachableServerIsNamedWithoutItsPassword) {
  const std::string office = work.path + "office/";
  KapRun init = Kap({"init", office, "--server", "host=127.0.0.1 port=1 dbname=office password=s3cret"});
  EXPECT_EQ(init.code, 1);
  EXPECT_NE(init.err.find("host=127.0.0.1 port=1 dbname=office"), std::string::npos) << init.err;
  EXPECT_EQ(init.err.find("s3cret"), std::string::npos) << init.err;
  EXPECT_EQ(settings::IniRead(office + "Kova.ini", "Dades", "Servidor"), "");  // not pointed at it
  settings::IniWrite(office + "Kova.ini", "Dades", "Servidor", "host=127.0.0.1 port=1 dbname=office");
  KapRun dump = Kap({"dump", office, "VPropiet"});
  EXPECT_EQ(dump.code, 1);
  EXPECT_NE(dump.err.find(": server host=127.0.0.1 port=1 dbname=office: cannot connect"), std::string::npos)
      << dump.err;
  EXPECT_NE(dump.err.find("(status 2)"), std::string::npos) << dump.err;
  EXPECT_EQ(Kap({"init", office, "--server", "a;b"}).code, 2);  // Kova.ini would cut it
}

}  // namespace
