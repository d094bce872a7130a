// Keyed, sequential and direct reads into the caller's record buffer.
#include <algorithm>
#include <cstring>

#include "records/btr.h"
#include "records/open_file_table.h"

namespace records {

void BtrGetByKey(int fileNumber, int keyNumber, const std::string& key, int direction,
                 int& status) {
  int index = detail::FindEntry(fileNumber);
  if (index == 0) {
    status = 3;
    return;
  }
  int keyLength = 0;
  int recordLength = 0;
  BtrKeyInfo(fileNumber, keyNumber, keyLength, recordLength);
  if (keyLength == 0) {
    status = 1004;
    return;
  }
  detail::FileEntry& entry = detail::Entry(index);
  entry.keyNumber = keyNumber;
  std::string value = key;
  value.resize(static_cast<std::size_t>(keyLength), '\0');
  entry.keyValue = value;
  int operation = direction == 0 ? 5 : (direction > 0 ? 9 : 11);
  status = detail::BtrCall(index, operation);
  if (status == 22) status = 0;
}

void BtrMove(int fileNumber, int count, int& status) {
  int index = detail::FindEntry(fileNumber);
  if (index == 0) {
    status = 3;
    return;
  }
  detail::FileEntry& entry = detail::Entry(index);
  const int operation = count >= 0 ? 6 : 7;
  const long steps = count < 0 ? -static_cast<long>(count) : count;
  status = 0;
  // The records skipped on the way do not reach the caller's buffer.
  for (long i = 0; i < steps - 1 && status == 0; ++i) {
    unsigned char data[detail::kCallBufferSize] = {};
    unsigned char key[detail::kKeyBufferSize] = {};
    std::memcpy(key, entry.keyValue.data(), std::min<std::size_t>(entry.keyValue.size(), sizeof key));
    std::uint32_t length = detail::kCallBufferSize;
    status = recman::BTRCALL(operation, entry.positionBlock, data, &length, key,
                             detail::kKeyBufferSize, static_cast<std::int8_t>(entry.keyNumber));
    detail::TakeKeyValue(entry, key, detail::kKeyBufferSize);
    if (status == 22) status = 0;
  }
  if (status == 0 && count != 0) {
    status = detail::BtrCall(index, operation);
    if (status == 22) status = 0;
  }
}

std::int32_t BtrPosition(int fileNumber, std::int32_t position) {
  int index = detail::FindEntry(fileNumber);
  if (index == 0) return position == 0 ? 0 : 3;
  detail::FileEntry& entry = detail::Entry(index);
  unsigned char data[detail::kCallBufferSize] = {};
  unsigned char key[detail::kKeyBufferSize] = {};
  std::uint32_t length = detail::kCallBufferSize;
  if (position == 0) {
    int status = recman::BTRCALL(22, entry.positionBlock, data, &length, key, 0, 0);
    if (status != 0) return 0;
    std::uint32_t value = static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                          (static_cast<std::uint32_t>(data[2]) << 16) |
                          (static_cast<std::uint32_t>(data[3]) << 24);
    return static_cast<std::int32_t>(value);
  }
  std::uint32_t raw = static_cast<std::uint32_t>(position);
  for (int i = 0; i < 4; ++i) data[i] = static_cast<unsigned char>(raw >> (8 * i));
  std::memcpy(key, entry.keyValue.data(), std::min<std::size_t>(entry.keyValue.size(), sizeof key));
  int status = recman::BTRCALL(23, entry.positionBlock, data, &length, key, detail::kKeyBufferSize,
                               static_cast<std::int8_t>(entry.keyNumber));
  detail::TakeKeyValue(entry, key, detail::kKeyBufferSize);
  if (status == 22) status = 0;
  if (status == 0) detail::TakeRecord(entry, data, length);
  return status;
}

}  // namespace records
