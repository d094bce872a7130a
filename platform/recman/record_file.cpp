#include "platform/recman/record_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/os/os.h"
#include "platform/recman/engine.h"
#include "platform/recman/fault_vfs.h"

namespace recman {

namespace {

constexpr int kApplicationId = 0x4B524D31;  // "KRM1"
constexpr int kBusyWaitMs = 10000;

std::string KeyColumn(int key) { return "k" + std::to_string(key); }

bool Exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    return nullptr;
  }
  return st;
}

std::string QuerySql(const RecordFile& rf, int key, Query q) {
  const std::string k = KeyColumn(key);
  const std::string head = "SELECT id, data, " + k + " FROM records ";
  const std::string up = " ORDER BY " + k + ", id LIMIT 1";
  const std::string down = " ORDER BY " + k + " DESC, id DESC LIMIT 1";
  switch (q) {
    case kQueryEqual: return head + "WHERE " + k + " = ?1" + up;
    case kQueryGreater: return head + "WHERE " + k + " > ?1" + up;
    case kQueryGreaterOrEqual: return head + "WHERE " + k + " >= ?1" + up;
    case kQueryLess: return head + "WHERE " + k + " < ?1" + down;
    case kQueryLessOrEqual: return head + "WHERE " + k + " <= ?1" + down;
    case kQueryFirst: return head + up;
    case kQueryLast: return head + down;
    case kQueryNext: return head + "WHERE " + k + " > ?1" + up;
    case kQueryNextSame: return head + "WHERE " + k + " = ?1 AND id > ?2 ORDER BY id LIMIT 1";
    case kQueryPrevious: return head + "WHERE " + k + " < ?1" + down;
    case kQueryPreviousSame: return head + "WHERE " + k + " = ?1 AND id < ?2 ORDER BY id DESC LIMIT 1";
    case kQueryRow: return head + "WHERE id = ?1";
    case kQueryCount_: break;
  }
  (void)rf;
  return "";
}

// Reads one integer from a one-row statement; false on error.
bool QueryInt(sqlite3* db, const char* sql, std::int64_t& value, int& rc) {
  sqlite3_stmt* st = nullptr;
  rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) value = sqlite3_column_int64(st, 0);
  }
  sqlite3_finalize(st);
  return rc == SQLITE_ROW;
}

void FinalizeAll(RecordFile& rf) {
  for (auto& row : rf.queries) {
    for (sqlite3_stmt*& st : row) {
      sqlite3_finalize(st);
      st = nullptr;
    }
  }
  for (sqlite3_stmt** st : {&rf.insert, &rf.update, &rf.remove, &rf.count, &rf.dataVersion}) {
    sqlite3_finalize(*st);
    *st = nullptr;
  }
  for (sqlite3_stmt*& st : rf.distinct) {
    sqlite3_finalize(st);
    st = nullptr;
  }
}

}  // namespace

int SqliteStatus(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return kStatusOk;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return kStatusFileLocked;
    case SQLITE_CONSTRAINT: return kStatusDuplicate;
    case SQLITE_FULL: return kStatusDiskFull;
    case SQLITE_READONLY: return kStatusReadOnly;
    case SQLITE_NOTADB: return kStatusNotRecordFile;
    default: return kStatusIoError;
  }
}

