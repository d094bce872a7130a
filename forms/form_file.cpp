// The form file loader.
//
// The file is a sequence of items separated by commas or line ends (CR LF or
// LF); an item in double quotes may hold commas; blanks before an item are
// skipped. It holds, in order: the header (block count, fields per block),
// the block records (key list, field count, follow-on block, window top,
// left, bottom, right, then per field: row, column, label, width, line
// length, clear width, flags, rule, browse list, choice list), the list
// count and the browse-list records (file, key, top, left, bottom, right,
// search block, title, next list). Before the header, each block, the list
// count and each browse list, lines whose first non-blank character is "'"
// are comments (blank lines there are passed over too); elsewhere every line
// is data. Numbers are rounded to the nearest integer and must fit 16 bits.
//
// A file with impossible contents is refused as a whole, with a message that
// names the file and the line, and the model is left as it was.
#include <cmath>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "forms/form_model.h"
#include "forms/form_model_internal.h"
#include "platform/os/os.h"
#include "screen/windows.h"
#include "settings/catalogue.h"

namespace forms {
namespace {

std::string g_error;

// Reasons a file is refused (catalogue keys).
const char* const kEndsEarly = "EL FITXER S'ACABA ABANS D'HORA";
const char* const kNotNumber = "S'ESPERAVA UN NOMBRE";
const char* const kOutOfRange = "NOMBRE FORA DE L'INTERVAL DE -32768 A 32767";
const char* const kNoBlocks = "CAL ALMENYS UN BLOC";
const char* const kNoLists = "CAL ALMENYS UNA LLISTA";
const char* const kBadFieldCount = "NOMBRE DE CAMPS IMPOSSIBLE";
const char* const kNegativeWidth = "AMPLADA NEGATIVA";
const char* const kBadWindow = "FINESTRA FORA DE LA PANTALLA";
const char* const kBadReference = "BLOC O LLISTA INEXISTENT";

struct Reader {
  const std::string& d;
  std::size_t p = 0;
  int line = 1;
  int itemLine = 1;     // line where the last item started
  std::string failure;  // reason of the first failure

  explicit Reader(const std::string& data) : d(data) {}

  bool AtLineEnd(std::size_t q) const {
    return q < d.size() && (d[q] == '\n' || (d[q] == '\r' && q + 1 < d.size() && d[q + 1] == '\n'));
  }
  void SkipLineEnd() {
    if (p < d.size() && d[p] == '\r') ++p;
    if (p < d.size() && d[p] == '\n') ++p;
    ++line;
  }
  bool AtLineStart() const { return p == 0 || d[p - 1] == '\n'; }

  // At the start of a record: comment lines and blank lines are passed over.
  void SkipCommentLines() {
    while (p < d.size() && AtLineStart()) {
      std::size_t q = p;
      while (q < d.size() && (d[q] == ' ' || d[q] == '\t')) ++q;
      if (q < d.size() && d[q] == '\'') {
        while (q < d.size() && !AtLineEnd(q)) ++q;
      } else if (!(q >= d.size() || AtLineEnd(q))) {
        return;
      }
      p = q;
      if (p >= d.size()) return;
      SkipLineEnd();
    }
  }

  // The next item; false (and `failure` set) at the end of the file.
  bool Item(std::string& out) {
    if (p >= d.size()) {
      failure = kEndsEarly;
      itemLine = line;
      return false;
    }
    while (p < d.size() && (d[p] == ' ' || d[p] == '\t')) ++p;
    itemLine = line;
    out.clear();
    if (p < d.size() && d[p] == '"') {
      ++p;
      while (p < d.size() && d[p] != '"' && !AtLineEnd(p)) out += d[p++];
      if (p < d.size() && d[p] == '"') ++p;
      // Whatever stands between the closing quote and the separator is ignored.
      while (p < d.size() && d[p] != ',' && !AtLineEnd(p)) ++p;
    } else {
      while (p < d.size() && d[p] != ',' && !AtLineEnd(p)) out += d[p++];
      while (!out.empty() && (out.back() == ' ' || out.back() == '\t' || out.back() == '\r')) out.pop_back();
    }
    if (p < d.size() && d[p] == ',') ++p;
    else if (AtLineEnd(p)) SkipLineEnd();
    return true;
  }

  // A decimal number, rounded to the nearest integer (halves to even) and
  // held in 16 bits. An empty item reads as 0.
  bool Number(int& value) {
    std::string text;
    if (!Item(text)) return false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    bool point = false;
    for (std::size_t k = i; k < text.size(); ++k) {
      if (text[k] >= '0' && text[k] <= '9') ++digits;
      else if (text[k] == '.' && !point) point = true;
      else return Fail(kNotNumber);
    }
    if (text.empty()) {
      value = 0;
      return true;
    }
    if (digits == 0) return Fail(kNotNumber);
    const double v = std::nearbyint(std::strtod(text.c_str(), nullptr));
    if (!(v >= -32768.0 && v <= 32767.0)) return Fail(kOutOfRange);
    value = static_cast<int>(v);
    return true;
  }

