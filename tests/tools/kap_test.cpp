// The kap tool, run as a program: init, load, dump, demo, lock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "format/iban.h"
#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "records/layouts.h"
#include "tests/records/records_helpers.h"
#include "tests/support/test_support.h"
#include "tests/tools/kap_run.h"

namespace {

using kaptest::KapRun;

bool NifOk(const std::string& id) {
  static const std::string letters = "TRWAGMYFPDXBNJZSQVHLCKE";
  if (id.size() != 9) return false;
  std::string digits = id.substr(0, 8);
  if (digits[0] == 'X' || digits[0] == 'Y' || digits[0] == 'Z') digits[0] = static_cast<char>('0' + digits[0] - 'X');
  if (id[0] >= 'A' && id[0] <= 'H') {
    int sum = 0;
    for (int i = 1; i <= 7; ++i) {
      int d = id[static_cast<std::size_t>(i)] - '0';
      sum += (i % 2 == 1) ? (2 * d) / 10 + (2 * d) % 10 : d;
    }
    return id[8] == static_cast<char>('0' + (10 - sum % 10) % 10);
  }
  return letters[static_cast<std::size_t>(std::stol(digits) % 23)] == id[8];
}

bool IbanOk(const std::string& iban) {
  if (iban.size() != 24 || iban.compare(0, 2, "ES") != 0) return false;
  std::string digits = iban.substr(4) + "1428" + iban.substr(2, 2);
  int r = 0;
  for (char c : digits) r = (r * 10 + (c - '0')) % 97;
  return r == 1;
}

class KapTest : public ::testing::Test {
 protected:
  testsupport::TempDir work;
  std::string tree;  // data tree

  void SetUp() override {
    tree = work.path + "tree/";
    ASSERT_EQ(Kap({"init", tree}).code, 0);
  }

  KapRun Kap(const std::vector<std::string>& args) { return kaptest::RunKap(work.path, args); }
  std::string Dump(const std::string& dir, const std::string& table) {
    KapRun r = Kap({"dump", dir, table});
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }
  std::string Csv(const std::string& name, const std::string& text) {
    std::string path = work.path + name;
    EXPECT_TRUE(os::WriteFile(path, text));
    return path;
  }
};

std::vector<std::vector<std::string>> Rows(const std::string& csv) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(csv);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : line) {
      if (c == '"') quoted = !quoted;
      else if (c == ',' && !quoted) {
        fields.push_back(field);
        field.clear();
      } else field += c;
    }
    fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

TEST_F(KapTest, InitLaysOutTheTreeWithGeneratedTemplates) {
  for (const char* sub : {"DADES", "TAULES", "FORMS", "LOCALE", "AJUDA", "ddf"})
    EXPECT_TRUE(os::DirExists(tree + sub)) << sub;
  for (const records::TableLayout& t : records::Layouts()) {
    std::string bytes;
    ASSERT_TRUE(os::ReadFile(tree + "ddf/" + t.baseName + ".xdf", bytes)) << t.baseName;
    EXPECT_EQ(bytes, records::TemplateBytes(t)) << t.baseName;
    EXPECT_TRUE(os::FileExists(tree + t.folder + "/" + t.baseName + ".dat")) << t.baseName;
    EXPECT_EQ(Dump(tree, t.baseName), Dump(tree, t.baseName).substr(0, Dump(tree, t.baseName).find('\n') + 1));
  }
  // Kova.ini in CP850 with the installation holder.
  std::string ini;
  ASSERT_TRUE(os::ReadFile(tree + "Kova.ini", ini));
  EXPECT_NE(ini.find("[Titular]"), std::string::npos);
  EXPECT_NE(ini.find(testsupport::Cp850("Puigdomènech")), std::string::npos);
  std::size_t nif = ini.find("NIF=ES");
  ASSERT_NE(nif, std::string::npos);
  EXPECT_EQ(ini.find_first_of("\r\n", nif) - nif, 4u + 11u);
  EXPECT_TRUE(NifOk(ini.substr(nif + 6, 9)));

  // A second init keeps the office's settings and its records.
  ASSERT_TRUE(os::WriteFile(tree + "Kova.ini", "[Titular]\nNom=Mine\n"));
  ASSERT_EQ(Kap({"load", tree, "UTerrito", Csv("t.csv", "TerritoryCode,TerritoryName\n01,ESTAT\n")}).code, 0);
  ASSERT_EQ(Kap({"init", tree}).code, 0);
  ASSERT_TRUE(os::ReadFile(tree + "Kova.ini", ini));
  EXPECT_EQ(ini, "[Titular]\nNom=Mine\n");
  EXPECT_EQ(Dump(tree, "UTerrito"), "TerritoryCode,TerritoryName\n01,ESTAT\n");
}

