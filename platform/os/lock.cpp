// Exclusive advisory locks between processes (open-file-description locks,
// so two handles of one process also exclude each other).
#include "platform/os/os.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace os {

// The bytes from `start` (`length` 0: to the end and beyond).
static bool TryLockBytes(int fd, bool wait, long long start, long long length) {
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(start);
  fl.l_len = static_cast<off_t>(length);
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// A whole-directory lock: flock on the directory itself, so no lock file
// is left among the directory's files. Like the record locks, it belongs to
// the open description and ends with the process.
static bool TryFlock(int fd, bool wait) {
  while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

static bool TryLock(int fd, bool wait) { return TryLockBytes(fd, wait, 0, 0); }

// Takes the lock on `fd` with attempt(fd, wait), waiting up to waitMs (< 0:
// as long as it takes); closes fd when it cannot.
template <typename Attempt>
static bool Take(Lock& lock, int fd, Attempt attempt, int waitMs) {
  if (fd < 0) return false;
  bool ok;
  if (waitMs < 0) {
    ok = attempt(fd, true);
  } else {
    std::int64_t end = MonotonicMs() + waitMs;
    ok = attempt(fd, false);
    while (!ok && MonotonicMs() < end) {
      SleepMs(20);
      ok = attempt(fd, false);
    }
  }
  if (!ok) {
    ::close(fd);
    return false;
  }
  lock.fd = fd;
  return true;
}

bool LockExclusive(Lock& lock, const std::string& lockPath, int waitMs) {
  Unlock(lock);
  return Take(lock, ::open(HostPath(lockPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666), TryLock, waitMs);
}

bool LockDirectory(Lock& lock, const std::string& dirPath, int waitMs) {
  Unlock(lock);
  return Take(lock, ::open(HostPath(dirPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), TryFlock, waitMs);
}

bool LockByte(Lock& lock, const std::string& lockPath, long long offset, int waitMs) {
  Unlock(lock);
  return Take(lock, ::open(HostPath(lockPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666),
              [offset](int fd, bool wait) { return TryLockBytes(fd, wait, offset, 1); }, waitMs);
}

void Unlock(Lock& lock) {
  if (lock.fd >= 0) ::close(lock.fd);
  lock.fd = -1;
}

}  // namespace os
