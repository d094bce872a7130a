// The run of the return: what it replaces on a rerun, what it skips, what it
// tells the operator, and what it does with data and folders it cannot use.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "forms/selection.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "tests/records/records_helpers.h"
#include "tests/tools/filing_run.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/driver.h"
#include "vat303/history.h"
#include "vat303/nrc_file.h"
#include "vat303/run_log.h"
#include "vat303/run_messages.h"
#include "vat303/run_reads.h"
#include "vat303/texts.h"

namespace returntest {
namespace {

namespace texts = vat303::texts;

class DriverTest : public ReturnTest {
 protected:
  void TearDown() override {
    vat303::SetLockWaitMs(60000);  // the run's own wait, whatever a test set
    ReturnTest::TearDown();
  }
  void LoadOffice() {
    for (const char* table : {"UTerrito", "VPropiet", "UFiscal", "VGrups", "VCapPeri"}) LoadTable(table);
  }
  // Replaces the owner table by the office's with one line changed.
  void ChangeOwner(const std::string& from, const std::string& to) {
    CloseFiles();
    std::string csv;
    os::ReadFile(TestsDir() + "data/VPropiet.csv", csv);
    const std::size_t at = csv.find(from);
    ASSERT_NE(at, std::string::npos);
    csv.replace(at, from.size(), to);
    os::WriteFile(work.path + "owners.csv", csv);
    ASSERT_EQ(Kap({"load", tree, "VPropiet", work.path + "owners.csv", "--replace"}), 0) << lastKapErrors;
    OpenFiles();
  }
  bool Said(const char* text) const {
    const std::string t = settings::Translate(text);
    for (const std::string& m : messages)
      if (m.find(t) != std::string::npos) return true;
    return false;
  }
  std::vector<std::string> Requests(const std::string& nrc) {
    std::string bytes = Read(nrc);
    std::vector<std::string> ids;
    for (std::size_t at = 258; at + 258 < bytes.size(); at += 258) ids.push_back(bytes.substr(at + 18, 9));
    return ids;
  }
  const std::string q2 = "AEAT/303M2024.2T/";
};

TEST_F(DriverTest, ARerunTakesAwayTheFileAndRequestOfAnOwnerWhoNoLongerQualifies) {
  LoadOffice();
  OpenFiles();
  os::SetFixedNow({2024, 7, 15});
  Select("S", "20240630", 1, 9999, "N", false);
  ASSERT_EQ(Run(), 0);
  ASSERT_TRUE(os::FileExists(tree + q2 + "P0001"));
  EXPECT_EQ(Requests(q2 + "NRC_BANC.SOL")[0], "12345678Z");
  const std::map<std::string, std::string> first = Outputs();

  // Owner 1 is now inactive: skipped, but its earlier file and request go,
  // and the territory says so though it wrote nothing.
  ChangeOwner("0001,\"Garcia López, Maria José\",ES9121000418450200051332,0,", "0001,\"Garcia López, Maria José\",ES9121000418450200051332,1,");
  Select("S", "20240630", 1, 1, "N", false);
  ASSERT_EQ(Run(), 0);
  EXPECT_FALSE(os::FileExists(tree + q2 + "P0001"));
  const std::vector<std::string> ids = Requests(q2 + "NRC_BANC.SOL");
  ASSERT_EQ(ids.size(), 6u);
  EXPECT_EQ(ids[0], "B12345674");
  EXPECT_EQ(Read(q2 + "NRC_BANC.SOL").substr(258 + 2, 5), "00001");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "INFORME : GENERATS 0 FITXERS A " + tree + q2 + "; ESBORRATS 1 FITXERS ANTERIORS");
  filingrun::ExpectChecked(tree, "20240630", "owner 1 gone", false);

