#include "platform/recman/lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <utility>

namespace recman {

struct LockFile {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  int refs = 0;
  int fileLocks = 0;
  int transactions = 0;
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

}  // namespace

LockFile* AcquireLockFile(const std::string& dbPath) {
  int fd = open((dbPath + ".lck").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    close(fd);
    return nullptr;
  }
  auto id = std::make_pair(st.st_dev, st.st_ino);
  auto it = g_lockFiles.find(id);
  if (it != g_lockFiles.end()) {
    close(fd);
    ++it->second->refs;
    return it->second;
  }
  LockFile* lf = new LockFile;
  lf->fd = fd;
  lf->dev = st.st_dev;
  lf->ino = st.st_ino;
  lf->refs = 1;
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
  if (lf == nullptr) return true;
  if (lf->fileLocks == 0 && !SetLock(lf->fd, F_WRLCK, 0, F_OFD_SETLK)) return false;
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
  if (!SetLock(lf->fd, F_WRLCK, static_cast<off_t>(rowid), F_OFD_SETLK)) return false;
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
