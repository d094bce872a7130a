// Opening record files: the table, names and extensions, creation from the
// template, waiting at open, and the stop on failure.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "settings/config.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "records/btr.h"
#include "records/layouts.h"
#include "tests/records/records_helpers.h"
#include "tests/support/test_support.h"

namespace {

using recordstest::PrepareDataRoot;

class BtrOpenTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string record;
  void SetUp() override { recordstest::StartRecordsTest(dir.path); }
  void TearDown() override {
    int status = 0;
    records::BtrCloseAll(status);
  }
};

TEST_F(BtrOpenTest, AlreadyOpenAndFullTableGiveStatusesWithoutMessage) {
  int status = -1;
  records::BtrOpen(6, dir.path + "DADES\\VPropiet", record, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(record.size(), 826u);
  const std::string screen = console::ScreenText();
  const int beeps = console::BeepCount();

  std::string other;
  records::BtrOpen(6, dir.path + "DADES\\UFiscal", other, status);
  EXPECT_EQ(status, 1002);
  EXPECT_TRUE(other.empty());  // nothing registered

  // The same file may be open under several numbers: fill the 40 entries.
  std::vector<std::string> buffers(40);
  for (int n = 1; n < 40; ++n) {
    records::BtrOpen(1000 + n, dir.path + "DADES\\VPropiet", buffers[static_cast<std::size_t>(n)], status);
    ASSERT_EQ(status, 0) << n;
  }
  records::BtrOpen(2000, dir.path + "DADES\\VPropiet", buffers[0], status);
  EXPECT_EQ(status, 1003);
  EXPECT_EQ(console::ScreenText(), screen);
  EXPECT_EQ(console::BeepCount(), beeps);

  // After closing everything the table is empty again.
  records::BtrCloseAll(status);
  EXPECT_EQ(status, 0);
  records::BtrOpen(2000, dir.path + "DADES\\VPropiet", buffers[0], status);
  EXPECT_EQ(status, 0);
}

TEST_F(BtrOpenTest, FileNumberZeroIsRefusedWithoutTakingAnEntry) {
  const std::string screen = console::ScreenText();
  int status = -1;
  records::BtrOpen(0, dir.path + "DADES\\VPropiet", record, status);
  EXPECT_EQ(status, 1002);
  EXPECT_TRUE(record.empty());
  EXPECT_EQ(console::ScreenText(), screen);
  EXPECT_EQ(console::BeepCount(), 0);
  // All 40 entries are still free.
  std::vector<std::string> buffers(40);
  for (int n = 1; n <= 40; ++n) {
    records::BtrOpen(n, dir.path + "DADES\\VPropiet", buffers[static_cast<std::size_t>(n - 1)], status);
    ASSERT_EQ(status, 0) << n;
  }
}

// Messages that name a file show the host path, "/" throughout.
TEST_F(BtrOpenTest, OpenFailureNamesTheHostPath) {
  const std::string home = os::CurrentDir();
  ASSERT_TRUE(os::SetCurrentDir(dir.path));
  struct Case {
    std::string name, shown;
  } cases[] = {
      {"DADES\\VPropiet", dir.path + "DADES/VPropiet"},
      {"/data/DADES\\VPropiet", "/data/DADES/VPropiet"},
      {dir.path + "TAULES\\UTerrito.dat", dir.path + "TAULES/UTerrito.dat"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(records::OpenFailureText(c.name, 12), "NO ES POT ACCEDIR AL FITXER " + c.shown + " (12)");
  os::SetCurrentDir(home);
}

TEST_F(BtrOpenTest, NameRulesGiveDefaultExtensionAndTemplateBaseName) {
  int status = -1;
  // Directory and no dot: ".dat" is added; the file is created from its template.
  records::BtrOpen(6, dir.path + "DADES\\VPropiet", record, status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(os::FileExists(dir.path + "DADES/VPropiet.dat"));

  // An extension in the last component is kept; the template is named by
  // the base name before the first dot, whatever the directory.
  std::string bytes;
  ASSERT_TRUE(os::ReadFile(dir.path + "ddf/UTerrito.xdf", bytes));
  ASSERT_TRUE(os::WriteFile(dir.path + "ddf/X.xdf", bytes));
  ASSERT_TRUE(os::WriteFile(dir.path + "ddf/A.xdf", bytes));
  std::string r2, r3, r4;
  records::BtrOpen(20, dir.path + "DADES\\X.btr", r2, status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(os::FileExists(dir.path + "DADES/X.btr"));
  EXPECT_FALSE(os::FileExists(dir.path + "DADES/X.btr.dat"));
  EXPECT_EQ(r2.size(), 32u);

  records::BtrOpen(21, dir.path + "TAULES\\A.B.C", r3, status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(os::FileExists(dir.path + "TAULES/A.B.C"));

  // A dot in a directory name is not an extension.
  ASSERT_TRUE(os::MakeDirs(dir.path + "v1.0"));
  records::BtrOpen(22, dir.path + "v1.0\\UTerrito", r4, status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(os::FileExists(dir.path + "v1.0/UTerrito.dat"));
}

TEST_F(BtrOpenTest, OpenAfterCreateReadsRecordsOfAnExistingFile) {
  const records::TableLayout& owners = *records::FindLayout("VPropiet");
  ASSERT_EQ(recordstest::InsertRecords(dir.path + "DADES/VPropiet.dat", records::CreateSpec(owners),
                                       {recordstest::Owner(7, "SEVEN")}),
            0);
  int status = -1;
  records::BtrOpen(6, dir.path + "DADES\\VPropiet", record, status);
  ASSERT_EQ(status, 0);
  int keyLength = 0, recordLength = 0;
  records::BtrKeyInfo(6, 0, keyLength, recordLength);
  EXPECT_EQ(keyLength, 2);
  EXPECT_EQ(recordLength, 826);
  records::BtrKeyInfo(6, 1, keyLength, recordLength);
  EXPECT_EQ(keyLength, 40);
  records::BtrKeyInfo(6, 2, keyLength, recordLength);
  EXPECT_EQ(keyLength, 0);
  // Key value after open: zero bytes to the length of key 0.
  EXPECT_EQ(records::BtrCurrentKey(6), std::string(2, '\0'));
  records::BtrGetByKey(6, 0, recordstest::PackedCode(7), 0, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(record.substr(2, 5), "SEVEN");
}

TEST_F(BtrOpenTest, TextsInEveryLanguage) {
  settings::Idioma = "SPA";
  EXPECT_EQ(records::OpenFailureText("/D\\X", 12), "NO SE PUEDE ACCEDER AL FICHERO /D/X (12)");
  EXPECT_EQ(records::LockWaitText(), "FICHERO BLOQUEADO. ESPERE UN MOMENTO.");
  settings::Idioma = "GLG";
  EXPECT_EQ(records::OpenFailureText("/X", 2), "NOM SE PODE ACEDER AO FICHEIRO /X (2)");
  EXPECT_EQ(records::LockWaitText(), "FICHEIRO BLOQUEADO. ESPERE UM MOMENTO.");
  // Occitan in CP850 like every other text: O grave 0xE3, E grave 0xD4.
  settings::Idioma = "OCI";
  EXPECT_EQ(records::OpenFailureText("/X", 2), testsupport::Cp850("NON SE PÒT ACCEDIR ATH FICHÈR /X (2)"));
  EXPECT_EQ(records::OpenFailureText("/X", 2).substr(8, 1), "\xE3");
  EXPECT_EQ(records::LockWaitText(), testsupport::Cp850("FICHÈR BLOQUEJAT. ESPERATZ UN MOMENT."));
  settings::Idioma = "ENG";
  EXPECT_EQ(records::OpenFailureText("/X", 2), "NO ES POT ACCEDIR AL FITXER /X (2)");
  EXPECT_EQ(records::LockWaitText(), "FITXER BLOQUEJAT. ESPEREU UN MOMENT.");
}

// In the child of a death test: report what the stopped run showed.
void ReportAtExit() {
  std::fprintf(stderr, "shown=[%s] beeps=%d\n", records::LastMessage().c_str(), console::BeepCount());
}

TEST_F(BtrOpenTest, MissingTemplateStopsWithMessageAndExitCodeZero) {
  ASSERT_TRUE(os::DeleteFile(dir.path + "ddf/VGrups.xdf"));
  EXPECT_EXIT(
      {
        std::atexit(ReportAtExit);
        os::SetCurrentDir(dir.path);
        int status = 0;
        std::string r;
        records::BtrOpen(7, "DADES\\VGrups", r, status);
        std::fprintf(stderr, "returned\n");
      },
      ::testing::ExitedWithCode(0), "shown=\\[NO ES POT ACCEDIR AL FITXER " + dir.path + "DADES/VGrups \\([0-9]+\\)\\] beeps=1");
}

TEST_F(BtrOpenTest, FailedCreateShowsTheCreateStatus) {
  // A template whose record length is 0: Create refuses it.
  std::string bad = std::string("\x10\x00", 2) + std::string(16, '\0');
  bad[2 + 4] = 1;  // one key, without definition
  ASSERT_TRUE(os::WriteFile(dir.path + "ddf/VGrups.xdf", bad));
  unsigned char pos[recman::kPositionBlockSize] = {};
  std::string spec = bad.substr(2);
  spec.resize(1536, '\0');
  std::string probe = dir.path + "probe.dat";
  unsigned char key[256] = {};
  std::memcpy(key, probe.data(), probe.size());
  std::uint32_t length = 1536;
  const int createStatus = recman::BTRCALL(14, pos, spec.data(), &length, key, 255, -1);
  ASSERT_NE(createStatus, 0);
  ASSERT_NE(createStatus, 12);
  const std::string expected = "\\(" + std::to_string(createStatus) + "\\)\\] beeps=1";
  EXPECT_EXIT(
      {
        std::atexit(ReportAtExit);
        int status = 0;
        std::string r;
        records::BtrOpen(7, dir.path + "DADES\\VGrups", r, status);
      },
      ::testing::ExitedWithCode(0), expected);
  EXPECT_FALSE(os::FileExists(dir.path + "DADES/VGrups.dat"));
}

TEST_F(BtrOpenTest, TemplateShorterThanItsLengthWordStopsWithoutCreating) {
  // The owner template cut inside its collating sequence: its length word
  // still promises the whole definition.
  std::string bytes;
  ASSERT_TRUE(os::ReadFile(dir.path + "ddf/VPropiet.xdf", bytes));
  ASSERT_TRUE(os::WriteFile(dir.path + "ddf/VPropiet.xdf", bytes.substr(0, bytes.size() - 100)));
  EXPECT_EXIT(
      {
        std::atexit(ReportAtExit);
        int status = 0;
        std::string r;
        records::BtrOpen(6, dir.path + "DADES\\VPropiet", r, status);
      },
      ::testing::ExitedWithCode(0), "shown=\\[NO ES POT ACCEDIR AL FITXER .*VPropiet \\([0-9]+\\)\\] beeps=1");
  EXPECT_FALSE(os::FileExists(dir.path + "DADES/VPropiet.dat"));
}

TEST_F(BtrOpenTest, LockFileThatCannotBeWrittenStopsWithThePermissionStatus) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to open as another user";
  int status = -1;
  records::BtrOpen(6, dir.path + "DADES\\VPropiet", record, status);
  ASSERT_EQ(status, 0);
  records::BtrCloseAll(status);
  // Another user of the group may write the folder and the file, not the lock file.
  constexpr gid_t kGroup = 4242;
  const std::string path = dir.path + "DADES/VPropiet.dat";
  ASSERT_EQ(chmod(dir.path.c_str(), 0777), 0);  // its window stack file goes there
  ASSERT_EQ(chown((dir.path + "DADES").c_str(), 0, kGroup), 0);
  ASSERT_EQ(chmod((dir.path + "DADES").c_str(), 0775), 0);
  ASSERT_EQ(chown(path.c_str(), 0, kGroup), 0);
  ASSERT_EQ(chmod(path.c_str(), 0664), 0);
  ASSERT_EQ(chmod((path + ".lck").c_str(), 0644), 0);
  EXPECT_EXIT(
      {
        if (setgroups(0, nullptr) != 0 || setgid(kGroup) != 0 || setuid(65534) != 0) std::exit(3);
        std::atexit(ReportAtExit);
        std::string r;
        int s = 0;
        records::BtrOpen(6, dir.path + "DADES\\VPropiet", r, s);
        std::fprintf(stderr, "returned %d\n", s);
      },
      ::testing::ExitedWithCode(0), "shown=\\[NO ES POT ACCEDIR AL FITXER .*VPropiet \\(94\\)\\] beeps=1");
}

}  // namespace

TEST_F(BtrOpenTest, TwoTerminalsOpeningAMissingFileBothGetIt) {
  // Both processes find the file missing and create it; the one whose
  // create comes second finds it there and opens it instead of stopping.
  for (int round = 0; round < 20; ++round) {
    os::DeleteFile(dir.path + "DADES/VGrups.dat");
    pid_t children[2];
    for (pid_t& child : children) {
      child = fork();
      if (child == 0) {
        int status = -1;
        std::string r;
        records::BtrOpen(7, dir.path + "DADES\\VGrups", r, status);
        _exit(status == 0 ? 3 : 4);  // a stop would exit with 0
      }
    }
    for (pid_t child : children) {
      int wstatus = 0;
      waitpid(child, &wstatus, 0);
      ASSERT_TRUE(WIFEXITED(wstatus));
      EXPECT_EQ(WEXITSTATUS(wstatus), 3) << "round " << round;
    }
  }
}