TEST_F(KapTest, DumpThenLoadReproducesEveryFile) {
  KapRun demo = Kap({"demo", tree, "--owners", "60", "--today", "20261208"});
  ASSERT_EQ(demo.code, 0) << demo.err;
  const std::string copy = work.path + "copy/";
  ASSERT_EQ(Kap({"init", copy}).code, 0);
  for (const records::TableLayout& t : records::Layouts()) {
    const std::string csv = Dump(tree, t.baseName);
    const std::string path = Csv(t.baseName + ".csv", csv);
    KapRun load = Kap({"load", copy, t.baseName, path});
    ASSERT_EQ(load.code, 0) << t.baseName << ": " << load.err;
    EXPECT_EQ(Dump(copy, t.baseName), csv) << t.baseName;
  }
  // Quoting and accents survive the trip.
  const std::string text = "OwnerCode,OwnerName,OwnerTaxId\n0001,\"Peña, \"\"La Caña\"\" S.L.\",ESB12345674\n";
  const std::string other = work.path + "other/";
  ASSERT_EQ(Kap({"init", other}).code, 0);
  ASSERT_EQ(Kap({"load", other, "VPropiet", Csv("q.csv", text)}).code, 0);
  EXPECT_NE(Dump(other, "VPropiet").find("0001,\"Peña, \"\"La Caña\"\" S.L.\",,0,,,ESB12345674\n"),
            std::string::npos);
}

TEST_F(KapTest, ReplaceSwapsTheWholeContent) {
  ASSERT_EQ(Kap({"load", tree, "UTerrito", Csv("a.csv", "TerritoryCode,TerritoryName\n01,ESTAT\n04,BISCAIA\n")}).code, 0);
  KapRun dup = Kap({"load", tree, "UTerrito", Csv("b.csv", "TerritoryCode,TerritoryName\n04,BIZKAIA\n05,NAVARRA\n")});
  EXPECT_NE(dup.code, 0);
  EXPECT_NE(dup.err.find("line 2, field TerritoryCode: duplicate key 04 (already in the file)"), std::string::npos)
      << dup.err;
  ASSERT_EQ(Kap({"load", tree, "UTerrito", work.path + "b.csv", "--replace"}).code, 0);
  EXPECT_EQ(Dump(tree, "UTerrito"), "TerritoryCode,TerritoryName\n04,BIZKAIA\n05,NAVARRA\n");
}

