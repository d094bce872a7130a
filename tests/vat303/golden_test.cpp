// The outputs of a small office, byte for byte: filing files, NRC request
// files (both record versions), the payment map and the report's spool.
// The office (tests/vat303/data/*.csv) has persons and companies, accents,
// C-cedilla and N-tilde, negative, zero and compensated results, cash
// accounting, an annual summary, two territories whose codes select the same
// agency directory, the payment forms N, D and E, a third quarter, owner
// 9999 and two owners whose requests are equal.
//
// With KOVA_UPDATE_GOLDEN=1 the expected files are written instead of
// compared (each must then be checked by hand before it is committed).
//
// The same run on the record files of the data folder and on a server
// (KOVA_TEST_PG; skipped without it) gives the same files, byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <set>

#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/filing_check.h"
#include "vat303/filing_rules.h"
#include "vat303/quarter_check.h"

namespace returntest {
namespace {

std::string GoldenDir() { return TestsDir() + "golden/"; }

// The expected files under golden/, by relative path.
std::map<std::string, std::string> GoldenFiles() {
  std::map<std::string, std::string> expected;
  std::vector<std::string> stack = {""};
  while (!stack.empty()) {
    const std::string relative = stack.back();
    stack.pop_back();
    std::vector<os::DirEntry> entries;
    os::ListDir(GoldenDir() + relative, entries);
    for (const os::DirEntry& e : entries) {
      if (e.isDir) {
        stack.push_back(relative + e.name + "/");
      } else {
        os::ReadFile(GoldenDir() + relative + e.name, expected[relative + e.name]);
      }
    }
  }
  return expected;
}

void ExpectGolden(const std::map<std::string, std::string>& expected,
                  const std::map<std::string, std::string>& outputs) {
  ASSERT_FALSE(expected.empty()) << "no golden files in " << GoldenDir();
  for (const auto& [name, bytes] : expected) {
    auto found = outputs.find(name);
    if (found == outputs.end()) {
      ADD_FAILURE() << name << " was not written";
      continue;
    }
    if (found->second == bytes) continue;
    std::size_t at = 0;
    while (at < bytes.size() && at < found->second.size() && bytes[at] == found->second[at]) ++at;
    ADD_FAILURE() << name << " differs from byte " << at + 1 << " (lengths " << found->second.size() << " and "
                  << bytes.size() << ")";
  }
  for (const auto& [name, bytes] : outputs)
    if (!expected.count(name)) ADD_FAILURE() << name << " was written but is not expected";
}

class GoldenTest : public ReturnTest, public ::testing::WithParamInterface<bool> {
 protected:
  // On a server: the tree's Kova.ini names it, and kap and the run use it.
  void SetUp() override {
    if (GetParam()) {
      if (testsupport::TestServer().empty()) GTEST_SKIP() << "no server: KOVA_TEST_PG is not set";
      schema = std::make_unique<testsupport::ServerSchema>();
      ASSERT_TRUE(schema->ok);
    }
    ReturnTest::SetUp();
    if (GetParam()) {
      ASSERT_EQ(Kap({"init", tree, "--server", testsupport::TestServer()}), 0) << lastKapErrors;
      recman::UseServer(testsupport::TestServer(), tree);  // for InsertRaw
      // Nothing may read or make files in the folder from here on.
      os::RunShell("rm -f '" + tree + "'DADES/*.dat* '" + tree + "'TAULES/*.dat*");
    }
  }
  void TearDown() override {
    if (GetParam()) {
      EXPECT_FALSE(os::FileExists(tree + "DADES/VPropiet.dat"));
    }
    ReturnTest::TearDown();
    recman::UseServer("", "");
    schema.reset();
  }
  std::unique_ptr<testsupport::ServerSchema> schema;

  void LoadOffice() {
    for (const char* table : {"UTerrito", "VPropiet", "UFiscal", "VGrups", "VCapPeri"}) LoadTable(table);
    // A territory record whose code byte is 0x01: not packed, but its digits
    // read 01 as the state's do, so its returns go to the same agency
    // directory (AEAT). It sorts first. One group of owner 10 belongs to it.
    std::string territory(32, '\0');
    territory[0] = '\x01';
    territory.replace(1, 10, "ESTAT BIS ");
    InsertRaw("UTerrito", {territory});
    std::string group(64, '\0');
    group.replace(0, 4, std::string("\x80\x8A\x80\x82", 4));  // 00100002
    std::string name = "Apartament Sitges";
    name.resize(40, ' ');
    group.replace(4, 40, name);
    group[49] = '\x01';
    InsertRaw("VGrups", {group});
  }

