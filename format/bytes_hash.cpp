// The digest of a run of bytes: eight bytes at a time, each word mixed in
// by a multiplication and a shift, the bytes left over one by one.
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

}  // namespace format
