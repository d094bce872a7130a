// One open record file: its SQLite connection, definition, cached
// statements, lock file and the current position of its position block.
#pragma once

#include <sqlite3.h>

#include <array>
#include <cstdint>
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

struct RecordFile {
  std::uint32_t slot = 0;
  std::uint32_t generation = 0;
  std::string path;
  sqlite3* db = nullptr;
  FileDef def;
  LockFile* lock = nullptr;
  bool readOnly = false;
  bool exclusive = false;
  bool inTransaction = false;
  PgFile* server = nullptr;  // set for a file on the server: no SQLite part

  std::vector<std::array<sqlite3_stmt*, kQueryCount_>> queries;
  sqlite3_stmt* insert = nullptr;
  sqlite3_stmt* update = nullptr;
  sqlite3_stmt* remove = nullptr;
  sqlite3_stmt* count = nullptr;
  sqlite3_stmt* dataVersion = nullptr;
  std::vector<sqlite3_stmt*> distinct;

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

// Creates a new record file at `path` from a parsed definition.
int CreateRecordFile(const std::string& path, const FileDef& def, bool replace);

// Cached statement; nullptr when it cannot be prepared.
sqlite3_stmt* QueryStatement(RecordFile& rf, int key, Query q);
sqlite3_stmt* WriteStatement(RecordFile& rf, int which);  // 0 insert, 1 update, 2 delete

// Record count and unique values per key (cached while the file is unchanged).
int StatCounts(RecordFile& rf);

// SQLite result code to status.
int SqliteStatus(int rc);

}  // namespace recman
