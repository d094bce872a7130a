// The digest of a run of bytes: eight bytes at a time, each word mixed in
// by a multiplication and a shift, the bytes left over one by one (a word
// cut between two pieces is held until it is whole); and its text.
#include <cstdio>
#include <cstring>

#include "format/text.h"

namespace format {

namespace {

void MixWord(std::uint64_t& h, const char* word) {
  std::uint64_t w;
  std::memcpy(&w, word, 8);
  h = (h ^ w) * 0x9E3779B97F4A7C15ULL;
  h ^= h >> 29;
}

}  // namespace

void HashBytes(BytesHasher& s, const char* data, std::size_t size) {
  std::size_t i = 0;
  if (s.heldCount > 0) {
    while (s.heldCount < 8 && i < size) s.held[s.heldCount++] = data[i++];
    if (s.heldCount < 8) return;
    MixWord(s.h, s.held);
    s.heldCount = 0;
  }
  for (; i + 8 <= size; i += 8) MixWord(s.h, data + i);
  for (; i < size; ++i) s.held[s.heldCount++] = data[i];
}

std::uint64_t HashValue(const BytesHasher& s) {
  std::uint64_t h = s.h;
  for (std::size_t i = 0; i < s.heldCount; ++i) h = (h ^ static_cast<unsigned char>(s.held[i])) * 1099511628211ULL;
  return h;
}

std::uint64_t BytesHash(const char* data, std::size_t size) {
  BytesHasher s;
  HashBytes(s, data, size);
  return HashValue(s);
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
