#include "platform/recman/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

#include "platform/recman/engine.h"
#include "platform/recman/failure.h"
#include "platform/recman/fault_vfs.h"

namespace recman {

extern const int kApplicationId = 0x4B524D31;

namespace {

constexpr int kBusyWaitMs = 10000;

// Page cache of one open file. A run keeps seven files open and reads them
// mostly along their keys, so a small cache loses no time and keeps the
// process's memory down (SQLite's default is 2 MB a connection).
constexpr const char* kCacheSizeSql = "PRAGMA cache_size = -1024";

// SQLite's shared-lock bytes in every database file (the unix VFS takes a
// read lock on them for SHARED, a write lock for EXCLUSIVE).
constexpr off_t kSharedFirst = 0x40000000 + 2;
constexpr off_t kSharedSize = 510;

std::string QuerySql(int key, Query q) {
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
  for (sqlite3_stmt** st : {&rf.insert, &rf.update, &rf.remove, &rf.count, &rf.counts, &rf.dataVersion}) {
    sqlite3_finalize(*st);
    *st = nullptr;
  }
  for (sqlite3_stmt*& st : rf.distinct) {
    sqlite3_finalize(st);
    st = nullptr;
  }
}

bool Allowed(const std::string& path, int how) {
  return faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool Exists(const std::string& path, off_t* size = nullptr) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return false;
  if (size != nullptr) *size = st.st_size;
  return true;
}

FileStamp StampOf(const std::string& path) {
  FileStamp s;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
  }
  return s;
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
  return a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.mtime.tv_sec == b.mtime.tv_sec &&
         a.mtime.tv_nsec == b.mtime.tv_nsec;
}

// "file:" URI of a path, for the read-only open parameters.
std::string Uri(const std::string& path, const char* parameters) {
  std::string uri = path.empty() || path[0] != '/' ? "file:" : "file://";
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static const char hex[] = "0123456789ABCDEF";
      uri += '%';
      uri += hex[(static_cast<unsigned char>(c) >> 4) & 0xF];
      uri += hex[static_cast<unsigned char>(c) & 0xF];
    } else {
      uri += c;
    }
  }
  return uri + "?" + parameters;
}

// ---- database guards ---------------------------------------------------------
// One per database file per process, counted over all its handles: a read
// lock on SQLite's shared-lock bytes, taken for an "immutable" connection.
// Its descriptor stays open until the last handle of the file closes, as
// closing a descriptor of the file would drop SQLite's own locks on it.

std::map<std::pair<dev_t, ino_t>, DbGuard*> g_guards;

}  // namespace

struct DbGuard {
  dev_t dev = 0;
  ino_t ino = 0;
  int refs = 0;
  int fd = -1;
};

