#include "tests/fuzz/recman_support.h"

#include <algorithm>
#include <cstring>

#include "tests/fuzz/fuzz_support.h"

namespace fuzz {
namespace {

void CheckStatus(int status) {
  using namespace recman;
  static const int kKnown[] = {
      kStatusOk, kStatusInvalidOp, kStatusIoError, kStatusNotOpen, kStatusKeyNotFound, kStatusDuplicate,
      kStatusBadKeyNumber, kStatusDifferentKey, kStatusBadPositioning, kStatusEndOfFile, kStatusNotModifiable,
      kStatusBadFileName, kStatusFileNotFound, kStatusDiskFull, kStatusKeyBufferShort, kStatusDataBufferShort,
      kStatusPageSize, kStatusKeyCount, kStatusKeyPosition, kStatusRecordLength, kStatusKeyLength,
      kStatusNotRecordFile, kStatusTransactionOpen, kStatusNoTransaction, kStatusBadAddress, kStatusReadOnly,
      kStatusAcs, kStatusFileExists, kStatusRecordLocked, kStatusFileLocked, kStatusPermission};
  Check(std::find(std::begin(kKnown), std::end(kKnown), status) != std::end(kKnown), "a status the engine does not document");
}

}  // namespace

int Call(Handle& h, int op, int keyNumber) {
  std::uint32_t length = static_cast<std::uint32_t>(h.data.size());
  std::vector<unsigned char> buffer(h.data.begin(), h.data.end());
  buffer.resize(std::max<std::size_t>(buffer.size(), 1));
  const int status = recman::BTRCALL(op, h.pos, buffer.data(), &length, h.key.data(),
                                     static_cast<std::uint8_t>(h.key.size()), static_cast<std::int8_t>(keyNumber));
  CheckStatus(status);
  Check(length <= h.data.size(), "more data returned than the buffer holds");
  h.data.assign(reinterpret_cast<const char*>(buffer.data()), length);
  return status;
}

int OpenFile(Handle& h, const std::string& path, int mode) {
  std::memset(h.pos, 0, sizeof h.pos);
  h.key.assign(255, '\0');
  h.key.replace(0, path.size(), path);
  h.data.clear();
  const int status = Call(h, recman::kOpOpen, mode);
  h.key.assign(255, '\0');
  return status;
}

int CreateFile(const std::string& path, const std::string& definition) {
  Handle h;
  h.key.replace(0, path.size(), path);
  h.data = definition;
  return Call(h, recman::kOpCreate, -1);
}

}  // namespace fuzz
