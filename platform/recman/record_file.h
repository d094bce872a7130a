// One open record file: its SQLite connection, definition, cached
// statements, lock file and the current position of its position block.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/recman/file_definition.h"
#include "platform/recman/lock_file.h"

namespace recman {

// Statements kept per key (columns: id, data, comparable key).
enum Query {
  kQueryEqual, kQueryGreater, kQueryGreaterOrEqual, kQueryLess, kQueryLessOrEqual,
  kQueryFirst, kQueryLast, kQueryNext, kQueryNextSame, kQueryPrevious, kQueryPreviousSame,
  kQueryRow, kQueryCount_
};

enum PositionState { kNoPosition = 0, kOnRecord = 1, kAfterDelete = 2 };

struct PgFile;  // a file opened on the server (pg_table.h)

// What identifies the database file's content from outside: it changes when
// another process writes into the file itself.
struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
};

struct DbGuard;

struct RecordFile {
  std::uint32_t slot = 0;
  std::uint32_t generation = 0;
  std::string path;
  int mode = 0;  // open mode
  sqlite3* db = nullptr;
  FileDef def;
  LockFile* lock = nullptr;
  bool readOnly = false;        // no writes through this handle
  std::int16_t writeStatus = 0; // status of a write: 0, 46 (mode -2) or 94 (no write access)
  bool mayWrite = true;         // this process may write the file and its folder
  bool immutable = false;       // opened "immutable" (see engine.h, READ-ONLY ACCESS)
  FileStamp stamp;              // of the database file when opened immutable
  DbGuard* guard = nullptr;
  bool exclusive = false;
  bool inTransaction = false;
  PgFile* server = nullptr;  // set for a file on the server: no SQLite part

  std::vector<std::array<sqlite3_stmt*, kQueryCount_>> queries;
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* update = nullptr;
  sqlite3_stmt* remove = nullptr;
  sqlite3_stmt* count = nullptr;
  sqlite3_stmt* counts = nullptr;  // SELECT from recman_counts; null while the file has none
  sqlite3_stmt* dataVersion = nullptr;
  std::vector<sqlite3_stmt*> distinct;
  bool countsChecked = false;      // recman_counts looked for (and added) at the first write

  // Current position.
  int keyNumber = 0;
  PositionState state = kNoPosition;
  std::int64_t rowid = 0;
  std::string keyValue;  // comparable form
  std::int64_t lockedRowid = 0;  // single-record lock held, 0 = none

  // Stat counts, valid while the database is unchanged.
  bool statValid = false;
  std::int64_t statVersion = 0;
  std::int64_t statChanges = 0;
  std::uint32_t records = 0;
  std::vector<std::uint32_t> unique;

  // Scratch buffers reused between calls.
  std::string scratch;
  std::string scratch2;
};

// Opens the database at `path` (must exist). Returns 0 or a status; on
// success `rf` holds the connection, definition and lock file.
int OpenRecordFile(const std::string& path, int mode, RecordFile& rf);
void CloseRecordFile(RecordFile& rf);

// Before an operation on a file this process may only read: takes up the
// lock file once it exists, and reopens an "immutable" connection once a
// writer has come. Returns 0 or the status of a failed reopen.
int FollowOtherWriters(RecordFile& rf);
inline bool WatchesOtherWriters(const RecordFile& rf) {
  return rf.immutable || rf.db == nullptr || (rf.lock == nullptr && !rf.mayWrite);
}

// Creates a new record file at `path` from a parsed definition.
int CreateRecordFile(const std::string& path, const FileDef& def, bool replace);

// Cached statement; nullptr when it cannot be prepared.
sqlite3_stmt* QueryStatement(RecordFile& rf, int key, Query q);
sqlite3_stmt* WriteStatement(RecordFile& rf, int which);  // 0 insert, 1 update, 2 delete

// Record count and unique values per key (cached while the file is unchanged).
int StatCounts(RecordFile& rf);
// Before the first write through a handle: gives a file made before
// recman_counts existed its counts table and triggers (best effort).
void EnsureCounts(RecordFile& rf);

// SQLite result code to status.
int SqliteStatus(int rc);

// Shared by the files of this module.
extern const int kApplicationId;  // "KRM1"
std::string KeyColumn(int key);   // "k<key>"
bool ExecSql(sqlite3* db, const std::string& sql);
sqlite3_stmt* PrepareSql(sqlite3* db, const std::string& sql);  // nullptr on error
// The counts table, its start values and its triggers (engine.h, FILES).
std::string CountsSql(const FileDef& def);

// Child after fork: forgets this process's database guards without
// touching them (they belong to the parent).
void ForgetAllGuards();

}  // namespace recman
