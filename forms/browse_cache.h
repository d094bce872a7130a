// The browse list's cache file "Browse.tmp": one entry per line read, in
// reading order, each the 32-bit little-endian position of the previous
// entry (0 for the first), the record's 32-bit little-endian physical
// position, the text's 16-bit little-endian length and the text. The first
// entry starts at byte 1 and positions count from 1.
//
// What was written is remembered, so an entry that reads back differently (a
// file cut short or overwritten by someone else) is reported as damaged; a
// cache whose file cannot be written keeps its entries in memory instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/os.h"

namespace forms::detail {

constexpr int kCacheHeader = 10;

struct CacheEntry {
  std::int64_t pos = 0;  // 1-based position of the entry
  std::uint32_t previous = 0;
  std::int32_t record = 0;
  std::string text;
};

struct CacheHeader {
  std::int64_t pos = 0;
  std::uint32_t previous = 0;
  std::int32_t record = 0;
  std::size_t length = 0;
};

struct BrowseCache {
  std::string path;
  os::File file;
  bool inMemory = false;
  std::string memory;
  std::int64_t length = 0;  // bytes held
  std::int64_t last = 0;    // position of the last entry appended (0: none)
  std::vector<CacheHeader> written;
};

enum class CacheRead { Entry, End, Damaged };

// Creates the cache file empty (in memory when the file cannot be created).
void CacheCreate(BrowseCache& cache, const std::string& path);
// Starts again empty, in memory.
void CacheRestartInMemory(BrowseCache& cache);
// Appends an entry after the last one; false when the file could not be
// written (the cache is then damaged).
bool CacheAppend(BrowseCache& cache, std::int32_t record, const std::string& text);
CacheRead CacheReadAt(BrowseCache& cache, std::int64_t pos, CacheEntry& entry);
// Closes and deletes the file.
void CacheClose(BrowseCache& cache);

inline std::int64_t NextEntry(const CacheEntry& entry) {
  return entry.pos + kCacheHeader + static_cast<std::int64_t>(entry.text.size());
}

}  // namespace forms::detail