namespace {

DbGuard* AttachGuard(const struct stat& st) {
  auto id = std::make_pair(st.st_dev, st.st_ino);
  DbGuard*& g = g_guards[id];
  if (g == nullptr) {
    g = new DbGuard;
    g->dev = st.st_dev;
    g->ino = st.st_ino;
  }
  ++g->refs;
  return g;
}

void DetachGuard(DbGuard* g) {
  if (g == nullptr || --g->refs > 0) return;
  g_guards.erase(std::make_pair(g->dev, g->ino));
  if (g->fd >= 0) close(g->fd);
  delete g;
}

// False when a writer holds the file exclusively (it is folding its journal
// into the file right now).
bool HoldGuard(DbGuard* g, const std::string& path) {
  if (g->fd >= 0) return true;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock fl {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kSharedFirst;
  fl.l_len = kSharedSize;
  if (fcntl(fd, F_OFD_SETLK, &fl) != 0) {
    close(fd);
    return false;
  }
  g->fd = fd;
  return true;
}

// ---- connection --------------------------------------------------------------

// The definition and the shape of the records table, once the connection is
// open. Returns 0 or a status.
int CheckDatabase(RecordFile& rf) {
  std::int64_t appId = 0;
  int rc = SQLITE_OK;
  if (!QueryInt(rf.db, "PRAGMA application_id", appId, rc)) {
    switch (rc & 0xFF) {
      case SQLITE_BUSY: return kStatusFileLocked;
      case SQLITE_CORRUPT: return kStatusIoError;
      case SQLITE_READONLY:   // the journal index cannot be made or used here
      case SQLITE_CANTOPEN:
      case SQLITE_PERM:
      case SQLITE_AUTH: return kStatusPermission;
      default: return kStatusNotRecordFile;
    }
  }
  if (appId != kApplicationId) return kStatusNotRecordFile;
  int status = kStatusIoError;
  sqlite3_stmt* spec = PrepareSql(rf.db, "SELECT spec FROM recman_file");
  if (spec != nullptr && sqlite3_step(spec) == SQLITE_ROW) {
    const void* bytes = sqlite3_column_blob(spec, 0);
    int n = sqlite3_column_bytes(spec, 0);
    if (bytes != nullptr &&
        ParseFileSpec(static_cast<const unsigned char*>(bytes), static_cast<std::size_t>(n), rf.def) == 0) {
      status = kStatusOk;
    }
  }
  sqlite3_finalize(spec);
  if (status != kStatusOk) return status;
  // The table must have the shape the definition asks for.
  std::string sql = "SELECT id, data";
  for (std::size_t k = 0; k < rf.def.keys.size(); ++k) sql += ", " + KeyColumn(static_cast<int>(k));
  sql += " FROM records LIMIT 0";
  sqlite3_stmt* probe = PrepareSql(rf.db, sql);
  if (probe == nullptr) status = kStatusIoError;
  sqlite3_finalize(probe);
  return status;
}

int OpenDatabase(RecordFile& rf, const std::string& name, int flags) {
  UseFaultVfsIfPlanned();
  int rc = sqlite3_open_v2(name.c_str(), &rf.db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) return rc == SQLITE_CANTOPEN ? kStatusFileNotFound : SqliteStatus(rc);
  sqlite3_busy_timeout(rf.db, kBusyWaitMs);
  sqlite3_exec(rf.db, kCacheSizeSql, nullptr, nullptr, nullptr);
  return CheckDatabase(rf);
}

void Disconnect(RecordFile& rf) {
  FinalizeAll(rf);
  if (rf.db != nullptr) sqlite3_close_v2(rf.db);
  rf.db = nullptr;
  rf.immutable = false;
  rf.statValid = false;
}

// Opens the connection: read-write, or read-only as the access allows (see
// engine.h, READ-ONLY ACCESS). Returns 0 or a status; on failure no
// connection is left open.
int Connect(RecordFile& rf) {
  int status = kStatusOk;
  if (rf.mayWrite) {
    status = OpenDatabase(rf, rf.path, rf.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
    if (status == kStatusOk && !rf.readOnly) ExecSql(rf.db, "PRAGMA synchronous = NORMAL");
  } else {
    // Through the journal of the process that has the file open, if any.
    status = OpenDatabase(rf, Uri(rf.path, "mode=ro"), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (status == kStatusPermission) {
      // Nobody has it open: no "-shm" and none can be made here.
      Disconnect(rf);
      off_t journal = 0;
      if (!HoldGuard(rf.guard, rf.path)) return kStatusFileLocked;
      if (Exists(rf.path + "-wal", &journal) && journal > 0) return kStatusPermission;
      rf.stamp = StampOf(rf.path);
      status = OpenDatabase(rf, Uri(rf.path, "immutable=1"), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
      rf.immutable = true;
    }
  }
  if (status != kStatusOk) Disconnect(rf);
  rf.queries.assign(rf.def.keys.size(), {});
  rf.distinct.assign(rf.def.keys.size(), nullptr);
  return status;
}

}  // namespace

std::string KeyColumn(int key) { return "k" + std::to_string(key); }

bool ExecSql(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

sqlite3_stmt* PrepareSql(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    return nullptr;
  }
  return st;
}

int SqliteStatus(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return FailureStatus(Failure::kNone);
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return FailureStatus(Failure::kBusy);
    case SQLITE_CONSTRAINT: return FailureStatus(Failure::kDuplicate);
    case SQLITE_FULL: return FailureStatus(Failure::kDiskFull);
    case SQLITE_READONLY:
      return FailureStatus(rc == SQLITE_READONLY_CANTINIT || rc == SQLITE_READONLY_DIRECTORY ||
                                   rc == SQLITE_READONLY_CANTLOCK
                               ? Failure::kPermission
                               : Failure::kReadOnly);
    case SQLITE_PERM:
    case SQLITE_AUTH: return FailureStatus(Failure::kPermission);
    case SQLITE_NOTADB: return FailureStatus(Failure::kNotRecordFile);
    default: return FailureStatus(Failure::kOther);
  }
}

int OpenRecordFile(const std::string& path, int mode, RecordFile& rf) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return errno == EACCES ? kStatusPermission : kStatusFileNotFound;
  if (!S_ISREG(st.st_mode)) return kStatusNotRecordFile;
  if (!Allowed(path, R_OK)) return kStatusPermission;
  rf.path = path;
  rf.mode = mode;
  rf.mayWrite = Allowed(path, W_OK) && Allowed(FolderOf(path), W_OK);
  rf.readOnly = mode == kOpenReadOnly || !rf.mayWrite;
  rf.writeStatus = !rf.mayWrite ? kStatusPermission : rf.readOnly ? kStatusReadOnly : kStatusOk;
  if (!rf.mayWrite && mode == kOpenExclusive) return kStatusPermission;
  rf.guard = AttachGuard(st);
  int status = Connect(rf);
  if (status == kStatusOk) {
    rf.lock = AcquireLockFile(path, path, rf.mayWrite, status);
    if (status != kStatusOk) {
      // Locks that cannot be taken or seen: never run without them.
    } else if (FileLockedByOther(rf.lock)) {
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
  return kStatusOk;
}

void CloseRecordFile(RecordFile& rf) {
  if (rf.lockedRowid != 0) UnlockRecord(rf.lock, rf.lockedRowid);
  rf.lockedRowid = 0;
  if (rf.inTransaction) CountTransaction(rf.lock, -1);  // rolled back by the close
  rf.inTransaction = false;
  if (rf.exclusive) DropFileLock(rf.lock);
  rf.exclusive = false;
  ReleaseLockFile(rf.lock);
  rf.lock = nullptr;
  Disconnect(rf);
  DetachGuard(rf.guard);
  rf.guard = nullptr;
}

int FollowOtherWriters(RecordFile& rf) {
  if (rf.lock == nullptr && !rf.mayWrite && Exists(rf.path + ".lck")) {
    // A process that may write has opened the file since: its locks count.
    int status = kStatusOk;
    rf.lock = AcquireLockFile(rf.path, rf.path, false, status);
    if (status != kStatusOk) return static_cast<std::int16_t>(status);
    if (rf.lockedRowid != 0 && !LockRecord(rf.lock, rf.lockedRowid)) rf.lockedRowid = 0;
  }
  if (rf.db != nullptr && !(rf.immutable && (Exists(rf.path + "-wal") || !SameStamp(rf.stamp, StampOf(rf.path))))) {
    return kStatusOk;
  }
  // A writer has come (or the last reopen failed): read through its journal.
  // The position is kept with the handle, not with the connection.
  Disconnect(rf);
  return Connect(rf);
}

sqlite3_stmt* QueryStatement(RecordFile& rf, int key, Query q) {
  sqlite3_stmt*& st = rf.queries[key][q];
  if (st == nullptr) st = PrepareSql(rf.db, QuerySql(key, q));
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
      rf.insert = PrepareSql(rf.db, "INSERT INTO records(" + cols + ") VALUES (" + vals + ")");
    }
    return rf.insert;
  }
  if (which == 1) {
    if (rf.update == nullptr) {
      std::string sets = "data = ?1";
      for (std::size_t k = 0; k < keys; ++k) {
        sets += ", " + KeyColumn(static_cast<int>(k)) + " = ?" + std::to_string(k + 2);
      }
      rf.update = PrepareSql(rf.db, "UPDATE records SET " + sets + " WHERE id = ?" + std::to_string(keys + 2));
    }
    return rf.update;
  }
  if (rf.remove == nullptr) rf.remove = PrepareSql(rf.db, "DELETE FROM records WHERE id = ?1");
  return rf.remove;
}

void ForgetAllGuards() { g_guards.clear(); }

}  // namespace recman
