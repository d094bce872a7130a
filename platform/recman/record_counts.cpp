// The counts Stat returns: kept in recman_counts by triggers, so that Stat
// costs the same on a file of any size, however often other processes write.
#include "platform/recman/engine.h"
#include "platform/recman/record_file.h"

namespace recman {
namespace {

constexpr int kRecordsRow = -1;  // recman_counts.what of the record count

std::uint32_t Clamp(std::int64_t n) {
  if (n < 0) return 0;
  return n > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<std::uint32_t>(n);
}

// Counts every record and the distinct values of each key with duplicates
// (files without recman_counts).
int CountRecords(RecordFile& rf) {
  if (rf.count == nullptr) rf.count = PrepareSql(rf.db, "SELECT count(*) FROM records");
  if (rf.count == nullptr) return kStatusIoError;
  int rc = sqlite3_step(rf.count);
  std::int64_t records = rc == SQLITE_ROW ? sqlite3_column_int64(rf.count, 0) : 0;
  sqlite3_reset(rf.count);
  if (rc != SQLITE_ROW) return SqliteStatus(rc);
  rf.records = Clamp(records);
  rf.unique.assign(rf.def.keys.size(), rf.records);
  for (std::size_t k = 0; k < rf.def.keys.size(); ++k) {
    if (!rf.def.keys[k].duplicates) continue;
    sqlite3_stmt*& st = rf.distinct[k];
    if (st == nullptr) {
      const std::string col = KeyColumn(static_cast<int>(k));
      st = PrepareSql(rf.db, "SELECT count(DISTINCT " + col + ") FROM records");
      if (st == nullptr) return kStatusIoError;
    }
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) rf.unique[k] = Clamp(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    if (rc != SQLITE_ROW) return SqliteStatus(rc);
  }
  return kStatusOk;
}

int ReadCounts(RecordFile& rf) {
  rf.records = 0;
  std::vector<std::int64_t> byKey(rf.def.keys.size(), -1);
  int rc;
  while ((rc = sqlite3_step(rf.counts)) == SQLITE_ROW) {
    const std::int64_t what = sqlite3_column_int64(rf.counts, 0);
    const std::int64_t n = sqlite3_column_int64(rf.counts, 1);
    if (what == kRecordsRow) rf.records = Clamp(n);
    else if (what >= 0 && what < static_cast<std::int64_t>(byKey.size())) byKey[what] = n;
  }
  sqlite3_reset(rf.counts);
  if (rc != SQLITE_DONE) return SqliteStatus(rc);
  rf.unique.assign(rf.def.keys.size(), rf.records);
  for (std::size_t k = 0; k < byKey.size(); ++k) {
    if (rf.def.keys[k].duplicates && byKey[k] >= 0) rf.unique[k] = Clamp(byKey[k]);
  }
  return kStatusOk;
}

}  // namespace

std::string CountsSql(const FileDef& def) {
  const std::string records = std::to_string(kRecordsRow);
  std::string sql = " CREATE TABLE recman_counts(what INTEGER PRIMARY KEY, n INTEGER NOT NULL);"
                    " INSERT INTO recman_counts VALUES (" + records + ", (SELECT count(*) FROM records));";
  std::string onInsert = " UPDATE recman_counts SET n = n + 1 WHERE what = " + records + ";";
  std::string onDelete = " UPDATE recman_counts SET n = n - 1 WHERE what = " + records + ";";
  std::string onUpdate;
  for (std::size_t k = 0; k < def.keys.size(); ++k) {
    if (!def.keys[k].duplicates) continue;
    const std::string col = KeyColumn(static_cast<int>(k));
    const std::string what = " WHERE what = " + std::to_string(k);
    // Whether another record than the one written has the value.
    const std::string newAlone = "NOT EXISTS (SELECT 1 FROM records WHERE " + col + " = NEW." + col + " AND id <> NEW.id)";
    const std::string oldGone = "NOT EXISTS (SELECT 1 FROM records WHERE " + col + " = OLD." + col + ")";
    sql += " INSERT INTO recman_counts VALUES (" + std::to_string(k) + ", (SELECT count(DISTINCT " + col +
           ") FROM records));";
    onInsert += " UPDATE recman_counts SET n = n + 1" + what + " AND " + newAlone + ";";
    onDelete += " UPDATE recman_counts SET n = n - 1" + what + " AND " + oldGone + ";";
    onUpdate += " CREATE TRIGGER recman_counts_update_" + col + " AFTER UPDATE OF " + col +
                " ON records WHEN OLD." + col + " IS NOT NEW." + col + " BEGIN UPDATE recman_counts SET n = n - (" +
                oldGone + ") + (" + newAlone + ")" + what + "; END;";
  }
  sql += " CREATE TRIGGER recman_counts_insert AFTER INSERT ON records BEGIN" + onInsert + " END;";
  sql += " CREATE TRIGGER recman_counts_delete AFTER DELETE ON records BEGIN" + onDelete + " END;";
  return sql + onUpdate;
}

int StatCounts(RecordFile& rf) {
  if (rf.dataVersion == nullptr) rf.dataVersion = PrepareSql(rf.db, "PRAGMA data_version");
  if (rf.dataVersion == nullptr) return kStatusIoError;
  int rc = sqlite3_step(rf.dataVersion);
  std::int64_t version = rc == SQLITE_ROW ? sqlite3_column_int64(rf.dataVersion, 0) : -1;
  sqlite3_reset(rf.dataVersion);
  if (rc != SQLITE_ROW) return SqliteStatus(rc);
  std::int64_t changes = sqlite3_total_changes64(rf.db);
  if (rf.statValid && version == rf.statVersion && changes == rf.statChanges) return kStatusOk;

  // Another process may have given an older file its counts meanwhile.
  if (rf.counts == nullptr) rf.counts = PrepareSql(rf.db, "SELECT what, n FROM recman_counts");
  int status = rf.counts != nullptr ? ReadCounts(rf) : CountRecords(rf);
  if (status != kStatusOk) return status;
  rf.statValid = true;
  rf.statVersion = version;
  rf.statChanges = changes;
  return kStatusOk;
}

void EnsureCounts(RecordFile& rf) {
  if (rf.countsChecked) return;
  rf.countsChecked = true;
  if (rf.counts == nullptr) rf.counts = PrepareSql(rf.db, "SELECT what, n FROM recman_counts");
  if (rf.counts != nullptr) return;
  // One transaction: if another process adds them first, this one fails
  // and changes nothing.
  const std::string sql = CountsSql(rf.def);
  if (rf.inTransaction) {
    if (!ExecSql(rf.db, "SAVEPOINT recman_counts;" + sql + " RELEASE recman_counts;")) {
      ExecSql(rf.db, "ROLLBACK TO recman_counts; RELEASE recman_counts;");
    }
  } else if (!ExecSql(rf.db, "BEGIN IMMEDIATE;" + sql + " COMMIT;")) {
    ExecSql(rf.db, "ROLLBACK");
  }
  rf.statValid = false;
}

}  // namespace recman
