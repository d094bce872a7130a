// kap run303: options checked by the form's own rules, with a message naming
// the option and exit code 2; a record file that cannot be opened ends the
// run with exit code 1 and its message on standard error.
#include <gtest/gtest.h>

#include "platform/os/os.h"
#include "tests/vat303/return_fixture.h"

namespace returntest {
namespace {

class Run303Test : public ReturnTest {
 protected:
  void SetUp() override {
    ReturnTest::SetUp();
    for (const char* table : {"UTerrito", "VPropiet", "UFiscal", "VGrups", "VCapPeri"}) LoadTable(table);
    os::WriteFile(tmp + "KovaTerm.ini", "[Sistema]\r\nSortida=PDF\r\nIdioma=CAT\r\n");
    os::SetEnv("KAPTMP", tmp);
    os::SetEnv("KAPEXE", exe);
  }
  void TearDown() override {
    os::SetEnv("KAPTMP", "");
    os::SetEnv("KAPEXE", "");
    ReturnTest::TearDown();
  }
  int Run303(std::vector<std::string> options) {
    options.insert(options.begin(), {"run303", tree});
    return Kap(options);
  }
};

TEST_F(Run303Test, RefusedOptionsAreNamedAndEndWithCode2) {
  struct Case {
    std::vector<std::string> options;
    const char* named;
  };
  const std::string account = "21000418450200051332";
  const Case cases[] = {
      {{"--mode", "R"}, "--date is required"},
      {{"--mode", "X", "--date", "20240630"}, "--mode X"},
      {{"--mode", "R", "--date", "2024063"}, "--date 2024063"},
      {{"--mode", "R", "--date", "20240230"}, "--date 20240230"},
      {{"--mode", "R", "--date", "20240430"}, "--date 20240430"},
      {{"--mode", "R", "--date", "20240615"}, "--date 20240615: refused by the form's check: LA DATA HA DE SER"},
      {{"--mode", "SX", "--date", "20240630"}, "--mode SX: not one of the form's choices"},
      {{"--mode", "R", "--date", "20240630", "--from", "500", "--to", "100"}, "--from 500"},
      {{"--mode", "R", "--date", "20240630", "--from", "12345"}, "--from 12345"},
      {{"--mode", "R", "--date", "20240630", "--payment", "X"}, "--payment X"},
      {{"--mode", "S", "--date", "20240630", "--account", account}, "--town"},
      {{"--mode", "S", "--date", "20240630", "--town", "Vic", "--payment", "N"}, "--account"},
      {{"--mode", "S", "--date", "20240630", "--town", "Vic", "--account", "21000418450200051333"}, "--account"},
      {{"--mode", "S", "--date", "20240630", "--town", "Vic", "--account", "00000000000000000000"}, "--account 0000"},
      {{"--mode", "R", "--date", "20240630", "--colour", "red"}, "unknown option '--colour'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run303(c.options), 2) << c.named;
    EXPECT_NE(lastKapErrors.find(c.named), std::string::npos) << lastKapErrors;
  }
  EXPECT_FALSE(PrintProgramRan());  // nothing ran
}

TEST_F(Run303Test, ARecordFileThatCannotBeOpenedEndsWithCode1) {
  // Neither the file nor its template: the open fails.
  ASSERT_TRUE(os::DeleteFile(tree + "DADES/VGrups.dat"));
  ASSERT_TRUE(os::DeleteFile(tree + "ddf/VGrups.xdf"));
  EXPECT_EQ(Run303({"--mode", "R", "--date", "20240630"}), 1);
  EXPECT_NE(lastKapErrors.find("NO ES POT ACCEDIR AL FITXER " + tree + "DADES/VGrups"), std::string::npos)
      << lastKapErrors;
}

TEST_F(Run303Test, AReportRunEndsWithCode0AndStartsThePrintProgram) {
  EXPECT_EQ(Run303({"--mode", "R", "--date", "20240630"}), 0) << lastKapErrors;
  EXPECT_TRUE(PrintProgramRan());
}

// Without KAPTMP each run prints through a spool folder of its own, removed after the run,
// the report keeping its place in DIR (two runs at once never share one). KAPEXE may lack its "/".
TEST_F(Run303Test, WithoutKaptmpEachRunHasASpoolFolderOfItsOwn) {
  os::SetEnv("KAPTMP", "");
  os::SetEnv("KAPEXE", exe.substr(0, exe.size() - 1));
  os::WriteFile(exe + "ZEDIRIDI", "#!/bin/sh\necho \"$KAPTMP\" >" + exe + "folder.txt\ncp \"$KAPTMP/zediridi.tmp\" " + exe + "printed.tmp\n");
  EXPECT_EQ(Run303({"--mode", "R", "--date", "20240630"}), 0) << lastKapErrors;
  std::string folder, spool;
  ASSERT_TRUE(os::ReadFile(exe + "folder.txt", folder) && os::ReadFile(exe + "printed.tmp", spool));
  EXPECT_TRUE(folder.find(tree) == std::string::npos && !os::DirExists(folder.substr(0, folder.size() - 1))) << folder;
  EXPECT_EQ(spool.substr(0, spool.find('\r')), "DEVICEPDF:" + tree + "informe.pdf");
}

}  // namespace
}  // namespace returntest
