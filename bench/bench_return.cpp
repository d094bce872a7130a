// Benchmark of the return's filing run ("S" mode) on the demo office:
//  1. the first run into empty agency directories,
//  2. the same run again (the rerun: every file, request and map byte found
//     as it should be, so nothing is rewritten), a rerun with payment E
//     (every file put in place again, every request taken out, every map
//     byte changed) and one with payment D (every file of a positive result
//     replaced by one of type U, the files of owners without an account
//     removed);
//  3. a floor: the same record reads straight through SQLite prepared
//     statements and the same files (number and sizes) written plainly,
//     with nothing else;
//  4. a report run ("R") of the same office with its PDF from the real print
//     program.
// Each filing run is timed with the run log and the kept versions and
// without them. Prints wall times, the ratios the goals are stated in, and
// the peak resident memory of the run.
//
// Usage: bench_return [DIR] [--owners N] [--server CONNECTION]   (DIR is made
// with kap init + demo the first time; default /tmp/bench303). With --server
// the office's record files are copied to that PostgreSQL server and the runs
// read them there (DIR's Kova.ini names it meanwhile); the floor still reads
// the SQLite files, which hold the same records.
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "format/iban.h"
#include "format/numbers.h"
#include "forms/selection.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "settings/config.h"
#include "vat303/driver.h"
#include "vat303/run_log.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

const char* const kAgencyDirs[] = {"ATC", "AEAT", "DFA", "DFG", "DFB", "DFN", "ATIC", "ATA", "ATF"};

struct Output {
  std::size_t size = 0;
  std::uint64_t hash = 0;  // FNV-1a of the content
  bool operator==(const Output& o) const { return size == o.size && hash == o.hash; }
};

Output Describe(const std::string& path) {
  std::string bytes;
  os::ReadFile(path, bytes);
  Output o;
  o.size = bytes.size();
  o.hash = 1469598103934665603ull;
  for (unsigned char c : bytes) o.hash = (o.hash ^ c) * 1099511628211ull;
  return o;
}

// Every file under the agency directories and the map: relative path -> size and hash.
void Outputs(const std::string& dir, std::map<std::string, Output>& out) {
  out.clear();
  for (const char* agency : kAgencyDirs) {
    std::vector<os::DirEntry> quarters;
    if (!os::ListDir(dir + agency, quarters)) continue;
    for (const os::DirEntry& q : quarters) {
      std::vector<os::DirEntry> files;
      const std::string sub = std::string(agency) + "/" + q.name + "/";
      os::ListDir(dir + sub, files);
      for (const os::DirEntry& f : files) {
        if (f.isDir || (f.name.size() > 4 && f.name.compare(f.name.size() - 4, 4, ".lck") == 0)) continue;
        out[sub + f.name] = Describe(dir + sub + f.name);
      }
    }
  }
  out["DADES/V303.MAP"] = Describe(dir + "DADES/V303.MAP");
}

// Resident kilobytes of the heap mapping now (what the allocator holds).
long HeapKb() {
  std::string smaps;
  os::ReadFile("/proc/self/smaps", smaps);
  const std::size_t at = smaps.find("[heap]");
  if (at == std::string::npos) return 0;
  const std::size_t rss = smaps.find("Rss:", at);
  return rss == std::string::npos ? 0 : std::atol(smaps.c_str() + rss + 4);
}

// CPU seconds (user + system) of this process so far.
double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long PeakKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// ---- the floor ---------------------------------------------------------------------
struct Table {
  sqlite3* db = nullptr;
  sqlite3_stmt* equal = nullptr;
  sqlite3_stmt* greaterOrEqual = nullptr;
  sqlite3_stmt* next = nullptr;
};

