// The digest of a run of bytes: eight bytes at a time, each word mixed in
// by a multiplication and a shift, the bytes left over one by one; and its
// text.
#include <cstdio>
#include <cstring>

#include "format/text.h"

namespace format {

std::uint64_t BytesHash(const char* data, std::size_t size, std::uint64_t h) {
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, data + i, 8);
    h = (h ^ w) * kMul;
    h ^= h >> 29;
  }
  for (; i < size; ++i) h = (h ^ static_cast<unsigned char>(data[i])) * 1099511628211ULL;
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
