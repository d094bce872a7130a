// The print spool read and checked line by line into pages of placed texts.
//
// Line kinds (CR LF lines; numbers with a blank or "-" before and a blank
// after):
//   "DEVICE" + device       first line only
//   "PAGE" + n              new page of n lines (0: no length, no break)
//   "JUS" + code            alignment: C, D, A, E or N + number + template
//   "*" + command           device command: "@e" elite and landscape sheet,
//                           "q" condensed; others are ignored
//   column,text,lineFeeds   text at a column, then advance lineFeeds lines
//
// Alignment codes change nothing: every text reaches the spool laid out at
// its final width (amounts through their masks, headings with their own
// blanks), and on a fixed character grid moving it inside its own cells
// would only shift a sign or a blank out of its column.
#include <cstdlib>
#include <string>

#include "output/print_device.h"
#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "tools/zediridi/zediridi.h"

namespace zediridi {
namespace {

constexpr std::size_t kMaxLineBytes = 4096;  // a report line is about 140
constexpr long kMaxPageLines = 200;
constexpr long kMaxLineFeeds = 999;
constexpr long kMaxColumn = 400;             // rightmost column a text may reach
constexpr long kMinColumn = -32768;

using settings::Translate;

struct Reader {
  std::string path;
  Document* doc = nullptr;
  long lineNo = 0;
  std::string error;
  // Position on the current page.
  int pageLength = 0;  // 0: none set
  int line = 0;
  int pitch = kPica;
  bool pageOpen = false;
};

bool Fail(Reader& r, const char* problem) {
  r.error = os::HostPath(r.path) + ", " + Translate("l\xA1nia") + " " + std::to_string(r.lineNo) + ": " +
            Translate(problem);
  return false;
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

// A whole number as the spool writes it (blanks around, optional sign).
bool Number(const std::string& text, long& value) {
  const std::string t = Trim(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  if (i == t.size() || t.size() - i > 6) return false;
  long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
  }
  value = negative ? -v : v;
  return true;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

void NewPage(Reader& r) {
  // A page on which nothing was printed is not kept (no blank sheets).
  if (!r.doc->pages.empty() && r.doc->pages.back().texts.empty()) r.doc->pages.pop_back();
  Page page;
  page.lines = r.pageLength > 0 ? r.pageLength : kDefaultPageLines;
  r.doc->pages.push_back(page);
  r.line = 0;
  r.pageOpen = true;
}

bool PageLine(Reader& r, const std::string& rest) {
  long n = 0;
  if (!Number(rest, n)) return Fail(r, "n\xA3mero no v\x85lid");
  if (n < 0 || n > kMaxPageLines) return Fail(r, "llargada de p\x85gina fora de l\xA1mits");
  r.pageLength = static_cast<int>(n);
  // "PAGE 0" (a text written before any page length) sets no length and
  // starts no page: the text flows on sheets of the default length.
  if (n > 0) NewPage(r);
  return true;
}

bool JustifyLine(Reader& r, const std::string& code) {
  if (code == "C" || code == "D" || code == "A" || code == "E") return true;
  if (!code.empty() && code[0] == 'N') {
    // "N", the column width as a number, a blank, the template between "\".
    std::string width = code.substr(1);
    const std::size_t slash = width.find('\\');
    if (slash != std::string::npos) width.resize(slash);
    long n = 0;
    if (Number(width, n)) return true;
  }
  return Fail(r, "alineaci\xA2 desconeguda");
}

void CommandLine(Reader& r, const std::string& command) {
  std::string c = Trim(command);
  for (char& ch : c)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  if (c == "@e") {
    r.pitch = kElite;
    r.doc->landscape = true;
  } else if (c == "q") {
    r.pitch = kCondensed;
  }
}

bool TextLine(Reader& r, const std::string& s) {
  const std::size_t first = s.find(',');
  const std::size_t last = s.rfind(',');
  if (first == std::string::npos || first == last) return Fail(r, "ordre desconeguda");
  long column = 0, feeds = 0;
  if (!Number(s.substr(0, first), column) || !Number(s.substr(last + 1), feeds))
    return Fail(r, "n\xA3mero no v\x85lid");
  const std::string text = s.substr(first + 1, last - first - 1);
  // A column below 1 (a title longer than the width it is centred on) prints
  // from column 1.
  if (column < kMinColumn || column > kMaxColumn) return Fail(r, "columna fora de l\xA1mits");
  if (column < 1) column = 1;
  if (column + static_cast<long>(text.size()) - 1 > kMaxColumn) return Fail(r, "columna fora de l\xA1mits");
  if (feeds < 0 || feeds > kMaxLineFeeds) return Fail(r, "salts de l\xA1nia fora de l\xA1mits");

  if (!r.pageOpen) NewPage(r);
  // A page that is full continues on a new sheet.
  if (r.line >= r.doc->pages.back().lines) NewPage(r);
  if (Trim(text).size() > 0) {
    Placed p;
    p.line = r.line;
    p.column = static_cast<int>(column);
    p.pitch = r.pitch;
    p.text = text;
    r.doc->pages.back().texts.push_back(p);
  }
  r.line += static_cast<int>(feeds);
  return true;
}

bool HandleLine(Reader& r, const std::string& s) {
  for (unsigned char c : s)
    if (c < 32 || c == 127) return Fail(r, "car\x85\x63ter no imprimible");
  if (r.lineNo == 1) {
    if (!StartsWith(s, "DEVICE")) return Fail(r, "la primera l\xA1nia no \x82s DEVICE");
    r.doc->device = output::DeviceName(s.substr(6));
    return true;
  }
  if (StartsWith(s, "PAGE")) return PageLine(r, s.substr(4));
  if (StartsWith(s, "JUS")) return JustifyLine(r, Trim(s.substr(3)));
  if (StartsWith(s, "*")) {
    CommandLine(r, s.substr(1));
    return true;
  }
  if (!s.empty() && (s[0] == ' ' || s[0] == '-' || (s[0] >= '0' && s[0] <= '9'))) return TextLine(r, s);
  return Fail(r, "ordre desconeguda");
}

}  // namespace

bool ReadSpool(const std::string& path, Document& doc, std::string& error) {
  doc = Document();
  error.clear();
  Reader r;
  r.path = path;
  r.doc = &doc;
  const std::string where = os::HostPath(path) + ": ";

  if (!os::FileExists(path)) {
    error = where + Translate("no es troba el fitxer d'impressi\xA2");
    return false;
  }
  os::File f;
  if (!os::Open(f, path, "rb")) {
    error = where + Translate("no es pot llegir el fitxer d'impressi\xA2");
    return false;
  }
  // Read in blocks so that a line of any length is refused without being
  // held in memory.
  std::string line;
  bool ok = true, any = false;
  char buffer[65536];
  for (;;) {
    const std::size_t n = os::Read(f, buffer, sizeof buffer);
    if (n == 0) break;
    any = true;
    for (std::size_t i = 0; i < n && ok; ++i) {
      if (buffer[i] != '\n') {
        if (line.size() >= kMaxLineBytes + 1) {
          ++r.lineNo;
          ok = Fail(r, "l\xA1nia massa llarga");
          break;
        }
        line += buffer[i];
        continue;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ++r.lineNo;
      if (line.size() > kMaxLineBytes) ok = Fail(r, "l\xA1nia massa llarga");
      else ok = HandleLine(r, line);
      line.clear();
    }
    if (!ok) break;
  }
  os::Close(f);
  if (ok && !any) {
    error = where + Translate("el fitxer d'impressi\xA2 \x82s buit");
    return false;
  }
  if (ok && !line.empty()) {
    // The last line has no line end: the file was cut while it was written.
    ++r.lineNo;
    ok = Fail(r, "l\xA1nia incompleta (fitxer tallat)");
  }
  if (!ok) {
    error = r.error;
    doc = Document();
    return false;
  }
  if (!doc.pages.empty() && doc.pages.back().texts.empty()) doc.pages.pop_back();
  return true;
}

}  // namespace zediridi
