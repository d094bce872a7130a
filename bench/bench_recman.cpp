// Benchmark of the record manager.
//
// bench_recman [records] [lookups] [folder] [--server CONNECTION]
//   Get Equal on random keys and Get Next over a whole file of 100,000
//   records through BTRCALL, on the SQLite files and, given a connection
//   string, on a PostgreSQL server, against the same reads done directly in
//   SQLite with prepared statements on an equivalent table (the floor for a
//   record manager stored this way).
// bench_recman shared [small] [large] [seconds]
//   Keyed reads through the record access layer (BtrGetByKey: Stat twice,
//   then Get Equal) on a small and a large file (1,000 and 200,000 records),
//   first alone, then while a second process updates a record of the same
//   file every millisecond; the cost of a read should not depend on the size.
#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/recman/engine.h"
#include "platform/recman/recman.h"
#include "records/btr.h"

namespace {

constexpr int kRecordLength = 64;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void MakeRecord(std::uint32_t key, unsigned char* rec) {
  std::memset(rec, 0, kRecordLength);
  std::memcpy(rec, &key, 4);  // little-endian binary key
  std::snprintf(reinterpret_cast<char*>(rec) + 4, kRecordLength - 4, "record %u", key);
}

std::string BigEndian(std::uint32_t key) {
  std::string k(4, '\0');
  for (int i = 0; i < 4; ++i) k[i] = static_cast<char>((key >> (8 * (3 - i))) & 0xFF);
  return k;
}

bool Check(int status, const char* what) {
  if (status == 0) return true;
  std::fprintf(stderr, "%s: status %d\n", what, status);
  return false;
}

struct Result {
  double equal = 0;
  double next = 0;
  std::uint64_t checksum = 0;
};

// ---- through BTRCALL -------------------------------------------------------
bool BtrEqual(void* pos, const std::vector<std::uint32_t>& lookups, Result& r) {
  unsigned char data[1536];
  unsigned char key[255] = {};
  auto t = std::chrono::steady_clock::now();
  for (std::uint32_t k : lookups) {
    std::uint32_t len = sizeof data;
    std::memcpy(key, &k, 4);
    if (!Check(recman::BTRCALL(recman::kOpGetEqual, pos, data, &len, key, 4, 0), "Get Equal")) return false;
    r.checksum += data[0] + len;
  }
  r.equal = std::min(r.equal == 0 ? 1e9 : r.equal, Seconds(t));
  return true;
}

bool BtrNext(void* pos, std::uint32_t records, Result& r) {
  unsigned char data[1536];
  unsigned char key[255] = {};
  auto t = std::chrono::steady_clock::now();
  std::uint32_t len = sizeof data;
  int status = recman::BTRCALL(recman::kOpGetFirst, pos, data, &len, key, 4, 0);
  std::uint32_t count = 0;
  while (status == 0) {
    ++count;
    r.checksum += data[0] + len;
    len = sizeof data;
    status = recman::BTRCALL(recman::kOpGetNext, pos, data, &len, key, 4, 0);
  }
  if (status != recman::kStatusEndOfFile || count != records) {
    std::fprintf(stderr, "Get Next: status %d after %u records\n", status, count);
    return false;
  }
  r.next = std::min(r.next == 0 ? 1e9 : r.next, Seconds(t));
  return true;
}

// ---- directly in SQLite ----------------------------------------------------
struct Direct {
  sqlite3* db = nullptr;
  sqlite3_stmt* equal = nullptr;
  sqlite3_stmt* first = nullptr;
  sqlite3_stmt* next = nullptr;
};

bool DirectEqual(Direct& d, const std::vector<std::uint32_t>& lookups, Result& r) {
  unsigned char data[1536];
  auto t = std::chrono::steady_clock::now();
  for (std::uint32_t k : lookups) {
    std::string key = BigEndian(k);
    sqlite3_bind_blob(d.equal, 1, key.data(), 4, SQLITE_STATIC);
    if (sqlite3_step(d.equal) != SQLITE_ROW) return Check(4, "direct equal");
    int n = sqlite3_column_bytes(d.equal, 1);
    std::memcpy(data, sqlite3_column_blob(d.equal, 1), n);
    r.checksum += data[0] + static_cast<unsigned>(n);
    sqlite3_reset(d.equal);
  }
  r.equal = std::min(r.equal == 0 ? 1e9 : r.equal, Seconds(t));
  return true;
}

bool DirectNext(Direct& d, std::uint32_t records, Result& r) {
  unsigned char data[1536];
  unsigned char current[4];
  auto t = std::chrono::steady_clock::now();
  std::uint32_t count = 0;
  sqlite3_stmt* st = d.first;
  while (sqlite3_step(st) == SQLITE_ROW) {
    ++count;
    int n = sqlite3_column_bytes(st, 1);
    std::memcpy(data, sqlite3_column_blob(st, 1), n);
    std::memcpy(current, sqlite3_column_blob(st, 2), 4);
    r.checksum += data[0] + static_cast<unsigned>(n);
    sqlite3_reset(st);
    st = d.next;
    sqlite3_bind_blob(st, 1, current, 4, SQLITE_STATIC);
  }
  sqlite3_reset(st);
  if (count != records) return Check(9, "direct next");
  r.next = std::min(r.next == 0 ? 1e9 : r.next, Seconds(t));
  return true;
}


// ---- keyed reads on a shared file ------------------------------------------
constexpr int kSharedFileNumber = 900;

// A file of `records` records with keys 0, 3, 6, ... (through BTRCALL, one
// transaction).
// Creates (replacing it) a file of 64-byte records with one unique 4-byte
// binary key at `path`, on the engine in use, and opens it into `pos`.
bool CreateAndOpen(const std::string& path, void* pos) {
  unsigned char spec[1536] = {};
  spec[0] = kRecordLength;
  spec[3] = 0x10;  // page size 4096
  spec[4] = 1;
  spec[16] = 1;
  spec[18] = 4;
  spec[20] = recman::kKeyBinary;
  std::uint32_t len = sizeof spec;
  char name[255] = {};
  std::snprintf(name, sizeof name, "%s", path.c_str());
  if (!Check(recman::BTRCALL(recman::kOpCreate, nullptr, spec, &len, name, 255, 0), "Create")) return false;
  len = 0;
  return Check(recman::BTRCALL(recman::kOpOpen, pos, nullptr, &len, name, 255, 0), "Open");
}

bool MakeFile(const std::string& path, std::uint32_t records) {
  unsigned char pos[recman::kPositionBlockSize] = {};
  if (!CreateAndOpen(path, pos)) return false;
  unsigned char rec[kRecordLength];
  unsigned char key[255];
  std::uint32_t len = 0;
  if (!Check(recman::BTRCALL(recman::kOpBeginTransaction, pos, nullptr, &len, key, 0, 0), "Begin")) return false;
  for (std::uint32_t i = 0; i < records; ++i) {
    MakeRecord(i * 3, rec);
    len = kRecordLength;
    if (!Check(recman::BTRCALL(recman::kOpInsert, pos, rec, &len, key, 255, 0), "Insert")) return false;
  }
  len = 0;
  bool ok = Check(recman::BTRCALL(recman::kOpEndTransaction, pos, nullptr, &len, key, 0, 0), "End");
  len = 0;
  recman::BTRCALL(recman::kOpReset, pos, nullptr, &len, nullptr, 0, 0);
  return ok;
}

// A second process that updates a random record of the file about once a
// millisecond (one commit each), until `stop` closes; it reports how many
// writes it made.
struct Writer {
  pid_t pid = -1;
  int stop = -1;
  int count = -1;
};

Writer StartWriter(const std::string& path, std::uint32_t records) {
  Writer w;
  int stopPipe[2], countPipe[2];
  if (pipe(stopPipe) != 0 || pipe(countPipe) != 0) return w;
  w.pid = fork();
  if (w.pid == 0) {
    close(stopPipe[1]);
    close(countPipe[0]);
    unsigned char pos[recman::kPositionBlockSize] = {};
    char name[255] = {};
    std::snprintf(name, sizeof name, "%s", path.c_str());
    std::uint32_t len = 0;
    if (recman::BTRCALL(recman::kOpOpen, pos, nullptr, &len, name, 255, 0) != 0) _exit(1);
    std::mt19937 rng(777);
    unsigned long writes = 0;
    pollfd p{stopPipe[0], POLLIN, 0};
    while (poll(&p, 1, 1) == 0) {
      unsigned char rec[1536];
      unsigned char key[255] = {};
      const std::uint32_t k = (rng() % records) * 3;
      std::memcpy(key, &k, 4);
      len = sizeof rec;
      if (recman::BTRCALL(recman::kOpGetEqual, pos, rec, &len, key, 255, 0) != 0) continue;
      std::snprintf(reinterpret_cast<char*>(rec) + 4, kRecordLength - 4, "update %lu", writes);
      len = kRecordLength;
      if (recman::BTRCALL(recman::kOpUpdate, pos, rec, &len, key, 255, 0) == 0) ++writes;
    }
    if (write(countPipe[1], &writes, sizeof writes) != sizeof writes) _exit(1);
    _exit(0);
  }
  close(stopPipe[0]);
  close(countPipe[1]);
  w.stop = stopPipe[1];
  w.count = countPipe[0];
  return w;
}

unsigned long StopWriter(Writer& w) {
  unsigned long writes = 0;
  close(w.stop);
  if (read(w.count, &writes, sizeof writes) != sizeof writes) writes = 0;
  close(w.count);
  waitpid(w.pid, nullptr, 0);
  return writes;
}

// Bytes this process has read from files so far (0 when unknown).
double BytesRead() {
  FILE* io = std::fopen("/proc/self/io", "r");
  if (io == nullptr) return 0;
  char name[64];
  double value = 0;
  while (std::fscanf(io, "%63s %lf", name, &value) == 2 && std::strcmp(name, "rchar:") != 0) {
  }
  std::fclose(io);
  return value;
}

struct ReadCost {
  double us = 0;     // per read
  double bytes = 0;  // read from files, per read
  unsigned long reads = 0;
};

// Keyed reads of random keys through the access layer for about `seconds`.
bool KeyedReads(const std::string& path, std::uint32_t records, double seconds, ReadCost& cost) {
  std::string buffer;
  int status = 0;
  records::BtrOpen(kSharedFileNumber, path, buffer, status);
  if (!Check(status, "BtrOpen")) return false;
  std::mt19937 rng(4242);
  unsigned long reads = 0;
  const double bytesBefore = BytesRead();
  auto t = std::chrono::steady_clock::now();
  double elapsed = 0;
  while (elapsed < seconds) {
    for (int i = 0; i < 50; ++i) {
      const std::uint32_t k = (rng() % records) * 3;
      records::BtrGetByKey(kSharedFileNumber, 0, std::string(reinterpret_cast<const char*>(&k), 4), 0, status);
      if (!Check(status, "BtrGetByKey")) return false;
      ++reads;
    }
    elapsed = Seconds(t);
  }
  cost.bytes = (BytesRead() - bytesBefore) / static_cast<double>(reads);
  cost.us = elapsed * 1e6 / static_cast<double>(reads);
  cost.reads = reads;
  records::BtrCloseAll(status);
  return true;
}

int Shared(int argc, char** argv) {
  const std::uint32_t sizes[2] = {argc > 2 ? static_cast<std::uint32_t>(std::atol(argv[2])) : 1000,
                                  argc > 3 ? static_cast<std::uint32_t>(std::atol(argv[3])) : 200000};
  const double seconds = argc > 4 ? std::atof(argv[4]) : 3.0;
  char tmpl[] = "/tmp/bench_recman.XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  const std::string folder = tmpl;
  std::string paths[2];
  for (int i = 0; i < 2; ++i) {
    paths[i] = folder + "/f" + std::to_string(sizes[i]) + ".dat";
    if (!MakeFile(paths[i], sizes[i])) return 1;
  }
  ReadCost alone[2], shared[2];
  unsigned long writes[2];
  for (int i = 0; i < 2; ++i) {
    if (!KeyedReads(paths[i], sizes[i], seconds, alone[i])) return 1;
    Writer w = StartWriter(paths[i], sizes[i]);
    if (w.pid < 0) return 1;
    const bool ok = KeyedReads(paths[i], sizes[i], seconds, shared[i]);
    writes[i] = StopWriter(w);
    if (!ok) return 1;
  }
  std::printf("keyed reads through the access layer (BtrGetByKey, direction 0), %.0f s each\n", seconds);
  std::printf("%-16s %22s %31s\n", "", "alone", "with a writer");
  std::printf("%-16s %10s %11s %10s %11s %9s\n", "", "per read", "file bytes", "per read", "file bytes",
              "writes");
  for (int i = 0; i < 2; ++i) {
    std::printf("%8u records %8.2f us %11.0f %7.2f us %11.0f %9lu\n", sizes[i], alone[i].us, alone[i].bytes,
                shared[i].us, shared[i].bytes, writes[i]);
  }
  std::printf("per-read cost large / small: alone %.2f, with a writer %.2f (time); %.2f (file bytes)\n",
              alone[1].us / alone[0].us, shared[1].us / shared[0].us,
              shared[0].bytes > 0 ? shared[1].bytes / shared[0].bytes : 0.0);
  std::printf("added by the writer to a read: %u records %.2f us, %u records %.2f us\n", sizes[0],
              shared[0].us - alone[0].us, sizes[1], shared[1].us - alone[1].us);
  for (const std::string& p : paths) {
    for (const char* suffix : {"", ".lck", "-wal", "-shm"}) unlink((p + suffix).c_str());
  }
  rmdir(folder.c_str());
  return 0;
}

// Creates the file at `path` on the engine in use (replacing it), opens it
// into `pos` and inserts the records one by one (one commit each).
bool Fill(const std::string& path, const std::vector<std::uint32_t>& keys, void* pos, double& seconds) {
  if (!CreateAndOpen(path, pos)) return false;
  std::uint32_t len = 0;
  auto t = std::chrono::steady_clock::now();
  unsigned char rec[kRecordLength];
  unsigned char key[255];
  for (std::uint32_t k : keys) {
    MakeRecord(k, rec);
    len = kRecordLength;
    if (!Check(recman::BTRCALL(recman::kOpInsert, pos, rec, &len, key, 255, 0), "Insert")) return false;
  }
  seconds = Seconds(t);
  return true;
}

void Line(const char* what, double files, double server, double direct, double per, bool withServer) {
  std::printf("%-34s %9.3f us", what, files * 1e6 / per);
  if (withServer) std::printf(" %9.3f us %9.2f", server * 1e6 / per, server / files);
  if (direct > 0) std::printf(" %9.3f us", direct * 1e6 / per);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "shared") == 0) return Shared(argc, argv);
  std::vector<std::string> args;
  std::string server;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--server") == 0 && i + 1 < argc) server = argv[++i];
    else args.push_back(argv[i]);
  }
  const std::uint32_t records = args.size() > 0 ? static_cast<std::uint32_t>(std::atol(args[0].c_str())) : 100000;
  const std::uint32_t lookupCount = args.size() > 1 ? static_cast<std::uint32_t>(std::atol(args[1].c_str())) : 200000;
  std::string folder;
  if (args.size() > 2 && !args[2].empty()) {
    folder = args[2];
  } else {
    char tmpl[] = "/tmp/bench_recman.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return 1;
    folder = tmpl;
  }
  const std::string btrPath = folder + "/bench.dat";
  const std::string directPath = folder + "/direct.db";

  // Keys 0, 3, 6, ... inserted in random order.
  std::mt19937 rng(12345);
  std::vector<std::uint32_t> keys(records);
  for (std::uint32_t i = 0; i < records; ++i) keys[i] = i * 3;
  std::shuffle(keys.begin(), keys.end(), rng);
  std::vector<std::uint32_t> lookups(lookupCount);
  for (auto& k : lookups) k = keys[rng() % records];

  unsigned char pos[recman::kPositionBlockSize] = {};
  double insertTime = 0;
  if (!Fill(btrPath, keys, pos, insertTime)) return 1;
  // The same file on the server: a table named after it below the folder.
  unsigned char serverPos[recman::kPositionBlockSize] = {};
  double serverInsertTime = 0;
  if (!server.empty()) {
    recman::UseServer(server, folder);
    const bool filled = Fill(btrPath, keys, serverPos, serverInsertTime);
    if (!filled) std::fprintf(stderr, "%s\n", recman::ServerProblem().c_str());
    recman::UseServer("", "");
    if (!filled) return 1;
  }

  // The equivalent table.
  unsigned char rec[kRecordLength];
  Direct d;
  unlink(directPath.c_str());
  if (sqlite3_open(directPath.c_str(), &d.db) != SQLITE_OK) return 1;
  sqlite3_exec(d.db,
               "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
               " CREATE TABLE t(id INTEGER PRIMARY KEY, data BLOB NOT NULL, k BLOB NOT NULL);"
               " CREATE UNIQUE INDEX t_k ON t(k); BEGIN;",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(d.db, "INSERT INTO t(data, k) VALUES (?1, ?2)", -1, &ins, nullptr);
  for (std::uint32_t k : keys) {
    MakeRecord(k, rec);
    std::string bk = BigEndian(k);
    sqlite3_bind_blob(ins, 1, rec, kRecordLength, SQLITE_TRANSIENT);
    sqlite3_bind_blob(ins, 2, bk.data(), 4, SQLITE_TRANSIENT);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  sqlite3_exec(d.db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_prepare_v2(d.db, "SELECT id, data, k FROM t WHERE k = ?1", -1, &d.equal, nullptr);
  sqlite3_prepare_v2(d.db, "SELECT id, data, k FROM t ORDER BY k LIMIT 1", -1, &d.first, nullptr);
  sqlite3_prepare_v2(d.db, "SELECT id, data, k FROM t WHERE k > ?1 ORDER BY k LIMIT 1", -1, &d.next, nullptr);

  // Alternate the sides, best of three each.
  Result btr, onServer, direct;
  for (int round = 0; round < 3; ++round) {
    if (!BtrEqual(pos, lookups, btr) || !DirectEqual(d, lookups, direct)) return 1;
    if (!BtrNext(pos, records, btr) || !DirectNext(d, records, direct)) return 1;
    if (!server.empty() && (!BtrEqual(serverPos, lookups, onServer) || !BtrNext(serverPos, records, onServer))) return 1;
  }
  if (btr.checksum != direct.checksum || (!server.empty() && onServer.checksum != btr.checksum)) {
    std::fprintf(stderr, "the sides read different data\n");
    return 1;
  }

  const bool withServer = !server.empty();
  std::printf("records %u, record length %d, one unique 4-byte binary key\n", records, kRecordLength);
  std::printf("%-34s %12s", "", "files");
  if (withServer) std::printf(" %12s %9s", "server", "srv/files");
  std::printf(" %12s\n", "SQLite direct");
  Line("Insert, one commit each", insertTime, serverInsertTime, 0, records, withServer);
  Line("Get Equal, random keys (per read)", btr.equal, onServer.equal, direct.equal, lookupCount, withServer);
  Line("Get Next, whole file (per read)", btr.next, onServer.next, direct.next, records, withServer);
  std::printf("files: SQLite record files; server: PostgreSQL tables; SQLite direct: prepared statements on\n"
              "an equivalent table, no record manager (the floor of the files engine)\n");

  sqlite3_finalize(d.equal);
  sqlite3_finalize(d.first);
  sqlite3_finalize(d.next);
  sqlite3_close(d.db);
  std::uint32_t len = 0;
  recman::BTRCALL(recman::kOpReset, pos, nullptr, &len, nullptr, 0, 0);
  if (args.size() <= 2 || args[2].empty()) {
    for (const char* suffix : {"/bench.dat", "/bench.dat.lck", "/bench.dat-wal", "/bench.dat-shm", "/direct.db",
                               "/direct.db-wal", "/direct.db-shm"}) {
      unlink((folder + suffix).c_str());
    }
    rmdir(folder.c_str());
  }
  return 0;
}
