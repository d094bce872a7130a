#include "platform/recman/lock_file.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <utility>

#include "platform/recman/codes.h"

namespace recman {

struct LockFile {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  int refs = 0;
  int fileLocks = 0;
  int transactions = 0;
  bool writable = true;  // false: opened for reading, record locks shared
  std::map<std::int64_t, int> records;  // row id -> holders in this process
};

namespace {

std::map<std::pair<dev_t, ino_t>, LockFile*> g_lockFiles;

// A one-byte range at `start` (record locks use the row id as the offset).
struct flock OneByte(short type, off_t start) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = 1;
  fl.l_pid = 0;
  return fl;
}

bool SetLock(int fd, short type, off_t start, int cmd) {
  struct flock fl = OneByte(type, start);
  return fcntl(fd, cmd, &fl) == 0;
}

bool LockedByOther(int fd, short type, off_t start) {
  struct flock fl = OneByte(type, start);
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

bool Denied(int err) { return err == EACCES || err == EPERM || err == EROFS; }

int OpenLockFile(const std::string& lockPath, int access) {
  return open(lockPath.c_str(), access | O_NOFOLLOW | O_CLOEXEC);
}

// Gives the lock file the record file's permission bits and group (and, for
// root, its owner), where this process may change them.
void FollowRecordFile(int fd, const struct stat& have, const struct stat& like) {
  const uid_t self = geteuid();
  const bool owner = self == 0 || have.st_uid == self;
  if (!owner) return;
  if (self == 0 && (have.st_uid != like.st_uid || have.st_gid != like.st_gid)) {
    if (fchown(fd, like.st_uid, like.st_gid) != 0) {
      // Keeps the bits below; the owner stays as it was.
    }
  } else if (have.st_gid != like.st_gid) {
    if (fchown(fd, static_cast<uid_t>(-1), like.st_gid) != 0) {
      // Not a member of that group: the lock file keeps the creator's.
    }
  }
  const mode_t bits = like.st_mode & 0666;
  if ((have.st_mode & 07777) != bits) fchmod(fd, bits);
}

// Creates the lock file under a name of this process's own, with the record
// file's bits, and links it into place: no process ever finds it with other
// bits. Returns 0 or the errno (EEXIST from the link counts as done).
int CreateLockFile(const std::string& lockPath, const struct stat* like) {
  static unsigned counter = 0;
  const std::string temp = lockPath + ".new-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  if (like != nullptr) {
    struct stat st {};
    if (fstat(fd, &st) == 0) FollowRecordFile(fd, st, *like);
  }
  const int err = link(temp.c_str(), lockPath.c_str()) == 0 || errno == EEXIST ? 0 : errno;
  unlink(temp.c_str());
  close(fd);
  return err;
}

}  // namespace

LockFile* AcquireLockFile(const std::string& dbPath, const std::string& likePath, bool write,
                          int& status) {
  status = kStatusOk;
  const std::string lockPath = dbPath + ".lck";
  struct stat like {};
  const bool haveLike = stat(likePath.c_str(), &like) == 0;
  int fd = OpenLockFile(lockPath, O_RDWR);
  if (fd < 0 && errno == ENOENT) {
    const int err = CreateLockFile(lockPath, haveLike ? &like : nullptr);
    if (err != 0) {
      // A folder this process may not write and no lock file yet: the
      // caller, which only reads, goes on without one (see engine.h).
      if (Denied(err) && !write) return nullptr;
      status = Denied(err) ? kStatusPermission : kStatusIoError;
      return nullptr;
    }
    fd = OpenLockFile(lockPath, O_RDWR);
  }
  const bool writable = fd >= 0;
  if (fd < 0 && Denied(errno) && !write) fd = OpenLockFile(lockPath, O_RDONLY);
  if (fd < 0) {
    status = Denied(errno) ? kStatusPermission : kStatusIoError;
    return nullptr;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    close(fd);
    status = kStatusIoError;
    return nullptr;
  }
  auto id = std::make_pair(st.st_dev, st.st_ino);
  auto it = g_lockFiles.find(id);
  if (it != g_lockFiles.end()) {
    close(fd);
    ++it->second->refs;
    return it->second;
  }
  if (haveLike) FollowRecordFile(fd, st, like);
  LockFile* lf = new LockFile;
  lf->fd = fd;
  lf->dev = st.st_dev;
  lf->ino = st.st_ino;
  lf->refs = 1;
  lf->writable = writable;
  g_lockFiles[id] = lf;
  return lf;
}

void ReleaseLockFile(LockFile* lf) {
  if (lf == nullptr || --lf->refs > 0) return;
  g_lockFiles.erase(std::make_pair(lf->dev, lf->ino));
  close(lf->fd);  // drops every lock of this description
  delete lf;
}

bool FileLockedByOther(LockFile* lf) {
  if (lf == nullptr || lf->fileLocks > 0) return false;
  return LockedByOther(lf->fd, F_RDLCK, 0);
}

bool TakeFileLock(LockFile* lf) {
  if (lf == nullptr) return false;
  if (lf->fileLocks == 0 && (!lf->writable || !SetLock(lf->fd, F_WRLCK, 0, F_OFD_SETLK))) return false;
  ++lf->fileLocks;
  return true;
}

void DropFileLock(LockFile* lf) {
  if (lf == nullptr || lf->fileLocks == 0) return;
  if (--lf->fileLocks == 0) SetLock(lf->fd, F_UNLCK, 0, F_OFD_SETLK);
}

bool LockRecord(LockFile* lf, std::int64_t rowid) {
  if (lf == nullptr) return true;
  auto it = lf->records.find(rowid);
  if (it != lf->records.end()) {
    ++it->second;
    return true;
  }
  const short type = lf->writable ? F_WRLCK : F_RDLCK;
  if (!SetLock(lf->fd, type, static_cast<off_t>(rowid), F_OFD_SETLK)) return false;
  lf->records[rowid] = 1;
  return true;
}

void UnlockRecord(LockFile* lf, std::int64_t rowid) {
  if (lf == nullptr) return;
  auto it = lf->records.find(rowid);
  if (it == lf->records.end()) return;
  if (--it->second == 0) {
    SetLock(lf->fd, F_UNLCK, static_cast<off_t>(rowid), F_OFD_SETLK);
    lf->records.erase(it);
  }
}

bool RecordLockedByOther(LockFile* lf, std::int64_t rowid) {
  if (lf == nullptr || lf->records.count(rowid) > 0) return false;
  return LockedByOther(lf->fd, F_WRLCK, static_cast<off_t>(rowid));
}

void CountTransaction(LockFile* lf, int delta) {
  if (lf != nullptr) lf->transactions += delta;
}

int TransactionsInProcess(const LockFile* lf) { return lf == nullptr ? 0 : lf->transactions; }

void ForgetAllLockFiles(bool closeThem) {
  for (auto& entry : g_lockFiles) {
    if (closeThem) {
      close(entry.second->fd);
      delete entry.second;
    }
  }
  g_lockFiles.clear();
}

}  // namespace recman
