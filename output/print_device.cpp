// The print device of an output setting: kind and destination.
#include "output/print_device.h"

#include "settings/config.h"

namespace output {
namespace {

bool Blank(char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7F'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && Blank(s[b])) ++b;
  while (e > b && Blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// True when `device` is `keyword` alone or `keyword` + ":" + path (any case);
// `path` gets the text after the colon, trimmed.
bool Keyword(const std::string& device, const char* keyword, std::string& path) {
  const std::string k = keyword;
  if (device.size() < k.size()) return false;
  for (std::size_t i = 0; i < k.size(); ++i) {
    char c = device[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != k[i]) return false;
  }
  if (device.size() == k.size()) {
    path.clear();
    return true;
  }
  if (device[k.size()] != ':') return false;
  path = Trim(device.substr(k.size() + 1));
  return true;
}

}  // namespace

std::string DeviceName(const std::string& setting) {
  std::string name = Trim(setting);
  for (char& c : name)
    if (Blank(c)) c = ' ';
  return name;
}

PrintTarget PrintDestination(const std::string& device) {
  const std::string d = DeviceName(device);
  PrintTarget t;
  std::string path;
  if (d.empty()) {
    t.kind = PrintKind::Pdf;
    t.path = settings::TmpDir + "informe.pdf";
  } else if (Keyword(d, "PDF", path)) {
    t.kind = PrintKind::Pdf;
    t.path = path.empty() ? settings::TmpDir + "informe.pdf" : path;
  } else if (Keyword(d, "TXT", path)) {
    t.kind = PrintKind::Text;
    t.path = path.empty() ? settings::TmpDir + "informe.txt" : path;
  } else {
    t.kind = PrintKind::Printer;
    t.queue = d;
  }
  return t;
}

}  // namespace output
