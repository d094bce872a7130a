// Common set-up of the form engine tests: the screen tests' headless console
// and temporary folder, an empty form model, and helpers to load forms,
// script keys and lay out data trees with kap.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "forms/selection.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "settings/config.h"
#include "tests/screen/screen_fixture.h"
#include "tests/support/test_support.h"

namespace formstest {

using testsupport::Cp850;

class FormsTest : public screentest::ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    settings::FormName = "RUVOZ303";
    settings::MenuTitle = "  ";
    settings::HelpTopic = "";
    forms::ResetFormForTests();
    forms::ResetSelectionForTests();
    forms::ResumeBlock = 0;
    forms::SaveStack.clear();
    forms::CurrentField = 0;
    os::MakeDirs(dir.path + "FORMS");
  }
  void TearDown() override {
    int status = 0;
    records::BtrCloseAll(status);
  }

  // Writes a form file (UTF-8 text converted to CP850) and loads it.
  bool LoadText(const std::string& utf8) {
    const std::string path = dir.path + "FORMS/T.JPN";
    os::WriteFile(path, Cp850(utf8));
    return forms::LoadForm(path);
  }

  // A data tree in the test folder made by kap init, with the owners given
  // as CSV rows "code,name" loaded by kap load.
  void MakeTree(const std::vector<std::string>& owners) {
    ASSERT_EQ(os::RunProgram(testsupport::BinDir() + "kap", {"init", dir.path}), 0);
    if (owners.empty()) return;
    std::string csv = "OwnerCode,OwnerName\n";
    for (const std::string& row : owners) {
      const std::size_t comma = row.find(',');
      csv += row.substr(0, comma) + ",\"" + row.substr(comma + 1) + "\"\n";
    }
    ASSERT_TRUE(os::WriteFile(dir.path + "owners.csv", csv));
    ASSERT_EQ(os::RunProgram(testsupport::BinDir() + "kap", {"load", dir.path, "VPropiet", dir.path + "owners.csv"}),
              0);
  }
  void OpenOwners() {
    int status = 0;
    records::BtrOpen(records::kOwnerFile, settings::DataRoot + "DADES\\VPropiet", records::OwnerRecord, status);
    ASSERT_EQ(status, 0);
  }
  // The form that kap init installed.
  void LoadShippedForm() { ASSERT_TRUE(forms::LoadForm(dir.path + "FORMS\\RUVOZ303.JPN")) << forms::LoadFormError(); }

  // Scripts keys, words separated by blanks: Up Down Left Right Enter Esc
  // Tab PgUp PgDn Home End F1 F2 F3 F4 F10 AltC AltX, "click:row,column"; any
  // other word is typed as it stands (UTF-8).
  static void Script(const std::string& words) {
    std::istringstream in(words);
    std::string w;
    while (in >> w) {
      struct Named {
        const char* name;
        int scan;
        int ch;
      };
      static const Named kNamed[] = {
          {"Up", 0x48, 0},    {"Down", 0x50, 0}, {"Left", 0x4B, 0}, {"Right", 0x4D, 0}, {"PgUp", 0x49, 0},
          {"PgDn", 0x51, 0},  {"Home", 0x47, 0}, {"End", 0x4F, 0},  {"F1", 0x3B, 0},    {"F2", 0x3C, 0},
          {"F4", 0x3E, 0},    {"F3", 0x3D, 0},      {"F10", 0x44, 0},     {"Enter", 0x1C, 13}, {"Esc", 0x01, 27}, {"Tab", 0x0F, 9},
      };
      bool done = false;
      for (const Named& n : kNamed) {
        if (w == n.name) {
          console::PushKey(static_cast<unsigned char>(n.ch), n.scan);
          done = true;
        }
      }
      if (done) continue;
      if (w == "AltC" || w == "AltX") {
        console::PushKey(0, w == "AltC" ? 0x2E : 0x2D, console::kLeftAlt);
        console::Event release;
        release.kind = console::Event::Key;
        release.scan = 0x38;
        release.keyDown = false;
        console::PushEvent(release);
      } else if (w.rfind("click:", 0) == 0) {
        const std::size_t comma = w.find(',');
        console::PushClick(std::stoi(w.substr(6, comma - 6)), std::stoi(w.substr(comma + 1)));
      } else {
        console::PushText(Cp850(w));
      }
    }
  }

  // Stages separated by "|": the first is scripted now, each next one when
  // the program waits with nothing left to read.
  static void ScriptStages(const std::string& stages) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t bar; (bar = stages.find('|', start)) != std::string::npos; start = bar + 1)
      parts.push_back(stages.substr(start, bar - start));
    parts.push_back(stages.substr(start));
    Script(parts[0]);
    std::vector<std::function<void()>> later;
    for (std::size_t i = 1; i < parts.size(); ++i) later.push_back([words = parts[i]] { Script(words); });
    OnIdle(later);
  }

  static std::string Value(int block, int field) { return forms::FieldAt(block, field).Value; }
  // Screen text from (row, column) on, right-trimmed.
  static std::string Trimmed(int row, int column, int count) {
    std::string s = Cells(row, column, count);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }
};

}  // namespace formstest