  // The log names both runs; the earlier file and NRC file are kept under
  // the second's id. A run that changes nothing keeps nothing more.
  const std::vector<vat303::RunEntry> runs = vat303::ReadRunLog(tree);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].id, "20240715-000000");
  EXPECT_EQ(runs[1].id, "20240715-000000-2");
  EXPECT_TRUE(runs[1].ended && runs[1].status == 0 && runs[1].unended.empty());
  ASSERT_EQ(runs[1].territories.size(), 2u);
  EXPECT_EQ(runs[1].territories[0].folder + " " + std::to_string(runs[1].territories[0].removed), "AEAT/303M2024.2T 1");
  const std::string kept = "HISTORIC/303M2024.2T/AEAT/";
  EXPECT_EQ(Read(kept + "P0001.20240715-000000-2"), first.at(q2 + "P0001"));
  EXPECT_EQ(Read(kept + "NRC_BANC.SOL.20240715-000000-2"), first.at(q2 + "NRC_BANC.SOL"));
  EXPECT_EQ(vat303::KeptVersions(tree, "").size(), 2u);
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(vat303::KeptVersions(tree, "").size(), 2u);
  // It leaves each folder with the digest the run before left it with.
  const std::vector<vat303::RunEntry> all = vat303::ReadRunLog(tree);
  ASSERT_EQ(all.size(), 3u);
  ASSERT_EQ(all[2].folders.size(), all[1].folders.size());
  for (std::size_t i = 0; i < all[2].folders.size(); ++i)
    EXPECT_EQ(all[2].folders[i].digest, all[1].folders[i].digest) << all[2].folders[i].folder;
}

// The request taken out is the one the replaced file asked for: after an
// owner's tax identifier is corrected, for two owners sharing one, and for
// two equal requests (owners 2 and 9999 in the third quarter), a rerun
// leaves exactly one request per file. A charge account other than the one
// of the NRC file's header is said.
TEST_F(DriverTest, ARerunLeavesOneRequestPerFileWhateverTheTaxIdentifiersDo) {
  LoadOffice();
  OpenFiles();
  os::SetFixedNow({2024, 7, 15});
  // Owner 13 shares owner 2's tax identifier (and so its fiscal name).
  ChangeOwner("0013,\"Lloguers Empordà, S.C.P.\",ES9121000418450200051332,0,,,ESJ17000002",
              "0013,\"Lloguers Empordà, S.C.P.\",ES9121000418450200051332,0,,,ESB12345674");
  Select("S", "20240630", 1, 9999, "N", false);
  ASSERT_EQ(Run(), 0);
  filingrun::ExpectChecked(tree, "20240630", "first run", false);
  struct Rerun {
    const char* what;
    const char* date;
    int from, to;
    const char* payment;
    const char* before;  // a change to the owners first
    const char* after;
    bool otherAccount;   // the request goes under the header's account, and that is said
  } reruns[] = {
      {"owner 13 alone", "20240630", 13, 13, "N", nullptr, nullptr, true},
      {"owner 2 alone", "20240630", 2, 2, "N", nullptr, nullptr, true},
      {"owner 3's tax identifier corrected", "20240630", 3, 3, "N", "ES23456789D", "ES23456780Z", true},
      {"the third quarter", "20240930", 1, 9999, "N", nullptr, nullptr, false},
      {"owner 9999 filed with E", "20240930", 9999, 9999, "E", nullptr, nullptr, false},
      {"owner 9999 filed with N again", "20240930", 9999, 9999, "N", nullptr, nullptr, false},
  };
  for (const Rerun& r : reruns) {
    SCOPED_TRACE(r.what);
    if (r.before) ChangeOwner(r.before, r.after);
    Select("S", r.date, r.from, r.to, r.payment, false);
    forms::PresAccount = "ES7921000813610123456789";
    ASSERT_EQ(Run(), 0);
    filingrun::ExpectChecked(tree, r.date, r.what, false);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].find(std::string(texts::kOtherAccount) + "ES91 21000418450200051332") != std::string::npos,
              r.otherAccount) << messages[0];
  }
  const std::vector<std::string> ids = Requests(q2 + "NRC_BANC.SOL");
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "B12345674"), 2);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "23456789D"), 0);
  const std::vector<std::string> third = Requests("AEAT/303M2024.3T/NRC_BANC.SOL");
  EXPECT_EQ(std::count(third.begin(), third.end(), "B12345674"), 2);
}

