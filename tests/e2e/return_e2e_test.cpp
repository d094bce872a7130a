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
// the run, until `last` has been seen and no further box comes.
void ConfirmAndReadMessages(Office& office, const std::string& last, std::vector<std::string>& seen) {
  ASSERT_TRUE(office.WaitFor("CONFIRMACI")) << office.Screen();
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
    for (const char* text : {"INFORME : GENERATS", "INFORME DESAT A", "PROPIETARI SENSE FITXA FISCAL"})
      if (screen.find(text) != std::string::npos) seen.push_back(text);
    lastSeen = lastSeen || screen.find(last) != std::string::npos;
    office.Keys("Enter");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
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

TEST(ReturnE2E, ReportRunThroughTheFormEndsInTheTextFile) {
  if (!TmuxAvailable()) GTEST_SKIP() << "tmux not installed";
  Office office;
  const std::string report = office.root.path + "informe.txt";
  ASSERT_TRUE(office.Make("TXT:" + report));
  office.Start();
  ASSERT_TRUE(office.WaitFor("Tipus de sortida")) << office.Screen();
  // Report mode (the preset): Enter through the open fields to the last.
  for (int i = 0; i < 4; ++i) office.Keys("Enter");
  std::vector<std::string> seen;
  ConfirmAndReadMessages(office, "INFORME DESAT A", seen);
  EXPECT_NE(std::find(seen.begin(), seen.end(), "INFORME DESAT A"), seen.end()) << office.Screen();

  office.Keys("Escape");
  office.Keys("Escape");
  ASSERT_TRUE(office.WaitFor("EXIT=0")) << office.Screen();
  std::string text;
  ASSERT_TRUE(os::ReadFile(report, text));
  EXPECT_NE(text.find("RELACIÓ D'I.V.A. A PRESENTAR DES DEL PROPIETARI 0001 AL 9999"), std::string::npos) << text;
  EXPECT_NE(text.find("TOTALS"), std::string::npos);
}

}  // namespace
