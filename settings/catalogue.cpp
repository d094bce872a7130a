// Run-time translation of the program's Catalan texts through the message
// catalogue DataRoot + "LOCALE\" + name + ".LNG": records of four items (the
// Catalan text, then Galician, Occitan and Spanish), items separated by
// commas or line ends, an item in double quotes may hold commas.
//
// Every lookup reads the file again, so it gives what a fresh scan would give
// even when the file was rewritten within the clock's resolution; the parsed
// records are kept and parsed again only when the content has changed.
#include "settings/catalogue.h"

#include <array>
#include <string>
#include <unordered_map>

#include "settings/config.h"
#include "platform/os/os.h"

namespace settings {

namespace {

// The translations of one record: Galician, Occitan, Spanish.
using Translations = std::array<std::string, 3>;

struct Catalogue {
  std::string name;          // fixed on the first lookup that needs it
  std::string loadedPath;
  std::string loadedData;  // the file content the records were parsed from
  bool loaded = false;
  std::unordered_map<std::string, Translations> records;  // first record of each key
};

Catalogue& State() {
  static Catalogue state;
  return state;
}

bool AtLineEnd(const std::string& d, std::size_t p) {
  return d[p] == '\n' || (d[p] == '\r' && p + 1 < d.size() && d[p + 1] == '\n');
}

// Steps over one separator (a comma or a line end) at `p`, if there is one;
// true when it was a comma.
bool SkipSeparator(const std::string& d, std::size_t& p) {
  if (p >= d.size()) return false;
  if (d[p] == ',') {
    ++p;
    return true;
  }
  if (d[p] == '\r' && p + 1 < d.size() && d[p + 1] == '\n') p += 2;
  else if (d[p] == '\n') ++p;
  return false;
}

// One item from `p` on, and `p` moved past its separator; `comma` tells
// whether that separator was a comma (so another item follows, if empty).
std::string ReadItem(const std::string& d, std::size_t& p, bool& comma) {
  while (p < d.size() && (d[p] == ' ' || d[p] == '\t')) ++p;
  std::string item;
  if (p < d.size() && d[p] == '"') {
    ++p;
    std::size_t close = d.find('"', p);
    if (close == std::string::npos) close = d.size();
    item = d.substr(p, close - p);
    p = close < d.size() ? close + 1 : close;
    // Whatever stands between the closing quote and the separator is ignored.
    while (p < d.size() && d[p] != ',' && !AtLineEnd(d, p)) ++p;
  } else {
    std::size_t start = p;
    while (p < d.size() && d[p] != ',' && !AtLineEnd(d, p)) ++p;
    item = d.substr(start, p - start);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.pop_back();
  }
  comma = SkipSeparator(d, p);
  return item;
}

// Steps over lines that hold nothing but blanks, between records.
void SkipEmptyLines(const std::string& d, std::size_t& p) {
  for (;;) {
    std::size_t q = p;
    while (q < d.size() && (d[q] == ' ' || d[q] == '\t')) ++q;
    if (q < d.size() && AtLineEnd(d, q)) {
      p = q;
      SkipSeparator(d, p);
      continue;
    }
    return;
  }
}

void Parse(const std::string& data, std::unordered_map<std::string, Translations>& records) {
  records.clear();
  std::size_t p = 0;
  for (;;) {
    SkipEmptyLines(data, p);
    if (p >= data.size()) break;
    bool comma = false;
    std::string key = ReadItem(data, p, comma);
    Translations t;
    bool complete = true;
    for (std::string& item : t) {
      // An incomplete last record is ignored.
      if (p >= data.size() && !comma) {
        complete = false;
        break;
      }
      item = ReadItem(data, p, comma);
    }
    if (!complete) break;
    records.emplace(std::move(key), std::move(t));  // the first record of a key wins
  }
}

// Brings the in-memory catalogue up to date with the file.
void Refresh(Catalogue& cat, const std::string& path) {
  std::string data;
  if (!os::ReadFile(path, data)) data.clear();
  if (cat.loaded && cat.loadedPath == path && cat.loadedData == data) return;
  Parse(data, cat.records);
  cat.loaded = true;
  cat.loadedPath = path;
  cat.loadedData = std::move(data);
}

}  // namespace

std::string Translate(const std::string& text) {
  if (Idioma == "CAT") return text;
  Catalogue& cat = State();
  if (cat.name.empty()) cat.name = FormName;
  const std::string path = DataRoot + "LOCALE\\" + cat.name + ".LNG";
  // A missing catalogue is created empty.
  if (!os::FileExists(path)) os::AppendFile(path, "");
  Refresh(cat, path);

  auto found = cat.records.find(text);
  if (found == cat.records.end()) return text;
  if (Idioma == "SPA") return found->second[2];
  if (Idioma == "GLG") return found->second[0];
  if (Idioma == "OCI") return found->second[1];
  return text;
}

void ResetCatalogueForTests() { State() = Catalogue(); }

}  // namespace settings