// Two territories writing into one agency folder: the second pass never
// takes away what the first wrote, nor the first what the second writes. A
// payment map cut short keeps its bytes (the run says that the bytes it
// lost no longer go with their files).
TEST_F(DriverTest, ASecondPassOverAFolderKeepsTheFirstsFilesAndACutMapKeepsItsBytes) {
  LoadOffice();
  std::string territory(32, '\0');
  territory[0] = '\x01';  // reads 01 as the state's code does: AEAT, and sorts first
  territory.replace(1, 10, "ESTAT BIS ");
  InsertRaw("UTerrito", {territory});
  LoadText("VPropiet", "OwnerCode,OwnerName,OwnerTaxId\n0015,Nou,ES12345678Z\n");
  std::string group(64, '\0');
  group.replace(0, 4, PackedDate("00150001"));
  group[49] = '\x01';
  InsertRaw("VGrups", {group});
  LoadText("VCapPeri", "PeriodGroup,PeriodKeyDate,BaseB,RateB,QuotaB,Balance\n00150001,20240630,100,2100,21,21\n");
  OpenFiles();
  Select("S", "20240630", 1, 9999, "N", false);
  ASSERT_EQ(Run(), 0);
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0], "INFORME : GENERATS 1 FITXERS A " + tree + q2);
  EXPECT_EQ(messages[1], "INFORME : GENERATS 10 FITXERS A " + tree + q2);
  EXPECT_TRUE(os::FileExists(tree + q2 + "P0015"));
  filingrun::ExpectChecked(tree, "20240630", "two passes", false);

  std::string map = Read("DADES/V303.MAP");
  os::WriteFile(tree + "DADES/V303.MAP", map.substr(0, 5));
  Select("S", "20240630", 14, 14, "N", false);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(("INFORME : GENERATS 1 FITXERS A " + tree + q2).c_str()));
  EXPECT_FALSE(Said(texts::kFilesRemoved));
  map.replace(5, std::string::npos, std::string(9999 - 5, ' '));
  map[13] = 'N';
  EXPECT_EQ(Read("DADES/V303.MAP"), map);
}

TEST_F(DriverTest, ATerritoryWithoutAnAgencyIsSkippedWhenFilingAndReportedOtherwise) {
  LoadOffice();
  LoadText("UTerrito", "TerritoryCode,TerritoryName\n12,ALTRE\n");
  LoadText("VGrups", "GroupCode,GroupTerritory\n00010009,12\n");
  LoadText("VCapPeri", "PeriodGroup,PeriodKeyDate,BaseB,RateB,QuotaB,Balance\n00010009,20240630,100,2100,21,21\n");
  OpenFiles();
  Select("S", "20240630", 1, 1, "E", false);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Said(texts::kNoAgency));
  EXPECT_NE(messages.back().find("12 ALTRE"), std::string::npos) << messages.back();
  EXPECT_TRUE(os::FileExists(tree + q2 + "P0001"));
  EXPECT_EQ(Outputs().size(), 2u);  // P0001 and the map

  Select("R", "20240630", 1, 1, "E", false);
  EXPECT_EQ(Run(), 0);
  std::string spool;
  os::ReadFile(tmp + "zediridi.tmp", spool);
  EXPECT_NE(spool.find("(ALTRE)"), std::string::npos);
}

TEST_F(DriverTest, ARangeAboveEveryOwnerWritesNothingAndSaysNothingButPrints) {
  LoadOffice();
  OpenFiles();
  Select("S", "20240630", 9000, 9999, "N", false);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(Outputs().empty());
  EXPECT_TRUE(PrintProgramRan());
  std::string spool;
  os::ReadFile(exe + "printed.tmp", spool);
  EXPECT_EQ(spool, "DEVICEPDF\r\n");
}

TEST_F(DriverTest, OnTheScreenEachTerritorySaysWhatItWroteUnderItsProgressWindow) {
  LoadOffice();
  OpenFiles();
  console::Start(console::Backend::Headless);
  console::ResetForTests();
  screen::ResetWindowsForTests();
  screen::ResetKeysForTests();
  std::vector<std::string> screens;
  screen::SetIdleHookForTests([&] { screens.push_back(console::ScreenText()); });
  const int beeps = console::BeepCount();
  Select("S", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(vat303::RunReturn(vat303::RunPresentation::Screen), 0);
  screen::SetIdleHookForTests({});
  // ESTAT's files, ESTAT's data problem (a negative base of owner 14), BISCAIA's files.
  ASSERT_EQ(screens.size(), 3u);
  EXPECT_NE(screens[0].find("INFORME : GENERATS 10 FITXERS A "), std::string::npos) << screens[0];
  EXPECT_NE(screens[0].substr(22 * 81, 80).find(" PROCESSANT ESTAT "), std::string::npos) << screens[0];
  EXPECT_NE(screens[1].find("BASE NEGATIVA: 14.1 30/6/2024"), std::string::npos) << screens[1];
  EXPECT_NE(screens[2].substr(22 * 81, 80).find(" PROCESSANT BISCAIA "), std::string::npos) << screens[2];
  EXPECT_NE(screens[2].find("INFORME : GENERATS 2 FITXERS A "), std::string::npos) << screens[2];
  EXPECT_EQ(console::RowText(23).find(" PROCESSANT "), std::string::npos);  // closed again
  EXPECT_EQ(console::BeepCount(), beeps + 3);
  EXPECT_EQ(screen::WinDepth(), 0);
}

TEST_F(DriverTest, AnAgencyDirectoryThatCannotBeMadeIsReportedAndTheOthersAreWritten) {
  LoadOffice();
  OpenFiles();
  os::WriteFile(tree + "AEAT", "a file where the folder should be");
  Select("S", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kCannotUseDir));
  EXPECT_FALSE(Said(texts::kRunStopped));
  EXPECT_TRUE(os::FileExists(tree + "DFB/303M2024.2T/P0009"));
  EXPECT_EQ(Read("AEAT"), "a file where the folder should be");
}