int OpenRecordFile(const std::string& path, int mode, RecordFile& rf) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return kStatusFileNotFound;
  if (!S_ISREG(st.st_mode)) return kStatusNotRecordFile;
  rf.path = path;
  rf.readOnly = (mode == kOpenReadOnly);
  UseFaultVfsIfPlanned();
  int flags = (rf.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &rf.db, flags, nullptr);
  int status = kStatusOk;
  if (rc != SQLITE_OK) {
    status = (rc == SQLITE_CANTOPEN) ? kStatusFileNotFound : SqliteStatus(rc);
  } else {
    sqlite3_busy_timeout(rf.db, kBusyWaitMs);
    std::int64_t appId = 0;
    if (!QueryInt(rf.db, "PRAGMA application_id", appId, rc)) {
      status = (rc & 0xFF) == SQLITE_BUSY ? kStatusFileLocked
               : (rc & 0xFF) == SQLITE_CORRUPT ? kStatusIoError : kStatusNotRecordFile;
    } else if (appId != kApplicationId) {
      status = kStatusNotRecordFile;
    }
  }
  if (status == kStatusOk) {
    sqlite3_stmt* spec = Prepare(rf.db, "SELECT spec FROM recman_file");
    status = kStatusIoError;
    if (spec != nullptr && sqlite3_step(spec) == SQLITE_ROW) {
      const void* bytes = sqlite3_column_blob(spec, 0);
      int n = sqlite3_column_bytes(spec, 0);
      if (bytes != nullptr &&
          ParseFileSpec(static_cast<const unsigned char*>(bytes), static_cast<std::size_t>(n), rf.def) == 0) {
        status = kStatusOk;
      }
    }
    sqlite3_finalize(spec);
  }
  if (status == kStatusOk) {
    // The table must have the shape the definition asks for.
    std::string sql = "SELECT id, data";
    for (std::size_t k = 0; k < rf.def.keys.size(); ++k) sql += ", " + KeyColumn(static_cast<int>(k));
    sql += " FROM records LIMIT 0";
    sqlite3_stmt* probe = Prepare(rf.db, sql);
    if (probe == nullptr) status = kStatusIoError;
    sqlite3_finalize(probe);
  }
  if (status == kStatusOk && !rf.readOnly) Exec(rf.db, "PRAGMA synchronous = NORMAL");
  if (status == kStatusOk) {
    rf.lock = AcquireLockFile(path);
    if (FileLockedByOther(rf.lock)) {
      status = kStatusFileLocked;
    } else if (mode == kOpenExclusive) {
      if (TakeFileLock(rf.lock)) rf.exclusive = true;
      else status = kStatusFileLocked;
    }
  }
  if (status != kStatusOk) {
    CloseRecordFile(rf);
    return status;
  }
  rf.queries.assign(rf.def.keys.size(), {});
  rf.distinct.assign(rf.def.keys.size(), nullptr);
  return kStatusOk;
}

void CloseRecordFile(RecordFile& rf) {
  FinalizeAll(rf);
  if (rf.lockedRowid != 0) UnlockRecord(rf.lock, rf.lockedRowid);
  rf.lockedRowid = 0;
  if (rf.inTransaction) CountTransaction(rf.lock, -1);  // rolled back by the close
  rf.inTransaction = false;
  if (rf.exclusive) DropFileLock(rf.lock);
  rf.exclusive = false;
  ReleaseLockFile(rf.lock);
  rf.lock = nullptr;
  if (rf.db != nullptr) sqlite3_close_v2(rf.db);
  rf.db = nullptr;
}