TEST_F(KapTest, BadInputNamesLineAndFieldAndChangesNothing) {
  ASSERT_EQ(Kap({"load", tree, "VPropiet",
                 Csv("base.csv", "OwnerCode,OwnerName\n0001,First\n0002,Second\n")}).code, 0);
  const std::string before = Dump(tree, "VPropiet");
  struct Case {
    std::string csv;
    std::string message;
  };
  const Case cases[] = {
      {"OwnerCode,Nom\n0003,X\n", "line 1: unknown field \"Nom\""},
      {"OwnerCode,OwnerName,OwnerCode\n0003,X,0003\n", "field \"OwnerCode\" given twice"},
      {"OwnerCode,OwnerName\n0003,Third\n00A4,Fourth\n", "line 3, field OwnerCode: expected up to 4 digits"},
      {"OwnerCode,OwnerName\n12345,X\n", "line 2, field OwnerCode"},
      {"OwnerCode,OwnerName\n0003,Yılmaz Sociedad\n", "line 2, field OwnerName: text not representable in code page 850"},
      {"OwnerCode,OwnerName\n0003," + std::string(41, 'x') + "\n", "line 2, field OwnerName: text longer than 40"},
      {"OwnerCode,RegimeDate\n0003,20240230\n", "line 2, field RegimeDate: expected a date"},
      {"OwnerCode,OwnerStatus\n0003,256\n", "line 2, field OwnerStatus: expected a whole number from 0 to 255"},
      {"OwnerCode,OwnerName\n0003,X\n0003,Y\n", "line 3, field OwnerCode: duplicate key 0003 (also on line 2)"},
      {"OwnerCode,OwnerName\n0009,X\n0002,Y\n", "line 3, field OwnerCode: duplicate key 0002 (already in the file)"},
      {"OwnerCode,OwnerName\n0003,\"open\n", "line 2: quoted value not closed"},
      {"OwnerName\nNobody\n", "line 1: key field \"OwnerCode\" missing"},
      {"OwnerCode,OwnerName\n0000,Zero\n", "line 2, field OwnerCode: must lie between 1 and 9999"},
      {"OwnerCode,OwnerName\n0003,X,Y\n", "line 2: 3 values for 2 fields"},
      {"OwnerCode,OwnerName\n0003,\"multi\nline\"\n0004,\"a\"b\n", "line 4: text after a closing quote"},
  };
  int n = 0;
  for (const Case& c : cases) {
    KapRun r = Kap({"load", tree, "VPropiet", Csv("bad" + std::to_string(n++) + ".csv", c.csv)});
    EXPECT_NE(r.code, 0) << c.csv;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.csv << "\n" << r.err;
    EXPECT_EQ(Dump(tree, "VPropiet"), before) << c.csv;
  }
  KapRun r = Kap({"load", tree, "VPropiet", work.path + "missing.csv"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos);
  r = Kap({"load", tree, "Owners", work.path + "base.csv"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("unknown table \"Owners\""), std::string::npos);
  r = Kap({"dump", work.path + "nowhere", "VPropiet"});
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(Dump(tree, "VPropiet"), before);
  r = Kap({"run303", tree, "--mode", "R"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("--date is required"), std::string::npos) << r.err;
}

// A reader at another terminal: one record-manager handle on the file.
struct Reader {
  unsigned char pos[recman::kPositionBlockSize] = {};
  ~Reader() {
    unsigned char none[1] = {};
    std::uint32_t length = 0;
    recman::BTRCALL(1, pos, none, &length, none, 0, 0);
  }
  int Open(const std::string& path) {
    unsigned char key[256] = {};
    std::memcpy(key, path.data(), path.size());
    char owner[5] = {};
    std::uint32_t length = 0;
    return recman::BTRCALL(0, pos, owner, &length, key, 255, 0);
  }
  int First() {
    std::string data(1536, '\0');
    unsigned char key[256] = {};
    std::uint32_t length = 1536;
    return recman::BTRCALL(12, pos, data.data(), &length, key, 255, 0);
  }
};

TEST_F(KapTest, ReadersGetFileLockedWhileLoadRuns) {
  ASSERT_EQ(Kap({"load", tree, "VPropiet", Csv("one.csv", "OwnerCode,OwnerName\n0001,One\n")}).code, 0);
  Reader reader;
  ASSERT_EQ(reader.Open(tree + "DADES/VPropiet.dat"), 0);
  ASSERT_EQ(reader.First(), 0);
  const std::string fifo = work.path + "slow.csv";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  recordstest::Child load =
      recordstest::StartChild(testsupport::BinDir() + "kap", {"load", tree, "VPropiet", fifo});
  int fd = ::open(fifo.c_str(), O_WRONLY);  // kap holds the file from here on
  ASSERT_GE(fd, 0);
  EXPECT_EQ(reader.First(), 85);
  Reader late;
  EXPECT_EQ(late.Open(tree + "DADES/VPropiet.dat"), 85);
  const std::string csv = "OwnerCode,OwnerName\n0002,Two\n";
  ASSERT_EQ(::write(fd, csv.data(), csv.size()), static_cast<ssize_t>(csv.size()));
  ::close(fd);
  EXPECT_EQ(recordstest::FinishChild(load), 0);
  EXPECT_EQ(reader.First(), 0);
  EXPECT_EQ(Dump(tree, "VPropiet"), "OwnerCode,OwnerName,OwnerAccount,OwnerStatus,RegimeDate,RegimeCode,OwnerTaxId\n"
                                    "0001,One,,0,,,\n0002,Two,,0,,,\n");
}

TEST_F(KapTest, LockHoldsOneRecordUntilInputCloses) {
  ASSERT_EQ(Kap({"load", tree, "VCapPeri",
                 Csv("p.csv", "PeriodGroup,PeriodKeyDate,BaseB\n00010001,20240331,100\n")}).code, 0);
  KapRun missing = Kap({"lock", tree, "VCapPeri", "00010001,20240630"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("status 4"), std::string::npos) << missing.err;
  EXPECT_EQ(Kap({"lock", tree, "VCapPeri", "00010001"}).code, 1);
  recordstest::Child holder = recordstest::StartChild(testsupport::BinDir() + "kap",
                                                      {"lock", tree, "VCapPeri", "00010001,20240331"});
  EXPECT_EQ(recordstest::ReadLine(holder), "locked");
  KapRun second = Kap({"lock", tree, "VCapPeri", "00010001,20240331"});
  EXPECT_EQ(second.code, 1);
  EXPECT_NE(second.err.find("status 84"), std::string::npos) << second.err;
  EXPECT_EQ(recordstest::FinishChild(holder), 0);
}

// Messages say in words what happened, with the status after it; an unknown
// command says so and shows the usage: one line per command and the tables.
TEST_F(KapTest, MessagesSayWhatHappenedAndUsageListsCommandsAndTables) {
  ASSERT_EQ(Kap({"load", tree, "VPropiet", Csv("one.csv", "OwnerCode,OwnerName\n0001,One\n")}).code, 0);
  recordstest::Child holder =
      recordstest::StartChild(testsupport::BinDir() + "kap", {"lock", tree, "VPropiet", "0001"});
  EXPECT_EQ(recordstest::ReadLine(holder), "locked");
  KapRun locked = Kap({"lock", tree, "VPropiet", "0001"});
  EXPECT_EQ(recordstest::FinishChild(holder), 0);
  ASSERT_TRUE(os::WriteFile(tree + "TAULES/UTerrito.dat", std::string(4096, 'x')));
  struct Case {
    KapRun run;
    std::string message;
  } cases[] = {
      {locked, "kap: cannot lock the record: the record is locked by another user (status 84)"},
      {Kap({"lock", tree, "VPropiet", "0002"}), "kap: cannot lock the record: no record with that key (status 4)"},
      {Kap({"dump", tree, "UTerrito"}), "not a record file (status 30)"},
      {Kap({"frobnicate", tree}), "kap: unknown command 'frobnicate'"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(c.run.code, 0) << c.message;
    EXPECT_NE(c.run.err.find(c.message), std::string::npos) << c.run.err;
  }
  for (const std::vector<std::string>& args : {std::vector<std::string>{"frobnicate"}, std::vector<std::string>{}}) {
    const KapRun r = Kap(args);
    EXPECT_EQ(r.code, 2);
    for (const char* line : {"\n  kap init DIR", "\n  kap load DIR TABLE FILE.csv [--replace]", "\n  kap dump DIR TABLE",
                             "\n  kap demo DIR", "\n  kap lock DIR TABLE KEY", "\n  kap run303 DIR"})
      EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
    for (const char* table : {"VPropiet", "UFiscal", "UHisenda", "VGrups", "VCapPeri", "VLinPeri", "UTerrito"})
      EXPECT_NE(r.err.find(table), std::string::npos) << table;
  }
}

// ---- demo --------------------------------------------------------------------------------

TEST_F(KapTest, DemoMakesAPlausibleRepeatableOffice) {
  KapRun demo = Kap({"demo", tree, "--today", "20261208"});
  ASSERT_EQ(demo.code, 0) << demo.err;
  auto owners = Rows(Dump(tree, "VPropiet"));
  ASSERT_EQ(owners.size(), 301u);
  int inactive = 0, noAccount = 0, foreign = 0, companies = 0, cash = 0, accented = 0;
  for (std::size_t i = 1; i < owners.size(); ++i) {
    const auto& o = owners[i];
    EXPECT_EQ(o[0], (std::ostringstream() << std::string(4 - std::to_string(i).size(), '0') << i).str());
    if (o[3] == "1") ++inactive;
    if (o[2].empty()) ++noAccount;
    else {
      EXPECT_TRUE(IbanOk(o[2])) << o[2];
      std::string checked = o[2];
      EXPECT_EQ(format::CheckIban(checked), format::kIbanValid) << o[2];
    }
    if (o[5] == "C") ++cash;
    if (o[1].find_first_of("\xC3") != std::string::npos) ++accented;
    if (o[6].compare(0, 2, "ES") != 0) {
      ++foreign;
    } else if (o[6].size() > 2) {
      EXPECT_TRUE(NifOk(o[6].substr(2))) << o[6];
      if (o[6][2] == 'A' || o[6][2] == 'B') ++companies;
    }
  }
  EXPECT_GT(inactive, 0);
  EXPECT_GT(noAccount, 0);
  EXPECT_GT(foreign, 0);
  EXPECT_GT(companies, 30);
  EXPECT_GT(cash, 5);
  EXPECT_GT(accented, 50);

  auto territories = Rows(Dump(tree, "UTerrito"));
  ASSERT_GE(territories.size(), 3u);
  EXPECT_EQ(territories[1][0], "01");

  // Every period of a group is a quarter end of the last two years, and the
  // compensation carried in matches what the previous quarter left.
  auto periods = Rows(Dump(tree, "VCapPeri"));
  const std::set<std::string> quarterEnds = {"20241231", "20250331", "20250630", "20250930",
                                             "20251231", "20260331", "20260630", "20260930"};
  std::map<std::string, long> pending;
  std::set<std::string> groupsWithPeriods;
  for (std::size_t i = 1; i < periods.size(); ++i) {
    const auto& p = periods[i];
    EXPECT_EQ(quarterEnds.count(p[1]), 1u) << p[1];
    groupsWithPeriods.insert(p[0]);
    long output = std::stol(p[4]) + std::stol(p[7]) + std::stol(p[17]);
    long result = output - std::stol(p[10]) - std::stol(p[14]);
    long carried = pending[p[0]];
    EXPECT_EQ(std::stol(p[11]), -carried) << p[0] << " " << p[1];
    EXPECT_EQ(std::stol(p[12]), result - carried) << p[0] << " " << p[1];
    pending[p[0]] = std::max(0L, carried - result);
  }
  auto groups = Rows(Dump(tree, "VGrups"));
  EXPECT_EQ(groupsWithPeriods.size(), groups.size() - 1);
  EXPECT_GT(groups.size(), 301u);

  // The same date gives the same data; a tree with records is refused.
  const std::string again = work.path + "again/";
  ASSERT_EQ(Kap({"init", again}).code, 0);
  ASSERT_EQ(Kap({"demo", again, "--today", "20261208"}).code, 0);
  for (const char* t : {"VPropiet", "VCapPeri", "VLinPeri", "UFiscal"}) EXPECT_EQ(Dump(again, t), Dump(tree, t)) << t;
  KapRun refused = Kap({"demo", again});
  EXPECT_NE(refused.code, 0);
  EXPECT_NE(refused.err.find("already holds records"), std::string::npos);
  EXPECT_NE(Kap({"demo", again, "--owners", "0"}).code, 0);
  EXPECT_NE(Kap({"demo", again, "--owners", "10000"}).code, 0);
}

}  // namespace

namespace {

TEST_F(KapTest, LoadKilledHalfWayLeavesAllOrNothing) {
  std::string csv = "LineGroup,LineDate,LineNumber,LineText,LineAmount\n";
  const int count = 40000;
  for (int i = 0; i < count; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "%08d,20240331,%04d,Text %d,%d\n", i / 100, i % 100, i, -i);
    csv += line;
  }
  const std::string path = Csv("big.csv", csv);
  // Killed at different moments, the load has either written every record or none.
  for (const char* delay : {"0.02", "0.05", "0.08", "0.12", "0.2"}) {
    SCOPED_TRACE(delay);
    const std::string target = work.path + "k" + delay + "/";
    ASSERT_EQ(Kap({"init", target}).code, 0);
    const std::string line = "(" + testsupport::ShellQuote(testsupport::BinDir() + "kap") + " load " + testsupport::ShellQuote(target) +
                             " VLinPeri " + testsupport::ShellQuote(path) + " >/dev/null 2>&1 & p=$!; sleep " + delay +
                             "; kill -9 $p 2>/dev/null; wait $p) 2>/dev/null";
    os::RunShell(line);
    const std::string dump = Dump(target, "VLinPeri");
    const long rows = static_cast<long>(std::count(dump.begin(), dump.end(), '\n')) - 1;
    EXPECT_TRUE(rows == 0 || rows == count) << rows;
  }
}

}  // namespace