TEST_F(DriverTest, AFilingFileThatCannotBeWrittenStopsTheRunAndNoEarlierFileIsLost) {
  LoadOffice();
  OpenFiles();
  Select("S", "20240630", 1, 9999, "E", false);
  ASSERT_EQ(Run(), 0);
  const std::map<std::string, std::string> before = Outputs();
  // Filed again with payment N: owner 2's new file cannot be written, a
  // folder holds its temporary name.
  os::MakeDirs(tree + q2 + "~P0002.tmp/x/");
  Select("S", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kCannotWrite));
  EXPECT_TRUE(Said(texts::kRunStopped));
  bool counted = false;
  for (const std::string& m : messages)
    counted = counted || m.find(settings::Translate(texts::kReportGenerated) + "1" + settings::Translate(texts::kFilesIn)) == 0;
  EXPECT_TRUE(counted);  // owner 1 only
  const std::map<std::string, std::string> after = Outputs();
  for (const auto& [name, bytes] : before) {
    if (name.find("NRC_BANC") != std::string::npos || name.find("V303.MAP") != std::string::npos) continue;
    ASSERT_TRUE(after.count(name)) << name << " was lost";
    EXPECT_EQ(after.at(name), bytes) << name;
  }
  // Owner 1's file asks for its request now and has it; the owners not
  // reached keep their files as filed with payment E, without requests.
  EXPECT_EQ(Requests(q2 + "NRC_BANC.SOL"), std::vector<std::string>{"12345678Z"});
  EXPECT_EQ(Read("DADES/V303.MAP").substr(0, 3), "NEE");
}

TEST_F(DriverTest, AMapThatCannotBeWrittenIsReportedAndTheFileIsNotCounted) {
  LoadOffice();
  OpenFiles();
  os::MakeDirs(tree + "DADES/V303.MAP/");
  Select("S", "20240630", 1, 9999, "E", false);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kCannotWrite));
  EXPECT_NE(messages[0].find("V303.MAP"), std::string::npos) << messages[0];
  EXPECT_FALSE(Said(texts::kReportGenerated));
  EXPECT_TRUE(Said(texts::kRunStopped));
}

TEST_F(DriverTest, ADamagedNrcFileKeepsItsTerritoryAsItWas) {
  LoadOffice();
  OpenFiles();
  Select("S", "20240630", 1, 9999, "N", false);
  ASSERT_EQ(Run(), 0);
  std::string nrc = Read(q2 + "NRC_BANC.SOL");
  nrc.resize(nrc.size() - 10);  // cut
  os::WriteFile(tree + q2 + "NRC_BANC.SOL", nrc);
  const std::map<std::string, std::string> before = Outputs();
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kNrcDamaged));
  const std::map<std::string, std::string> after = Outputs();
  for (const auto& [name, bytes] : before) {
    if (name.rfind(q2, 0) == 0) {
      EXPECT_EQ(after.at(name), bytes) << name;
    }
  }
  EXPECT_TRUE(os::FileExists(tree + "DFB/303M2024.2T/P0009"));
}

