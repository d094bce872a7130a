#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/config.h"
#include "platform/os/os.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;

namespace {

template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

std::string Read(const std::string& path) {
  std::string s;
  os::ReadFile(path, s);
  return s;
}

// Files in the folder other than the writer's lock file.
std::vector<std::string> Names(const std::string& dir) {
  std::vector<os::DirEntry> entries;
  os::ListDir(dir, entries);
  std::vector<std::string> names;
  for (const auto& e : entries)
    if (e.name.size() < 4 || e.name.substr(e.name.size() - 4) != ".lck") names.push_back(e.name);
  return names;
}

}  // namespace

TEST(IniRead, SectionsKeysCommentsAndQuotes) {
  TempDir t;
  const std::string f = t.path + "a.ini";
  os::WriteFile(f,
                "; heading comment\r\n"
                "[Menu]\r\n"
                "Titol=MODEL 303\r\n"
                "  Spaced  = value with blanks ; note\r\n"
                "Quoted=\"a b\"\r\n"
                "Lone=\"\r\n"
                "Empty=\r\n"
                "NoEquals\r\n"
                "Dup=first\r\n"
                "Dup=second\r\n"
                "[ other ]\r\n"
                "Titol=X\r\n"
                "[MENU]\r\n"
                "Later=never\r\n");
  EXPECT_EQ(settings::IniRead(f, "Menu", "Titol"), "MODEL 303");
  EXPECT_EQ(settings::IniRead(f, " menu ", " TITOL "), "MODEL 303");  // case and blanks of the caller
  EXPECT_EQ(settings::IniRead(f, "Menu", "Spaced"), " value with blanks ");
  EXPECT_EQ(settings::IniRead(f, "Menu", "Quoted"), "a b");
  EXPECT_EQ(settings::IniRead(f, "Menu", "Lone"), "\"");
  EXPECT_EQ(settings::IniRead(f, "Menu", "Empty"), "");
  EXPECT_EQ(settings::IniRead(f, "Menu", "Dup"), "first");
  EXPECT_EQ(settings::IniRead(f, "Other", "Titol"), "X");
  // Only the first section of a name is searched.
  EXPECT_EQ(settings::IniRead(f, "Menu", "Later"), "");
  EXPECT_EQ(settings::IniRead(f, "Missing", "Titol"), "");
  EXPECT_EQ(settings::IniRead(t.path + "none.ini", "Menu", "Titol"), "");
}

TEST(IniRead, LineEndsAndBadInputAreSafe) {
  TempDir t;
  const std::string f = t.path + "b.ini";
  // LF only, no final line end, a header without "]".
  os::WriteFile(f, "[Sec\nA=1\nB=2");
  EXPECT_EQ(settings::IniRead(f, "Sec", "A"), "1");
  EXPECT_EQ(settings::IniRead(f, "Sec", "B"), "2");
  // NUL bytes and a very long line.
  std::string data = Bytes("[S]\r\nN=a\0b\r\n") + "L=" + std::string(300000, 'x') + "\r\n";
  os::WriteFile(f, data);
  EXPECT_EQ(settings::IniRead(f, "S", "N"), std::string("a\0b", 3));
  EXPECT_EQ(settings::IniRead(f, "S", "L").size(), 300000u);
  // A folder is not a file.
  EXPECT_EQ(settings::IniRead(t.path, "S", "N"), "");
}

TEST(IniWrite, ReplacesKeepingTheKeyAsWrittenAndDropsTheOldComment) {
  TempDir t;
  const std::string f = t.path + "Kova.ini";
  os::WriteFile(f, "[Presentador]\r\n  poblacio = Girona ; old\r\nCCC=1\r\n");
  settings::IniWrite(f, "PRESENTADOR", "Poblacio", "Reus");
  EXPECT_EQ(Read(f), "[Presentador]\r\n  poblacio =Reus\r\nCCC=1\r\n");
  EXPECT_EQ(settings::IniRead(f, "Presentador", "Poblacio"), "Reus");
}

TEST(IniWrite, ReplacedKeyIsNotWrittenAgainWhenAnotherSectionFollows) {
  TempDir t;
  const std::string f = t.path + "Kova.ini";
  struct Case {
    std::string before, key, value, after;
  } cases[] = {
      {"[A]\r\nk=1\r\n[B]\r\nk=9\r\n", "k", "2", "[A]\r\nk=2\r\n[B]\r\nk=9\r\n"},
      {"[A]\r\nk=1\r\nx=3\r\n\r\n[B]\r\n", "K", "2", "[A]\r\nk=2\r\nx=3\r\n\r\n[B]\r\n"},
      {"[A]\r\nk=1\r\n[B]\r\n", "k", "", "[A]\r\n[B]\r\n"},
  };
  for (const Case& c : cases) {
    os::WriteFile(f, c.before);
    settings::IniWrite(f, "A", c.key, c.value);
    EXPECT_EQ(Read(f), c.after) << c.before;
  }
}

