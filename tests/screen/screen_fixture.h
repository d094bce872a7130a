// Common set-up of the screen tests: the headless console, a temporary
// folder as TmpDir and DataRoot, distinct colours per attribute slot, and
// fresh window, attribute and key state.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/catalogue.h"
#include "settings/config.h"
#include "settings/date_display.h"
#include "format/text.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/field_editor.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "tests/support/test_support.h"

namespace screentest {

// Scan codes.
constexpr int kF1 = 0x3B, kHome = 0x47, kUp = 0x48, kPgUp = 0x49, kLeft = 0x4B, kRight = 0x4D;
constexpr int kEnd = 0x4F, kDown = 0x50, kPgDn = 0x51, kInsert = 0x52, kDelete = 0x53;

inline std::string PackedDate(int y, int m, int d) {
  return std::string{static_cast<char>(0x80 + y / 100), static_cast<char>(0x80 + y % 100),
                     static_cast<char>(0x80 + m), static_cast<char>(0x80 + d)};
}

class ScreenTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;

  void SetUp() override {
    console::Start(console::Backend::Headless);
    console::ResetForTests();
    settings::ResetConfigForTests();
    settings::ResetDateDisplayForTests();
    settings::ResetCatalogueForTests();
    settings::TmpDir = dir.path;
    settings::DataRoot = dir.path;
    settings::TermDir = dir.path;
    settings::Idioma = "CAT";
    settings::EnvMode = "DOS";
    const int fg[5] = {15, 7, 0, 1, 14};
    const int bg[5] = {1, 1, 7, 7, 4};
    for (int s = 0; s < 5; ++s) {
      settings::ColorPairs[0][s] = fg[s];
      settings::ColorPairs[1][s] = bg[s];
    }
    settings::SysDate = PackedDate(2024, 5, 15);
    format::FoldAccents(false);
    os::SetInsertToggle(false);
    // The clipboard of these tests is the file of the temporary folder.
    os::SetEnv("DISPLAY", "");
    os::SetEnv("WAYLAND_DISPLAY", "");
    os::SetEnv("KAPTMP", dir.path);
    screen::ResetWindowsForTests();
    screen::ResetKeysForTests();
    screen::SetChoices("");
  }

  // Each time scripted input runs dry inside a wait, the next stage runs: it
  // may read the screen and script more keys. After the last one the wait
  // gives up (as with Esc).
  static void OnIdle(std::vector<std::function<void()>> stages) {
    auto list = std::make_shared<std::vector<std::function<void()>>>(std::move(stages));
    auto next = std::make_shared<std::size_t>(0);
    screen::SetIdleHookForTests([list, next] {
      if (*next < list->size()) (*list)[(*next)++]();
    });
  }

  std::string StackFile() const { return dir.path + "WinPush.tmp"; }

  // Characters from (row, column) on, `count` of them.
  static std::string Cells(int row, int column, int count) {
    return console::RowText(row).substr(static_cast<std::size_t>(column - 1), static_cast<std::size_t>(count));
  }
};

// Slot attribute bytes of the colours above.
constexpr int kHighlight = 15 + 16 * 1, kNormal = 7 + 16 * 1, kReverse = 0 + 16 * 7, kUnderline = 14 + 16 * 4;

}  // namespace screentest
