// The run of the return: what it replaces on a rerun, what it skips, what it
// tells the operator, and what it does with data and folders it cannot use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "tests/vat303/return_fixture.h"
#include "vat303/driver.h"
#include "vat303/nrc_file.h"
#include "vat303/run_messages.h"
#include "vat303/texts.h"

namespace returntest {
namespace {

namespace texts = vat303::texts;

class DriverTest : public ReturnTest {
 protected:
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

  // Owner 1 is now inactive: skipped, but its earlier file and request go.
  ChangeOwner("0001,\"Garcia López, Maria José\",ES9121000418450200051332,0,", "0001,\"Garcia López, Maria José\",ES9121000418450200051332,1,");
  ASSERT_EQ(Run(), 0);
  EXPECT_FALSE(os::FileExists(tree + q2 + "P0001"));
  const std::vector<std::string> ids = Requests(q2 + "NRC_BANC.SOL");
  ASSERT_EQ(ids.size(), 6u);
  EXPECT_EQ(ids[0], "B12345674");
  EXPECT_EQ(Read(q2 + "NRC_BANC.SOL").substr(258 + 2, 5), "00001");
  EXPECT_TRUE(Said(texts::kReportGenerated));
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
  Select("S", "20240630", 1, 9999, "N", false);
  ASSERT_EQ(Run(), 0);
  const std::map<std::string, std::string> before = Outputs();
  // Owner 2's new file cannot be written: a folder holds its temporary name.
  os::MakeDirs(tree + q2 + "~P0002.tmp/x/");
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Said(texts::kCannotWrite));
  EXPECT_TRUE(Said(texts::kRunStopped));
  bool counted = false;
  for (const std::string& m : messages)
    counted = counted || m.find(settings::Translate(texts::kReportGenerated) + "1" + settings::Translate(texts::kFilesIn)) == 0;
  EXPECT_TRUE(counted);  // owner 1 only
  const std::map<std::string, std::string> after = Outputs();
  for (const auto& [name, bytes] : before) {
    if (name.find("NRC_BANC") != std::string::npos) continue;
    ASSERT_TRUE(after.count(name)) << name << " was lost";
    EXPECT_EQ(after.at(name), bytes) << name;
  }
  // Owner 1's request is back; the requests of the owners not reached are
  // out until the run is made again (a request never outlives its file).
  EXPECT_EQ(Requests(q2 + "NRC_BANC.SOL"), std::vector<std::string>{"12345678Z"});
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

TEST_F(DriverTest, DataOutOfRangeIsReportedAndFiledAsTheRulesSay) {
  LoadText("UTerrito", "TerritoryCode,TerritoryName\n01,ESTAT\n");
  LoadText("VPropiet",
           "OwnerCode,OwnerName,OwnerAccount,OwnerTaxId\n"
           "0001,Amb fitxa,ES9121000418450200051332,ES12345678Z\n"
           "0002,Sense fitxa,ES9121000418450200051332,ES23456789D\n"
           "0003,Nom buit,ES9121000418450200051332,ESB12345674\n");
  LoadText("UFiscal", "FiscalTaxId,FiscalName\nES12345678Z,Garcia*Maria\nESB12345674,\"- - -\"\n");
  LoadText("VGrups", "GroupCode,GroupTerritory\n00010001,01\n00010002,07\n00020001,01\n00030001,01\n");
  LoadText("VCapPeri",
           "PeriodGroup,PeriodKeyDate,BaseB,RateB,QuotaB,Balance\n"
           "00010001,20240415,100,2100,21,21\n"
           "00010001,20241231,-500,2100,-105,-105\n"
           "00010002,20241231,900,2100,189,189\n"
           "00020001,20241231,100,2100,21,21\n"
           "00030001,20241231,100,2100,21,21\n");
  // Owners whose code is 0 or no number at all are left alone.
  std::string zero(826, '\0'), broken(826, '\0');
  zero.replace(0, 2, PackedOwner(0));
  broken.replace(0, 2, std::string("\x85\xF5", 2));
  InsertRaw("VPropiet", {zero, broken});
  OpenFiles();
  Select("S", "20241231", 0, 9999, "E", true);
  EXPECT_EQ(Run(), 0);
  const char* expected[] = {texts::kUnknownTerritory, texts::kDateNotQuarterEnd, texts::kNegativeBase,
                            texts::kNoFiscalRecord,   texts::kEmptyFilingName,   texts::kBadOwnerCode};
  for (const char* text : expected) EXPECT_TRUE(Said(text)) << text;
  const std::string q4 = "AEAT/303M2024.4T/";
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
  EXPECT_NE(messages[0].find("TAULES\\UTerrito (3)"), std::string::npos) << messages[0];
  EXPECT_TRUE(Outputs().empty());
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