TEST(IniWrite, NewKeyGoesBeforeTheBlankLinesThatEndTheSection) {
  TempDir t;
  const std::string f = t.path + "Kova.ini";
  os::WriteFile(f, "[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
  settings::IniWrite(f, "A", "z", "3");
  EXPECT_EQ(Read(f), "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
  // In the last section: after its last key, before trailing blank lines.
  settings::IniWrite(f, "B", "w", "4");
  EXPECT_EQ(Read(f), "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\nw=4\r\n");
  os::WriteFile(f, "[B]\r\ny=2\r\n\r\n");
  settings::IniWrite(f, "B", "w", "4");
  EXPECT_EQ(Read(f), "[B]\r\ny=2\r\nw=4\r\n\r\n");
  // A section that is missing goes at the end.
  settings::IniWrite(f, "C", "k", "v");
  EXPECT_EQ(Read(f), "[B]\r\ny=2\r\nw=4\r\n[C]\r\nk=v\r\n\r\n");
}

TEST(IniWrite, EmptyValueRemovesKeyAndEmptyKeyRemovesSection) {
  TempDir t;
  const std::string f = t.path + "Kova.ini";
  os::WriteFile(f, "[A]\r\nx=1\r\nk=2\r\nk=3\r\n[B]\r\n; keep\r\ny=2\r\nfree text\r\n[C]\r\nz=1\r\n");
  settings::IniWrite(f, "A", "K", "");  // both occurrences go
  EXPECT_EQ(Read(f), "[A]\r\nx=1\r\n[B]\r\n; keep\r\ny=2\r\nfree text\r\n[C]\r\nz=1\r\n");
  settings::IniWrite(f, "B", "", "ignored");
  // Comment-only and other non-key lines of the removed section remain.
  EXPECT_EQ(Read(f), "[A]\r\nx=1\r\n; keep\r\nfree text\r\n[C]\r\nz=1\r\n");
  // Removing what is not there writes no stray "key=" or "=" line.
  settings::IniWrite(f, "A", "absent", "");
  settings::IniWrite(f, "Nowhere", "", "");
  settings::IniWrite(f, "Nowhere", "k", "");
  settings::IniWrite(f, "C", "", "");
  EXPECT_EQ(Read(f), "[A]\r\nx=1\r\n; keep\r\nfree text\r\n");
}

TEST(IniWrite, EmptySectionWithoutKeysGetsNoStrayLine) {
  TempDir t;
  const std::string f = t.path + "Kova.ini";
  os::WriteFile(f, "[Presentador]\r\n[Usuari]\r\nIdioma=SPA\r\n");
  const auto stamp = os::FileStamp(f);
  settings::IniWrite(f, "Presentador", "Poblacio", "");
  EXPECT_EQ(Read(f), "[Presentador]\r\n[Usuari]\r\nIdioma=SPA\r\n");
  EXPECT_EQ(os::FileStamp(f), stamp);  // an unchanged file is not rewritten
}

TEST(IniWrite, CreatesAMissingFileAndLeavesNoTemporary) {
  TempDir t;
  const std::string f = t.path + "Kova.ini";
  settings::IniWrite(f, "Presentador", "CCC", "2100");
  EXPECT_EQ(Read(f), "[Presentador]\r\nCCC=2100\r\n");
  EXPECT_EQ(Names(t.path), std::vector<std::string>{"Kova.ini"});
  // Nothing to write: the missing file is still created, empty.
  const std::string g = t.path + "Other.ini";
  settings::IniWrite(g, "S", "k", "");
  EXPECT_TRUE(os::FileExists(g));
  EXPECT_EQ(Read(g), "");
}

TEST(IniWrite, BackslashPathsAndBadInput) {
  TempDir t;
  os::MakeDir(t.path + "sub");
  const std::string f = t.path + "sub\\K.ini";
  // No final line end, LF line ends, a NUL byte: all kept, lines end in CR LF.
  os::WriteFile(t.path + "sub/K.ini", Bytes("[S]\na=1\0x\nb=2"));
  settings::IniWrite(f, "S", "b", "3");
  EXPECT_EQ(Read(t.path + "sub/K.ini"), Bytes("[S]\r\na=1\0x\r\nb=3\r\n"));
}

TEST(IniWrite, UnreadableFileIsNotReplaced) {
  TempDir t;
  // A folder of that name cannot be read as a file: nothing is written over it.
  const std::string f = t.path + "Kova.ini";
  os::MakeDir(f);
  settings::IniWrite(f, "S", "k", "v");
  EXPECT_TRUE(os::DirExists(f));
}

TEST(IniWrite, ReadersNeverSeeTheFileMissingAndWritersLoseNothing) {
  TempDir t;
  const std::string f = t.path + "Kova.ini";
  settings::IniWrite(f, "Usuari", "Idioma", "CAT");
  std::atomic<bool> stop{false};
  int missing = 0;
  std::thread reader([&] {
    while (!stop) {
      if (settings::IniRead(f, "Usuari", "Idioma") != "CAT") ++missing;
    }
  });
  std::thread w1([&] {
    for (int i = 0; i < 40; ++i) settings::IniWrite(f, "Presentador", "A" + std::to_string(i), "1");
  });
  std::thread w2([&] {
    for (int i = 0; i < 40; ++i) settings::IniWrite(f, "Presentador", "B" + std::to_string(i), "2");
  });
  w1.join();
  w2.join();
  stop = true;
  reader.join();
  EXPECT_EQ(missing, 0);
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(settings::IniRead(f, "Presentador", "A" + std::to_string(i)), "1");
    EXPECT_EQ(settings::IniRead(f, "Presentador", "B" + std::to_string(i)), "2");
  }
  EXPECT_EQ(Names(t.path), std::vector<std::string>{"Kova.ini"});
}
