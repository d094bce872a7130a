// Settings files: IniRead over a damaged file, and IniWrite over it.
// Input: a first line "section|key|value" (the change to make; an empty value
// removes the key, an empty key the section), then the file.
// Expectations: the change reads back; every other key reads as before; the
// same change made twice leaves the file as the first made it.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "settings/config.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Strip(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool SameName(const std::string& a, const std::string& b) { return Upper(Strip(a)) == Upper(Strip(b)); }

bool HasAny(const std::string& s, const char* chars) { return s.find_first_of(chars) != std::string::npos; }

// Names to look up: every "[name" and every "name=" of the file, and the
// change's own, a few of each.
void Candidates(const std::string& file, const std::string& section, const std::string& key,
                std::vector<std::string>& sections, std::vector<std::string>& keys) {
  sections = {section, "Presentador"};
  keys = {key, "CCC"};
  std::size_t start = 0;
  while (start < file.size() && (sections.size() < 8 || keys.size() < 8)) {
    std::size_t nl = file.find('\n', start);
    if (nl == std::string::npos) nl = file.size();
    const std::string line = Strip(file.substr(start, nl - start));
    if (!line.empty() && line[0] == '[' && sections.size() < 8)
      sections.push_back(line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1));
    else if (const std::size_t eq = line.find('='); eq != std::string::npos && keys.size() < 8)
      keys.push_back(line.substr(0, eq));
    start = nl + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string head, file;
  fuzz::FirstLine(fuzz::Text(data, size), head, file);
  std::string section, key, value;
  {
    const std::size_t a = head.find('|');
    const std::size_t b = a == std::string::npos ? std::string::npos : head.find('|', a + 1);
    section = head.substr(0, a);
    if (a != std::string::npos) key = head.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (b != std::string::npos) value = head.substr(b + 1);
  }
  // Names the format can hold: no comment, line end or bracket in a section,
  // no "=" in a key, no quotes around a value.
  if (Strip(section).empty() || HasAny(section, "];\r\n") || HasAny(key, "=;\r\n") ||
      (!Strip(key).empty() && Strip(key)[0] == '[') || HasAny(value, ";\r\n") ||
      (value.size() > 1 && value.front() == '"' && value.back() == '"'))
    return 0;

  const std::string path = fuzz::WorkDir() + "Kova.ini";
  fuzz::PutFile(path, file);

  std::vector<std::string> sections, keys;
  Candidates(file, section, key, sections, keys);
  std::vector<std::pair<std::string, std::string>> before;
  for (const std::string& s : sections)
    for (const std::string& k : keys) before.emplace_back(s + "|" + k, settings::IniRead(path, s, k));

  fuzz::Check(settings::IniWrite(path, section, key, value), "IniWrite failed on a writable file");
  const std::string written = fuzz::GetFile(path);

  std::size_t i = 0;
  for (const std::string& s : sections) {
    for (const std::string& k : keys) {
      const std::string now = settings::IniRead(path, s, k);
      const bool changed = SameName(s, section) && (Strip(key).empty() || SameName(k, key));
      if (!changed) fuzz::Check(now == before[i].second, "IniWrite changed another key");
      else if (Strip(k).empty()) {}  // an empty key name is no key
      else if (!Strip(key).empty() && !value.empty()) fuzz::Check(now == value, "the value written does not read back");
      else fuzz::Check(now.empty(), "a removed key still reads");
      ++i;
    }
  }

  fuzz::Check(settings::IniWrite(path, section, key, value), "IniWrite failed the second time");
  fuzz::Check(fuzz::GetFile(path) == written, "the same change made twice changes the file again");
  return 0;
}