  bool Fail(const char* reason) {
    if (failure.empty()) failure = reason;
    return false;
  }
};

bool ValidWindow(int top, int left, int bottom, int right, int minInside) {
  return top >= 1 && left >= 1 && bottom <= screen::ScreenRows() && right <= screen::ScreenColumns() &&
         bottom - top - 1 >= minInside && right - left - 1 >= minInside;
}

struct Loaded {
  int maxFields = 0;
  std::vector<Block> blocks;
  std::vector<std::deque<Field>> fields;
  std::vector<BrowseList> lists;
  std::vector<int> blockLines, listLines;  // where each record starts
};

bool ReadWidth(Reader& r, int& value) {
  if (!r.Number(value)) return false;
  return value >= 0 || r.Fail(kNegativeWidth);
}

bool ReadField(Reader& r, Field& f) {
  if (!r.Number(f.Row) || !r.Number(f.Column) || !r.Item(f.Label) || !ReadWidth(r, f.Width) ||
      !ReadWidth(r, f.Length) || !ReadWidth(r, f.ClearWidth) || !r.Number(f.Flags) || !r.Number(f.Rule) ||
      !r.Number(f.BrowseList) || !r.Item(f.Mask))
    return false;
  f.Value.assign(static_cast<std::size_t>(f.Width), ' ');
  f.Label = settings::Translate(f.Label);
  f.Mask = settings::Translate(f.Mask);
  return true;
}

bool ReadBlock(Reader& r, Loaded& m) {
  r.SkipCommentLines();
  m.blockLines.push_back(r.line);
  Block b;
  if (!r.Item(b.KeyList) || !r.Number(b.FieldCount)) return false;
  if (b.FieldCount < 0 || b.FieldCount > m.maxFields) return r.Fail(kBadFieldCount);
  if (!r.Number(b.LinkedBlock)) return false;
  for (int& edge : b.Box)
    if (!r.Number(edge)) return false;
  if (b.Box[0] != 0 && !ValidWindow(b.Box[0], b.Box[1], b.Box[2], b.Box[3], 0)) return r.Fail(kBadWindow);
  std::deque<Field> fields;
  for (int i = 0; i < b.FieldCount; ++i) {
    fields.emplace_back();
    if (!ReadField(r, fields.back())) return false;
  }
  m.blocks.push_back(b);
  m.fields.push_back(std::move(fields));
  return true;
}

bool ReadList(Reader& r, BrowseList& l, std::vector<int>& lines) {
  r.SkipCommentLines();
  lines.push_back(r.line);
  if (!r.Number(l.FileNumber) || !r.Number(l.KeyNumber) || !r.Number(l.Top) || !r.Number(l.Left) ||
      !r.Number(l.Bottom) || !r.Number(l.Right))
    return false;
  if (!ValidWindow(l.Top, l.Left, l.Bottom, l.Right, 1)) return r.Fail(kBadWindow);
  if (!r.Number(l.SearchBlock) || !r.Item(l.Title) || !r.Number(l.NextList)) return false;
  l.Title = settings::Translate(l.Title);
  return true;
}

// Follow-on blocks, browse lists, search blocks and next lists must exist.
bool CheckReferences(Reader& r, const Loaded& m) {
  const int blocks = static_cast<int>(m.blocks.size()), lists = static_cast<int>(m.lists.size());
  for (std::size_t b = 0; b < m.blocks.size(); ++b) {
    bool ok = m.blocks[b].LinkedBlock <= blocks;
    for (const Field& f : m.fields[b])
      if (f.BrowseList < 0 || f.BrowseList > lists) ok = false;
    if (!ok) {
      r.itemLine = m.blockLines[b];
      return r.Fail(kBadReference);
    }
  }
  for (std::size_t i = 0; i < m.lists.size(); ++i) {
    const BrowseList& l = m.lists[i];
    if (l.SearchBlock < 0 || l.SearchBlock > blocks || l.NextList < 0 || l.NextList > lists) {
      r.itemLine = m.listLines[i];
      return r.Fail(kBadReference);
    }
  }
  return true;
}

bool Parse(Reader& r, Loaded& m) {
  r.SkipCommentLines();
  int blockCount = 0;
  if (!r.Number(blockCount) || !r.Number(m.maxFields)) return false;
  if (blockCount < 1) return r.Fail(kNoBlocks);
  if (m.maxFields < 0) return r.Fail(kBadFieldCount);
  for (int b = 0; b < blockCount; ++b)
    if (!ReadBlock(r, m)) return false;
  r.SkipCommentLines();
  int listCount = 0;
  if (!r.Number(listCount)) return false;
  if (listCount < 1) return r.Fail(kNoLists);
  for (int l = 0; l < listCount; ++l) {
    m.lists.emplace_back();
    if (!ReadList(r, m.lists.back(), m.listLines)) return false;
  }
  return CheckReferences(r, m);
}

}  // namespace

bool LoadForm(const std::string& path) {
  g_error.clear();
  std::string data;
  if (!os::FileExists(path) || !os::ReadFile(path, data)) {
    g_error = settings::Translate("NO ES POT LLEGIR EL FORMULARI ") + os::HostPath(path);
    return false;
  }
  Reader r(data);
  Loaded m;
  if (!Parse(r, m)) {
    g_error = settings::Translate("FORMULARI ") + os::HostPath(path) + settings::Translate(", L\xD6NIA ") +
              std::to_string(r.itemLine) + ": " + settings::Translate(r.failure);
    return false;
  }
  detail::InstallModel(m.maxFields, std::move(m.blocks), std::move(m.fields), std::move(m.lists));
  return true;
}

const std::string& LoadFormError() { return g_error; }

}  // namespace forms
