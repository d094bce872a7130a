// Plain-text rendering and the CP850 to UTF-8 conversion.
//
// The text file is written in UTF-8, the host's text encoding, so that any
// editor or pager shows the accents and box-drawing characters of the
// report; pages are separated by a form feed.
#include <cerrno>
#include <iconv.h>
#include <string>
#include <vector>

#include "tools/zediridi/zediridi.h"

namespace zediridi {
namespace {

// UTF-8 of each CP850 byte. Code page 858 is 850 with the euro sign at 0xD5,
// where the program keeps its euro sign.
const std::vector<std::string>& Table() {
  static const std::vector<std::string> table = [] {
    std::vector<std::string> t(256);
    iconv_t cd = ::iconv_open("UTF-8", "CP858");
    for (int b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      char out[8];
      char* ip = &in;
      char* op = out;
      std::size_t il = 1, ol = sizeof out;
      if (cd != reinterpret_cast<iconv_t>(-1) && ::iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1))
        t[static_cast<std::size_t>(b)].assign(out, static_cast<std::size_t>(op - out));
      else
        t[static_cast<std::size_t>(b)] = b < 128 ? std::string(1, in) : std::string("?");
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) ::iconv_close(cd);
    return t;
  }();
  return table;
}

}  // namespace

std::string Utf8(const std::string& cp850) {
  const std::vector<std::string>& t = Table();
  std::string out;
  out.reserve(cp850.size() + cp850.size() / 4);
  for (unsigned char c : cp850) out += t[c];
  return out;
}

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
      out += Utf8(l);
      out += '\n';
    }
  }
  return out;
}

}  // namespace zediridi
