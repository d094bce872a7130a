// UTF-8 and CP850 through iconv.
#include <cerrno>
#include <iconv.h>

#include "tools/kap/kap.h"

namespace kap {
namespace {

bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
  out.clear();
  iconv_t cd = ::iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input = in;
  char* ip = input.data();
  std::size_t il = input.size();
  bool ok = true;
  while (il > 0) {
    char buffer[1024];
    char* op = buffer;
    std::size_t ol = sizeof buffer;
    std::size_t r = ::iconv(cd, &ip, &il, &op, &ol);
    out.append(buffer, static_cast<std::size_t>(op - buffer));
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  ::iconv_close(cd);
  if (!ok) out.clear();
  return ok;
}

}  // namespace

bool Utf8ToCp850(const std::string& utf8, std::string& cp850) {
  return Convert("CP850", "UTF-8", utf8, cp850);
}

std::string Cp850ToUtf8(const std::string& cp850) {
  std::string out;
  Convert("UTF-8", "CP850", cp850, out);
  return out;
}

}  // namespace kap
