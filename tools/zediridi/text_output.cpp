// Plain-text rendering.
//
// The text file is written in UTF-8, the host's text encoding, so that any
// editor or pager shows the accents and box-drawing characters of the
// report; pages are separated by a form feed.
#include <string>
#include <vector>

#include "platform/console/console.h"
#include "tools/zediridi/zediridi.h"

namespace zediridi {

std::string RenderText(const Document& doc) {
  std::string out;
  for (std::size_t p = 0; p < doc.pages.size(); ++p) {
    if (p > 0) out += '\f';
    std::vector<std::string> lines;
    for (const Placed& t : doc.pages[p].texts) {
      if (static_cast<std::size_t>(t.line) >= lines.size()) lines.resize(static_cast<std::size_t>(t.line) + 1);
      std::string& l = lines[static_cast<std::size_t>(t.line)];
      const std::size_t at = static_cast<std::size_t>(t.column - 1);
      if (l.size() < at + t.text.size()) l.resize(at + t.text.size(), ' ');
      l.replace(at, t.text.size(), t.text);  // a later text covers an earlier one
    }
    for (std::string& l : lines) {
      l.erase(l.find_last_not_of(' ') + 1);
      out += console::Cp850ToUtf8(l);
      out += '\n';
    }
  }
  return out;
}

}  // namespace zediridi
