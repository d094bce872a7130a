// The browse list over a real owners file made with kap: start value and
// prefix, vertical and horizontal movement, the cache file, and a cache that
// cannot be made or is damaged while the list is open.
#include <cstdint>
#include <string>

#include "forms/browse.h"
#include "forms/form_model.h"
#include "screen/windows.h"
#include "tests/forms/forms_fixture.h"

namespace {

using formstest::FormsTest;
using testsupport::Cp850;

// Name order: code.
const char* const kOwners[] = {
    "5,Aguilar Roca, Maria",  "11,Bosch Mas, Pau",      "2,Casals Font, Anna",   "9,Delgado Gil, Joan",
    "1,Echeverria Ruiz, Ana", "12,Ferrer Pujol, Marti", "3,García Vidal, Jordi", "8,Garrido Font, Pere",
    "4,Gil Serra, Laia",      "10,Iglesias Roca, Eva",  "6,Marín Soler, Nuria",  "7,Navarro Puig, Xavi"};

// Block 4 is the owner list's search block. List 1 is the owner list; list 2
// runs over the same file but its lines are blank (the hooks list only the
// owners of list 1).
std::string Form(const std::string& list1, const std::string& list2 = "6,1,3,10,9,60,0,\" BUIDA \",0") {
  return "4,2\r\n"
         "\"\",0,0,0,0,0,0\r\n\"\",0,0,0,0,0,0\r\n\"\",0,0,0,0,0,0\r\n"
         "\"d,1b\",1,0,12,5,16,70\r\n"
         "2,2,\"Nom: \",40,0,0,0,0,0,\"\"\r\n"
         "2\r\n" +
         list1 + "\r\n" + list2 + "\r\n";
}

class BrowseTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    std::vector<std::string> owners(std::begin(kOwners), std::end(kOwners));
    MakeTree(owners);
    OpenOwners();
  }
  // Five lines of 49 characters, from row 4 (the window's first inside row).
  void LoadList(const std::string& list1 = "6,1,3,10,9,60,4,\" PROPIETARIS \",0") { ASSERT_TRUE(LoadText(Form(list1))); }
  static std::string OwnerName() {
    std::string name = records::OwnerRecord.substr(2, 40);
    return name.substr(0, name.find(','));
  }
  static int Browse(int list) {
    int result = 99;
    forms::Browse(list, result);
    return result;
  }
  std::string Cache() const {
    std::string data;
    os::ReadFile(dir.path + "Browse.tmp", data);
    return data;
  }
};

std::uint32_t Le(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}

