// Directory services for the output files.
#include "output/paths.h"

#include <string>
#include <vector>

#include "platform/os/os.h"

namespace output {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Strip(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Slashes(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string FullPath(const std::string& pathGiven) {
  std::string path = Slashes(Strip(pathGiven));
  // A drive prefix means nothing on this platform.
  if (path.size() >= 2 && path[1] == ':' && IsLetter(path[0])) path.erase(0, 2);

  if (path.empty() || path[0] != '/') {
    std::string cwd = Slashes(os::CurrentDir());
    if (cwd.empty() || cwd[0] != '/') cwd.assign(1, '/');
    if (cwd.back() != '/') cwd += "/";
    path = cwd + path;
  }

  // Resolve "." and ".." by whole components: a name that merely contains
  // dots ("a..", "v.2") is kept as it is. ".." at the root stays at the root.
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out = "/";
  for (const std::string& part : parts) out += part + "/";
  return out;
}

int MakePath(const std::string& pathGiven) {
  std::string path = Slashes(pathGiven);
  while (!path.empty() && IsBlank(path.back())) path.pop_back();
  std::size_t begin = 0;
  if (path.size() >= 2 && path[1] == ':' && IsLetter(path[0])) begin = 2;

  // Every level: the text up to each separator after the start, then the
  // whole path. A trailing separator names the same level again and is not
  // a level of its own.
  std::vector<std::string> levels;
  for (std::size_t i = begin + 1; i < path.size(); ++i)
    if (path[i] == '/' && path[i - 1] != '/') levels.push_back(path.substr(0, i));
  std::string whole = path;
  while (whole.size() > begin + 1 && whole.back() == '/') whole.pop_back();
  if (whole.size() > begin && (levels.empty() || levels.back() != whole)) levels.push_back(whole);

  int status = -1;
  for (const std::string& level : levels) {
    // A failure at one level does not stop the walk; the last one counts.
    if (os::DirExists(level)) status = -1;
    else status = os::MakeDir(level) ? 0 : -1;
  }
  return status;
}

int RemovePath(const std::string& path) {
  if (os::DeleteFile(path)) return 0;
  std::vector<os::DirEntry> entries;
  if (!os::DirExists(path) || !os::ListDir(path, entries)) return kPathNotFound;
  std::string dir = Slashes(path);
  if (dir.empty() || dir.back() != '/') dir += "/";
  for (const os::DirEntry& entry : entries) {
    if (entry.isDir) continue;  // subdirectories are not descended into
    if (!os::DeleteFile(dir + entry.name)) return kPathAccessError;
  }
  return os::RemoveDir(path) ? 0 : kPathAccessError;
}

}  // namespace output
