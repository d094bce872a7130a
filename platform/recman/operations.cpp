#include "platform/recman/operations.h"

#include <cstring>

#include "platform/recman/call_buffers.h"
#include "platform/recman/engine.h"

namespace recman {

namespace {

void ReleaseRecordLock(RecordFile& rf) {
  if (rf.lockedRowid == 0) return;
  UnlockRecord(rf.lock, rf.lockedRowid);
  rf.lockedRowid = 0;
}

// Hands the row the statement stands on to the caller: record into the data
// buffer, key in record form into the key buffer, position onto it.
std::int16_t Deliver(Call& c, sqlite3_stmt* st, int key) {
  const void* comparable = sqlite3_column_blob(st, 2);
  if (comparable == nullptr) return kStatusIoError;
  return DeliverRecord(c, key, sqlite3_column_int64(st, 0),
                       static_cast<const unsigned char*>(sqlite3_column_blob(st, 1)),
                       static_cast<std::uint32_t>(sqlite3_column_bytes(st, 1)),
                       {static_cast<const char*>(comparable), static_cast<std::size_t>(sqlite3_column_bytes(st, 2))});
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

std::int16_t CheckWritable(Call& c, int op) {
  const bool busy = FileLockedByOther(c.rf.lock) || (!c.rf.inTransaction && TransactionsInProcess(c.rf.lock) > 0);
  const std::int16_t status = CheckWrite(c, op, busy);
  if (status == kStatusOk) EnsureCounts(c.rf);
  return status;
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
  std::int16_t checked = CheckRead(c, op);
  if (checked != kStatusOk) return checked;
  const KeyDef& kd = rf.def.keys[key];
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
  std::uint32_t position = 0;
  std::int16_t checked = CheckDirect(c, position);
  if (checked != kStatusOk) return checked;
  if (FileLockedByOther(rf.lock)) return kStatusFileLocked;
  ReleaseRecordLock(rf);
  sqlite3_stmt* st = QueryStatement(rf, key, kQueryRow);
  if (st == nullptr) return kStatusIoError;
  sqlite3_bind_int64(st, 1, position);
  return Fetch(c, st, key, kStatusBadAddress);
}

std::int16_t Insert(Call& c) {
  RecordFile& rf = c.rf;
  std::int16_t status = CheckWritable(c, kOpInsert);
  if (status != kStatusOk) return status;
  const int key = c.keyNumber;
  const std::uint32_t length = static_cast<std::uint32_t>(rf.def.recordLength);
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
  std::int16_t status = CheckWritable(c, kOpUpdate);
  if (status != kStatusOk) return status;
  const std::uint32_t length = static_cast<std::uint32_t>(rf.def.recordLength);
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
  const bool kept = FixedKeysKept(rf.def, old, record);
  sqlite3_reset(row);
  if (!kept) return kStatusNotModifiable;

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
  std::int16_t status = CheckWritable(c, kOpDelete);
  if (status != kStatusOk) return status;
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
  return StatReply(c);
}

std::int16_t Transaction(Call& c, int op) {
  RecordFile& rf = c.rf;
  std::int16_t checked = CheckTransaction(c, op);
  if (checked != kStatusOk) return checked;
  if (op == kOpBeginTransaction) {
    if (FileLockedByOther(rf.lock) || TransactionsInProcess(rf.lock) > 0) return kStatusFileLocked;
    int rc = sqlite3_exec(rf.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return static_cast<std::int16_t>(SqliteStatus(rc));
    rf.inTransaction = true;
    CountTransaction(rf.lock, 1);
    return kStatusOk;
  }
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
