// Key lengths from the Stat reply and keys in comparable form.
#include <algorithm>

#include "records/btr.h"
#include "records/open_file_table.h"

namespace records {
namespace {

constexpr std::size_t kFirstSpec = 16;
constexpr std::size_t kSpecSize = 16;
constexpr int kContinues = 0x0010;
constexpr int kBinary = 0x0004;
constexpr int kAlternate = 0x0020;

int SpecFlags(const std::string& reply, std::size_t at) { return detail::Get16(reply, at + 4); }
int SpecLength(const std::string& reply, std::size_t at) {
  return detail::Get16(reply, at + 2) & 0xFFFF;
}

// Offset of the first definition of key `keyNumber` and, through `end`,
// the offset after the last definition of all keys.
std::size_t KeyStart(const std::string& reply, int keyCount, int keyNumber, std::size_t* end) {
  std::size_t at = kFirstSpec;
  std::size_t start = 0;
  for (int k = 0; k < keyCount; ++k) {
    if (k == keyNumber) start = at;
    for (;;) {
      if (at + kSpecSize > reply.size()) {
        if (end) *end = reply.size();
        return start;
      }
      int flags = SpecFlags(reply, at);
      at += kSpecSize;
      if (!(flags & kContinues)) break;
    }
  }
  if (end) *end = at;
  return start;
}

}  // namespace

void BtrKeyInfo(int fileNumber, int keyNumber, int& keyLength, int& recordLength) {
  keyLength = 0;
  recordLength = 0;
  int index = detail::FindEntry(fileNumber);
  if (index == 0) return;
  detail::StatInfo info = detail::StatFile(detail::Entry(index));
  recordLength = info.recordLength;
  if (keyNumber < 0 || keyNumber >= info.keyCount) return;
  const std::string& reply = info.reply;
  std::size_t at = kFirstSpec;
  for (int k = 0; k <= keyNumber; ++k) {
    int length = 0;
    for (;;) {
      if (at + kSpecSize > reply.size()) {
        keyLength = 0;
        return;
      }
      length += SpecLength(reply, at);
      int flags = SpecFlags(reply, at);
      at += kSpecSize;
      if (!(flags & kContinues)) break;
    }
    keyLength = length;
  }
}

std::string BtrComparableKey(const std::string& key, int fileNumber) {
  int index = detail::FindEntry(fileNumber);
  if (index == 0) return key;
  detail::FileEntry& entry = detail::Entry(index);
  detail::StatInfo info = detail::StatFile(entry);
  const std::string& reply = info.reply;
  if (entry.keyNumber < 0 || entry.keyNumber >= info.keyCount) return key;

  std::size_t sequenceAt = 0;
  std::size_t at = KeyStart(reply, info.keyCount, entry.keyNumber, &sequenceAt);
  const std::size_t tableAt = sequenceAt + 9;  // signature byte and 8-byte name
  const bool haveTable = tableAt + 256 <= reply.size();

  std::string value = key;
  std::size_t segmentStart = 0;  // 0-based position of the segment in the value
  for (;;) {
    if (at == 0 || at + kSpecSize > reply.size()) break;
    std::size_t length = static_cast<std::size_t>(SpecLength(reply, at));
    int flags = SpecFlags(reply, at);
    std::size_t segmentEnd = segmentStart + length;
    if (flags & kBinary) {
      if (value.size() < segmentEnd) value.resize(segmentEnd, '\0');
      std::reverse(value.begin() + static_cast<std::ptrdiff_t>(segmentStart),
                   value.begin() + static_cast<std::ptrdiff_t>(segmentEnd));
    } else if ((flags & kAlternate) && haveTable) {
      for (std::size_t i = segmentStart; i < segmentEnd && i < value.size(); ++i) {
        value[i] = reply[tableAt + static_cast<unsigned char>(value[i])];
      }
    }
    segmentStart = segmentEnd;
    at += kSpecSize;
    if (!(flags & kContinues)) break;
  }
  return value;
}

std::string BtrCurrentKey(int fileNumber) {
  int index = detail::FindEntry(fileNumber);
  if (index == 0) return "";
  return BtrComparableKey(detail::Entry(index).keyValue, fileNumber);
}

}  // namespace records