// ... and a file that the data make break a filing rule (owner 4: a deduction
// percentage of 150 on page 05) is not put in place: the owner is named with
// the rule, its earlier file stays, the territory counts it, the run fails.
TEST_F(DriverTest, DataOutOfRangeIsReportedAndFiledAsTheRulesSay) {
  LoadText("UTerrito", "TerritoryCode,TerritoryName\n01,ESTAT\n");
  LoadText("VPropiet",
           "OwnerCode,OwnerName,OwnerAccount,OwnerTaxId\n"
           "0001,Amb fitxa,ES9121000418450200051332,ES12345678Z\n"
           "0002,Sense fitxa,ES9121000418450200051332,ES23456789D\n"
           "0003,Nom buit,ES9121000418450200051332,ESB12345674\n"
           "0004,Prorrata,ES9121000418450200051332,ES34567890V\n");
  LoadText("UFiscal", "FiscalTaxId,FiscalName\nES12345678Z,Garcia*Maria\nESB12345674,\"- - -\"\n");
  LoadText("VGrups", "GroupCode,GroupTerritory\n00010001,01\n00010002,07\n00020001,01\n00030001,01\n00040001,01\n");
  LoadText("VCapPeri",
           "PeriodGroup,PeriodKeyDate,BaseB,RateB,QuotaB,Balance\n"
           "00010001,20240415,100,2100,21,21\n"
           "00010001,20241231,-500,2100,-105,-105\n"
           "00010002,20241231,900,2100,189,189\n"
           "00020001,20241231,100,2100,21,21\n"
           "00030001,20241231,100,2100,21,21\n");
  std::string period(107, '\0');  // kap load refuses the percentage
  period.replace(0, 8, PackedDate("00040001") + PackedDate("20241231"));
  period[8] = 100;                      // BaseB
  period.replace(12, 2, "\x34\x08");  // RateB 2100
  period[14] = period[41] = 21;         // QuotaB, Balance
  period[32] = static_cast<char>(150);  // ProrataPct
  InsertRaw("VCapPeri", {period});
  const std::string q4 = "AEAT/303M2024.4T/";
  ASSERT_TRUE(os::MakeDirs(tree + q4) && os::WriteFile(tree + q4 + "P0004", "earlier"));
  // Owners whose code is 0 or no number at all are left alone.
  std::string zero(826, '\0'), broken(826, '\0');
  zero.replace(0, 2, PackedOwner(0));
  broken.replace(0, 2, std::string("\x85\xF5", 2));
  InsertRaw("VPropiet", {zero, broken});
  OpenFiles();
  Select("S", "20241231", 0, 9999, "E", true);
  EXPECT_EQ(Run(), 1);
  const char* expected[] = {texts::kUnknownTerritory, texts::kDateNotQuarterEnd, texts::kNegativeBase,
                            texts::kNoFiscalRecord,   texts::kEmptyFilingName,   texts::kBadOwnerCode,
                            texts::kProrataOutOfRange};
  for (const char* text : expected) EXPECT_TRUE(Said(text)) << text;
  EXPECT_TRUE(Said((std::string(texts::kFileRefused) + "0004 (percentatge)").c_str()));
  EXPECT_TRUE(Said((std::string(texts::kFilesRefused) + "1" + texts::kRefusedFiles).c_str()));
  EXPECT_EQ(Read(q4 + "P0004"), "earlier");
  EXPECT_TRUE(os::FileExists(tree + q4 + "P0001"));
  EXPECT_TRUE(os::FileExists(tree + q4 + "P0002"));
  EXPECT_FALSE(os::FileExists(tree + q4 + "P0003"));  // no name to file
  EXPECT_FALSE(os::FileExists(tree + q4 + "P0000"));
  EXPECT_EQ(Read(q4 + "P0002").substr(328 + 22, 17), "SENSE FITXA,     ");
}

TEST_F(DriverTest, WithoutTheHoldersTaxIdentifierNoPaymentRequestIsMade) {
  os::WriteFile(tree + "Kova.ini", "[Titular]\r\nNom=Gestoria\r\n");
  LoadOffice();
  OpenFiles();
  Select("S", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kNoHolderTaxId));
  EXPECT_TRUE(Outputs().empty());
  EXPECT_TRUE(PrintProgramRan());
}

TEST_F(DriverTest, RecordFilesThatAreNotOpenStopTheRunWithAMessage) {
  Select("S", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kReadError));
  EXPECT_NE(messages[0].find("TAULES/UTerrito: FITXER NO OBERT (ESTAT 3)"), std::string::npos) << messages[0];
  EXPECT_TRUE(Outputs().empty());
}

