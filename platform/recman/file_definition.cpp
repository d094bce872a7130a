#include "platform/recman/file_definition.h"

#include <cstring>

#include "platform/recman/engine.h"

namespace recman {

namespace {

constexpr std::size_t kFileSpecSize = 16;
constexpr std::size_t kKeySpecSize = 16;
constexpr std::size_t kAcsSize = 265;
constexpr int kMaxKeys = 119;
constexpr int kMaxKeyLength = 255;

int Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }

void Put16(std::string& s, std::size_t at, int v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

int ParseFileSpec(const unsigned char* spec, std::size_t length, FileDef& def) {
  def = FileDef{};
  if (spec == nullptr || length < kFileSpecSize) return kStatusPageSize;
  def.recordLength = Get16(spec);
  def.pageSize = Get16(spec + 2);
  int keyCount = Get16(spec + 4);
  def.fileFlags = Get16(spec + 10);
  if (def.recordLength < 1) return kStatusRecordLength;
  if (def.pageSize == 0) def.pageSize = 4096;
  if (def.pageSize % 512 != 0) return kStatusPageSize;
  if (keyCount < 1 || keyCount > kMaxKeys) return kStatusKeyCount;

  std::size_t at = kFileSpecSize;
  for (int k = 0; k < keyCount; ++k) {
    KeyDef key;
    bool more = true;
    while (more) {
      if (at + kKeySpecSize > length) return kStatusPageSize;
      const unsigned char* p = spec + at;
      at += kKeySpecSize;
      Segment seg;
      int position = Get16(p);
      seg.length = Get16(p + 2);
      seg.flags = Get16(p + 4);
      if (seg.length < 1) return kStatusKeyLength;
      if (position < 1 || position - 1 + seg.length > def.recordLength) return kStatusKeyPosition;
      seg.offset = position - 1;
      if (key.segments.empty()) {
        key.duplicates = (seg.flags & kKeyDuplicates) != 0;
        key.modifiable = (seg.flags & kKeyModifiable) != 0;
      }
      if (seg.flags & kKeyAcs) def.hasAcs = true;
      key.length += seg.length;
      if (key.length > kMaxKeyLength) return kStatusKeyLength;
      key.segments.push_back(seg);
      more = (seg.flags & kKeySegmented) != 0;
    }
    def.keys.push_back(std::move(key));
  }
  if (def.hasAcs) {
    if (at + kAcsSize > length || spec[at] != 0xAC) return kStatusAcs;
    std::memcpy(def.acsName, spec + at + 1, 8);
    std::memcpy(def.acs, spec + at + 9, 256);
  }
  return kStatusOk;
}

std::string BuildFileSpec(const FileDef& def, std::uint32_t records,
                          const std::vector<std::uint32_t>& uniqueCounts) {
  std::size_t segmentCount = 0;
  for (const KeyDef& key : def.keys) segmentCount += key.segments.size();
  std::string out(kFileSpecSize + segmentCount * kKeySpecSize + (def.hasAcs ? kAcsSize : 0), '\0');
  Put16(out, 0, def.recordLength);
  Put16(out, 2, def.pageSize);
  Put16(out, 4, static_cast<int>(def.keys.size()));
  Put32(out, 6, records);
  Put16(out, 10, def.fileFlags);
  std::size_t at = kFileSpecSize;
  for (std::size_t k = 0; k < def.keys.size(); ++k) {
    std::uint32_t unique = k < uniqueCounts.size() ? uniqueCounts[k] : 0;
    for (const Segment& seg : def.keys[k].segments) {
      Put16(out, at, seg.offset + 1);
      Put16(out, at + 2, seg.length);
      Put16(out, at + 4, seg.flags);
      Put32(out, at + 6, unique);
      at += kKeySpecSize;
    }
  }
  if (def.hasAcs) {
    out[at] = static_cast<char>(0xAC);
    std::memcpy(&out[at + 1], def.acsName, 8);
    std::memcpy(&out[at + 9], def.acs, 256);
  }
  return out;
}

void RecordKey(const FileDef& def, int key, const unsigned char* record, std::string& out) {
  const KeyDef& kd = def.keys[key];
  out.resize(kd.length);
  std::size_t at = 0;
  for (const Segment& seg : kd.segments) {
    std::memcpy(&out[at], record + seg.offset, seg.length);
    at += seg.length;
  }
}

void ComparableKey(const FileDef& def, int key, const unsigned char* value, std::string& out) {
  const KeyDef& kd = def.keys[key];
  out.resize(kd.length);
  unsigned char* dst = reinterpret_cast<unsigned char*>(out.data());
  for (const Segment& seg : kd.segments) {
    const int n = seg.length;
    if (seg.flags & kKeyBinary) {
      for (int i = 0; i < n; ++i) dst[i] = value[n - 1 - i];
    } else if (seg.flags & kKeyAcs) {
      for (int i = 0; i < n; ++i) dst[i] = def.acs[value[i]];
    } else {
      std::memcpy(dst, value, n);
    }
    if (seg.flags & kKeyDescending) {
      for (int i = 0; i < n; ++i) dst[i] = static_cast<unsigned char>(0xFF - dst[i]);
    }
    dst += n;
    value += n;
  }
}

}  // namespace recman
