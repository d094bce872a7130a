// Whole and sequential files.
#include "platform/os/os.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

std::string HostPath(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(HostPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
  struct stat st;
  return ::stat(HostPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long FileSize(const std::string& path) {
  struct stat st;
  if (::stat(HostPath(path).c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

std::uint64_t FileStamp(const std::string& path) {
  struct stat st;
  if (::stat(HostPath(path).c_str(), &st) != 0) return 0;
  std::uint64_t ns = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000ull +
                     static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
  return ns ^ (static_cast<std::uint64_t>(st.st_size) << 1) ^ static_cast<std::uint64_t>(st.st_ino) << 40;
}

std::int64_t ModifiedNs(const std::string& path) {
  struct stat st;
  if (::stat(HostPath(path).c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool ReadFile(const std::string& path, std::string& out) {
  out.clear();
  File f;
  if (!Open(f, path, "rb")) return false;
  char buf[65536];
  std::size_t n;
  while ((n = Read(f, buf, sizeof buf)) > 0) out.append(buf, n);
  Close(f);
  return true;
}

namespace {

bool WritesTo(const char* mode) {
  return std::strchr(mode, 'w') != nullptr || std::strchr(mode, 'a') != nullptr ||
         std::strchr(mode, '+') != nullptr;
}

// The whole of `data` through `fd`; false on the first error.
bool WriteAll(int fd, const std::string& data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t w = ::write(fd, p, left);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    left -= static_cast<std::size_t>(w);
  }
  return true;
}

// Opens with open(2) flags, writes everything, closes; false (errno kept)
// when any step fails.
bool WriteWhole(const std::string& path, int flags, const std::string& data) {
  if (InjectedFault(FaultKind::Write, path)) {
    const int error = errno;
    // A full disk lets the file be opened (and truncated) but takes no data.
    if (error == ENOSPC) {
      const int fd = ::open(HostPath(path).c_str(), flags | O_CLOEXEC, 0666);
      if (fd >= 0) ::close(fd);
    }
    errno = error;
    return false;
  }
  const int fd = ::open(HostPath(path).c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data);
  const int error = errno;
  if (::close(fd) != 0) ok = false;
  else errno = error;
  return ok;
}

}  // namespace

bool WriteFile(const std::string& path, const std::string& data) {
  return WriteWhole(path, O_WRONLY | O_CREAT | O_TRUNC, data);
}

bool AppendFile(const std::string& path, const std::string& data) {
  return WriteWhole(path, O_WRONLY | O_CREAT | O_APPEND, data);
}

bool WriteFileAtomic(const std::string& path, const std::string& data) {
  std::string host = HostPath(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string tmp = host + "." + std::to_string(ProcessId()) + "." +
                      std::to_string(RandomInt(0, 99999999)) + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    bool ok = !InjectedFault(FaultKind::Write, path) && WriteAll(fd, data) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
      ok = false;
      error = errno;
    }
    if (ok && !InjectedFault(FaultKind::Rename, path) && ::rename(tmp.c_str(), host.c_str()) == 0) return true;
    if (ok) error = errno;
    ::unlink(tmp.c_str());
    errno = error;
    return false;
  }
  return false;
}

bool DeleteFile(const std::string& path) { return ::unlink(HostPath(path).c_str()) == 0; }

bool LinkFile(const std::string& from, const std::string& to) {
  if (InjectedFault(FaultKind::Write, to)) return false;
  if (::link(HostPath(from).c_str(), HostPath(to).c_str()) == 0) return true;
  // A file system without hard links between these names: a copy.
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV && errno != EMLINK) return false;
  if (FileExists(to)) {  // a link never replaces a file; nor does its copy
    errno = EEXIST;
    return false;
  }
  std::string bytes;
  if (!ReadFile(from, bytes)) return false;
  return WriteFileAtomic(to, bytes);
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (InjectedFault(FaultKind::Rename, to)) return false;
  return ::rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

static FILE* Fp(File& f) { return static_cast<FILE*>(f.handle); }

bool Open(File& f, const std::string& path, const char* mode) {
  if (f.handle) Close(f);
  f.path = path;
  if (WritesTo(mode) && InjectedFault(FaultKind::Write, path)) return false;
  f.handle = std::fopen(HostPath(path).c_str(), mode);
  return f.handle != nullptr;
}

bool IsOpen(const File& f) { return f.handle != nullptr; }

bool Close(File& f) {
  const bool ok = f.handle == nullptr || std::fclose(Fp(f)) == 0;
  f.handle = nullptr;
  return ok;
}

bool ReadLine(File& f, std::string& line) {
  line.clear();
  if (!f.handle) return false;
  FILE* fp = Fp(f);
  int c;
  bool any = false;
  while ((c = std::getc(fp)) != EOF) {
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!any) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

std::size_t Read(File& f, void* buffer, std::size_t count) {
  if (!f.handle) return 0;
  return std::fread(buffer, 1, count, Fp(f));
}

bool Write(File& f, const void* data, std::size_t count) {
  if (!f.handle) return false;
  if (InjectedFault(FaultKind::Write, f.path)) return false;
  return count == 0 || std::fwrite(data, 1, count, Fp(f)) == count;
}

bool Write(File& f, const std::string& data) { return Write(f, data.data(), data.size()); }

bool Seek(File& f, long long offset) {
  return f.handle && ::fseeko(Fp(f), static_cast<off_t>(offset), SEEK_SET) == 0;
}

long long Tell(File& f) { return f.handle ? static_cast<long long>(::ftello(Fp(f))) : -1; }

long long Length(File& f) {
  if (!f.handle) return -1;
  std::fflush(Fp(f));
  struct stat st;
  if (::fstat(::fileno(Fp(f)), &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

bool Flush(File& f) {
  if (!f.handle) return false;
  if (std::fflush(Fp(f)) != 0) return false;
  return ::fsync(::fileno(Fp(f))) == 0;
}

bool Truncate(File& f, long long length) {
  if (!f.handle) return false;
  if (InjectedFault(FaultKind::Write, f.path)) return false;
  std::fflush(Fp(f));
  return ::ftruncate(::fileno(Fp(f)), static_cast<off_t>(length)) == 0;
}

}  // namespace os
