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
#include "tests/tools/filing_run.h"
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

// The server ends a filing run's connection while the run waits for a
// period file another terminal holds: the run stops, names the file (its
// host path) and the status in words, and leaves every request with its
// filing file; the next run files the quarter.
TEST_F(KapServerTest, ARunWhoseConnectionTheServerEndsStopsAndLosesNoRequest) {
  const std::string office = work.path + "office/", exe = work.path + "exe/";
  ASSERT_EQ(Kap({"init", office, "--server", server + " application_name=" + schema->name}).code, 0);
  ASSERT_EQ(Kap({"demo", office, "--owners", "40", "--today", "20240715"}).code, 0);
  ASSERT_TRUE(os::AppendFile(office + "Kova.ini", "[Titular]\r\nNom=G\r\nNIF=ESB12345674\r\n"));
  ASSERT_TRUE(os::MakeDirs(exe) && os::WriteFile(exe + "ZEDIRIDI", "#!/bin/sh\n"));
  os::RunShell("chmod +x " + testsupport::ShellQuote(exe + "ZEDIRIDI"));
  std::string run = "KAPTMP=" + testsupport::ShellQuote(work.path) + " KAPEXE=" + testsupport::ShellQuote(exe) +
                    " KOVA_NOW=20240715 " + testsupport::ShellQuote(testsupport::BinDir() + "kap") + " run303 " +
                    testsupport::ShellQuote(office) +
                    " --mode S --date 20240630 --payment N --town GIRONA --account 21000418450200051332";
  ASSERT_EQ(os::RunShell(run + " 2>/dev/null"), 0);
  filingrun::ExpectChecked(office, "20240630", "first run", false);

  // The run is kept at its first agency folder (its lock held here) until
  // another terminal holds the period file, then let go to wait for that.
  std::vector<os::Lock> folders;
  for (const auto& [path, bytes] : filingrun::Outputs(office))
    if (filingrun::IsNrc(path)) {
      folders.emplace_back();
      ASSERT_TRUE(os::LockDirectory(folders.back(), office + filingrun::Folder(path), 0));
    }
  os::RunShell("(" + run + " 2>" + testsupport::ShellQuote(work.path + "run.err") + "; echo $? >" +
               testsupport::ShellQuote(work.path + "run.code") + ") &");
  const std::string sessions = "psql " + testsupport::ShellQuote(server) +
                               " -qAtX -c \"SELECT count(*) FROM pg_stat_activity WHERE application_name = '" +
                               schema->name + "'\"";
  for (int i = 0; i < 300 && testsupport::CommandOutput(sessions) != "1\n"; ++i) os::SleepMs(100);
  ASSERT_EQ(testsupport::CommandOutput(sessions), "1\n") << "the run never connected";
  recordstest::Child holder = recordstest::StartChild(testsupport::BinDir() + "kap", {"lock", office, "VCapPeri", "--file"});
  ASSERT_EQ(recordstest::ReadLine(holder), "locked");
  for (os::Lock& lock : folders) os::Unlock(lock);
  std::string err;  // the run says it waits for the file
  for (int i = 0; i < 300 && err.find("FITXER BLOQUEJAT") == std::string::npos; ++i) {
    os::SleepMs(100);
    os::ReadFile(work.path + "run.err", err);
  }
  ASSERT_NE(err.find("FITXER BLOQUEJAT"), std::string::npos) << "the run never waited:\n" << err;
  ASSERT_TRUE(testsupport::Psql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = '" +
                                schema->name + "'"));
  std::string code;
  for (int i = 0; i < 600 && !os::ReadFile(work.path + "run.code", code); ++i) os::SleepMs(100);
  recordstest::FinishChild(holder);
  EXPECT_EQ(code, "1\n");
  os::ReadFile(work.path + "run.err", err);
  EXPECT_NE(err.find("ERROR DE LECTURA AL FITXER " + office + "DADES/VCapPeri: "), std::string::npos) << err;
  EXPECT_NE(err.find("(ESTAT 2)"), std::string::npos) << err;
  filingrun::ExpectChecked(office, "20240630", "the connection ended", true);
  ASSERT_EQ(os::RunShell(run + " 2>/dev/null"), 0);
  filingrun::ExpectChecked(office, "20240630", "the next run", false);
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
