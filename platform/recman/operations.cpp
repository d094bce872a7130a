#include "platform/recman/operations.h"

#include <cstring>

#include "platform/recman/engine.h"

namespace recman {

namespace {

int KeyCount(const RecordFile& rf) { return static_cast<int>(rf.def.keys.size()); }

std::uint32_t KeyRoom(const Call& c) { return c.key == nullptr ? 0 : c.keyLength; }

void ReleaseRecordLock(RecordFile& rf) {
  if (rf.lockedRowid == 0) return;
  UnlockRecord(rf.lock, rf.lockedRowid);
  rf.lockedRowid = 0;
}

// After Insert or Update: the written record's value of `key`, in record
// form, into the key buffer when it has room for it.
void ReturnWrittenKey(Call& c, int key, const unsigned char* record) {
  RecordFile& rf = c.rf;
  if (KeyRoom(c) < static_cast<std::uint32_t>(rf.def.keys[key].length)) return;
  RecordKey(rf.def, key, record, rf.scratch);
  std::memcpy(c.key, rf.scratch.data(), rf.scratch.size());
}

// Hands the row the statement stands on to the caller: record into the data
// buffer, key in record form into the key buffer, position onto it.
std::int16_t Deliver(Call& c, sqlite3_stmt* st, int key) {
  RecordFile& rf = c.rf;
  const std::int64_t rowid = sqlite3_column_int64(st, 0);
  const unsigned char* record = static_cast<const unsigned char*>(sqlite3_column_blob(st, 1));
  const std::uint32_t size = static_cast<std::uint32_t>(sqlite3_column_bytes(st, 1));
  const void* comparable = sqlite3_column_blob(st, 2);
  const int comparableSize = sqlite3_column_bytes(st, 2);
  if (record == nullptr || size < static_cast<std::uint32_t>(rf.def.recordLength) || comparable == nullptr) {
    return kStatusIoError;
  }
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
  rf.keyValue.assign(static_cast<const char*>(comparable), static_cast<std::size_t>(comparableSize));
  return status;
}

// Steps `st` (bound by the caller), takes the record lock if asked and
// delivers the row. `notFound` is the status when there is no row.
std::int16_t Fetch(Call& c, sqlite3_stmt* st, int key, std::int16_t notFound) {
  RecordFile& rf = c.rf;
  int rc = sqlite3_step(st);
  if (rc == SQLITE_DONE) {
    sqlite3_reset(st);
    return notFound;
  }
  if (rc != SQLITE_ROW) {
    sqlite3_reset(st);
    return static_cast<std::int16_t>(SqliteStatus(rc));
  }
  if (c.lock) {
    const std::int64_t rowid = sqlite3_column_int64(st, 0);
    if (!LockRecord(rf.lock, rowid)) {
      sqlite3_reset(st);
      return kStatusRecordLocked;
    }
    rf.lockedRowid = rowid;
    // Read the record again now that it is ours: it may have changed
    // between the search and the lock.
    sqlite3_reset(st);
    st = QueryStatement(rf, key, kQueryRow);
    if (st == nullptr) return kStatusIoError;
    sqlite3_bind_int64(st, 1, rowid);
    rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
      sqlite3_reset(st);
      ReleaseRecordLock(rf);
      return rc == SQLITE_DONE ? notFound : static_cast<std::int16_t>(SqliteStatus(rc));
    }
  }
  std::int16_t status = Deliver(c, st, key);
  sqlite3_reset(st);
  return status;
}

// Comparable forms of every key of a record, into rf.keyParts.
void RecordComparableKeys(RecordFile& rf, const unsigned char* record, std::vector<std::string>& out) {
  out.resize(rf.def.keys.size());
  for (int k = 0; k < KeyCount(rf); ++k) {
    RecordKey(rf.def, k, record, rf.scratch);
    ComparableKey(rf.def, k, reinterpret_cast<const unsigned char*>(rf.scratch.data()), out[k]);
  }
}

std::int16_t CheckWritable(Call& c) {
  if (c.lock) return kStatusInvalidOp;
  if (c.rf.writeStatus != kStatusOk) return c.rf.writeStatus;
  if (FileLockedByOther(c.rf.lock)) return kStatusFileLocked;
  if (!c.rf.inTransaction && TransactionsInProcess(c.rf.lock) > 0) return kStatusFileLocked;
  EnsureCounts(c.rf);
  return kStatusOk;
}

std::int16_t StepWrite(sqlite3_stmt* st) {
  int rc = sqlite3_step(st);
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  if (rc == SQLITE_DONE) return kStatusOk;
  return static_cast<std::int16_t>(SqliteStatus(rc));
}

bool BindKeys(sqlite3_stmt* st, const std::vector<std::string>& keys) {
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (sqlite3_bind_blob(st, static_cast<int>(k) + 2, keys[k].data(), static_cast<int>(keys[k].size()),
                          SQLITE_STATIC) != SQLITE_OK) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::int16_t Read(Call& c, int op) {
  RecordFile& rf = c.rf;
  int key = c.keyNumber;
  const bool moving = (op == kOpGetNext || op == kOpGetPrevious);
  if (moving) {
    if (rf.state == kNoPosition) return kStatusBadPositioning;
    if (key != rf.keyNumber) return kStatusDifferentKey;
  } else if (key < 0 || key >= KeyCount(rf)) {
    return kStatusBadKeyNumber;
  }
  const KeyDef& kd = rf.def.keys[key];
  if (KeyRoom(c) < static_cast<std::uint32_t>(kd.length)) return kStatusKeyBufferShort;
  if (FileLockedByOther(rf.lock)) return kStatusFileLocked;
  ReleaseRecordLock(rf);

  if (moving) {
    const bool next = (op == kOpGetNext);
    if (kd.duplicates) {
      sqlite3_stmt* same = QueryStatement(rf, key, next ? kQueryNextSame : kQueryPreviousSame);
      if (same == nullptr) return kStatusIoError;
      sqlite3_bind_blob(same, 1, rf.keyValue.data(), static_cast<int>(rf.keyValue.size()), SQLITE_STATIC);
      sqlite3_bind_int64(same, 2, rf.rowid);
      std::int16_t status = Fetch(c, same, key, -1);
      if (status != -1) return status;
    }
    sqlite3_stmt* st = QueryStatement(rf, key, next ? kQueryNext : kQueryPrevious);
    if (st == nullptr) return kStatusIoError;
    sqlite3_bind_blob(st, 1, rf.keyValue.data(), static_cast<int>(rf.keyValue.size()), SQLITE_STATIC);
    return Fetch(c, st, key, kStatusEndOfFile);
  }

  Query q = kQueryFirst;
  std::int16_t notFound = kStatusEndOfFile;
  switch (op) {
    case kOpGetEqual: q = kQueryEqual; notFound = kStatusKeyNotFound; break;
    case kOpGetGreater: q = kQueryGreater; break;
    case kOpGetGreaterOrEqual: q = kQueryGreaterOrEqual; break;
    case kOpGetLessThan: q = kQueryLess; break;
    case kOpGetLessOrEqual: q = kQueryLessOrEqual; break;
    case kOpGetFirst: q = kQueryFirst; break;
    default: q = kQueryLast; break;
  }
  sqlite3_stmt* st = QueryStatement(rf, key, q);
  if (st == nullptr) return kStatusIoError;
  if (q != kQueryFirst && q != kQueryLast) {
    ComparableKey(rf.def, key, c.key, rf.scratch2);
    sqlite3_bind_blob(st, 1, rf.scratch2.data(), static_cast<int>(rf.scratch2.size()), SQLITE_STATIC);
  }
  return Fetch(c, st, key, notFound);
}

std::int16_t GetDirect(Call& c) {
  RecordFile& rf = c.rf;
  const int key = c.keyNumber;
  if (key < 0 || key >= KeyCount(rf)) return kStatusBadKeyNumber;
  if (*c.dataLength < 4) return kStatusDataBufferShort;
  if (KeyRoom(c) < static_cast<std::uint32_t>(rf.def.keys[key].length)) return kStatusKeyBufferShort;
  std::uint32_t position = 0;
  const unsigned char* d = static_cast<const unsigned char*>(c.data);
  for (int i = 3; i >= 0; --i) position = (position << 8) | d[i];
  if (position == 0) return kStatusBadAddress;
  if (FileLockedByOther(rf.lock)) return kStatusFileLocked;
  ReleaseRecordLock(rf);
  sqlite3_stmt* st = QueryStatement(rf, key, kQueryRow);
  if (st == nullptr) return kStatusIoError;
  sqlite3_bind_int64(st, 1, position);
  return Fetch(c, st, key, kStatusBadAddress);
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

std::int16_t Insert(Call& c) {
  RecordFile& rf = c.rf;
  std::int16_t status = CheckWritable(c);
  if (status != kStatusOk) return status;
  const int key = c.keyNumber;
  if (key < 0 || key >= KeyCount(rf)) return kStatusBadKeyNumber;
  const std::uint32_t length = static_cast<std::uint32_t>(rf.def.recordLength);
  if (*c.dataLength < length) return kStatusDataBufferShort;
  const unsigned char* record = static_cast<const unsigned char*>(c.data);
  std::vector<std::string> keys;
  RecordComparableKeys(rf, record, keys);
  sqlite3_stmt* st = WriteStatement(rf, 0);
  if (st == nullptr) return kStatusIoError;
  if (sqlite3_bind_blob(st, 1, record, static_cast<int>(length), SQLITE_STATIC) != SQLITE_OK ||
      !BindKeys(st, keys)) {
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return kStatusIoError;
  }
  status = StepWrite(st);
  if (status != kStatusOk) return status;
  rf.keyNumber = key;
  rf.state = kOnRecord;
  rf.rowid = sqlite3_last_insert_rowid(rf.db);
  rf.keyValue = keys[key];
  *c.dataLength = length;
  ReturnWrittenKey(c, key, record);
  return kStatusOk;
}

std::int16_t Update(Call& c) {
  RecordFile& rf = c.rf;
  std::int16_t status = CheckWritable(c);
  if (status != kStatusOk) return status;
  if (rf.state != kOnRecord) return kStatusBadPositioning;
  const std::uint32_t length = static_cast<std::uint32_t>(rf.def.recordLength);
  if (*c.dataLength < length) return kStatusDataBufferShort;
  if (RecordLockedByOther(rf.lock, rf.rowid)) return kStatusRecordLocked;

  // The stored record, to check keys that may not change.
  sqlite3_stmt* row = QueryStatement(rf, 0, kQueryRow);
  if (row == nullptr) return kStatusIoError;
  sqlite3_bind_int64(row, 1, rf.rowid);
  int rc = sqlite3_step(row);
  if (rc != SQLITE_ROW) {
    sqlite3_reset(row);
    return rc == SQLITE_DONE ? kStatusBadPositioning : static_cast<std::int16_t>(SqliteStatus(rc));
  }
  const unsigned char* old = static_cast<const unsigned char*>(sqlite3_column_blob(row, 1));
  const unsigned char* record = static_cast<const unsigned char*>(c.data);
  if (old == nullptr || static_cast<std::uint32_t>(sqlite3_column_bytes(row, 1)) < length) {
    sqlite3_reset(row);
    return kStatusIoError;
  }
  for (const KeyDef& kd : rf.def.keys) {
    if (kd.modifiable) continue;
    for (const Segment& seg : kd.segments) {
      if (std::memcmp(old + seg.offset, record + seg.offset, seg.length) != 0) {
        sqlite3_reset(row);
        return kStatusNotModifiable;
      }
    }
  }
  sqlite3_reset(row);

  std::vector<std::string> keys;
  RecordComparableKeys(rf, record, keys);
  sqlite3_stmt* st = WriteStatement(rf, 1);
  if (st == nullptr) return kStatusIoError;
  if (sqlite3_bind_blob(st, 1, record, static_cast<int>(length), SQLITE_STATIC) != SQLITE_OK ||
      !BindKeys(st, keys) ||
      sqlite3_bind_int64(st, static_cast<int>(keys.size()) + 2, rf.rowid) != SQLITE_OK) {
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return kStatusIoError;
  }
  status = StepWrite(st);
  if (status != kStatusOk) return status;
  if (rf.lockedRowid == rf.rowid) ReleaseRecordLock(rf);
  rf.keyValue = keys[rf.keyNumber];
  ReturnWrittenKey(c, rf.keyNumber, record);
  return kStatusOk;
}

std::int16_t Delete(Call& c) {
  RecordFile& rf = c.rf;
  std::int16_t status = CheckWritable(c);
  if (status != kStatusOk) return status;
  if (rf.state != kOnRecord) return kStatusBadPositioning;
  if (RecordLockedByOther(rf.lock, rf.rowid)) return kStatusRecordLocked;
  sqlite3_stmt* st = WriteStatement(rf, 2);
  if (st == nullptr) return kStatusIoError;
  sqlite3_bind_int64(st, 1, rf.rowid);
  status = StepWrite(st);
  if (status != kStatusOk) return status;
  if (sqlite3_changes(rf.db) == 0) return kStatusBadPositioning;
  if (rf.lockedRowid == rf.rowid) ReleaseRecordLock(rf);
  rf.state = kAfterDelete;
  return kStatusOk;
}

std::int16_t Stat(Call& c) {
  RecordFile& rf = c.rf;
  if (c.lock) return kStatusInvalidOp;
  int status = StatCounts(rf);
  if (status != kStatusOk) return static_cast<std::int16_t>(status);
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

std::int16_t Transaction(Call& c, int op) {
  RecordFile& rf = c.rf;
  if (c.lock) return kStatusInvalidOp;
  if (op == kOpBeginTransaction) {
    if (rf.inTransaction) return kStatusTransactionOpen;
    if (rf.writeStatus != kStatusOk) return rf.writeStatus;
    if (FileLockedByOther(rf.lock) || TransactionsInProcess(rf.lock) > 0) return kStatusFileLocked;
    int rc = sqlite3_exec(rf.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return static_cast<std::int16_t>(SqliteStatus(rc));
    rf.inTransaction = true;
    CountTransaction(rf.lock, 1);
    return kStatusOk;
  }
  if (!rf.inTransaction) return kStatusNoTransaction;
  int rc = sqlite3_exec(rf.db, op == kOpEndTransaction ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    // A commit that cannot finish is rolled back: the file stays as it was.
    if (op == kOpEndTransaction) sqlite3_exec(rf.db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (sqlite3_get_autocommit(rf.db) != 0) {
      rf.inTransaction = false;
      CountTransaction(rf.lock, -1);
    }
    rf.state = kNoPosition;
    return static_cast<std::int16_t>(SqliteStatus(rc));
  }
  rf.inTransaction = false;
  CountTransaction(rf.lock, -1);
  if (op == kOpAbortTransaction) rf.state = kNoPosition;
  return kStatusOk;
}

}  // namespace recman