int CreateRecordFile(const std::string& path, const FileDef& def, bool replace) {
  struct stat st {};
  if (!replace && lstat(path.c_str(), &st) == 0) return kStatusFileExists;
  // Not while another process holds the file (e.g. loading it).
  if (lstat((path + ".lck").c_str(), &st) == 0) {
    LockFile* lf = AcquireLockFile(path);
    const bool held = FileLockedByOther(lf);
    ReleaseLockFile(lf);
    if (held) return kStatusFileLocked;
  }
  UseFaultVfsIfPlanned();
  static unsigned counter = 0;
  const std::string temp = path + ".new-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  unlink(temp.c_str());
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  bool ok = rc == SQLITE_OK;
  if (ok) {
    std::string sql = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                      "; PRAGMA user_version = 1; PRAGMA journal_mode = WAL; BEGIN;"
                      " CREATE TABLE recman_file(spec BLOB NOT NULL);"
                      " CREATE TABLE records(id INTEGER PRIMARY KEY, data BLOB NOT NULL";
    for (std::size_t k = 0; k < def.keys.size(); ++k) sql += ", " + KeyColumn(static_cast<int>(k)) + " BLOB NOT NULL";
    sql += ");";
    for (std::size_t k = 0; k < def.keys.size(); ++k) {
      const std::string col = KeyColumn(static_cast<int>(k));
      sql += std::string(" CREATE ") + (def.keys[k].duplicates ? "" : "UNIQUE ") + "INDEX records_" + col +
             " ON records(" + col + ");";
    }
    ok = Exec(db, sql);
    if (ok) {
      const std::string spec = BuildFileSpec(def, 0, {});
      sqlite3_stmt* ins = Prepare(db, "INSERT INTO recman_file(spec) VALUES (?1)");
      ok = ins != nullptr &&
           sqlite3_bind_blob(ins, 1, spec.data(), static_cast<int>(spec.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
           sqlite3_step(ins) == SQLITE_DONE;
      sqlite3_finalize(ins);
    }
    ok = ok && Exec(db, "COMMIT");
    // Everything into the file itself now: only the file is moved into place
    // below, so nothing may be left in its journal (a copy that fails when
    // the connection closes would go unnoticed).
    int logFrames = -1, copied = -2;
    ok = ok && sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &logFrames, &copied) == SQLITE_OK &&
         logFrames == copied;
    if (!ok && (sqlite3_errcode(db) & 0xFF) == SQLITE_FULL) rc = SQLITE_FULL;
  }
  if (db != nullptr) ok = (sqlite3_close(db) == SQLITE_OK) && ok;
  struct stat journal {};
  if (ok && lstat((temp + "-wal").c_str(), &journal) == 0 && journal.st_size > 0) ok = false;
  if (!ok) {
    unlink(temp.c_str());
    unlink((temp + "-wal").c_str());
    unlink((temp + "-shm").c_str());
    if (rc == SQLITE_CANTOPEN) return kStatusFileNotFound;
    return rc == SQLITE_FULL ? kStatusDiskFull : kStatusIoError;
  }
  // A journal left by an earlier file of this name must not be applied to the new one.
  unlink((path + "-wal").c_str());
  unlink((path + "-shm").c_str());
  int status = kStatusOk;
  if (os::InjectedFault(os::FaultKind::Rename, path)) {
    status = errno == ENOSPC ? kStatusDiskFull : kStatusIoError;
  } else if (replace) {
    if (rename(temp.c_str(), path.c_str()) != 0) status = kStatusIoError;
  } else {
    if (link(temp.c_str(), path.c_str()) != 0) status = (errno == EEXIST) ? kStatusFileExists : kStatusIoError;
  }
  unlink(temp.c_str());
  return status;
}

sqlite3_stmt* QueryStatement(RecordFile& rf, int key, Query q) {
  sqlite3_stmt*& st = rf.queries[key][q];
  if (st == nullptr) st = Prepare(rf.db, QuerySql(rf, key, q));
  return st;
}

sqlite3_stmt* WriteStatement(RecordFile& rf, int which) {
  const std::size_t keys = rf.def.keys.size();
  if (which == 0) {
    if (rf.insert == nullptr) {
      std::string cols = "data", vals = "?1";
      for (std::size_t k = 0; k < keys; ++k) {
        cols += ", " + KeyColumn(static_cast<int>(k));
        vals += ", ?" + std::to_string(k + 2);
      }
      rf.insert = Prepare(rf.db, "INSERT INTO records(" + cols + ") VALUES (" + vals + ")");
    }
    return rf.insert;
  }
  if (which == 1) {
    if (rf.update == nullptr) {
      std::string sets = "data = ?1";
      for (std::size_t k = 0; k < keys; ++k) {
        sets += ", " + KeyColumn(static_cast<int>(k)) + " = ?" + std::to_string(k + 2);
      }
      rf.update = Prepare(rf.db, "UPDATE records SET " + sets + " WHERE id = ?" + std::to_string(keys + 2));
    }
    return rf.update;
  }
  if (rf.remove == nullptr) rf.remove = Prepare(rf.db, "DELETE FROM records WHERE id = ?1");
  return rf.remove;
}

int StatCounts(RecordFile& rf) {
  if (rf.dataVersion == nullptr) rf.dataVersion = Prepare(rf.db, "PRAGMA data_version");
  if (rf.count == nullptr) rf.count = Prepare(rf.db, "SELECT count(*) FROM records");
  if (rf.dataVersion == nullptr || rf.count == nullptr) return kStatusIoError;
  int rc = sqlite3_step(rf.dataVersion);
  std::int64_t version = rc == SQLITE_ROW ? sqlite3_column_int64(rf.dataVersion, 0) : -1;
  sqlite3_reset(rf.dataVersion);
  if (rc != SQLITE_ROW) return SqliteStatus(rc);
  std::int64_t changes = sqlite3_total_changes64(rf.db);
  if (rf.statValid && version == rf.statVersion && changes == rf.statChanges) return kStatusOk;

  rc = sqlite3_step(rf.count);
  std::int64_t records = rc == SQLITE_ROW ? sqlite3_column_int64(rf.count, 0) : 0;
  sqlite3_reset(rf.count);
  if (rc != SQLITE_ROW) return SqliteStatus(rc);
  rf.records = static_cast<std::uint32_t>(records);
  rf.unique.assign(rf.def.keys.size(), rf.records);
  for (std::size_t k = 0; k < rf.def.keys.size(); ++k) {
    if (!rf.def.keys[k].duplicates) continue;
    sqlite3_stmt*& st = rf.distinct[k];
    if (st == nullptr) {
      const std::string col = KeyColumn(static_cast<int>(k));
      st = Prepare(rf.db, "SELECT count(DISTINCT " + col + ") FROM records");
      if (st == nullptr) return kStatusIoError;
    }
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) rf.unique[k] = static_cast<std::uint32_t>(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    if (rc != SQLITE_ROW) return SqliteStatus(rc);
  }
  rf.statValid = true;
  rf.statVersion = version;
  rf.statChanges = changes;
  return kStatusOk;
}

}  // namespace recman