  void At(int year, int month, int day) { os::SetFixedNow({year, month, day, 10, 0, 0, 0}); }
};

INSTANTIATE_TEST_SUITE_P(Store, GoldenTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Server" : "Files"; });

TEST_P(GoldenTest, OutputsOfTheOfficeMatchTheCheckedFiles) {
  LoadOffice();
  OpenFiles();

  At(2025, 1, 20);
  Select("S", "20241231", 1, 9999, "D", true);  // annual summary, direct debit
  EXPECT_EQ(Run(), 0);
  At(2024, 7, 15);
  Select("S", "20240630", 1, 9999, "N", false);  // NRC requests, record version 2
  EXPECT_EQ(Run(), 0);
  // ESTAT BIS wrote owner 10's file into AEAT first; ESTAT then replaced it.
  // The three territories' files; in ESTAT owner 12's missing fiscal record
  // and owner 14's negative base.
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0], "INFORME : GENERATS 1 FITXERS A " + tree + "AEAT/303M2024.2T/");
  EXPECT_EQ(messages[1], "INFORME : GENERATS 10 FITXERS A " + tree + "AEAT/303M2024.2T/");
  EXPECT_NE(messages[2].find(": 0012"), std::string::npos);
  EXPECT_NE(messages[3].find(": 14.1 30/6/2024"), std::string::npos);
  EXPECT_EQ(messages[4], "INFORME : GENERATS 2 FITXERS A " + tree + "DFB/303M2024.2T/");
  At(2024, 4, 20);
  Select("S", "20240331", 1, 9999, "E", false);  // no account needed
  EXPECT_EQ(Run(), 0);
  At(2015, 1, 20);
  Select("S", "20141231", 1, 9999, "N", false);  // record version 1
  EXPECT_EQ(Run(), 0);
  // A third quarter before 2025 over a range that stops one owner short of
  // owner 14, then owner 9999 alone, whose request equals owner 2's.
  At(2024, 10, 15);
  Select("S", "20240930", 1, 13, "N", false);
  EXPECT_EQ(Run(), 0);
  Select("S", "20240930", 9999, 9999, "N", false);
  EXPECT_EQ(Run(), 0);
  At(2024, 7, 15);
  Select("R", "20240630", 1, 9999, "D", false);  // the report
  EXPECT_EQ(Run(), 0);
  ASSERT_TRUE(PrintProgramRan());

  std::map<std::string, std::string> outputs = Outputs();
  os::ReadFile(exe + "printed.tmp", outputs["spool/zediridi"]);

  // Every filing file follows the record design.
  for (const auto& [name, bytes] : outputs) {
    if (name.find("/P") == std::string::npos) continue;
    for (const vat303::FilingFault& fault : vat303::ReadFilingText(bytes).faults)
      ADD_FAILURE() << name << " position " << fault.position << ": " << fault.text;
  }

  // And every rule of its quarter: each owner's byte of the map is that of
  // its latest file, whichever quarter that is in.
  for (const std::string& folder : vat303::AllQuarterFolders(tree)) {
    std::string year;
    int quarter = 0;
    ASSERT_TRUE(vat303::QuarterOfFolder(folder, year, quarter)) << folder;
    for (const vat303::FolderFault& f : vat303::CheckAgencyFolder(tree, folder, year, quarter).faults)
      ADD_FAILURE() << folder << f.file << ": " << f.rule << " " << f.fields;
  }

  if (std::getenv("KOVA_UPDATE_GOLDEN")) {
    os::RunShell("rm -rf '" + GoldenDir() + "'");
    for (const auto& [name, bytes] : outputs) {
      const std::string path = GoldenDir() + name;
      os::MakeDirs(path.substr(0, path.rfind('/') + 1));
      ASSERT_TRUE(os::WriteFile(path, bytes));
    }
    GTEST_SKIP() << "golden files written to " << GoldenDir();
  }

  const std::map<std::string, std::string> expected = GoldenFiles();
  ExpectGolden(expected, outputs);

