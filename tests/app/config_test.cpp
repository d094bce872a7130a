#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/config.h"
#include "app/config_rules.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;

namespace {

const char* const kVariables[] = {"KAPROOT", "KAPEXE",  "KAPTMP",     "TERM",      "HTTP_USER_AGENT",
                                  "HTTP_ACCEPT", "WINDIR", "SYSTEMROOT"};

// Every variable the set-up reads starts unset.
struct ConfigTest : ::testing::Test {
  void SetUp() override {
    for (const char* v : kVariables) os::SetEnv(v, "");
    app::ResetConfigForTests();
    home = os::CurrentDir();
  }
  void TearDown() override {
    os::SetCurrentDir(home);
    app::ResetConfigForTests();
  }
  std::string home;
};

}  // namespace

TEST_F(ConfigTest, ReadsEveryFileSectionAndKey) {
  TempDir root, tmp;
  os::WriteFile(tmp.path + "Sessio.ini",
                "[Menu]\r\nTitol=MODEL 303\r\nNomMenu=RUVOZ303\r\n[Terminal]\r\nDir=" + tmp.path + "term\r\n");
  os::WriteFile(tmp.path + "KovaTerm.ini",
                "[Pantalla]\r\nSeleccio= 2 \r\nCol2=01020304050607080910\r\n"
                "[Sistema]\r\nData=20240515\r\nSortida=PDF\r\nIdioma=SPANISH\r\n");
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPEXE", "/opt/kova/bin/");
  os::SetEnv("KAPTMP", tmp.path);
  app::ConfigSetup();
  EXPECT_EQ(app::DataRoot, root.path);
  EXPECT_EQ(app::ExeDir, "/opt/kova/bin/");
  EXPECT_EQ(app::TmpDir, tmp.path);
  EXPECT_EQ(app::TermDir, tmp.path + "term/");
  EXPECT_EQ(app::MenuTitle, " MODEL 303 ");
  EXPECT_EQ(app::HelpTopic, "RUVOZ303");
  EXPECT_EQ(app::SysDate, "\x94\x98\x85\x8F");
  EXPECT_EQ(app::OutputSetting, "PDF");
  EXPECT_EQ(app::Idioma, "SPA");  // cut to three characters
  EXPECT_EQ(app::EnvMode, "DOS");
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(app::ColorPairs[0][k], 2 * k + 1) << k;
    EXPECT_EQ(app::ColorPairs[1][k], 2 * k + 2) << k;
  }
}

TEST_F(ConfigTest, DefaultsWhenNothingIsThere) {
  TempDir cwd;
  os::SetCurrentDir(cwd.path);
  app::ConfigSetup();
  EXPECT_EQ(app::DataRoot, "");
  EXPECT_EQ(app::TmpDir, "");
  EXPECT_EQ(app::TermDir, "");
  EXPECT_EQ(app::MenuTitle, "  ");
  EXPECT_EQ(app::HelpTopic, "");
  EXPECT_EQ(app::SysDate, std::string(4, '\x80'));  // no working date
  EXPECT_EQ(app::Idioma, "   ");
  EXPECT_EQ(app::EnvMode, "DOS");
  // Default colour set: white on black, grey on black, then black on grey.
  const int fg[5] = {15, 7, 0, 0, 0}, bg[5] = {0, 0, 7, 7, 7};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(app::ColorPairs[0][k], fg[k]);
    EXPECT_EQ(app::ColorPairs[1][k], bg[k]);
  }
  // Nothing was created by reading.
  std::vector<os::DirEntry> entries;
  os::ListDir(cwd.path, entries);
  EXPECT_TRUE(entries.empty());
}

TEST_F(ConfigTest, WithoutTmpOrTerminalDirTheFilesComeFromTheCurrentDirectory) {
  TempDir cwd;
  os::SetCurrentDir(cwd.path);
  os::WriteFile(cwd.path + "Sessio.ini", "[Menu]\r\nTitol=Here\r\n");
  os::WriteFile(cwd.path + "KovaTerm.ini", "[Sistema]\r\nSortida=LPT1\r\n");
  app::ConfigSetup();
  EXPECT_EQ(app::MenuTitle, " Here ");
  EXPECT_EQ(app::OutputSetting, "LPT1");
}

