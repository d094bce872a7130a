// The digest of a run of bytes, and its text.
#include <cstdio>

#include "format/text.h"

namespace format {

std::uint64_t BytesHash(const char* data, std::size_t size, std::uint64_t h) {
  for (std::size_t i = 0; i < size; ++i) {
    h ^= static_cast<unsigned char>(data[i]);
    h *= 1099511628211ULL;
  }
  return h;
}

std::string DigestText(std::uint64_t digest) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
  return text;
}

bool ParseDigestText(const std::string& text, std::uint64_t& digest) {
  if (text.size() != 16) return false;
  digest = 0;
  for (char c : text) {
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    digest = digest * 16 + static_cast<std::uint64_t>(d);
  }
  return true;
}

}  // namespace format
