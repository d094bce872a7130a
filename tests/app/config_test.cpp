#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/config.h"
#include "app/config_setup.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;

namespace {

const char* const kVariables[] = {"KAPROOT",     "KAPEXE", "KAPTMP",     "KAPTERM",        "TERM",
                                  "HTTP_ACCEPT", "WINDIR", "SYSTEMROOT", "HTTP_USER_AGENT"};

// Every variable the set-up reads starts unset.
struct ConfigTest : ::testing::Test {
  void SetUp() override {
    for (const char* v : kVariables) os::SetEnv(v, "");
    settings::ResetConfigForTests();
    home = os::CurrentDir();
  }
  void TearDown() override {
    os::SetCurrentDir(home);
    os::SetClipboardDir("");
    settings::ResetConfigForTests();
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
  EXPECT_EQ(settings::DataRoot, root.path);
  EXPECT_EQ(settings::ExeDir, "/opt/kova/bin/");
  EXPECT_EQ(settings::TmpDir, tmp.path);
  EXPECT_EQ(settings::TermDir, tmp.path + "term/");
  EXPECT_EQ(settings::MenuTitle, " MODEL 303 ");
  EXPECT_EQ(settings::HelpTopic, "RUVOZ303");
  EXPECT_EQ(settings::SysDate, "\x94\x98\x85\x8F");
  EXPECT_EQ(settings::OutputSetting, "PDF");
  EXPECT_EQ(settings::Idioma, "SPA");  // cut to three characters
  EXPECT_EQ(settings::EnvMode, "DOS");
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(settings::ColorPairs[0][k], 2 * k + 1) << k;
    EXPECT_EQ(settings::ColorPairs[1][k], 2 * k + 2) << k;
  }
}

TEST_F(ConfigTest, DefaultsWhenNothingIsThere) {
  TempDir cwd;
  os::SetCurrentDir(cwd.path);
  app::ConfigSetup();
  EXPECT_EQ(settings::DataRoot, "");
  EXPECT_EQ(settings::TmpDir, "");
  EXPECT_EQ(settings::TermDir, "");
  EXPECT_EQ(settings::MenuTitle, "  ");
  EXPECT_EQ(settings::HelpTopic, "");
  EXPECT_EQ(settings::SysDate, std::string(4, '\x80'));  // no working date
  EXPECT_EQ(settings::Idioma, "   ");
  EXPECT_EQ(settings::EnvMode, "DOS");
  // Default colour set: white on black, grey on black, then black on grey.
  const int fg[5] = {15, 7, 0, 0, 0}, bg[5] = {0, 0, 7, 7, 7};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(settings::ColorPairs[0][k], fg[k]);
    EXPECT_EQ(settings::ColorPairs[1][k], bg[k]);
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
  EXPECT_EQ(settings::MenuTitle, " Here ");
  EXPECT_EQ(settings::OutputSetting, "LPT1");
}

TEST_F(ConfigTest, TerminalDirFromKaptermAndTmpFallsBackToIt) {
  TempDir cwd, term;
  os::SetCurrentDir(cwd.path);
  std::string termNoSlash = term.path.substr(0, term.path.size() - 1);
  os::SetEnv("KAPTERM", termNoSlash);
  os::SetEnv("TERM", "xterm-256color");  // the terminal type, never a folder
  os::WriteFile(term.path + "KovaTerm.ini", "[Sistema]\r\nIdioma=GLG\r\n");
  app::ConfigSetup();
  EXPECT_EQ(settings::TermDir, term.path);
  EXPECT_EQ(settings::TmpDir, term.path);
  EXPECT_EQ(settings::Idioma, "GLG");

  // Without KAPTERM the terminal type is not taken for a folder.
  os::SetEnv("KAPTERM", "");
  os::WriteFile(cwd.path + "KovaTerm.ini", "[Sistema]\r\nIdioma=OCI\r\n");
  app::ConfigSetup();
  EXPECT_EQ(settings::TermDir, "");
  EXPECT_EQ(settings::Idioma, "OCI");
}

// Relative folders are made absolute at set-up, so they still lead to the
// same place once the program has moved into the data root.
TEST_F(ConfigTest, RelativeFoldersBecomeAbsoluteAtSetUp) {
  TempDir cwd;
  os::SetCurrentDir(cwd.path);
  os::MakeDirs(cwd.path + "tmp");
  os::MakeDirs(cwd.path + "sess");
  os::WriteFile(cwd.path + "sess/Sessio.ini", "[Terminal]\r\nDir=term\r\n");
  struct Case {
    std::string kaptmp, kapterm, kapexe, tmpDir, termDir, exeDir;
  } cases[] = {
      {"tmp", "", "bin", cwd.path + "tmp/", "", cwd.path + "bin/"},  // ExeDir is a prefix: "/" added
      {"", "t2\\", "./bin/", cwd.path + "t2\\", cwd.path + "t2\\", cwd.path + "./bin/"},
      {"sess/", "", "/opt/bin/", cwd.path + "sess/", cwd.path + "term/", "/opt/bin/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kaptmp + "|" + c.kapterm);
    os::SetEnv("KAPTMP", c.kaptmp);
    os::SetEnv("KAPTERM", c.kapterm);
    os::SetEnv("KAPEXE", c.kapexe);
    app::ConfigSetup();
    EXPECT_EQ(settings::TmpDir, c.tmpDir);
    EXPECT_EQ(settings::TermDir, c.termDir);
    EXPECT_EQ(settings::ExeDir, c.exeDir);
  }
}

// Without a desktop clipboard the clipboard file is the terminal's own:
// TmpDir as the set-up computes it, never the shared current folder.
TEST_F(ConfigTest, ClipboardFileLivesInTheTerminalsTemporaryFolder) {
  TempDir cwd, term, tmp;
  os::SetCurrentDir(cwd.path);
  os::SetEnv("DISPLAY", "");
  os::SetEnv("WAYLAND_DISPLAY", "");
  struct Case {
    std::string kaptmp, kapterm, sessionDir, folder;
  } cases[] = {
      {"", term.path, "", term.path},
      {"", "", term.path, term.path},
      {tmp.path, term.path, "", tmp.path},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    os::SetEnv("KAPTMP", c.kaptmp);
    os::SetEnv("KAPTERM", c.kapterm);
    os::WriteFile(cwd.path + "Sessio.ini", "[Terminal]\r\nDir=" + c.sessionDir + "\r\n");
    os::DeleteFile(c.folder + "clipboard.txt");
    app::ConfigSetup();
    ASSERT_TRUE(os::ClipboardSet("COPIED"));
    std::string text;
    EXPECT_TRUE(os::ReadFile(c.folder + "clipboard.txt", text));
    EXPECT_EQ(text, "COPIED");
    EXPECT_FALSE(os::FileExists(cwd.path + "clipboard.txt"));
  }
}

TEST_F(ConfigTest, LanguageFromUserSettingsWhenTheTerminalGivesNone) {
  TempDir root, tmp;
  os::SetEnv("KAPROOT", root.path);
  os::SetEnv("KAPTMP", tmp.path);
  os::WriteFile(tmp.path + "KovaTerm.ini", "[Sistema]\r\nIdioma=  \r\n");
  os::WriteFile(root.path + "Kova.ini", "[Usuari]\r\nIdioma=OC\r\n");
  app::ConfigSetup();
  EXPECT_EQ(settings::Idioma, "OC ");
}

TEST_F(ConfigTest, ColourSetSelectionRules) {
  TempDir tmp;
  os::SetEnv("KAPTMP", tmp.path);
  // Empty selection: Col0 is looked up.
  os::WriteFile(tmp.path + "KovaTerm.ini", "[Pantalla]\r\nSeleccio=\r\nCol0=14010000000000000000\r\n");
  app::ConfigSetup();
  EXPECT_EQ(settings::ColorPairs[0][0], 14);
  EXPECT_EQ(settings::ColorPairs[1][0], 1);
  // A selection without its key: the default set.
  os::WriteFile(tmp.path + "KovaTerm.ini", "[Pantalla]\r\nSeleccio=3\r\nCol0=14010000000000000000\r\n");
  app::ConfigSetup();
  EXPECT_EQ(settings::ColorPairs[0][0], 15);
  EXPECT_EQ(settings::ColorPairs[1][2], 7);
}

TEST_F(ConfigTest, EnvironmentMode) {
  app::ConfigSetup();
  EXPECT_EQ(settings::EnvMode, "DOS");
  os::SetEnv("SYSTEMROOT", "C:\\WINDOWS");
  app::ConfigSetup();
  EXPECT_EQ(settings::EnvMode, "WIN");
  os::SetEnv("HTTP_ACCEPT", "text/html");
  app::ConfigSetup();
  EXPECT_EQ(settings::EnvMode, "CGI");
}

TEST(ConfigRules, SeparatorIsAppendedOnlyWhenMissing) {
  EXPECT_EQ(settings::WithSeparator(""), "");
  EXPECT_EQ(settings::WithSeparator("D:"), "D:");
  EXPECT_EQ(settings::WithSeparator("C:\\TMP\\"), "C:\\TMP\\");
  EXPECT_EQ(settings::WithSeparator("/tmp/"), "/tmp/");
  EXPECT_EQ(settings::WithSeparator("/tmp"), "/tmp/");
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
  EXPECT_EQ(settings::LeadingNumber(" 12 "), 12);
  EXPECT_EQ(settings::LeadingNumber("3x"), 3);
  EXPECT_EQ(settings::LeadingNumber("x3"), 0);
  EXPECT_EQ(settings::LeadingNumber(""), 0);
  EXPECT_EQ(settings::LeadingNumber(std::string(50, '9')) > 0, true);  // no overflow
  EXPECT_EQ(settings::FixedWidth("CA", 3), "CA ");
  EXPECT_EQ(settings::FixedWidth("CATALA", 3), "CAT");
  EXPECT_EQ(app::PackWorkingDate("20240315"), "\x94\x98\x83\x8F");
  EXPECT_EQ(app::PackWorkingDate(" 2024-03-15 "), "\x94\x98\x83\x8F");
  EXPECT_EQ(app::PackWorkingDate("garbage and more text"), std::string(4, '\x80'));
  EXPECT_EQ(app::PackWorkingDate("2024031599"), "\x94\x98\x83\x8F");
}
