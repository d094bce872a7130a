// File definition of a record file: record length, keys and their segments,
// the alternate collating sequence. Parsed from (and written back as) the
// create definition / Stat layout described in engine.h, and the key
// transforms that turn a key value into its comparable (memcmp-ordered) form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace recman {

struct Segment {
  int offset = 0;  // 0-based position in the record
  int length = 0;
  int flags = 0;
};

struct KeyDef {
  std::vector<Segment> segments;
  int length = 0;  // sum of the segment lengths
  bool duplicates = false;
  bool modifiable = false;
};

struct FileDef {
  int recordLength = 0;
  int pageSize = 0;
  int fileFlags = 0;
  std::vector<KeyDef> keys;
  bool hasAcs = false;
  unsigned char acsName[8] = {};
  unsigned char acs[256] = {};
};

// Reads a create definition of `length` bytes. Returns 0, or the status
// for a bad definition (24, 26, 27, 28, 29, 48; see engine.h).
int ParseFileSpec(const unsigned char* spec, std::size_t length, FileDef& def);

// The definition in the Stat layout. With counts (records, and one
// unique-value count per key) they are filled in; empty counts give zeros,
// which is the create definition stored in the file.
std::string BuildFileSpec(const FileDef& def, std::uint32_t records,
                          const std::vector<std::uint32_t>& uniqueCounts);

// The key value of key `key` taken from a record of def.recordLength bytes.
void RecordKey(const FileDef& def, int key, const unsigned char* record, std::string& out);

// The comparable form of a key value of exactly keys[key].length bytes:
// binary segments byte-reversed, alternate-collating segments mapped through
// the table, descending segments inverted. Byte order of two comparable
// forms is the key order.
void ComparableKey(const FileDef& def, int key, const unsigned char* value, std::string& out);

}  // namespace recman
