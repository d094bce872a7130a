// The settings-file format: reader and writer.
//
// A file of lines; ";" starts a comment; "[name]" starts a section; "key=value"
// sets a key. Section and key names compare without regard to letter case.
// The writer never edits the file in place: it builds the new content and
// replaces the file by one atomic rename, so a reader sees the old or the new
// file, never a missing or half-written one.
#include <cstddef>
#include <string>
#include <vector>

#include "settings/config.h"
#include "platform/os/os.h"

namespace settings {

namespace {

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Strip(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlankChar(s[b])) ++b;
  while (e > b && IsBlankChar(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// One line of a settings file, as the reader and the writer see it.
struct IniLine {
  enum Kind { Blank, Header, KeyLine, Other } kind = Blank;
  std::string name;   // section name (Header) or key name (KeyLine)
  std::string value;  // KeyLine: everything after the first "=" up to the comment
  std::size_t equals = 0;  // KeyLine: position of the first "=" in the raw line
};

IniLine ParseLine(const std::string& raw) {
  IniLine out;
  std::string line = raw.substr(0, raw.find(';'));
  std::string stripped = Strip(line);
  if (stripped.empty()) return out;
  if (stripped[0] == '[') {
    out.kind = IniLine::Header;
    std::string rest = stripped.substr(1);
    out.name = Strip(rest.substr(0, rest.find(']')));
    return out;
  }
  std::size_t eq = line.find('=');
  if (eq == std::string::npos) {
    out.kind = IniLine::Other;
    return out;
  }
  out.kind = IniLine::KeyLine;
  out.equals = eq;
  out.name = Strip(line.substr(0, eq));
  out.value = line.substr(eq + 1);
  // The line end's CR is not part of the value.
  if (!out.value.empty() && out.value.back() == '\r') out.value.pop_back();
  return out;
}

std::string Unquote(const std::string& value) {
  if (value.size() > 1 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

// The file split into lines without their line ends ("\n" or "\r\n"). A last
// line without a line end counts as a line.
std::vector<std::string> SplitLines(const std::string& data) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t nl = data.find('\n', start);
    std::size_t end = (nl == std::string::npos) ? data.size() : nl;
    std::string line = data.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

// The new content of a settings file after setting, replacing or removing
// `key` in `section` (an empty key removes the section).
std::string RewriteIni(const std::string& old, const std::string& sectionGiven,
                       const std::string& keyGiven, const std::string& value) {
  const std::string section = Strip(sectionGiven);
  const std::string key = Strip(keyGiven);
  const std::string eol = "\r\n";
  const bool canAdd = !section.empty() && !key.empty() && !value.empty();

  std::string out;
  std::string pendingBlanks;
  bool inSection = false, found = false, written = false;

  for (const std::string& raw : SplitLines(old)) {
    IniLine line = ParseLine(raw);
    if (line.kind == IniLine::Blank) {
      pendingBlanks += raw + eol;
      continue;
    }
    if (line.kind == IniLine::Header) {
      if (inSection && !written && canAdd) {
        out += keyGiven + "=" + value + eol;
        written = true;
      }
      inSection = false;
      out += pendingBlanks;
      pendingBlanks.clear();
      if (SameName(line.name, section)) {
        inSection = true;
        found = true;
        if (key.empty()) continue;  // the whole section goes
      }
      out += raw + eol;
      continue;
    }
    out += pendingBlanks;
    pendingBlanks.clear();
    if (inSection && line.kind == IniLine::KeyLine && (key.empty() || SameName(line.name, key))) {
      written = true;
      if (key.empty() || value.empty()) continue;  // removed
      out += raw.substr(0, line.equals + 1) + value + eol;
      continue;
    }
    out += raw + eol;
  }

  if (!written && canAdd) {
    if (!found) {
      out += "[" + sectionGiven + "]" + eol + keyGiven + "=" + value + eol;
    } else if (inSection) {
      out += keyGiven + "=" + value + eol;
    }
  }
  out += pendingBlanks;
  return out;
}

}  // namespace

std::string IniRead(const std::string& file, const std::string& sectionGiven,
                    const std::string& keyGiven) {
  std::string data;
  if (!os::ReadFile(file, data)) return "";
  const std::string section = Strip(sectionGiven);
  const std::string key = Strip(keyGiven);
  bool inSection = false;
  for (const std::string& raw : SplitLines(data)) {
    IniLine line = ParseLine(raw);
    if (line.kind == IniLine::Header) {
      if (inSection) break;  // only the first section of that name counts
      inSection = SameName(line.name, section);
      continue;
    }
    if (inSection && line.kind == IniLine::KeyLine && SameName(line.name, key))
      return Unquote(line.value);
  }
  return "";
}

bool IniWrite(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) {
  // Two writers of the same file take turns, so neither loses the other's change.
  // When the lock cannot be had (a read-only folder, a writer that hangs)
  // the rewrite still goes ahead: it stays atomic, only a concurrent change
  // could be lost.
  os::Lock lock;
  os::LockExclusive(lock, file + ".lck", 5000);

  bool done = false;
  for (int attempt = 0; attempt < 10 && !done; ++attempt) {
    std::string old;
    const bool existed = os::ReadFile(file, old);
    if (!existed) {
      // A file that exists but cannot be read is left alone rather than
      // replaced by a copy that lacks its content.
      if (os::FileExists(file) || os::DirExists(file)) break;
      old.clear();
    }
    const std::string updated = RewriteIni(old, section, key, value);
    if (existed && updated == old) done = true;  // nothing changes
    else if (os::WriteFileAtomic(file, updated)) done = true;
    else os::SleepMs(50);
  }
  os::Unlock(lock);
  return done;
}

}  // namespace settings
