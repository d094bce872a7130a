// Benchmark of the checks of a quarter's outputs over an office already
// filed for that quarter:
//  1. the filing rules of every filing file of the quarter, the files
//     already in memory: what a run pays for each file it checks before it
//     puts it in place;
//  2. the check of every agency folder of the quarter, as kap check303 makes
//     it (listing, reading every file, the NRC file, the requests, the map).
// Best of R rounds, wall and CPU time.
//
// Usage: bench_checks DIR YYYYMMDD [--rounds R]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "settings/config.h"
#include "vat303/filing_file.h"
#include "vat303/filing_rules.h"
#include "vat303/quarter_check.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double CpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_SELF, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_checks DIR YYYYMMDD [--rounds R]\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '/') dir += '/';
  const std::string date = argv[2];
  const int rounds = argc > 4 && std::string(argv[3]) == "--rounds" ? std::max(1, std::atoi(argv[4])) : 5;
  std::string year;
  int quarter = 0;
  vat303::QuarterOfDate(date, year, quarter);
  settings::DataRoot = dir;
  settings::Idioma = "CAT";

  const std::vector<std::string> folders = vat303::QuarterFolders(dir, year, quarter);
  std::vector<std::string> files;
  for (const std::string& folder : folders) {
    std::vector<os::DirEntry> entries;
    os::ListDir(folder, entries);
    for (const os::DirEntry& e : entries)
      if (vat303::OwnerOfFileName(e.name) > 0) files.emplace_back(), os::ReadFile(folder + e.name, files.back());
  }
  if (files.empty()) {
    std::fprintf(stderr, "no filing files of %s %dT under %s\n", year.c_str(), quarter, dir.c_str());
    return 1;
  }

  const vat303::FilingContext context{year, quarter, 'N'};
  double rules = 1e9, rulesCpu = 1e9, folderWall = 1e9, folderCpu = 1e9;
  std::size_t broken = 0, faults = 0;
  for (int round = 0; round < rounds; ++round) {
    auto start = Clock::now();
    double cpu = CpuSeconds();
    broken = 0;
    for (const std::string& bytes : files) broken += vat303::CheckFilingRules(bytes, context).size();
    rules = std::min(rules, Seconds(start));
    rulesCpu = std::min(rulesCpu, CpuSeconds() - cpu);

    start = Clock::now();
    cpu = CpuSeconds();
    faults = 0;
    for (const std::string& folder : folders) faults += vat303::CheckAgencyFolder(dir, folder, year, quarter).faults.size();
    folderWall = std::min(folderWall, Seconds(start));
    folderCpu = std::min(folderCpu, CpuSeconds() - cpu);
  }
  const double n = static_cast<double>(files.size());
  std::printf("filing files: %zu in %zu folders; broken rules: %zu; faults of the folders: %zu\n", files.size(),
              folders.size(), broken, faults);
  std::printf("best of %d rounds             wall                       cpu\n", rounds);
  std::printf("rules of every file   %8.3f s (%6.2f us a file)  %8.3f s (%6.2f us a file)\n", rules, 1e6 * rules / n,
              rulesCpu, 1e6 * rulesCpu / n);
  std::printf("every folder checked  %8.3f s (%6.2f us a file)  %8.3f s (%6.2f us a file)\n", folderWall,
              1e6 * folderWall / n, folderCpu, 1e6 * folderCpu / n);
  return broken + faults == 0 ? 0 : 1;
}
