// Create: a new record file is built under a name of this process's own and
// put in place in this process's turn, so that two processes creating the
// same file never touch each other's files or journals.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/os.h"
#include "platform/recman/engine.h"
#include "platform/recman/fault_vfs.h"
#include "platform/recman/record_file.h"

namespace recman {
namespace {

constexpr int kLockTries = 25;  // for a turn, 20 ms apart
constexpr useconds_t kLockPauseUs = 20000;

// A database and its journals, by the database's name.
void RemoveDatabase(const std::string& name) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) unlink((name + suffix).c_str());
}

int BuildDatabase(const std::string& name, const FileDef& def) {
  UseFaultVfsIfPlanned();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
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
    ok = ExecSql(db, sql + CountsSql(def));
    if (ok) {
      const std::string spec = BuildFileSpec(def, 0, {});
      sqlite3_stmt* ins = PrepareSql(db, "INSERT INTO recman_file(spec) VALUES (?1)");
      ok = ins != nullptr &&
           sqlite3_bind_blob(ins, 1, spec.data(), static_cast<int>(spec.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
           sqlite3_step(ins) == SQLITE_DONE;
      sqlite3_finalize(ins);
    }
    ok = ok && ExecSql(db, "COMMIT");
    // Everything into the file itself now: only the file is put in place, so
    // nothing may be left in its journal (a copy that failed when the
    // connection closed would go unnoticed, and the file put in place would
    // lack its tables).
    int logFrames = -1, copied = -2;
    ok = ok && sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &logFrames, &copied) == SQLITE_OK &&
         logFrames == copied;
    if (!ok && (sqlite3_errcode(db) & 0xFF) == SQLITE_FULL) rc = SQLITE_FULL;
  }
  if (db != nullptr) ok = (sqlite3_close(db) == SQLITE_OK) && ok;
  struct stat journal {};
  if (ok && lstat((name + "-wal").c_str(), &journal) == 0 && journal.st_size > 0) ok = false;
  if (ok) return kStatusOk;
  if (rc == SQLITE_FULL) return kStatusDiskFull;
  return rc == SQLITE_CANTOPEN ? kStatusFileNotFound : kStatusIoError;
}

// Creators of files in one folder take turns: an exclusive flock on the
// folder, so that no lock file is made before the first Open makes it with
// the record file's final bits. Where the file system offers no flock on a
// folder, the file lock on the new file's lock file serves instead.
struct Turn {
  int folder = -1;
  LockFile* lock = nullptr;
};

int TakeTurn(const std::string& folder, const std::string& path, const std::string& temp, Turn& turn) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    for (int i = 0; i < kLockTries; ++i) {
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        turn.folder = fd;
        return kStatusOk;
      }
      if (errno != EWOULDBLOCK) break;
      usleep(kLockPauseUs);
    }
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    if (busy) return kStatusFileLocked;
  }
  int status = kStatusOk;
  turn.lock = AcquireLockFile(path, temp, true, status);
  if (turn.lock == nullptr) return status != kStatusOk ? status : kStatusIoError;
  for (int i = 0; i < kLockTries; ++i) {
    if (TakeFileLock(turn.lock)) return kStatusOk;
    usleep(kLockPauseUs);
  }
  ReleaseLockFile(turn.lock);
  turn.lock = nullptr;
  return kStatusFileLocked;
}

void EndTurn(Turn& turn) {
  if (turn.folder >= 0) close(turn.folder);  // drops the flock
  if (turn.lock != nullptr) {
    DropFileLock(turn.lock);
    ReleaseLockFile(turn.lock);
  }
}

// True when another process holds the file lock of `path` (an exclusive
// open, or a tool loading the file).
bool HeldByOther(const std::string& path) {
  struct stat st {};
  if (lstat((path + ".lck").c_str(), &st) != 0) return false;
  int status = kStatusOk;
  LockFile* lf = AcquireLockFile(path, path, false, status);
  const bool held = FileLockedByOther(lf);
  ReleaseLockFile(lf);
  return held;
}

// Puts the file built at `temp` in place at `path`, in this process's turn.
int PutInPlace(const std::string& folder, const std::string& temp, const std::string& path, bool replace) {
  Turn turn;
  int status = TakeTurn(folder, path, temp, turn);
  if (status != kStatusOk) return status;
  struct stat st {};
  if (!replace && lstat(path.c_str(), &st) == 0) {
    status = kStatusFileExists;  // another process was first: its file stays as it is
  } else if (turn.lock == nullptr && HeldByOther(path)) {
    status = kStatusFileLocked;
  } else {
    // A journal left by an earlier file of this name must not be applied to
    // the new one. No process uses it: the name has no file (or, replacing,
    // its users lose it with the file).
    unlink((path + "-wal").c_str());
    unlink((path + "-shm").c_str());
    if (os::InjectedFault(os::FaultKind::Rename, path)) {
      status = errno == ENOSPC ? kStatusDiskFull : kStatusIoError;
    } else if (replace) {
      if (rename(temp.c_str(), path.c_str()) != 0) status = kStatusIoError;
    } else if (link(temp.c_str(), path.c_str()) != 0) {
      status = errno == EEXIST ? kStatusFileExists : kStatusIoError;
    }
  }
  EndTurn(turn);
  return status;
}

}  // namespace

int CreateRecordFile(const std::string& path, const FileDef& def, bool replace) {
  struct stat st {};
  if (!replace && lstat(path.c_str(), &st) == 0) return kStatusFileExists;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? kStatusFileNotFound : kStatusPermission;
  }
  static unsigned counter = 0;
  const std::string temp = path + ".new-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  RemoveDatabase(temp);  // left by an earlier process of the same number
  int status = BuildDatabase(temp, def);
  if (status == kStatusOk) status = PutInPlace(folder, temp, path, replace);
  RemoveDatabase(temp);
  return status;
}

}  // namespace recman
