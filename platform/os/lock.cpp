// Exclusive advisory locks between processes (open-file-description locks,
// so two handles of one process also exclude each other).
#include "platform/os/os.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace os {

static bool TryLock(int fd, bool wait) {
  struct flock fl{};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool LockExclusive(Lock& lock, const std::string& lockPath, int waitMs) {
  Unlock(lock);
  int fd = ::open(HostPath(lockPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok;
  if (waitMs < 0) {
    ok = TryLock(fd, true);
  } else {
    std::int64_t end = MonotonicMs() + waitMs;
    ok = TryLock(fd, false);
    while (!ok && MonotonicMs() < end) {
      SleepMs(20);
      ok = TryLock(fd, false);
    }
  }
  if (!ok) {
    ::close(fd);
    return false;
  }
  lock.fd = fd;
  return true;
}

void Unlock(Lock& lock) {
  if (lock.fd >= 0) ::close(lock.fd);
  lock.fd = -1;
}

}  // namespace os
