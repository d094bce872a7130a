// Record files as tables on the server: names, the state this process keeps
// per table and per open file, and the SQL of every statement.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/recman/file_definition.h"

namespace recman {

// One table as this process knows it, shared by the files open on it.
struct PgTable {
  std::string name;      // "dades/vpropiet"
  std::string qualified; // "schema.dades/vpropiet": locks and announcements
  std::string quoted;    // as an SQL identifier
  std::string tag;       // statement names: table and definition
  std::int32_t lockKey = 0;  // first key of the table's advisory locks
  FileDef def;
  int files = 0;             // open position blocks
  int transactions = 0;      // of them, in a transaction
  int exclusive = 0;         // holds of the file lock (session lock on the main link)
  bool lockedByCall = false; // one of them is LockFileExclusive's
  std::map<std::int64_t, int> recordLocks;  // held, one server lock each
  std::uint64_t changes = 0; // counts changes known to this process
  std::uint64_t ownChanges = 0;  // of them, this process's own
  bool statValid = false;
  std::uint64_t statChanges = 0, statOwnChanges = 0;
  std::chrono::steady_clock::time_point countedAt;
  std::uint32_t records = 0;
  std::vector<std::uint32_t> unique;
};

// Rows read ahead along a key, served to Get Next / Get Previous.
struct PgRow {
  std::int64_t id = 0;
  std::string data;
  std::string key;  // comparable form
};

struct PgReadAhead {
  std::vector<PgRow> rows;
  std::size_t next = 0;  // first row not yet served
  int op = 0;            // kOpGetNext or kOpGetPrevious
  int key = -1;
  std::uint64_t changes = 0;  // the table's count when read
  std::chrono::steady_clock::time_point readAt;
  std::size_t size = 0;  // rows to ask for next time
};

// One open position block on a table.
struct PgFile {
  PgTable* table = nullptr;
  std::uint64_t link = 0;  // generation of the main link it was opened on
  PgReadAhead ahead;
};

// The path relative to the data root, "/" separated; the table name made
// from it (pg_engine.h).
std::string RelativePath(const std::string& path);
std::string TableName(const std::string& path);
// The table known by that name in that schema (made on first use; def
// empty until opened). Locks and announcements are the server's, common to
// all its schemas: they go by the schema and the name.
PgTable* FindTable(const std::string& schema, const std::string& name);
// Forgets the table once nothing of this process refers to it.
void DropTableIfUnused(PgTable* table);
// Every table known, by qualified name (Reset, announcements).
std::map<std::string, PgTable*>& Tables();
// Takes the definition read at open.
void SetTableDefinition(PgTable& table, const FileDef& def, const std::string& spec);

// Statements. Reads take ($1 own file lock, $2 lock key, $3 record lock to
// release or 0, $4 key value, $5 row id, $6 row count) and return
// (ok, released, id, data, key[, locked]).
enum PgRead {
  kPgEqual, kPgGreater, kPgGreaterOrEqual, kPgLess, kPgLessOrEqual, kPgFirst, kPgLast, kPgNext,
  kPgPrevious, kPgRow,
};
std::string ReadSql(const PgTable& t, int key, PgRead q, bool lock);
std::string ReadName(const PgTable& t, int key, PgRead q, bool lock);
// Insert ($1 own file lock, $2 lock key, $3 record, $4.. keys) -> (ok, id).
std::string InsertSql(const PgTable& t);
// Update ($1 own file lock, $2 lock key, $3 own record lock, $4 id, $5
// record, $6.. keys) -> (file ok, record ok, kept, duplicate, updated).
std::string UpdateSql(const PgTable& t);
// Delete ($1, $2, $3, $4 as Update) -> (file ok, record ok, deleted).
std::string DeleteSql(const PgTable& t);
// Record count, then the distinct values of each key with duplicates.
std::string CountSql(const PgTable& t);
// Table, indexes, trigger and catalog row of a new file.
std::string CreateTableSql(const std::string& quoted, const FileDef& def);

}  // namespace recman