// A file another terminal holds is waited for; when it stays held the run
// stops before anything of the owner it was reading is removed or written,
// naming the file and the status in words. Released in time, the run goes on.
TEST_F(DriverTest, AFileHeldByAnotherTerminalStopsTheRunBeforeAnythingIsRemoved) {
  LoadOffice();
  OpenFiles();
  Select("S", "20240630", 1, 9999, "N", false);
  ASSERT_EQ(Run(), 0);
  const std::map<std::string, std::string> before = Outputs();
  vat303::SetLockWaitMs(300);
  for (const char* table : {"VCapPeri", "UFiscal", "VGrups", "VPropiet", "TAULES/UTerrito"}) {
    SCOPED_TRACE(table);
    const std::string name = std::string(table).substr(std::string(table).rfind('/') + 1);
    recordstest::Child holder =
        recordstest::StartChild(testsupport::BinDir() + "kap", {"lock", tree, name, "--file"});
    ASSERT_EQ(recordstest::ReadLine(holder), "locked");
    messages.clear();
    EXPECT_EQ(Run(), 1);
    const std::string file = std::string(table).find('/') == std::string::npos ? "DADES/" + name : table;
    EXPECT_TRUE(Said((file + ": FITXER EN \xE9S PER UN ALTRE USUARI (ESTAT 85)").c_str()));
    EXPECT_TRUE(Said(texts::kRunStopped));
    EXPECT_TRUE(Outputs() == before);
    EXPECT_EQ(recordstest::FinishChild(holder), 0);
  }
  recordstest::Child holder = recordstest::StartChild(testsupport::BinDir() + "kap", {"lock", tree, "VCapPeri", "--file"});
  ASSERT_EQ(recordstest::ReadLine(holder), "locked");
  vat303::SetLockWaitMs(20000);
  std::thread release([&] {
    os::SleepMs(500);
    recordstest::FinishChild(holder);
  });
  EXPECT_EQ(Run(), 0);
  release.join();
  EXPECT_TRUE(Outputs() == before);
}

TEST_F(DriverTest, APrintProgramThatCannotBeStartedIsReported) {
  LoadOffice();
  OpenFiles();
  os::DeleteFile(exe + "ZEDIRIDI");
  Select("R", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kCannotStartPrint));
  Select("S", "20240630", 1, 9999, "N", false);
  EXPECT_EQ(Run(), 0);  // the files are written all the same
  EXPECT_TRUE(Said(texts::kCannotStartPrint));

  // What a failing print program says is shown and kept in zediridi.err; a
  // run that prints well takes the old message away.
  for (const auto& [script, kept] :
       {std::pair<const char*, bool>{"echo 'SENSE PAPER' >&2; exit 2", true}, {"exit 0", false}}) {
    os::WriteFile(exe + "ZEDIRIDI", std::string("#!/bin/sh\n") + script + "\n");
    os::RunShell("chmod +x " + testsupport::ShellQuote(exe + "ZEDIRIDI"));
    messages.clear();
    Select("R", "20240630", 1, 9999, "N", false);
    EXPECT_EQ(Run(), kept ? 1 : 0) << script;
    EXPECT_EQ(Said("SENSE PAPER"), kept) << script;
    EXPECT_EQ(os::FileExists(tmp + "zediridi.err"), kept) << script;
  }
}

TEST_F(DriverTest, ASpoolThatCannotBeWrittenIsReportedAndAnEarlierOneIsNotPrinted) {
  LoadOffice();
  OpenFiles();
  // The open, then the first line refused.
  for (const char* plan : {"write:1", "write:2"}) {
    for (const char* mode : {"R", "S"}) {
      SCOPED_TRACE(std::string(plan) + " " + mode);
      os::WriteFile(tmp + "zediridi.tmp", "DEVICEPDF\r\nPAGE 66 \r\n 1 ,AN EARLIER REPORT, 1 \r\n");
      os::DeleteFile(exe + "printed.tmp");
      Select(mode, "20240630", 1, 9999, "N", false);
      os::SetFaultPlan(plan, tmp);
      const int code = Run();
      os::SetFaultPlan("");
      EXPECT_EQ(code, 1);  // a filing run's files are written all the same, yet the run failed
      EXPECT_TRUE(Said(texts::kCannotCreateSpool));
      EXPECT_FALSE(PrintProgramRan());
    }
  }
}

}  // namespace
}  // namespace returntest
