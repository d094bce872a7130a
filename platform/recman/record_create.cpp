// Create: a new record file is built under a name of this process's own and
// put in place under the file lock, so that two processes creating the same
// file never touch each other's files or journals.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/recman/engine.h"
#include "platform/recman/record_file.h"

namespace recman {
namespace {

constexpr int kLockTries = 25;  // for the file lock, 20 ms apart
constexpr useconds_t kLockPauseUs = 20000;

// A database and its journals, by the database's name.
void RemoveDatabase(const std::string& name) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) unlink((name + suffix).c_str());
}

int BuildDatabase(const std::string& name, const FileDef& def) {
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
  }
  if (db != nullptr) ok = (sqlite3_close(db) == SQLITE_OK) && ok;
  if (ok) return kStatusOk;
  return rc == SQLITE_CANTOPEN ? kStatusFileNotFound : kStatusIoError;
}

// Puts the file built at `temp` in place at `path`, holding the file lock.
int PutInPlace(const std::string& temp, const std::string& path, bool replace) {
  int status = kStatusOk;
  LockFile* lf = AcquireLockFile(path, temp, true, status);
  if (lf == nullptr) return status != kStatusOk ? status : kStatusIoError;
  bool held = TakeFileLock(lf);
  for (int i = 1; i < kLockTries && !held; ++i) {
    usleep(kLockPauseUs);
    held = TakeFileLock(lf);
  }
  struct stat st {};
  if (!held) {
    status = kStatusFileLocked;
  } else if (!replace && lstat(path.c_str(), &st) == 0) {
    status = kStatusFileExists;  // another process was first: its file stays as it is
  } else {
    // A journal left by an earlier file of this name must not be applied to
    // the new one. No process uses it: the name has no file (or, replacing,
    // its users lose it with the file).
    unlink((path + "-wal").c_str());
    unlink((path + "-shm").c_str());
    if (replace) {
      if (rename(temp.c_str(), path.c_str()) != 0) status = kStatusIoError;
    } else if (link(temp.c_str(), path.c_str()) != 0) {
      status = errno == EEXIST ? kStatusFileExists : kStatusIoError;
    }
  }
  if (held) DropFileLock(lf);
  ReleaseLockFile(lf);
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
  if (status == kStatusOk) status = PutInPlace(temp, path, replace);
  RemoveDatabase(temp);
  return status;
}

}  // namespace recman
