// Form engine benchmark: the real main-routine steps, block runner and
// browse list over the real record files of a demo office, on the headless
// console. Times, per round:
//   start-up:  form loaded, blocks preset, seven files opened, presenter
//              settings read, block 1 drawn and waiting for its first key;
//   F4:        from F4 on an owner field to the first page of the owner
//              list shown (the search block left blank with Enter);
//   PgDn/PgUp: one page move in the open list (PgDn reads the data file,
//              PgUp reads back the cache).
//
//   bench_forms DIR [rounds]     DIR made by: kap init DIR; kap demo DIR --owners 9999
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/main_flow.h"
#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"

namespace {

using Clock = std::chrono::steady_clock;

// A point in time: the wall clock and the process's CPU time (user and
// system), so that a figure taken on a busy machine can be told from the
// work the program itself does.
struct Stamp {
  Clock::time_point wall;
  std::clock_t cpu;
};
Stamp Now() { return {Clock::now(), std::clock()}; }

struct Figure {
  std::vector<double> wall, cpu;
  void Add(const Stamp& from, const Stamp& to) {
    wall.push_back(std::chrono::duration<double, std::milli>(to.wall - from.wall).count());
    cpu.push_back(1000.0 * static_cast<double>(to.cpu - from.cpu) / CLOCKS_PER_SEC);
  }
};

struct Figures {
  Figure startUp, f4, pageDown, pageUp;
};

void Key(int ch, int scan) { console::PushKey(static_cast<unsigned char>(ch), scan); }

// One run of the program's dialogue: start-up, then in block 1 down to the
// first owner field, F4, Enter in the search block, and page moves.
void Round(Figures& figures, int pageMoves) {
  const Stamp start = Now();
  forms::ResetFormForTests();
  settings::ResetCatalogueForTests();
  screen::ResetWindowsForTests();
  screen::ResetKeysForTests();
  console::ResetForTests();
  if (!app::LoadProgramForm()) {
    std::fprintf(stderr, "the form cannot be loaded: %s\n", forms::LoadFormError().c_str());
    std::exit(1);
  }
  app::ProposedPeriod = app::ProposedPeriodEnd(settings::SysDate);
  app::PresetSelection(app::ProposedPeriod);
  app::OpenDataFiles();
  app::ReadPresenterSettings();

  Stamp mark = start;
  int stage = 0, moves = 0;
  screen::SetIdleHookForTests([&] {
    const Stamp now = Now();
    switch (stage++) {
      case 0:  // block 1 drawn, waiting on its first field
        figures.startUp.Add(start, now);
        Key(0, 0x50);  // Down Down: the first owner field
        Key(0, 0x50);
        break;
      case 1:
        mark = Now();
        Key(0, 0x3E);  // F4, then Enter in the search block
        Key(13, 0x1C);
        break;
      case 2:
        figures.f4.Add(mark, now);
        mark = Now();
        Key(0, 0x51);  // PgDn
        break;
      default:
        if (moves < pageMoves) {
          figures.pageDown.Add(mark, now);
          ++moves;
          mark = Now();
          Key(0, moves < pageMoves ? 0x51 : 0x49);
        } else if (moves < 2 * pageMoves) {
          figures.pageUp.Add(mark, now);
          ++moves;
          mark = Now();
          if (moves < 2 * pageMoves) Key(0, 0x49);
        }
        break;
    }
  });
  int block = 1, key = 0;
  forms::RunBlock(block, 0, 0, key);
  screen::SetIdleHookForTests(nullptr);
  app::CloseDataFiles();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Report(const char* name, const Figure& f) {
  if (f.wall.empty()) return;
  const double worst = *std::max_element(f.wall.begin(), f.wall.end());
  std::printf("  %-34s wall median %7.3f ms (max %7.3f)   cpu median %7.3f ms   (%zu)\n", name, Median(f.wall),
              worst, Median(f.cpu), f.wall.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_forms DIR [rounds]\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '/') dir += '/';
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const std::string tmp = dir + "tmp/";
  os::MakeDirs(tmp);

  console::Start(console::Backend::Headless);
  settings::ResetConfigForTests();
  settings::DataRoot = dir;
  settings::TmpDir = tmp;
  settings::TermDir = tmp;
  settings::Idioma = "CAT";
  settings::EnvMode = "DOS";
  settings::MenuTitle = " MODEL 303 ";
  settings::FormName = "RUVOZ303";
  settings::SysDate = std::string{'\x94', '\x98', '\x85', '\x8F'};  // 15 May 2024
  const int colours[2][5] = {{15, 7, 0, 0, 0}, {0, 0, 7, 7, 7}};
  for (int r = 0; r < 2; ++r)
    for (int s = 0; s < 5; ++s) settings::ColorPairs[r][s] = colours[r][s];
  os::SetCurrentDir(dir);

  Figures figures;
  Round(figures, 20);  // warm-up: not counted
  figures = Figures();
  for (int i = 0; i < rounds; ++i) Round(figures, 20);
  std::printf("form engine over %s, %d rounds\n", dir.c_str(), rounds);
  Report("start-up to the first full form", figures.startUp);
  Report("F4 to the first page of owners", figures.f4);
  Report("PgDn (reads the data file)", figures.pageDown);
  Report("PgUp (reads the cache)", figures.pageUp);
  return 0;
}