TEST_F(ConfigTest, TerminalDirFromTermAndTmpFallsBackToIt) {
  TempDir cwd, term;
  os::SetCurrentDir(cwd.path);
  std::string termNoSlash = term.path.substr(0, term.path.size() - 1);
  os::SetEnv("TERM", termNoSlash);
  os::WriteFile(term.path + "KovaTerm.ini", "[Sistema]\r\nIdioma=GLG\r\n");
  app::ConfigSetup();
  EXPECT_EQ(app::TermDir, term.path);
  EXPECT_EQ(app::TmpDir, term.path);
  EXPECT_EQ(app::Idioma, "GLG");
}

TEST_F(ConfigTest, LanguageFromUserSettingsWhenTheTerminalGivesNone) {
  TempDir root, tmp;
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPTMP", tmp.path);
  os::WriteFile(tmp.path + "KovaTerm.ini", "[Sistema]\r\nIdioma=  \r\n");
  os::WriteFile(root.path + "Kova.ini", "[Usuari]\r\nIdioma=OC\r\n");
  app::ConfigSetup();
  EXPECT_EQ(app::Idioma, "OC ");
}

TEST_F(ConfigTest, ColourSetSelectionRules) {
  TempDir tmp;
  os::SetEnv("KAPTMP", tmp.path);
  // Empty selection: Col0 is looked up.
  os::WriteFile(tmp.path + "KovaTerm.ini", "[Pantalla]\r\nSeleccio=\r\nCol0=14010000000000000000\r\n");
  app::ConfigSetup();
  EXPECT_EQ(app::ColorPairs[0][0], 14);
  EXPECT_EQ(app::ColorPairs[1][0], 1);
  // A selection without its key: the default set.
  os::WriteFile(tmp.path + "KovaTerm.ini", "[Pantalla]\r\nSeleccio=3\r\nCol0=14010000000000000000\r\n");
  app::ConfigSetup();
  EXPECT_EQ(app::ColorPairs[0][0], 15);
  EXPECT_EQ(app::ColorPairs[1][2], 7);
}

TEST_F(ConfigTest, EnvironmentMode) {
  app::ConfigSetup();
  EXPECT_EQ(app::EnvMode, "DOS");
  os::SetEnv("SYSTEMROOT", "C:\\WINDOWS");
  app::ConfigSetup();
  EXPECT_EQ(app::EnvMode, "WIN");
  os::SetEnv("HTTP_ACCEPT", "text/html");
  app::ConfigSetup();
  EXPECT_EQ(app::EnvMode, "CGI");
}

TEST(ConfigRules, SeparatorIsAppendedOnlyWhenMissing) {
  EXPECT_EQ(app::WithSeparator(""), "");
  EXPECT_EQ(app::WithSeparator("D:"), "D:");
  EXPECT_EQ(app::WithSeparator("C:\\TMP\\"), "C:\\TMP\\");
  EXPECT_EQ(app::WithSeparator("/tmp/"), "/tmp/");
  EXPECT_EQ(app::WithSeparator("/tmp"), "/tmp/");
}

TEST(ConfigRules, ColourSetTextIsReadSafely) {
  int pairs[2][5];
  app::ParseColourSet("15xx07", pairs);  // non-numeric pair, short text
  EXPECT_EQ(pairs[0][0], 15);
  EXPECT_EQ(pairs[1][0], 0);
  EXPECT_EQ(pairs[0][1], 7);
  EXPECT_EQ(pairs[1][4], 0);
  app::ParseColourSet("99160000000000000000", pairs);  // not console colours
  EXPECT_EQ(pairs[0][0], 0);
  EXPECT_EQ(pairs[1][0], 0);
}

TEST(ConfigRules, SettingsNumbersAndWidths) {
  EXPECT_EQ(app::LeadingNumber(" 12 "), 12);
  EXPECT_EQ(app::LeadingNumber("3x"), 3);
  EXPECT_EQ(app::LeadingNumber("x3"), 0);
  EXPECT_EQ(app::LeadingNumber(""), 0);
  EXPECT_EQ(app::LeadingNumber(std::string(50, '9')) > 0, true);  // no overflow
  EXPECT_EQ(app::FixedWidth("CA", 3), "CA ");
  EXPECT_EQ(app::FixedWidth("CATALA", 3), "CAT");
  EXPECT_EQ(app::PackWorkingDate("20240315"), "\x94\x98\x83\x8F");
  EXPECT_EQ(app::PackWorkingDate(" 2024-03-15 "), "\x94\x98\x83\x8F");
  EXPECT_EQ(app::PackWorkingDate("garbage and more text"), std::string(4, '\x80'));
  EXPECT_EQ(app::PackWorkingDate("2024031599"), "\x94\x98\x83\x8F");
}
