#include <string>

#include <gtest/gtest.h>

#include "settings/config.h"
#include "app/config_setup.h"
#include "app/main_flow.h"
#include "records/data_files.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "tests/support/test_support.h"

using testsupport::Packed;
using testsupport::TempDir;

namespace {

// Lays out a new data tree (templates, empty record files) with the real tool.
void InitDataTree(const std::string& root) {
  ASSERT_EQ(os::RunProgram(testsupport::BinDir() + "kap", {"init", root}), 0);
}

struct MainFlowTest : ::testing::Test {
  std::string home;
  void SetUp() override {
    home = os::CurrentDir();
    os::DateTime now;
    now.year = 2026;
    now.month = 6;
    now.day = 15;
    os::SetFixedNow(now);
    for (const char* v : {"KAPROOT", "KAPEXE", "KAPTMP", "KAPTERM"}) os::SetEnv(v, "");
    settings::ResetConfigForTests();
  }
  void TearDown() override {
    os::SetCurrentDir(home);
    os::ClearFixedNow();
    settings::ResetConfigForTests();
  }
};

}  // namespace

TEST_F(MainFlowTest, PeriodEndIsTheLastDayOfThePreviousQuarter) {
  struct Case {
    std::string sysDate, packed, digits;
  } cases[] = {
      {Packed(2024, 5, 15), Packed(2024, 3, 31), "310324"},
      {Packed(2025, 1, 10), Packed(2024, 12, 31), "311224"},
      {Packed(2024, 9, 30), Packed(2024, 6, 30), "300624"},
      {Packed(2024, 4, 1), Packed(2024, 3, 31), "310324"},
      {Packed(2024, 3, 31), Packed(2023, 12, 31), "311223"},
      {Packed(2024, 8, 31), Packed(2024, 6, 30), "300624"},
      {Packed(2024, 12, 31), Packed(2024, 9, 30), "300924"},
      {Packed(1960, 2, 29), Packed(1959, 12, 31), "31121959"},
  };
  for (const Case& c : cases) {
    app::PeriodEnd p = app::ProposedPeriodEnd(c.sysDate);
    EXPECT_EQ(p.packed, c.packed) << c.digits;
    EXPECT_EQ(p.digits, c.digits);
  }
}

TEST_F(MainFlowTest, NoWorkingDateProposesNothing) {
  const std::string empty(4, '\x80');
  // Year 0's first quarter has no quarter before it (found by the config fuzz target).
  for (const std::string& bad : {empty, std::string(), Packed(2024, 13, 1), std::string("\x94\x98", 2),
                                 Packed(0, 1, 1), Packed(0, 3, 31)}) {
    app::PeriodEnd p = app::ProposedPeriodEnd(bad);
    EXPECT_EQ(p.packed, empty);
    EXPECT_EQ(p.digits, "");
  }
}

TEST_F(MainFlowTest, RunsWithSettingsAndKeepsThePresenterData) {
  TempDir root, tmp;
  InitDataTree(root.path);
  os::WriteFile(tmp.path + "KovaTerm.ini", "[Sistema]\r\nData=20240515\r\nIdioma=CAT\r\n");
  os::WriteFile(root.path + "Kova.ini",
                "[Usuari]\r\nIdioma=SPA\r\n\r\n[Presentador]\r\nPoblacio=Girona  \r\nCCC=0049\r\n");
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPTMP", tmp.path);
  EXPECT_EQ(app::MainFlow(), 0);
  EXPECT_EQ(os::CurrentDir(), root.path);
  EXPECT_EQ(settings::FormName, "RUVOZ303");
  EXPECT_EQ(app::ProposedPeriod.digits, "310324");
  EXPECT_EQ(app::PresenterTown, "Girona");  // as block 2 holds it, trailing blanks removed
  // The seven record files were opened with their record buffers.
  EXPECT_EQ(records::OwnerRecord.size(), 826u);
  EXPECT_EQ(records::PeriodRecord.size(), 107u);
  EXPECT_EQ(records::TerritoryRecord.size(), 32u);
  // Written back with trailing blanks removed; the rest of the file unchanged.
  std::string data;
  os::ReadFile(root.path + "Kova.ini", data);
  EXPECT_EQ(data, "[Usuari]\r\nIdioma=SPA\r\n\r\n[Presentador]\r\nPoblacio=Girona\r\nCCC=0049\r\n");
}

