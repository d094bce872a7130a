// Clipboard (desktop tool or the terminal's clipboard file) and the Insert toggle.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace {

// Environment for one test: KAPTMP in a temporary folder, no desktop.
struct ClipboardTest : ::testing::Test {
  testsupport::TempDir tmp;
  std::vector<std::pair<std::string, std::string>> saved;

  void Set(const std::string& name, const std::string& value) {
    saved.emplace_back(name, os::GetEnv(name));
    os::SetEnv(name, value);
  }
  void SetUp() override {
    Set("DISPLAY", "");
    Set("WAYLAND_DISPLAY", "");
    Set("KAPTMP", tmp.path);
  }
  void TearDown() override {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) os::SetEnv(it->first, it->second);
  }
};

TEST_F(ClipboardTest, WithoutDesktopTheTerminalFileIsUsed) {
  std::string text;
  EXPECT_FALSE(os::ClipboardGet(text));  // nothing copied yet
  const std::string value = "Pla\x87" "a Espa\xA4" "a 12,50 \xD5";
  ASSERT_TRUE(os::ClipboardSet(value));
  std::string file;
  ASSERT_TRUE(os::ReadFile(tmp.path + "clipboard.txt", file));
  EXPECT_EQ(file, value);  // CP850 bytes as they are
  ASSERT_TRUE(os::ClipboardGet(text));
  EXPECT_EQ(text, value);
  ASSERT_TRUE(os::ClipboardSet(""));
  ASSERT_TRUE(os::ClipboardGet(text));
  EXPECT_EQ(text, "");
  // Only the clipboard file is left behind (no temporary files).
  std::vector<os::DirEntry> entries;
  ASSERT_TRUE(os::ListDir(tmp.path, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "clipboard.txt");
}

TEST_F(ClipboardTest, KaptmpWithBackslashEnd) {
  Set("KAPTMP", tmp.path.substr(0, tmp.path.size() - 1) + "\\");
  ASSERT_TRUE(os::ClipboardSet("abc"));
  EXPECT_TRUE(os::FileExists(tmp.path + "clipboard.txt"));
}

TEST_F(ClipboardTest, DesktopClipboardGetsUtf8) {
  // A stand-in for xclip on the PATH, keeping the selection in a file.
  const std::string bin = tmp.path + "bin/";
  ASSERT_TRUE(os::MakeDirs(bin));
  const std::string store = tmp.path + "selection";
  ASSERT_TRUE(os::WriteFile(bin + "xclip",
                            "#!/bin/sh\ncase \"$*\" in *-o*) cat '" + store + "' ;; *) cat > '" + store + "' ;; esac\n"));
  chmod((bin + "xclip").c_str(), 0755);
  Set("PATH", bin + ":" + os::GetEnv("PATH"));
  Set("DISPLAY", ":99");
  ASSERT_TRUE(os::ClipboardSet("\x80" "a\xA4 \xD5"));
  std::string selection;
  ASSERT_TRUE(os::ReadFile(store, selection));
  EXPECT_EQ(selection, "\xC3\x87" "a\xC3\xB1 \xE2\x82\xAC");
  EXPECT_FALSE(os::FileExists(tmp.path + "clipboard.txt"));
  // Pasting: text from another program, with a character CP850 lacks (dropped).
  ASSERT_TRUE(os::WriteFile(store, "Z\xC3\xA9ro \xE4\xB8\xAD!\tx\n"));
  std::string text;
  ASSERT_TRUE(os::ClipboardGet(text));
  EXPECT_EQ(text, "Z\x82ro !\tx\n");
}

TEST(InsertToggle, KeptForTheProcess) {
  const bool before = os::InsertToggle();
  os::SetInsertToggle(!before);
  EXPECT_EQ(os::InsertToggle(), !before);
  os::SetInsertToggle(before);
  EXPECT_EQ(os::InsertToggle(), before);
}

}  // namespace
