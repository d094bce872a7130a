// Full disks and refused writes: kap and ZEDIRIDI run once per n with the
// n-th write, rename or directory creation refused, until a run no longer
// reaches it. Every failure is on standard error with a failing exit code,
// nothing is reported written that was not, and no earlier file is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/os.h"
#include "records/layouts.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::RefusedRun;
using testsupport::RunRefused;

constexpr int kMaxRuns = 400;  // far more calls than any of these runs makes

std::string Read(const std::string& path) {
  std::string s;
  return os::ReadFile(path, s) ? s : "<missing>";
}

class RefusedWrites : public ::testing::Test {
 protected:
  testsupport::TempDir work;
  std::string Kap() const { return testsupport::BinDir() + "kap"; }

  // Every table as kap dump shows it.
  std::string Dumps(const std::string& tree) {
    std::string all;
    for (const records::TableLayout& t : records::Layouts()) {
      const RefusedRun r = RunRefused({Kap(), "dump", tree, t.baseName}, "write:0", "");
      EXPECT_EQ(r.code, 0) << r.err;
      all += t.baseName + "\n" + r.out;
    }
    return all;
  }

  // A data tree with records and the office's own settings, to start from.
  std::string OfficeTree() {
    const std::string tree = work.path + "office/";
    EXPECT_EQ(RunRefused({Kap(), "init", tree}, "write:0", "").code, 0);
    EXPECT_TRUE(os::WriteFile(work.path + "t.csv", "TerritoryCode,TerritoryName\n1,ESTAT\n2,NAVARRA\n"));
    EXPECT_EQ(RunRefused({Kap(), "load", tree, "UTerrito", work.path + "t.csv"}, "write:0", "").code, 0);
    EXPECT_TRUE(os::WriteFile(tree + "Kova.ini", "[Titular]\r\nNom=OFICINA\r\n"));
    return tree;
  }
};

TEST_F(RefusedWrites, KapInitOfANewTreeSaysWhatFailed) {
  const std::string tree = work.path + "new/";
  for (const char* kind : {"write", "rename", "mkdir"}) {
    int n = 1;
    for (;; ++n) {
      ASSERT_LT(n, kMaxRuns) << kind;
      testsupport::RemoveTree(tree);
      const RefusedRun r = RunRefused({Kap(), "init", tree}, std::string(kind) + ":" + std::to_string(n), work.path);
      if (!r.struck) {
        EXPECT_EQ(r.code, 0) << r.err;
        break;
      }
      SCOPED_TRACE(r.where);
      EXPECT_EQ(r.code, 1);
      EXPECT_NE(r.err.find("kap: "), std::string::npos);
      EXPECT_EQ(r.out.find("ready"), std::string::npos);
    }
    EXPECT_GT(n, 1) << kind << ": no call was ever refused";
  }
}

TEST_F(RefusedWrites, KapInitOverAnOfficeKeepsItsFiles) {
  const std::string office = OfficeTree();
  const std::string dumps = Dumps(office);
  const std::string tree = work.path + "run/";
  for (const char* plan : {"write:%d", "rename:%d:EACCES", "write:%d+"}) {
    for (int n = 1;; ++n) {
      ASSERT_LT(n, kMaxRuns) << plan;
      ASSERT_TRUE(testsupport::CopyTree(office, tree));
      char text[32];
      std::snprintf(text, sizeof text, plan, n);
      const RefusedRun r = RunRefused({Kap(), "init", tree}, text, work.path);
      SCOPED_TRACE(std::string(text) + " " + r.where);
      EXPECT_EQ(Read(tree + "Kova.ini"), Read(office + "Kova.ini"));
      for (const records::TableLayout& t : records::Layouts())
        EXPECT_EQ(Read(tree + "ddf/" + t.baseName + ".xdf"), records::TemplateBytes(t)) << t.baseName;
      EXPECT_EQ(Dumps(tree), dumps);
      if (!r.struck) {
        EXPECT_EQ(r.code, 0) << r.err;
        break;
      }
      EXPECT_EQ(r.code, 1);
      EXPECT_NE(r.err.find("kap: cannot "), std::string::npos) << r.err;
    }
  }
}

TEST_F(RefusedWrites, KapLoadLoadsAllOrNothingAndSaysWhich) {
  const std::string office = OfficeTree();
  const std::string before = Dumps(office);
  const std::string csv = work.path + "g.csv";
  ASSERT_TRUE(os::WriteFile(csv, "GroupCode,GroupName,GroupTerritory\n00010001,LLOGUERS,1\n00010002,LOCALS,2\n"));
  const std::string tree = work.path + "run/";
  ASSERT_TRUE(testsupport::CopyTree(office, tree));
  ASSERT_EQ(RunRefused({Kap(), "load", tree, "VGrups", csv}, "write:0", "").code, 0);
  const std::string after = Dumps(tree);
  ASSERT_NE(after, before);

  for (const char* plan : {"write:%d", "write:%d+:EIO", "rename:%d"}) {
    for (int n = 1;; ++n) {
      ASSERT_LT(n, kMaxRuns) << plan;
      ASSERT_TRUE(testsupport::CopyTree(office, tree));
      char text[32];
      std::snprintf(text, sizeof text, plan, n);
      const RefusedRun r = RunRefused({Kap(), "load", tree, "VGrups", csv}, text, work.path);
      SCOPED_TRACE(std::string(text) + " " + r.where);
      const std::string now = Dumps(tree);
      if (r.code == 0) {
        // Reported loaded: it is in the file (a refusal after the records
        // were safely in the file's journal changes nothing).
        EXPECT_NE(r.out.find("2 records loaded"), std::string::npos);
        EXPECT_EQ(now, after);
      } else {
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("nothing loaded"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(now, before);
      }
      if (!r.struck) {
        EXPECT_EQ(r.code, 0) << r.err;
        break;
      }
    }
  }
}

TEST_F(RefusedWrites, ZediridiKeepsTheEarlierOutputAndSaysWhatFailed) {
  const std::string spool = "DEVICE%s\r\nPAGE 66 \r\n 1 ,HOLA, 1 \r\n";
  for (const char* device : {"PDF", "TXT"}) {
    const std::string out = work.path + (std::string(device) == "PDF" ? "informe.pdf" : "informe.txt");
    for (const char* plan : {"write:%d", "rename:%d", "write:%d+:EACCES"}) {
      for (int n = 1;; ++n) {
        ASSERT_LT(n, kMaxRuns);
        char text[32];
        std::snprintf(text, sizeof text, plan, n);
        char spoolText[64];
        std::snprintf(spoolText, sizeof spoolText, spool.c_str(), device);
        ASSERT_TRUE(os::WriteFile(work.path + "zediridi.tmp", spoolText));
        ASSERT_TRUE(os::WriteFile(out, "EARLIER"));
        os::DeleteFile(work.path + "zediridi.err");
        const RefusedRun r = RunRefused({testsupport::BinDir() + "ZEDIRIDI"}, text, work.path,
                                        {"KAPROOT=" + work.path, "KAPTMP=" + work.path, "DISPLAY=", "WAYLAND_DISPLAY="});
        SCOPED_TRACE(std::string(device) + " " + text + " " + r.where);
        if (!r.struck) {
          EXPECT_EQ(r.code, 0) << r.err;
          EXPECT_NE(Read(out), "EARLIER");
          break;
        }
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("ZEDIRIDI: no es pot escriure el fitxer " + out), std::string::npos) << r.err;
        EXPECT_EQ(Read(out), "EARLIER");
      }
    }
  }
}

}  // namespace
