// The browse list over a real owners file, with its cache file Browse.tmp
// left stale or garbled. Input: the keys (first line, see PushScript), in
// stages separated by "|", then the bytes of the cache file. The bytes are
// in Browse.tmp before the list opens (left by a crash); each time a stage's
// keys run out they are written over the cache file again (another program
// writing it), and the next stage's keys follow. The list is list 1 of a
// small form, the owner list with its search block.
// Expectations: while the list is open (and nothing is over it) each of its
// rows shows part of the line of an owner in the file (or nothing); a pick
// is an owner of the file;
// afterwards windows, attributes and key maps are closed and the screen and
// cursor are as before; without a second writer the cache file is gone (or,
// when the list never opened, untouched).
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "forms/block_runner.h"
#include "forms/browse.h"
#include "forms/form_model.h"
#include "forms/hooks.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "records/layouts.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/config.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/kap/kap.h"

namespace {

// Block 4 is the list's search block; list 1 shows 5 lines of 29 characters.
const char* const kForm =
    "4,2\r\n"
    "\"\",0,0,0,0,0,0\r\n\"\",0,0,0,0,0,0\r\n\"\",0,0,0,0,0,0\r\n"
    "\"d,1b\",1,0,12,5,16,70\r\n"
    "2,2,\"Nom: \",40,0,0,0,0,0,\"\"\r\n"
    "1\r\n"
    "6,1,3,10,9,40,4,\" PROPIETARIS \",0\r\n";

const char* const kOwners =
    "OwnerCode,OwnerName\n"
    "5,\"Aguilar Roca, Maria\"\n11,\"Bosch Mas, Pau\"\n2,\"Casals Font, Anna\"\n"
    "9,\"Delgado Gil, Joan Baptista de la Torre\"\n1,\"Echeverria Ruiz, Ana\"\n12,\"Ferrer Pujol, Marti\"\n"
    "3,\"Garc\xC3\xAD" "a Vidal, Jordi\"\n8,\"Garrido Font, Pere\"\n4,\"Gil Serra, Laia\"\n"
    "10,\"Iglesias Roca, Eva\"\n6,\"Mar\xC3\xAD" "n Soler, Nuria\"\n7,\"Navarro Puig, Xavi\"\n";

std::set<std::string> g_lines;  // the list line of every owner in the file
std::string g_cachePath;

void OpenOwners() {
  int status = 0;
  records::BtrOpen(records::kOwnerFile, settings::DataRoot + "DADES\\VPropiet", records::OwnerRecord, status);
  fuzz::Check(status == 0, "the owners file does not open");
}

// The list's rows on the screen, when it is open: each shows a line of an
// owner from an offset of 1, 9, 17, ... (or nothing).
void CheckRows() {
  const forms::BrowseList& l = forms::ListAt(1);
  const unsigned char corner = console::CharAt(l.Top, l.Left);
  if (corner != 201 && corner != 17) return;  // not open
  if (screen::WinDepth() != 1) return;         // something open over it (calculator, calendar, help)
  const int width = l.Right - l.Left - 1;
  for (int r = l.Top + 1; r < l.Bottom; ++r) {
    std::string row;
    for (int c = l.Left + 1; c < l.Right; ++c) row += static_cast<char>(console::CharAt(r, c));
    if (row.find_first_not_of(' ') == std::string::npos) continue;
    bool known = false;
    for (const std::string& line : g_lines)
      for (std::size_t from = 0; from < line.size() && !known; from += 8) {
        std::string part = line.substr(from, static_cast<std::size_t>(width));
        part.resize(static_cast<std::size_t>(width), ' ');
        known = part == row;
      }
    fuzz::Check(known, "the list shows a line of no owner");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SilenceStreams();
  fuzz::ResetScreenWorld();
  const std::string dir = fuzz::WorkDir();
  for (const records::TableLayout& table : records::Layouts())
    if (table.baseName == std::string("VPropiet")) fuzz::Check(kap::CreateTable(dir, table) == 0, "no owners file");
  fuzz::PutFile(dir + "owners.csv", kOwners);
  fuzz::Check(kap::CmdLoad({dir, "VPropiet", dir + "owners.csv"}) == 0, "the owners do not load");
  fuzz::Check(os::MakeDirs(dir + "FORMS"), "no form folder");
  fuzz::PutFile(dir + "FORMS/B.JPN", kForm);
  fuzz::Check(forms::LoadForm(dir + "FORMS/B.JPN"), "the form does not load");

  OpenOwners();
  int status = 0;
  records::BtrGetByKey(records::kOwnerFile, 1, "", 1, status);
  while (status == 0) {
    std::string line = forms::BrowseLine(1);
    line.erase(line.find_last_not_of(' ') + 1);
    g_lines.insert(line);
    records::BtrMove(records::kOwnerFile, 1, status);
  }
  fuzz::Check(g_lines.size() == 12, "the owners file does not hold the owners");
  records::BtrCloseAll(status);
  g_cachePath = dir + "Browse.tmp";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string keys, cache;
  fuzz::FirstLine(fuzz::Text(data, size), keys, cache);
  if (keys.size() > 300 || cache.size() > 16 * 1024) return 0;
  std::vector<std::string> stages(1);
  for (char c : keys) {
    if (c == '|') stages.emplace_back();
    else stages.back() += c;
  }

  fuzz::ResetScreenWorld();
  forms::ResumeBlock = 0;
  forms::SaveStack.clear();
  forms::CurrentField = 0;
  forms::SetValue(4, 1, "");
  OpenOwners();
  fuzz::PutFile(g_cachePath, cache);
  fuzz::PaintScreen();
  const std::string before = fuzz::ScreenImage();

  std::size_t next = 1;
  screen::SetIdleHookForTests([&] {
    CheckRows();
    if (next >= stages.size()) return;
    fuzz::PutFile(g_cachePath, cache);
    fuzz::PushScript(stages[next++]);
  });
  fuzz::PushScript(stages[0]);
  int result = 99;
  forms::Browse(1, result);
  screen::SetIdleHookForTests({});

  fuzz::Check(result == -1 || result == 0, "the list gave an unknown result");
  if (result == 0) {
    std::string line = forms::BrowseLine(1);
    line.erase(line.find_last_not_of(' ') + 1);
    fuzz::Check(g_lines.count(line) == 1, "the pick is no owner of the file");
  }
  fuzz::Check(screen::WinDepth() == 0, "a window is left open");
  fuzz::Check(screen::AttrDepth() == 0, "a saved attribute is left");
  fuzz::Check(screen::KeyMapSavedCount() == 0, "a saved key map is left");
  fuzz::Check(fuzz::ScreenImage() == before, "the screen is not restored");
  // The list deletes its cache; one that never opened leaves the stale file alone.
  if (stages.size() == 1)
    fuzz::Check(!os::FileExists(g_cachePath) || fuzz::GetFile(g_cachePath) == cache, "the cache file outlives the list");
  int status = 0;
  records::BtrCloseAll(status);
  os::DeleteFile(g_cachePath);
  return 0;
}
