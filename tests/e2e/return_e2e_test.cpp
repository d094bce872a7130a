// A return run through the form in a real terminal, in each mode: the
// operator fills block 1 (and the presenter block for filing), confirms,
// reads the messages of the run and leaves with Esc.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/office.h"

namespace {

using e2e::Office;
using e2e::TmuxAvailable;

// Confirms the block with "S", then presses Enter on every message box of
// the run, until `last` has been seen and no further box comes. Returns the
// screen that showed `last`.
std::string ConfirmAndReadMessages(Office& office, const std::string& last, std::vector<std::string>& seen) {
  std::string lastScreen;
  EXPECT_TRUE(office.WaitFor("CONFIRMACI")) << office.Screen();
  office.Type("s");
  office.Keys("Enter");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  bool lastSeen = false;
  while (std::chrono::steady_clock::now() < end) {
    // A message box is framed by single lines; the form itself is not.
    if (!office.WaitFor("\u250C", lastSeen ? 3000 : 1000)) {
      if (lastSeen) break;
      continue;
    }
    // The frame may be captured before the box's text is drawn: read the
    // screen until two captures agree.
    std::string screen = office.Screen();
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const std::string again = office.Screen();
      if (again == screen) break;
      screen = again;
    }
    for (const char* text : {"INFORME : GENERATS", "INFORME DESAT A", "PROPIETARI SENSE FITXA FISCAL", "ERROR"})
      if (screen.find(text) != std::string::npos) seen.push_back(text);
    if (screen.find(last) != std::string::npos) lastScreen = screen;
    lastSeen = lastSeen || screen.find(last) != std::string::npos;
    office.Keys("Enter");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  return lastScreen;
}

TEST(ReturnE2E, FilingRunThroughTheForm) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Office office;
  ASSERT_TRUE(office.Make());
  office.Start();
  ASSERT_TRUE(office.WaitFor("Tipus de sortida")) << office.Screen();
  // Filing mode for the proposed quarter (31/3/2024), owners 1 to 9999,
  // payment N; then the presenter block opens after the last field.
  office.Type("s");
  for (int i = 0; i < 5; ++i) office.Keys("Enter");
  ASSERT_TRUE(office.WaitFor("DADES PRESENTADOR")) << office.Screen();
  office.Type("Girona");
  office.Keys("Enter");
  office.Type("21000418450200051332");
  office.Keys("Enter");
  std::vector<std::string> seen;
  ConfirmAndReadMessages(office, "INFORME : GENERATS", seen);
  EXPECT_NE(std::find(seen.begin(), seen.end(), "INFORME : GENERATS"), seen.end()) << office.Screen();

  office.Keys("Escape");
  office.Keys("Escape");
  ASSERT_TRUE(office.WaitFor("EXIT=0")) << office.Screen();
  std::vector<os::DirEntry> files;
  ASSERT_TRUE(os::ListDir(office.root.path + "AEAT/303M2024.1T/", files));
  int filings = 0;
  bool nrc = false;
  for (const os::DirEntry& f : files) {
    if (f.name[0] == 'P') ++filings;
    nrc = nrc || f.name == "NRC_BANC.SOL";
  }
  EXPECT_GT(filings, 0);
  EXPECT_TRUE(nrc);
  EXPECT_EQ(os::FileSize(office.root.path + "DADES/V303.MAP"), 9999);
  // The presenter's town and account are kept for the next run.
  std::string settings;
  os::ReadFile(office.root.path + "Kova.ini", settings);
  EXPECT_NE(settings.find("Poblacio=GIRONA"), std::string::npos) << settings;
}

// However the temporary folder is found (KAPTMP; [Terminal] Dir of Sessio.ini in the starting
// folder; KAPTERM; none: the spool in the data root), the print program finds the spool; the
// operator reads where the report went, or why it could not be printed, and nothing else.
TEST(ReturnE2E, ReportRunThroughTheFormEndsInTheTextFile) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  struct Case {
    std::string vars, sessionDir, start, device, said;  // "@": the test's folder
  } cases[] = {
      {"KAPTMP", "", "start/", "TXT", "INFORME DESAT A @tmp/informe.txt"},
      {"", "@tmp", "start/", "TXT", "INFORME DESAT A @tmp/informe.txt"},
      {"KAPTERM", "", "start/", "TXT", "INFORME DESAT A @tmp/informe.txt"},
      {"", "", "tmp/", "TXT", "INFORME DESAT A @informe.txt"},
      {"KAPTMP", "", "start/", "TXT:/nonexistent/r.txt", "ERROR 2: ZEDIRIDI: no es pot escriure"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vars + "|" + c.sessionDir + "|" + c.start + "|" + c.device);
    Office office;
    auto at = [&](std::string s) { return s.find('@') == std::string::npos ? s : s.replace(s.find('@'), 1, office.root.path); };
    ASSERT_TRUE(office.Make(c.device) && os::MakeDir(office.root.path + "start"));
    ASSERT_TRUE(os::WriteFile(office.root.path + "start/Sessio.ini", "[Terminal]\r\nDir=" + at(c.sessionDir) + "\r\n"));
    office.Start(c.vars.empty() ? "" : c.vars + "=" + testsupport::ShellQuote(office.root.path + "tmp/"),
                 office.root.path + c.start);
    ASSERT_TRUE(office.WaitFor("Tipus de sortida")) << office.Screen();
    office.Tmux("pipe-pane -t app 'cat >" + office.root.path + "sent.txt'");  // all the terminal gets
    // Report mode (the preset): Enter through the open fields to the last.
    for (int i = 0; i < 4; ++i) office.Keys("Enter");
    std::vector<std::string> seen;
    const std::string screen = ConfirmAndReadMessages(office, c.said.substr(0, 15), seen);
    EXPECT_EQ(seen.size(), 1u) << screen;
    EXPECT_NE(screen.find(at(c.said)), std::string::npos) << screen;

    office.Keys("Escape");
    office.Keys("Escape");
    ASSERT_TRUE(office.WaitFor("EXIT=0")) << office.Screen();
    std::string text;
    os::ReadFile(office.root.path + "sent.txt", text);
    EXPECT_EQ(text.find("ZEDIRIDI:"), text.rfind("ZEDIRIDI:")) << "the print program wrote on the terminal";
    const bool printed = c.said[0] == 'I';
    ASSERT_TRUE(os::ReadFile(printed ? at(c.said.substr(16)) : office.root.path + "tmp/zediridi.err", text));
    EXPECT_NE(text.find(printed ? "RELACIÓ D'I.V.A. A PRESENTAR DES DEL PROPIETARI 0001 AL 9999" : "/nonexistent/r.txt"),
              std::string::npos) << text;
  }
}

}  // namespace
