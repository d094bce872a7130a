// The digest of a run of bytes.
#include "format/text.h"

namespace format {

std::uint64_t BytesHash(const char* data, std::size_t size, std::uint64_t h) {
  for (std::size_t i = 0; i < size; ++i) {
    h ^= static_cast<unsigned char>(data[i]);
    h *= 1099511628211ULL;
  }
  return h;
}

}  // namespace format