  // A rerun of the second quarter replaces every file and request with the
  // same; the requests of owners filed with E since come back at the end.
  At(2024, 7, 15);
  Select("S", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(Run(), 0);
  const std::map<std::string, std::string> again = Outputs();
  const auto requests = [](const std::string& nrc) {
    std::multiset<std::string> details;
    for (std::size_t at = 258; at + 258 < nrc.size(); at += 258) details.insert(nrc.substr(at + 7, 251));
    return std::make_pair(details, nrc.substr(0, 258) + nrc.substr(nrc.size() - 258));
  };
  for (const auto& [name, bytes] : expected) {
    if (name.find("303M2024.2T/NRC") != std::string::npos) {
      EXPECT_TRUE(requests(again.at(name)) == requests(bytes)) << name;
    } else if (name.find("303M2024.2T/") != std::string::npos) {
      EXPECT_EQ(again.at(name), bytes) << name;
    }
  }
}

// kap check303 over the office's second quarter: it passes and writes
// nothing; then one fault made per case, found by its rule, and put back.
TEST_P(GoldenTest, Check303FindsEachFaultOfAQuarterAndWritesNothing) {
  LoadOffice();
  OpenFiles();
  At(2024, 7, 15);
  Select("S", "20240630", 1, 9999, "N", false);
  ASSERT_EQ(Run(), 0);
  const std::string dir = tree + "AEAT/303M2024.2T/";
  const std::map<std::string, std::string> clean = Outputs();
  os::WriteFile(dir + "~P0001.tmp", "a writer at work");
  const std::string listing = "find " + testsupport::ShellQuote(tree) + " -printf '%p %s %T@\\n' | sort >" +
                              testsupport::ShellQuote(work.path + "listing");
  std::string before, after;
  os::RunShell(listing), os::ReadFile(work.path + "listing", before);
  ASSERT_EQ(Kap({"check303", tree, "--date", "20240630"}), 0) << lastKapOutput << lastKapErrors;
  os::RunShell(listing), os::ReadFile(work.path + "listing", after);
  EXPECT_EQ(after, before);
  EXPECT_NE(after.find("~P0001.tmp"), std::string::npos);
  EXPECT_NE(lastKapOutput.find("AEAT/303M2024.2T: 10 filing files, "), std::string::npos) << lastKapOutput;

  // The filing file of the first request, and its owner's byte of the map.
  std::string nrc = clean.at("AEAT/303M2024.2T/NRC_BANC.SOL"), requested, map = clean.at("DADES/V303.MAP");
  for (const auto& [name, bytes] : clean)
    if (name.find("303M2024.2T/P") != std::string::npos && vat303::ReadFilingPayment(bytes).taxId == nrc.substr(276, 9))
      requested = name.substr(name.size() - 5);  // the detail's tax id: record 2, positions 19-27
  ASSERT_FALSE(requested.empty());
  const std::string file = clean.at("AEAT/303M2024.2T/" + requested);
  // The NRC file with one byte changed (`at` from its end when negative).
  auto nrcWith = [&](long at, const char* byte) {
    const std::size_t place = static_cast<std::size_t>(at < 0 ? static_cast<long>(nrc.size()) + at : at);
    return [&, place, byte] { os::WriteFile(dir + "NRC_BANC.SOL", std::string(nrc).replace(place, 1, byte)); };
  };
  const struct Case {
    std::string found;
    std::function<void()> make;
  } cases[] = {
      {"V303.JNL: diari", [&] { os::WriteFile(dir + "V303.JNL", ""); }},
      {"notes.txt: fitxer-estrany", [&] { os::WriteFile(dir + "notes.txt", "x"); }},
      {requested + ": sollicitud-falta", [&] { os::DeleteFile(dir + "NRC_BANC.SOL"); }},
      {"NRC_BANC.SOL record 2: sollicitud-sobrant", [&] { os::DeleteFile(dir + requested); }},
      {"NRC_BANC.SOL record 2: nrc-numeracio", nrcWith(258 + 6, "7")},
      {"nrc-total", nrcWith(-258 + 23, "9")},
      {"nrc-registre", [&] { os::WriteFile(dir + "NRC_BANC.SOL", nrc.substr(1)); }},
      {"NRC_BANC.SOL record 1: nrc-capcalera", nrcWith(99, "3")},
      {"nrc-final", [&] { os::WriteFile(dir + "NRC_BANC.SOL", nrc.substr(0, nrc.size() - 258)); }},
      {"NRC_BANC.SOL record 2: nrc-periode", nrcWith(258 + 14, "3")},
      {"NRC_BANC.SOL record 2: nrc-tipus", nrcWith(258, "9")},
      {"NRC_BANC.SOL record 2: nrc-import", nrcWith(258 + 74, "X")},
      {"nrc-recompte", nrcWith(-258 + 6, "8")},
      {requested + ": mapa",
       [&] { os::WriteFile(tree + "DADES/V303.MAP", map.replace(std::stoul(requested.substr(1)) - 1, 1, "D")); }},
      {": mapa-falta", [&] { os::DeleteFile(tree + "DADES/V303.MAP"); }},
      {requested + ": tipus (01/13 03/374)",
       [&] { os::WriteFile(dir + requested, file.substr(0, 340) + "N" + file.substr(341)); }},
  };
  for (const Case& c : cases) {
    c.make();
    EXPECT_EQ(Kap({"check303", tree, "--date", "20240630"}), 1) << c.found;
    EXPECT_NE(lastKapOutput.find(c.found), std::string::npos) << c.found << "\n" << lastKapOutput;
    os::DeleteFile(dir + "V303.JNL"), os::DeleteFile(dir + "notes.txt");
    for (const auto& [name, bytes] : clean) os::WriteFile(tree + name, bytes);
  }
  const std::vector<std::vector<std::string>> bad = {
      {"check303", tree}, {"check303", tree, "--date", "20240631"}, {"check303", tree + "none", "--date", "20240630"}};
  for (const std::vector<std::string>& args : bad) EXPECT_EQ(Kap(args), 2) << args.back();
  // A quarter never filed is not one ready to be sent.
  EXPECT_EQ(Kap({"check303", tree, "--date", "20230630"}), 1);
}

// The same office through `kap run303`: the batch run gives the same files
// as the run inside the program (the clock fixed through KOVA_NOW, the
// presenter's town and account given as options).
TEST_P(GoldenTest, TheBatchRunGivesTheSameFiles) {
  LoadOffice();
  os::WriteFile(tmp + "KovaTerm.ini", "[Sistema]\r\nSortida=PDF\r\nIdioma=CAT\r\n");
  os::SetEnv("KAPTMP", tmp);
  os::SetEnv("KAPEXE", exe);
  struct BatchRun {
    const char* today;
    std::vector<std::string> options;
  };
  const std::string account = "21000418450200051332";
  const BatchRun runs[] = {
      {"20250120", {"--mode", "S", "--date", "20241231", "--payment", "D", "--annual", "S"}},
      {"20240715", {"--mode", "S", "--date", "20240630", "--payment", "N", "--annual", "N"}},
      {"20240420", {"--mode", "S", "--date", "20240331", "--payment", "E"}},
      {"20150120", {"--mode", "S", "--date", "20141231", "--payment", "N", "--annual", "N"}},
      {"20241015", {"--mode", "S", "--date", "20240930", "--to", "13", "--payment", "N"}},
      {"20241015", {"--mode", "S", "--date", "20240930", "--from", "9999", "--to", "9999", "--payment", "N"}},
      {"20240715", {"--mode", "R", "--date", "20240630", "--payment", "D", "--annual", "N"}},
  };
  for (const BatchRun& run : runs) {
    os::SetEnv("KOVA_NOW", run.today);
    std::vector<std::string> args = {"run303", tree, "--town", "Girona", "--account", account};
    args.insert(args.end(), run.options.begin(), run.options.end());
    EXPECT_EQ(Kap(args), 0) << lastKapErrors;
  }
  os::SetEnv("KOVA_NOW", "");
  os::SetEnv("KAPTMP", "");
  os::SetEnv("KAPEXE", "");
  ASSERT_TRUE(PrintProgramRan());
  std::map<std::string, std::string> outputs = Outputs();
  os::ReadFile(exe + "printed.tmp", outputs["spool/zediridi"]);
  ExpectGolden(GoldenFiles(), outputs);
}

}  // namespace
}  // namespace returntest
