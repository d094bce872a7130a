// The ToUnicode maps of the PDF, written anew.
//
// libharu's UTF-8 encoder gives its fonts a ToUnicode map that readers
// refuse (a CID range where character mappings belong), so copying and
// searching text would depend on each viewer's guesswork. The codes of those
// fonts are the characters' own code points (two bytes, big-endian): the map
// they need is the identity. It is appended as an update of the file that
// gives every ToUnicode stream new content; the bytes libharu wrote stay as
// they are, and the file's cross-reference chain leads readers to the new
// streams.
#include <cstdio>
#include <map>
#include <string>

#include "tools/zediridi/zediridi.h"

namespace zediridi {
namespace {

// Code point = code, for every two-byte code but the surrogates; a range
// stays within one high byte and a block holds at most 100 ranges.
std::string IdentityMap() {
  std::string map =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  std::string ranges;
  int count = 0;
  for (int high = 0; high < 256; ++high) {
    if (high >= 0xD8 && high <= 0xDF) continue;
    char line[32];
    std::snprintf(line, sizeof line, "<%02X00> <%02XFF> <%02X00>\n", high, high, high);
    ranges += line;
    if (++count == 100 || high == 255) {
      map += std::to_string(count) + " beginbfrange\n" + ranges + "endbfrange\n";
      ranges.clear();
      count = 0;
    }
  }
  return map + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend";
}

// The value after `key` (the first one from `from` on) up to the end of
// its line or the next key: "1 0 R" after "/Root"; "" when there is none.
std::string ValueAfter(const std::string& pdf, const std::string& key, std::size_t from) {
  const std::size_t at = pdf.find(key, from);
  if (at == std::string::npos) return "";
  const std::size_t start = pdf.find_first_not_of(" \r\n", at + key.size());
  const std::size_t end = pdf.find_first_of("\r\n/>", start);
  if (start == std::string::npos || end == std::string::npos) return "";
  std::string value = pdf.substr(start, end - start);
  value.erase(value.find_last_not_of(' ') + 1);
  return value;
}

}  // namespace

bool ReplaceToUnicodeMaps(std::string& pdf) {
  // The map streams by object number, with their generation.
  std::map<long, long> streams;
  for (std::size_t at = pdf.find("/ToUnicode "); at != std::string::npos; at = pdf.find("/ToUnicode ", at + 1)) {
    long number = -1, generation = -1;
    if (std::sscanf(pdf.c_str() + at, "/ToUnicode %ld %ld R", &number, &generation) == 2 && number > 0)
      streams[number] = generation;
  }
  if (streams.empty()) return true;
  const std::size_t trailer = pdf.rfind("trailer");
  const std::size_t startxref = pdf.rfind("startxref");
  if (trailer == std::string::npos || startxref == std::string::npos || startxref < trailer) return false;
  const std::string size = ValueAfter(pdf, "/Size", trailer);
  const std::string root = ValueAfter(pdf, "/Root", trailer);
  const std::string info = ValueAfter(pdf, "/Info", trailer);
  const std::string previous = ValueAfter(pdf, "startxref", startxref);
  if (size.empty() || root.empty() || previous.empty()) return false;

  const std::string map = IdentityMap();
  std::string update = pdf.back() == '\n' ? "" : "\n";
  std::string xref = "xref\n";
  for (const auto& [number, generation] : streams) {
    char entry[64];
    std::snprintf(entry, sizeof entry, "%ld 1\n%010zu %05ld n\r\n", number, pdf.size() + update.size(), generation);
    xref += entry;
    update += std::to_string(number) + " " + std::to_string(generation) + " obj\n<< /Length " +
              std::to_string(map.size()) + " >>\nstream\n" + map + "\nendstream\nendobj\n";
  }
  const std::size_t xrefAt = pdf.size() + update.size();
  update += xref + "trailer\n<< /Size " + size + " /Root " + root + (info.empty() ? "" : " /Info " + info) +
            " /Prev " + previous + " >>\nstartxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
  pdf += update;
  return true;
}

}  // namespace zediridi
