#include "platform/recman/call_buffers.h"

#include <cstring>

#include "platform/recman/engine.h"

namespace recman {

int KeyCount(const RecordFile& rf) { return static_cast<int>(rf.def.keys.size()); }

std::uint32_t KeyRoom(const Call& c) { return c.key == nullptr ? 0 : c.keyLength; }

std::int16_t CheckRead(const Call& c, int op) {
  const RecordFile& rf = c.rf;
  const int key = c.keyNumber;
  if (op == kOpGetNext || op == kOpGetPrevious) {
    if (rf.state == kNoPosition) return kStatusBadPositioning;
    if (key != rf.keyNumber) return kStatusDifferentKey;
  } else if (key < 0 || key >= KeyCount(rf)) {
    return kStatusBadKeyNumber;
  }
  if (KeyRoom(c) < static_cast<std::uint32_t>(rf.def.keys[key].length)) return kStatusKeyBufferShort;
  return kStatusOk;
}

std::int16_t CheckDirect(const Call& c, std::uint32_t& position) {
  const RecordFile& rf = c.rf;
  const int key = c.keyNumber;
  if (key < 0 || key >= KeyCount(rf)) return kStatusBadKeyNumber;
  if (*c.dataLength < 4) return kStatusDataBufferShort;
  if (KeyRoom(c) < static_cast<std::uint32_t>(rf.def.keys[key].length)) return kStatusKeyBufferShort;
  position = 0;
  const unsigned char* d = static_cast<const unsigned char*>(c.data);
  for (int i = 3; i >= 0; --i) position = (position << 8) | d[i];
  return position == 0 ? kStatusBadAddress : kStatusOk;
}

std::int16_t CheckWrite(const Call& c, int op, bool busy) {
  const RecordFile& rf = c.rf;
  if (c.lock) return kStatusInvalidOp;
  if (rf.writeStatus != kStatusOk) return rf.writeStatus;
  if (busy) return kStatusFileLocked;
  if (op == kOpInsert && (c.keyNumber < 0 || c.keyNumber >= KeyCount(rf))) return kStatusBadKeyNumber;
  if (op != kOpInsert && rf.state != kOnRecord) return kStatusBadPositioning;
  if (op != kOpDelete && *c.dataLength < static_cast<std::uint32_t>(rf.def.recordLength)) {
    return kStatusDataBufferShort;
  }
  return kStatusOk;
}

std::int16_t CheckTransaction(const Call& c, int op) {
  if (c.lock) return kStatusInvalidOp;
  if (op != kOpBeginTransaction) return c.rf.inTransaction ? kStatusOk : kStatusNoTransaction;
  if (c.rf.inTransaction) return kStatusTransactionOpen;
  return c.rf.writeStatus;
}

std::int16_t DeliverRecord(Call& c, int key, std::int64_t rowid, const unsigned char* record,
                           std::uint32_t size, std::string_view comparable) {
  RecordFile& rf = c.rf;
  if (record == nullptr || size < static_cast<std::uint32_t>(rf.def.recordLength)) return kStatusIoError;
  std::int16_t status = kStatusOk;
  std::uint32_t n = size;
  if (n > *c.dataLength) {
    n = *c.dataLength;
    status = kStatusDataBufferShort;
  }
  if (n > 0) std::memcpy(c.data, record, n);
  *c.dataLength = n;
  RecordKey(rf.def, key, record, rf.scratch);
  std::memcpy(c.key, rf.scratch.data(), rf.scratch.size());
  rf.keyNumber = key;
  rf.state = kOnRecord;
  rf.rowid = rowid;
  rf.keyValue.assign(comparable);
  return status;
}

void ReturnWrittenKey(Call& c, int key, const unsigned char* record) {
  RecordFile& rf = c.rf;
  if (KeyRoom(c) < static_cast<std::uint32_t>(rf.def.keys[key].length)) return;
  RecordKey(rf.def, key, record, rf.scratch);
  std::memcpy(c.key, rf.scratch.data(), rf.scratch.size());
}

void RecordComparableKeys(RecordFile& rf, const unsigned char* record, std::vector<std::string>& out) {
  out.resize(rf.def.keys.size());
  for (int k = 0; k < KeyCount(rf); ++k) {
    RecordKey(rf.def, k, record, rf.scratch);
    ComparableKey(rf.def, k, reinterpret_cast<const unsigned char*>(rf.scratch.data()), out[k]);
  }
}

bool FixedKeysKept(const FileDef& def, const unsigned char* stored, const unsigned char* record) {
  for (const KeyDef& kd : def.keys) {
    if (kd.modifiable) continue;
    for (const Segment& seg : kd.segments) {
      if (std::memcmp(stored + seg.offset, record + seg.offset, seg.length) != 0) return false;
    }
  }
  return true;
}

std::int16_t GetPosition(Call& c) {
  RecordFile& rf = c.rf;
  if (rf.state != kOnRecord) return kStatusBadPositioning;
  if (*c.dataLength < 4) return kStatusDataBufferShort;
  unsigned char* d = static_cast<unsigned char*>(c.data);
  const std::uint64_t position = static_cast<std::uint64_t>(rf.rowid);
  for (int i = 0; i < 4; ++i) d[i] = static_cast<unsigned char>((position >> (8 * i)) & 0xFF);
  *c.dataLength = 4;
  return kStatusOk;
}

std::int16_t StatReply(Call& c) {
  RecordFile& rf = c.rf;
  const std::string reply = BuildFileSpec(rf.def, rf.records, rf.unique);
  std::uint32_t n = static_cast<std::uint32_t>(reply.size());
  std::int16_t result = kStatusOk;
  if (n > *c.dataLength) {
    n = *c.dataLength;
    result = kStatusDataBufferShort;
  }
  if (n > 0) std::memcpy(c.data, reply.data(), n);
  *c.dataLength = n;
  return result;
}

}  // namespace recman
