#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "output/paths.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;

namespace {

struct CurrentDirGuard {
  std::string home = os::CurrentDir();
  ~CurrentDirGuard() { os::SetCurrentDir(home); }
};

}  // namespace

TEST(FullPath, AbsoluteNamesAreNormalised) {
  EXPECT_EQ(output::FullPath("/OUT/2024"), "/OUT/2024/");
  EXPECT_EQ(output::FullPath("D:/OUT/2024"), "/OUT/2024/");  // a drive means nothing here
  EXPECT_EQ(output::FullPath("  \\OUT\\2024\\  "), "/OUT/2024/");
  EXPECT_EQ(output::FullPath("/A/B/../C"), "/A/C/");
  EXPECT_EQ(output::FullPath("/A/./B"), "/A/B/");
  EXPECT_EQ(output::FullPath("/../X"), "/X/");
  EXPECT_EQ(output::FullPath("/A/B/../../../C/./D/.."), "/C/");
  EXPECT_EQ(output::FullPath("/"), "/");
  EXPECT_EQ(output::FullPath("//A///B"), "/A/B/");
}

TEST(FullPath, NamesWithDotsAreNotReferences) {
  EXPECT_EQ(output::FullPath("/A/v.2/B"), "/A/v.2/B/");
  EXPECT_EQ(output::FullPath("/A/x../B"), "/A/x../B/");
  EXPECT_EQ(output::FullPath("/A/.hidden"), "/A/.hidden/");
}

TEST(FullPath, RelativeNamesStartAtTheCurrentDirectory) {
  TempDir t;
  CurrentDirGuard guard;
  ASSERT_TRUE(os::SetCurrentDir(t.path));
  EXPECT_EQ(output::FullPath("AEAT"), t.path + "AEAT/");
  EXPECT_EQ(output::FullPath("AEAT\\303M2024.1T"), t.path + "AEAT/303M2024.1T/");
  EXPECT_EQ(output::FullPath(""), t.path);
  EXPECT_EQ(output::FullPath("."), t.path);
}

TEST(MakePath, CreatesTheMissingLevels) {
  TempDir t;
  const std::string path = t.path + "A\\B/C";
  EXPECT_EQ(output::MakePath(path), 0);
  EXPECT_TRUE(os::DirExists(t.path + "A/B/C"));
  EXPECT_EQ(output::MakePath(path), -1);  // it exists now
  // A trailing separator names the same level.
  EXPECT_EQ(output::MakePath(t.path + "A/B/D/  "), 0);
  EXPECT_EQ(output::MakePath(t.path + "A/B/E/"), 0);
  EXPECT_TRUE(os::DirExists(t.path + "A/B/E"));
}

TEST(MakePath, RelativePathsAndFailures) {
  TempDir t;
  CurrentDirGuard guard;
  ASSERT_TRUE(os::SetCurrentDir(t.path));
  EXPECT_EQ(output::MakePath("X\\Y"), 0);
  EXPECT_TRUE(os::DirExists(t.path + "X/Y"));
  // A file in the way: the level cannot be created.
  os::WriteFile(t.path + "F", "x");
  EXPECT_EQ(output::MakePath(t.path + "F/G"), -1);
  EXPECT_EQ(output::MakePath(""), -1);
}

TEST(RemovePath, FilesEmptyFoldersAndFoldersWithFiles) {
  TempDir t;
  os::WriteFile(t.path + "f.txt", "x");
  EXPECT_EQ(output::RemovePath(t.path + "f.txt"), 0);
  EXPECT_FALSE(os::FileExists(t.path + "f.txt"));

  os::MakeDir(t.path + "empty");
  EXPECT_EQ(output::RemovePath(t.path + "empty"), 0);
  EXPECT_FALSE(os::DirExists(t.path + "empty"));

  os::MakeDir(t.path + "full");
  os::WriteFile(t.path + "full/a", "1");
  os::WriteFile(t.path + "full/b", "2");
  EXPECT_EQ(output::RemovePath(t.path + "full\\"), 0);
  EXPECT_FALSE(os::DirExists(t.path + "full"));

  EXPECT_NE(output::RemovePath(t.path + "missing"), 0);
}

TEST(RemovePath, SubfoldersAreNotDescendedInto) {
  TempDir t;
  os::MakeDirs(t.path + "top/sub");
  os::WriteFile(t.path + "top/a", "1");
  os::WriteFile(t.path + "top/sub/keep", "2");
  EXPECT_NE(output::RemovePath(t.path + "top"), 0);
  EXPECT_TRUE(os::DirExists(t.path + "top/sub"));
  EXPECT_TRUE(os::FileExists(t.path + "top/sub/keep"));
  EXPECT_FALSE(os::FileExists(t.path + "top/a"));
}