TEST_F(MainFlowTest, PresenterSettingsCreatedOnlyWhenThereIsSomethingToKeep) {
  TempDir root;
  os::SetEnv("KAPROOT", root.path);
  app::ConfigSetup();
  app::PresenterTown = "";
  app::PresenterAccount = "  ";
  app::SavePresenterSettings();
  std::string data;
  os::ReadFile(root.path + "Kova.ini", data);
  EXPECT_EQ(data, "");
  app::PresenterTown = "Reus ";
  app::PresenterAccount = "ES12";
  app::SavePresenterSettings();
  os::ReadFile(root.path + "Kova.ini", data);
  EXPECT_EQ(data, "[Presentador]\r\nPoblacio=Reus\r\nCCC=ES12\r\n");
  app::ReadPresenterSettings();
  EXPECT_EQ(app::PresenterTown, "Reus");
  EXPECT_EQ(app::PresenterAccount, "ES12");
}

TEST_F(MainFlowTest, RelativeDataRootStillLeadsToTheData) {
  TempDir base;
  os::MakeDir(base.path + "office");
  InitDataTree(base.path + "office/");
  os::WriteFile(base.path + "office/Kova.ini", "[Presentador]\r\nCCC=1\r\n");
  os::MakeDir(base.path + "term");
  os::SetCurrentDir(base.path);
  os::SetEnv("KAPROOT", "office/");
  os::SetEnv("KAPTMP", "term");
  os::SetEnv("KAPEXE", "bin/");
  EXPECT_EQ(app::MainFlow(), 0);
  EXPECT_EQ(settings::DataRoot, base.path + "office/");
  EXPECT_EQ(os::CurrentDir(), base.path + "office/");
  EXPECT_EQ(app::PresenterAccount, "1");
  // The terminal's folders still lead where they did before the move.
  EXPECT_EQ(settings::TmpDir, base.path + "term/");
  EXPECT_EQ(settings::ExeDir, base.path + "bin/");
  // So do they for the print program, started from the data root.
  EXPECT_EQ(os::GetEnv("KAPTMP"), base.path + "term");
  EXPECT_EQ(os::GetEnv("KAPEXE"), base.path + "bin/");
  EXPECT_EQ(os::GetEnv("KAPROOT"), base.path + "office/");
}

TEST_F(MainFlowTest, EmptyDataRootLeavesTheCurrentDirectory) {
  TempDir cwd;
  InitDataTree(cwd.path);
  os::SetCurrentDir(cwd.path);
  EXPECT_EQ(app::MainFlow(), 0);
  EXPECT_EQ(os::CurrentDir(), cwd.path);
}

TEST(MainProgram, StartsAndEndsWithExitCodeZero) {
  TempDir root;
  InitDataTree(root.path);
  os::MakeDir(root.path + "tmp");
  os::WriteFile(root.path + "tmp/Sessio.ini", "[Menu]\r\nTitol=MODEL 303\r\nNomMenu=RUVOZ303\r\n");
  os::WriteFile(root.path + "tmp/KovaTerm.ini", "[Sistema]\r\nData=20240515\r\nIdioma=CAT\r\n");
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPEXE", testsupport::BinDir());
  os::SetEnv("KAPTMP", root.path + "tmp/");
  const std::string program = testsupport::BinDir() + "ruvoz303";
  ASSERT_TRUE(os::FileExists(program)) << program;
  EXPECT_EQ(os::RunProgram(program, {}), 0);
}