TEST_F(BrowseTest, MovesAndPicksByTheRulesOfTheList) {
  const struct {
    const char* keys;
    const char* picked;
  } cases[] = {
      {"Enter", "Aguilar Roca"},
      {"Up Enter", "Aguilar Roca"},  // Up on the first line stays
      {"Down Down Enter", "Casals Font"},
      // PgDn moves the cursor a page on and shows the page after the old one.
      {"Down Down PgDn Enter", "Garrido Font"},
      // Only two lines after the second page: the cursor stops on the last.
      {"Down Down PgDn PgDn Enter", "Navarro Puig"},
      {"PgDn PgDn PgDn Down Down Enter", "Navarro Puig"},  // Down on the last line stays
      {"Down Down PgDn PgDn PgUp Enter", "García Vidal"},
      {"Down Down PgDn PgDn PgUp PgUp Enter", "Bosch Mas"},
      // The first line reached before a whole page: the cursor row goes up by
      // what was missing (row 5 - (5 - 2) = row 2).
      {"Down Down Down Down Down Down PgUp Enter", "Bosch Mas"},
      {"Down Down Down Down Down Down PgUp Down Enter", "Casals Font"},
      // Up on the top line shows the page again from the line above.
      {"Down Down Down Down Down Down Up Up Up Up Up Enter", "Bosch Mas"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    forms::ResetFormForTests();
    LoadList();
    Script(std::string("Enter ") + c.keys);  // Enter: the search block, blank
    EXPECT_EQ(Browse(1), 0);
    EXPECT_EQ(OwnerName(), Cp850(c.picked));
    EXPECT_FALSE(os::FileExists(dir.path + "Browse.tmp"));
    EXPECT_EQ(screen::WinDepth(), 0);
    EXPECT_EQ(screen::AttrDepth(), 0);
  }
}

TEST_F(BrowseTest, SearchTextStartsTheListAndBoundsIt) {
  LoadList();
  Script("gar Enter");
  std::string rows;
  OnIdle({[&] {
    for (int r = 4; r <= 8; ++r) rows += Trimmed(r, 11, 49) + "|";
    Script("Down Down Down Enter");
  }});
  EXPECT_EQ(Browse(1), 0);
  // Case and accents do not count; the file goes on after Garrido but the
  // list ends there.
  EXPECT_EQ(rows, Cp850("0003  García Vidal, Jordi|0008  Garrido Font, Pere||||"));
  EXPECT_EQ(OwnerName(), "Garrido Font");
  // "garc": the list ends at García, though Garrido shares all but its last letter.
  Script("garc Enter");
  OnIdle({[&] { rows = Trimmed(5, 11, 49); Script("Enter"); }});
  EXPECT_TRUE(Browse(1) == 0 && rows.empty());
}

TEST_F(BrowseTest, EscInTheSearchBlockOpensNothing) {
  LoadList();
  Script("Esc");
  EXPECT_EQ(Browse(1), -1);
  EXPECT_FALSE(os::FileExists(dir.path + "Browse.tmp"));
}

TEST_F(BrowseTest, BlankLinesAreNeverListedAndAnEmptyListPicksNothing) {
  LoadList();
  Script("Down Enter");
  EXPECT_EQ(Browse(2), -1);
}

TEST_F(BrowseTest, LongLinesScrollSidewaysByEightWithArrowsInTheCorners) {
  LoadList("6,1,3,10,9,31,0,\" PROPIETARIS \",0");  // lines of 20 characters
  std::string first, second, third;
  auto look = [](std::string& out) {
    out = Cells(3, 10, 22) + "|" + Cells(4, 11, 20);
  };
  OnIdle({[&] {
            look(first);
            Script("Right");
          },
          [&] {
            look(second);
            Script("Right Right Right");
          },
          [&] {
            look(third);
            Script("Left Left Left Enter");
          }});
  EXPECT_EQ(Browse(1), 0);
  const std::string line = "0005  Aguilar Roca, Maria";  // 25 characters: 5 hidden
  EXPECT_EQ(first, "\xC9 PROPIETARIS \xCD\xCD\xCD\xCD\xCD\xCD\xCD\x10|" + line.substr(0, 20));
  EXPECT_EQ(second, "\x11" "ARIS \xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xCD\xBB|" +
                        settings::FixedWidth(line.substr(8), 20));
  EXPECT_EQ(third, second) << "no further right than the longest line needs";
  EXPECT_EQ(OwnerName(), "Aguilar Roca");
}

TEST_F(BrowseTest, CacheHoldsTheLinesReadSoFarInItsLayout) {
  LoadList();
  Script("Enter");
  std::string cache;
  std::int32_t firstPosition = 0;
  OnIdle({[&] {
    cache = Cache();
    Script("Enter");
  }});
  EXPECT_EQ(Browse(1), 0);
  firstPosition = records::BtrPosition(records::kOwnerFile, 0);
  // Only the lines of the first page were read: five entries.
  const std::string lines[] = {"0005  Aguilar Roca, Maria", "0011  Bosch Mas, Pau", "0002  Casals Font, Anna",
                               "0009  Delgado Gil, Joan", "0001  Echeverria Ruiz, Ana"};
  std::size_t at = 0;
  std::uint32_t previous = 0;
  for (const std::string& line : lines) {
    ASSERT_GE(cache.size(), at + 10 + line.size()) << line;
    EXPECT_EQ(Le(cache, at, 4), previous) << line;
    if (previous == 0) {
      EXPECT_EQ(static_cast<std::int32_t>(Le(cache, at + 4, 4)), firstPosition);
    }
    EXPECT_NE(Le(cache, at + 4, 4), 0u) << line;
    EXPECT_EQ(Le(cache, at + 8, 2), line.size()) << line;
    EXPECT_EQ(cache.substr(at + 10, line.size()), line);
    previous = static_cast<std::uint32_t>(at + 1);  // positions count from 1
    at += 10 + line.size();
  }
  EXPECT_EQ(cache.size(), at);
  EXPECT_FALSE(os::FileExists(dir.path + "Browse.tmp"));
}

TEST_F(BrowseTest, EscWaitingWhileRecordsAreReadStopsTheReading) {
  LoadList();
  // List 2 lists nothing, so opening it reads the whole file unless stopped.
  Script("Esc q");
  EXPECT_EQ(Browse(2), -1);
  EXPECT_EQ(console::PendingEvents(), 0) << "the reader took the Esc; q closed the list";
  console::ResetForTests();
  Script("q Esc");
  EXPECT_EQ(Browse(2), -1);
  EXPECT_EQ(console::PendingEvents(), 1) << "a key other than Esc is left for the list";
}

TEST_F(BrowseTest, DamagedCacheStartsAgainAndNeverCrashes) {
  const struct {
    const char* name;
    void (*damage)(const std::string& path);
  } cases[] = {
      {"cut short", [](const std::string& path) { os::WriteFile(path, std::string("\x00\x00\x00", 3)); }},
      {"garbled", [](const std::string& path) { os::WriteFile(path, std::string(200, '\xFF')); }},
      {"removed", [](const std::string& path) { os::DeleteFile(path); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    forms::ResetFormForTests();
    LoadList();
    Script("Enter Down Down Down Down Down Down");
    std::string afterwards;
    const std::string path = dir.path + "Browse.tmp";
    OnIdle({[&] {
              c.damage(path);
              Script("Up PgUp Up");
            },
            [&] {
              afterwards = Trimmed(4, 11, 49);
              Script("Down Enter");
            }});
    EXPECT_EQ(Browse(1), 0);
    EXPECT_EQ(afterwards, "0005  Aguilar Roca, Maria") << "the list started again from its start";
    EXPECT_EQ(OwnerName(), "Bosch Mas");
    EXPECT_EQ(screen::WinDepth(), 0);
  }
}

TEST_F(BrowseTest, ListWorksWhenItsCacheFileCannotBeCreated) {
  LoadList();
  os::MakeDirs(dir.path + "Browse.tmp");  // a folder in the way
  Script("Enter Down Down Down Down Down Down PgUp Up Up Down Enter");
  EXPECT_EQ(Browse(1), 0);
  EXPECT_EQ(OwnerName(), "Bosch Mas");
}

TEST_F(BrowseTest, F4OpensTheNextListWhosePickIsTaken) {
  ASSERT_TRUE(LoadText(Form("6,1,3,10,9,60,4,\" PROPIETARIS \",0", "6,1,3,10,9,60,0,\" BUIDA \",1")));
  Script("F4 Enter Down Enter");
  EXPECT_EQ(Browse(2), 0);
  EXPECT_EQ(OwnerName(), "Bosch Mas");
  EXPECT_EQ(screen::WinDepth(), 0);
  EXPECT_EQ(screen::KeyMapSavedCount(), 0);
}

}  // namespace
