// Directories and the current directory.
#include "platform/os/os.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

bool MakeDir(const std::string& path) {
  std::string p = HostPath(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return false;
  if (DirExists(p)) return true;
  if (InjectedFault(FaultKind::MakeDir, p)) return false;
  if (::mkdir(p.c_str(), 0777) == 0) return true;
  return DirExists(p);
}

bool MakeDirs(const std::string& path) {
  std::string p = HostPath(path);
  for (std::size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      std::string part = p.substr(0, i);
      if (!part.empty() && part != "/" && !DirExists(part) && !MakeDir(part)) return false;
    }
  }
  return DirExists(p);
}

bool RemoveDir(const std::string& path) { return ::rmdir(HostPath(path).c_str()) == 0; }

bool ListDir(const std::string& path, std::vector<DirEntry>& entries) {
  entries.clear();
  const std::string p = path.empty() ? std::string(".") : HostPath(path);
  DIR* d = ::opendir(p.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string full = p + (p.back() == '/' ? "" : "/") + name;
    entries.push_back({name, DirExists(full)});
  }
  ::closedir(d);
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return true;
}

std::string CurrentDir() {
  char buf[PATH_MAX];
  if (!::getcwd(buf, sizeof buf)) return "";
  std::string s = buf;
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

bool SetCurrentDir(const std::string& path) { return ::chdir(HostPath(path).c_str()) == 0; }

std::string MakeTempDir(const std::string& prefix) {
  std::string base = GetEnv("TMPDIR");
  if (base.empty() || base[0] != '/') base = "/tmp";
  if (base.back() != '/') base += '/';
  std::string name = base + prefix + "XXXXXX";
  if (InjectedFault(FaultKind::MakeDir, name) || ::mkdtemp(name.data()) == nullptr) return "";
  return name + "/";
}

}  // namespace os