bool OpenTable(const std::string& path, Table& t) {
  if (sqlite3_open_v2(path.c_str(), &t.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return false;
  const char* head = "SELECT id, data, k0 FROM records ";
  auto prep = [&](const std::string& tail, sqlite3_stmt** st) {
    return sqlite3_prepare_v3(t.db, (head + tail).c_str(), -1, SQLITE_PREPARE_PERSISTENT, st, nullptr) == SQLITE_OK;
  };
  return prep("WHERE k0 = ?1 ORDER BY k0, id LIMIT 1", &t.equal) &&
         prep("WHERE k0 >= ?1 ORDER BY k0, id LIMIT 1", &t.greaterOrEqual) &&
         prep("WHERE k0 > ?1 ORDER BY k0, id LIMIT 1", &t.next);
}

void CloseTable(Table& t) {
  sqlite3_finalize(t.equal);
  sqlite3_finalize(t.greaterOrEqual);
  sqlite3_finalize(t.next);
  sqlite3_close(t.db);
}

// One keyed read: the record and its key, false when there is none.
bool Read(sqlite3_stmt* st, const std::string& key, std::string& record, std::string& k0) {
  sqlite3_bind_blob(st, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
  const bool row = sqlite3_step(st) == SQLITE_ROW;
  if (row) {
    record.assign(static_cast<const char*>(sqlite3_column_blob(st, 1)), static_cast<std::size_t>(sqlite3_column_bytes(st, 1)));
    k0.assign(static_cast<const char*>(sqlite3_column_blob(st, 2)), static_cast<std::size_t>(sqlite3_column_bytes(st, 2)));
  }
  sqlite3_reset(st);
  return row;
}

// The reads of a filing run (territories, owners, fiscal records, groups,
// period records of the quarter) and the same files written plainly.
double Floor(const std::string& dir, const std::string& selDate, const std::map<std::string, Output>& files,
             long& reads) {
  const auto start = Clock::now();
  Table territories, owners, fiscal, groups, periods;
  if (!OpenTable(dir + "TAULES/UTerrito.dat", territories) || !OpenTable(dir + "DADES/VPropiet.dat", owners) ||
      !OpenTable(dir + "DADES/UFiscal.dat", fiscal) || !OpenTable(dir + "DADES/VGrups.dat", groups) ||
      !OpenTable(dir + "DADES/VCapPeri.dat", periods)) {
    std::fprintf(stderr, "floor: cannot open the record files\n");
    return -1;
  }
  reads = 0;
  std::string territory, tk, owner, ok, rec, rk, group, gk;
  const std::string from = std::string("\x80\x81", 2), to = std::string("\xE3\xE3", 2);
  bool more = Read(territories.greaterOrEqual, "", territory, tk);
  while (more) {
    ++reads;
    bool haveOwner = Read(owners.greaterOrEqual, from, owner, ok);
    while (haveOwner && ok.compare(to) <= 0) {
      ++reads;
      Read(fiscal.equal, owner.substr(809, 17), rec, rk);
      ++reads;
      std::string key = owner.substr(0, 2) + std::string(2, '\0');
      bool haveGroup = Read(groups.greaterOrEqual, key, group, gk);
      ++reads;
      while (haveGroup && group.compare(0, 2, owner, 0, 2) == 0) {
        Read(periods.equal, group.substr(0, 4) + selDate, rec, rk);
        ++reads;
        haveGroup = Read(groups.next, gk, group, gk);
        ++reads;
      }
      haveOwner = Read(owners.next, ok, owner, ok);
    }
    more = Read(territories.next, tk, territory, tk);
  }
  for (Table* t : {&territories, &owners, &fiscal, &groups, &periods}) CloseTable(*t);
  std::string made;
  for (const auto& [name, output] : files) {
    const std::string path = dir + "floor/" + name;
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    if (folder != made) os::MakeDirs(folder);
    made = folder;
    const std::string bytes(output.size, ' ');
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
  }
  return Seconds(start);
}

// One timed run of each round: its selection's payment form, and its best
// times with the log and the kept versions ([0]) and without them ([1]).
struct Phase {
  const char* name;
  const char* payment;
  double wall[2] = {1e9, 1e9}, cpu[2] = {1e9, 1e9};
};

// Moves the outputs of the last round out of the way (into DIR/trash/,
// emptied at the end): files are not deleted between timed phases, so no
// phase pays the file system's bookkeeping of another phase's deletions.
void ClearOutputs(const std::string& dir, int round) {
  const std::string trash = dir + "trash/" + std::to_string(round) + "/";
  os::MakeDirs(trash);
  for (const char* agency : kAgencyDirs)
    if (os::DirExists(dir + agency)) os::RenameFile(dir + agency, trash + agency);
  if (os::DirExists(dir + "floor")) os::RenameFile(dir + "floor", trash + "floor");
  for (const char* file : {"HISTORIC", "DADES/V303.MAP", "DADES/V303.LOG"})
    if (os::FileExists(dir + file) || os::DirExists(dir + file))
      os::RenameFile(dir + file, trash + std::string(file).substr(std::string(file).find('/') + 1));
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = "/tmp/bench303/";
  std::string owners = "9999";
  int rounds = 3;
  std::string server;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--owners" && i + 1 < argc) owners = argv[++i];
    else if (a == "--server" && i + 1 < argc) server = argv[++i];
    else if (a == "--rounds" && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
    else dir = a.back() == '/' ? a : a + "/";
  }
  const std::string kap = os::ExecutableDir() + "kap";
  if (!os::FileExists(dir + "DADES/VPropiet.dat")) {
    std::printf("making the demo office (%s owners) in %s\n", owners.c_str(), dir.c_str());
    if (os::RunProgram(kap, {"init", dir}) != 0 ||
        os::RunProgram(kap, {"demo", dir, "--owners", owners, "--today", "20240715"}) != 0) {
      std::fprintf(stderr, "kap init/demo failed\n");
      return 1;
    }
  }
  settings::IniWrite(dir + "Kova.ini", "Dades", "Servidor", "");
  if (!server.empty()) {
    // Copied once: a server that holds records already is taken to hold
    // this office (the digest below tells).
    std::printf("copying the office's record files to the server\n");
    if (os::RunProgram(kap, {"copy", dir, server}) != 0) std::printf("(kept the records already there)\n");
    settings::IniWrite(dir + "Kova.ini", "Dades", "Servidor", server);
  }
  os::RunShell("rm -rf '" + dir + "trash'");
  os::MakeDirs(dir + "tmp/");
  os::MakeDirs(dir + "exe/");
  os::WriteFile(dir + "exe/ZEDIRIDI", "#!/bin/sh\nexit 0\n");
  os::RunShell("chmod +x '" + dir + "exe/ZEDIRIDI'");

  settings::DataRoot = dir;
  settings::TmpDir = dir + "tmp/";
  settings::ExeDir = dir + "exe/";
  settings::Idioma = "CAT";
  format::SetCurrency("a,E");
  forms::SelMode = "S";
  forms::SelDate = std::string("\x94\x98\x86\x9E", 4);  // 30 June 2024
  forms::SelFrom = std::string("\x80\x81", 2);
  forms::SelTo = std::string("\xE3\xE3", 2);
  forms::SelPayment = "N";
  forms::SelAnnual = false;
  forms::PresTown = "GIRONA";
  forms::PresAccount = "ES0021000418450200051332";
  format::CheckIban(forms::PresAccount);

  // Each round runs the phases twice, with the log and the kept versions
  // (the program as it is) and without them, in turns so that neither
  // side always goes first. Round 0: the runs (peak memory taken after the
  // first side's rerun), then the floor; later rounds: the floor first. The
  // best time of each phase counts.
  Phase phases[] = {{"first S run", "N"}, {"rerun", "N"}, {"rerun with E", "E"}, {"rerun with D", "D"}};
  double floor = 1e9, floorCpu = 1e9;
  long peak = 0, heap = 0, reads = 0;
  int code = 0, cleared = 0;
  bool identical = true;
  std::map<std::string, Output> afterFirst, afterRerun;
  for (int round = 0; round < rounds; ++round) {
    double cpu = CpuSeconds();
    if (round > 0) {
      floor = std::min(floor, Floor(dir, forms::SelDate, afterFirst, reads));
      floorCpu = std::min(floorCpu, CpuSeconds() - cpu);
    }
    records::OpenDataFiles();
    for (int turn = 0; turn < 2; ++turn) {
      const int side = (round + turn) % 2;  // 0 with, 1 without
      vat303::SetRunHistory(side == 0);
      ClearOutputs(dir, cleared++);
      for (Phase& phase : phases) {
        forms::SelPayment = phase.payment;
        const auto start = Clock::now();
        cpu = CpuSeconds();
        code |= vat303::RunReturn(vat303::RunPresentation::Batch);
        phase.wall[side] = std::min(phase.wall[side], Seconds(start));
        phase.cpu[side] = std::min(phase.cpu[side], CpuSeconds() - cpu);
        if (&phase == &phases[0]) Outputs(dir, afterFirst);
        if (&phase != &phases[1]) continue;
        if (round == 0 && turn == 0) {
          peak = PeakKb();
          heap = HeapKb();
        }
        Outputs(dir, afterRerun);
        identical = identical && afterFirst == afterRerun;
      }
    }
    vat303::SetRunHistory(true);
    forms::SelPayment = "N";
    int status = 0;
    records::BtrCloseAll(status);
    if (round == 0) {
      cpu = CpuSeconds();
      floor = Floor(dir, forms::SelDate, afterFirst, reads);
      floorCpu = CpuSeconds() - cpu;
    }
  }
  // The report run with its PDF: the same office in "R" mode, then the real
  // print program renders the spool (the run waits for it).
  os::SetEnv("KAPROOT", dir);
  os::SetEnv("KAPTMP", dir + "tmp/");
  settings::ExeDir = os::ExecutableDir();
  settings::OutputSetting = "PDF";
  forms::SelMode = "R";
  records::OpenDataFiles();
  double report = 1e9, reportCpu = 1e9;
  for (int round = 0; round < rounds; ++round) {
    const auto start = Clock::now();
    const double cpu = CpuSeconds();
    code |= vat303::RunReturn(vat303::RunPresentation::Batch);
    report = std::min(report, Seconds(start));
    reportCpu = std::min(reportCpu, CpuSeconds() - cpu);
  }
  int closeStatus = 0;
  records::BtrCloseAll(closeStatus);
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  const long long pdfBytes = os::FileSize(dir + "tmp/informe.pdf");
  const long long spoolBytes = os::FileSize(dir + "tmp/zediridi.tmp");

  std::size_t bytes = 0;
  std::uint64_t digest = 1469598103934665603ull;  // of every output's name, size and hash
  for (const auto& f : afterFirst) {
    bytes += f.second.size;
    for (unsigned char c : f.first) digest = (digest ^ c) * 1099511628211ull;
    digest = (digest ^ f.second.hash ^ f.second.size) * 1099511628211ull;
  }
  os::RunShell("rm -rf '" + dir + "trash'");
  if (!server.empty()) settings::IniWrite(dir + "Kova.ini", "Dades", "Servidor", "");

  std::printf("files written: %zu (%zu bytes), record reads: %ld, runs %s\n", afterFirst.size(), bytes, reads,
              code == 0 ? "finished" : "FAILED");
  std::printf("rerun output identical to the first run's: %s\n", identical ? "yes" : "NO");
  std::printf("record files: %s; digest of the outputs: %016llx\n", server.empty() ? "SQLite" : "server",
              static_cast<unsigned long long>(digest));
  std::printf("best of %d rounds     with log and history      without          with / without\n", rounds);
  std::printf("                        wall       cpu          wall       cpu          wall    cpu\n");
  for (const Phase& p : phases)
    std::printf("%-15s %8.3f s %8.3f s    %8.3f s %8.3f s     %5.2f  %5.2f\n", p.name, p.wall[0], p.cpu[0],
                p.wall[1], p.cpu[1], p.wall[0] / p.wall[1], p.cpu[0] / p.cpu[1]);
  std::printf("floor           %8.3f s %8.3f s\n", floor, floorCpu);
  std::printf("with log and history: first S run %.2f x floor (cpu %.2f); reruns %.2f, %.2f and %.2f x first\n",
              phases[0].wall[0] / floor, phases[0].cpu[0] / floorCpu, phases[1].wall[0] / phases[0].wall[0],
              phases[2].wall[0] / phases[0].wall[0], phases[3].wall[0] / phases[0].wall[0]);
  std::printf("peak resident memory: %.1f MB (heap after the runs %.1f MB)\n", peak / 1024.0, heap / 1024.0);
  std::printf("R run with its PDF %6.3f s wall (this process %.3f s cpu); spool %lld bytes, PDF %lld bytes;\n"
              "  print program peak resident memory %.1f MB\n",
              report, reportCpu, spoolBytes, pdfBytes, children.ru_maxrss / 1024.0);
  return code;
}
