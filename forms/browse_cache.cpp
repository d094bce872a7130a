// The browse list's cache of lines read.
#include "forms/browse_cache.h"

#include <algorithm>
#include <string>

#include "platform/os/os.h"

namespace forms::detail {
namespace {

std::string Le(std::uint32_t v, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

std::uint32_t FromLe(const std::string& s, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}

// `count` bytes from 1-based position `pos`; false when they are not there.
bool ReadBytes(BrowseCache& cache, std::int64_t pos, std::size_t count, std::string& out) {
  out.assign(count, '\0');
  if (cache.inMemory) {
    if (pos < 1 || pos - 1 + static_cast<std::int64_t>(count) > static_cast<std::int64_t>(cache.memory.size()))
      return false;
    out = cache.memory.substr(static_cast<std::size_t>(pos - 1), count);
    return true;
  }
  return count == 0 || (os::Seek(cache.file, pos - 1) && os::Read(cache.file, out.data(), count) == count);
}

}  // namespace

void CacheCreate(BrowseCache& cache, const std::string& path) {
  cache = BrowseCache();
  cache.path = path;
  if (!os::Open(cache.file, path, "w+b")) cache.inMemory = true;
}

void CacheRestartInMemory(BrowseCache& cache) {
  const std::string path = cache.path;
  CacheClose(cache);
  cache = BrowseCache();
  cache.path = path;
  cache.inMemory = true;
}

bool CacheAppend(BrowseCache& cache, std::int32_t record, const std::string& text) {
  const std::string shown = text.substr(0, 0xFFFF);
  const std::string bytes = Le(static_cast<std::uint32_t>(cache.last), 4) +
                            Le(static_cast<std::uint32_t>(record), 4) +
                            Le(static_cast<std::uint32_t>(shown.size()), 2) + shown;
  const std::int64_t pos = cache.length + 1;
  if (cache.inMemory) {
    cache.memory += bytes;
  } else if (!os::Seek(cache.file, pos - 1) || !os::Write(cache.file, bytes)) {
    return false;
  }
  cache.written.push_back({pos, static_cast<std::uint32_t>(cache.last), record, shown.size()});
  cache.last = pos;
  cache.length += static_cast<std::int64_t>(bytes.size());
  return true;
}

CacheRead CacheReadAt(BrowseCache& cache, std::int64_t pos, CacheEntry& entry) {
  if (pos == cache.length + 1) return CacheRead::End;
  auto it = std::lower_bound(cache.written.begin(), cache.written.end(), pos,
                             [](const CacheHeader& h, std::int64_t p) { return h.pos < p; });
  if (it == cache.written.end() || it->pos != pos) return CacheRead::Damaged;
  std::string bytes;
  if (!ReadBytes(cache, pos, kCacheHeader + it->length, bytes)) return CacheRead::Damaged;
  entry.pos = pos;
  entry.previous = FromLe(bytes, 0, 4);
  entry.record = static_cast<std::int32_t>(FromLe(bytes, 4, 4));
  const std::size_t length = FromLe(bytes, 8, 2);
  if (entry.previous != it->previous || entry.record != it->record || length != it->length)
    return CacheRead::Damaged;
  entry.text = bytes.substr(kCacheHeader);
  return CacheRead::Entry;
}

void CacheClose(BrowseCache& cache) {
  if (os::IsOpen(cache.file)) {
    os::Close(cache.file);
    os::DeleteFile(cache.path);
  }
  cache.memory.clear();
  cache.written.clear();
}

}  // namespace forms::detail