TEST(MainProgram, UnopenableDataFileStopsWithExitCodeZeroAndKeepsSettings) {
  // No templates: the first record file cannot be created, the program shows
  // its message and ends with exit code 0 without writing the presenter data.
  TempDir root;
  os::MakeDir(root.path + "tmp");
  // The form is there (the program ends without it before opening any file).
  std::string form;
  ASSERT_TRUE(os::ReadFile(testsupport::BinDir() + "data/FORMS/RUVOZ303.JPN", form));
  os::MakeDir(root.path + "FORMS");
  os::WriteFile(root.path + "FORMS/RUVOZ303.JPN", form);
  os::WriteFile(root.path + "Kova.ini", "[Presentador]\r\nPoblacio=Vic\r\n");
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPTMP", root.path + "tmp/");
  EXPECT_EQ(os::RunProgram(testsupport::BinDir() + "ruvoz303", {}), 0);
  EXPECT_FALSE(os::FileExists(root.path + "DADES/VPropiet.dat"));
  std::string data;
  os::ReadFile(root.path + "Kova.ini", data);
  EXPECT_EQ(data, "[Presentador]\r\nPoblacio=Vic\r\n");
}

TEST(MainProgram, MissingOrImpossibleFormEndsWithCodeOneAndSaysWhy) {
  TempDir root;
  InitDataTree(root.path);
  os::MakeDir(root.path + "tmp");
  os::WriteFile(root.path + "tmp/KovaTerm.ini", "[Sistema]\r\nData=20240515\r\nIdioma=CAT\r\n");
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPEXE", testsupport::BinDir());
  os::SetEnv("KAPTMP", root.path + "tmp/");
  const std::string form = root.path + "FORMS/RUVOZ303.JPN";
  const struct {
    const char* content;  // nullptr: no form file
    std::string message;
  } cases[] = {
      {"1,5\r\n\"d\",9,0,0,0,0,0\r\n", "FORMULARI " + form + ", LÍNIA 2: NOMBRE DE CAMPS IMPOSSIBLE"},
      {nullptr, "NO ES POT LLEGIR EL FORMULARI " + form},
  };
  for (const auto& c : cases) {
    if (c.content) os::WriteFile(form, c.content);
    else os::DeleteFile(form);
    const std::string err = root.path + "err.txt";
    EXPECT_EQ(os::RunShell("'" + testsupport::BinDir() + "ruvoz303' </dev/null >/dev/null 2>'" + err + "'"), 1);
    std::string text;
    os::ReadFile(err, text);
    EXPECT_EQ(text, "ruvoz303: " + c.message + "\n");
  }
  std::string settings;
  os::ReadFile(root.path + "Kova.ini", settings);
  EXPECT_EQ(settings.find("Poblacio="), settings.rfind("Poblacio=")) << "nothing written back";
}

TEST_F(MainFlowTest, PresenterSettingsThatCannotBeWrittenAreReported) {
  TempDir root, tmp;
  InitDataTree(root.path);
  // Trailing blanks: written back without them, so the file is rewritten.
  const std::string kept = "[Presentador]\r\nPoblacio=Vic  \r\nCCC=1\r\n";
  os::WriteFile(root.path + "Kova.ini", kept);
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPTMP", tmp.path);
  std::string shown;  // the screen at the last wait: the message, after the form
  screen::SetIdleHookForTests([&shown] { shown = console::ScreenText(); });
  // Every write from the first on fails, as on a full disk.
  os::SetFaultPlan("write:1+");
  const int code = app::MainFlow();
  os::SetFaultPlan("");
  screen::SetIdleHookForTests(nullptr);
  EXPECT_EQ(code, 1);
  EXPECT_NE(shown.find("NO S'HAN POGUT DESAR LES DADES DEL PRESENTADOR A "), std::string::npos) << shown;
  EXPECT_NE(shown.find(root.path + "Kova.ini"), std::string::npos) << shown;
  std::string data;
  os::ReadFile(root.path + "Kova.ini", data);
  EXPECT_EQ(data, kept);
  // One refused write only: the rewrite is tried again and the run ends well.
  os::SetFaultPlan("write:1");
  EXPECT_EQ(app::MainFlow(), 0);
  EXPECT_TRUE(os::FaultStruck());
  os::SetFaultPlan("");
}
