// The operations on files opened on the server (pg_engine.h).
#include <algorithm>
#include <cstring>

#include "platform/recman/call_buffers.h"
#include "platform/recman/engine.h"
#include "platform/recman/pg_engine.h"
#include "platform/recman/pg_link.h"
#include "platform/recman/pg_table.h"

namespace recman {

namespace {

// Read-ahead: rows older than this are not served (pg_engine.h).
constexpr auto kReadAheadAge = std::chrono::milliseconds(50);
constexpr std::size_t kFirstBatch = 8;
constexpr std::size_t kMaxBatch = 512;
// Stat: how long counts may lag behind other connections' changes.
constexpr auto kRecountAfter = std::chrono::seconds(1);

std::vector<RecordFile*> g_inTransaction;  // files in the server transaction
std::uint64_t g_lockLink = 0;              // the main link this process's locks are on

PgFile& Of(RecordFile& rf) { return *rf.server; }
PgTable& TableOf(RecordFile& rf) { return *rf.server->table; }

// Counts the changes that other connections announced.
void Refresh() {
  std::vector<std::string> names;
  TakeNotifications(names);
  for (const std::string& name : names) {
    auto it = Tables().find(name);
    if (it != Tables().end()) ++it->second->changes;
  }
}

// The main link when the file was opened on it and it still works.
PgLink* FileMainLink(RecordFile& rf, std::int16_t& status) {
  PgLink& link = CurrentMainLink();
  if (link.conn == nullptr || link.broken || link.generation != Of(rf).link) {
    status = kStatusIoError;
    return nullptr;
  }
  return &link;
}

// Where the file's reads and writes go: the transaction's link inside one.
PgLink* FileLink(RecordFile& rf, std::int16_t& status) {
  PgLink* main = FileMainLink(rf, status);
  if (main == nullptr || !rf.inTransaction) return main;
  PgLink& tx = CurrentTransactionLink();
  if (tx.failed != 0) {
    status = tx.failed;
    return nullptr;
  }
  return &tx;
}

bool IsMain(const PgLink* link) { return link == &CurrentMainLink(); }

// The main link for a new file or lock. Locks held on a connection that was
// lost went with it: when a new one is made, this process holds none.
bool Connected(PgLink*& link) {
  if (!MainLink(link)) return false;
  if (link->generation != g_lockLink) {
    g_lockLink = link->generation;
    for (auto& entry : Tables()) {
      entry.second->exclusive = 0;
      entry.second->lockedByCall = false;
      entry.second->recordLocks.clear();
    }
  }
  return true;
}

// A failure inside the server transaction ends it on the server: remember
// why, for the operations that follow and for End.
std::int16_t Failed(PgLink* link, std::int16_t status) {
  if (link != nullptr && !IsMain(link) && link->files > 0 && link->failed == 0) link->failed = status;
  return status;
}

void DropAhead(PgFile& f) {
  f.ahead.rows.clear();
  f.ahead.next = 0;
  f.ahead.op = 0;
  f.ahead.size = 0;
}

// Rows to ask for on the next move: more while a scan uses up what it read,
// fewer when rows had to be dropped unread.
std::size_t BatchSize(const PgFile& f, int op, int key) {
  const PgReadAhead& a = f.ahead;
  if (a.op != op || a.key != key || a.size == 0) return kFirstBatch;
  if (a.next >= a.rows.size()) return std::min(a.size * 4, kMaxBatch);
  return std::max(kFirstBatch, a.next * 2);
}

void NoteLocalChange(PgTable& t) {
  ++t.changes;
  ++t.ownChanges;
}

bool HoldsRecord(const PgTable& t, std::int64_t id) { return t.recordLocks.count(id) > 0; }

void ForgetRecordLock(PgTable& t, std::int64_t id) {
  auto it = t.recordLocks.find(id);
  if (it != t.recordLocks.end() && --it->second == 0) t.recordLocks.erase(it);
}

// Releases the file's record lock now (one call on the main link).
void ReleaseRecordLock(RecordFile& rf) {
  const std::int64_t id = rf.lockedRowid;
  if (id == 0) return;
  rf.lockedRowid = 0;
  PgTable& t = TableOf(rf);
  ForgetRecordLock(t, id);
  std::int16_t status = 0;
  PgLink* main = FileMainLink(rf, status);
  if (main == nullptr) return;
  PgParams p;
  p.Int4(t.lockKey);
  p.Int4(static_cast<std::int32_t>(id));
  RunCommand(*main, "SELECT pg_advisory_unlock($1, $2)", p, status);
}

bool TakeFileLock(PgTable& t) {
  if (t.exclusive == 0) {
    PgLink* main = nullptr;
    if (!Connected(main)) return false;
    PgParams p;
    p.Int4(t.lockKey);
    std::int16_t status = 0;
    PgResult r = RunParams(*main, "SELECT pg_try_advisory_lock($1, 0)", p, status);
    if (r == nullptr || !FieldBool(r.get(), 0, 0)) return false;
    // Readers elsewhere drop what they read ahead and meet the lock.
    PgParams n;
    n.Text(t.qualified);
    RunCommand(*main, "SELECT pg_notify('recman', $1)", n, status);
  }
  ++t.exclusive;
  return true;
}

void DropFileLock(PgTable& t) {
  if (t.exclusive == 0 || --t.exclusive > 0) return;
  PgLink& main = CurrentMainLink();
  if (main.conn == nullptr || main.broken) return;
  PgParams p;
  p.Int4(t.lockKey);
  std::int16_t status = 0;
  RunCommand(main, "SELECT pg_advisory_unlock($1, 0)", p, status);
}

PgParams ReadParams(const PgTable& t, std::int32_t release, std::string_view key, std::int64_t id, std::size_t rows) {
  PgParams p;
  p.Bool(t.exclusive > 0);
  p.Int4(t.lockKey);
  p.Int4(release);
  p.Bytes(key);
  p.Int8(id);
  p.Int4(static_cast<std::int32_t>(rows));
  return p;
}

// Result columns of a read: ok, released, id, data, key[, locked].
constexpr int kColOk = 0, kColId = 2, kColData = 3, kColKey = 4, kColLocked = 5;

std::int16_t DeliverRow(Call& c, int key, const PGresult* r, int row) {
  const std::string_view data = FieldBytes(r, row, kColData);
  return DeliverRecord(c, key, FieldInt8(r, row, kColId), reinterpret_cast<const unsigned char*>(data.data()),
                       static_cast<std::uint32_t>(data.size()), FieldBytes(r, row, kColKey));
}

// Runs read `q` on key `key` from (keyValue, id) and hands the first row to
// the caller. A locked read takes the record lock on the main link and reads
// the record again once it is held (it may have changed in between); a move
// without lock keeps the further rows for the moves that follow.
std::int16_t Find(Call& c, int op, PgRead q, std::string_view keyValue, std::int64_t id, std::int16_t notFound) {
  RecordFile& rf = c.rf;
  PgFile& f = Of(rf);
  PgTable& t = TableOf(rf);
  const int key = c.keyNumber;
  const bool move = (q == kPgNext || q == kPgPrevious);
  const std::size_t rows = (move && !c.lock) ? BatchSize(f, op, key) : 1;
  DropAhead(f);
  std::int16_t status = kStatusOk;
  PgLink* link = FileLink(rf, status);
  if (link == nullptr) return status;
  // The record lock goes with this read: inside the statement on the main
  // link, at once otherwise.
  std::int32_t release = 0;
  if (rf.lockedRowid != 0) {
    if (IsMain(link)) {
      release = static_cast<std::int32_t>(rf.lockedRowid);
      ForgetRecordLock(t, rf.lockedRowid);
      rf.lockedRowid = 0;
    } else {
      ReleaseRecordLock(rf);
    }
  }
  const bool lockHere = c.lock && IsMain(link);
  // Announcements that came before this read concern what it reads anyway;
  // those that come with it or later drop its rows.
  if (move) Refresh();
  const auto asked = std::chrono::steady_clock::now();  // the rows are at least this recent
  PgResult r = RunPrepared(*link, ReadName(t, key, q, lockHere), ReadSql(t, key, q, lockHere),
                           ReadParams(t, release, keyValue, id, rows), status);
  if (r == nullptr) return Failed(link, status);
  if (PQntuples(r.get()) < 1 || !FieldBool(r.get(), 0, kColOk)) return kStatusFileLocked;
  if (FieldNull(r.get(), 0, kColId)) return notFound;
  if (c.lock) {
    const std::int64_t found = FieldInt8(r.get(), 0, kColId);
    bool locked = lockHere && FieldBool(r.get(), 0, kColLocked);
    if (!lockHere) {
      PgLink* main = FileMainLink(rf, status);
      if (main == nullptr) return status;
      PgParams p;
      p.Int4(t.lockKey);
      p.Int4(static_cast<std::int32_t>(found));
      PgResult l = RunParams(*main, "SELECT pg_try_advisory_lock($1, $2)", p, status);
      if (l == nullptr) return status;
      locked = FieldBool(l.get(), 0, 0);
    }
    if (!locked) return kStatusRecordLocked;
    ++t.recordLocks[found];
    rf.lockedRowid = found;
    r = RunPrepared(*link, ReadName(t, key, kPgRow, false), ReadSql(t, key, kPgRow, false),
                    ReadParams(t, 0, {}, found, 1), status);
    if (r == nullptr || PQntuples(r.get()) < 1 || FieldNull(r.get(), 0, kColId)) {
      ReleaseRecordLock(rf);
      return r == nullptr ? Failed(link, status) : notFound;
    }
  }
  status = DeliverRow(c, key, r.get(), 0);
  if (move && !c.lock) {
    PgReadAhead& a = f.ahead;
    const int n = PQntuples(r.get());
    for (int i = 1; i < n; ++i) {
      const std::string_view data = FieldBytes(r.get(), i, kColData);
      const std::string_view k = FieldBytes(r.get(), i, kColKey);
      a.rows.push_back(PgRow{FieldInt8(r.get(), i, kColId), std::string(data), std::string(k)});
    }
    a.next = 0;
    a.op = op;
    a.key = key;
    a.size = rows;
    a.changes = t.changes;
    a.readAt = asked;
  }
  return status;
}

// Serves a move from the rows read ahead when they are still good: same
// direction and key, no change of the table known since they were read
// (ours or announced), not older than kReadAheadAge.
bool ServeAhead(Call& c, int op, std::int16_t& status) {
  RecordFile& rf = c.rf;
  PgFile& f = Of(rf);
  PgReadAhead& a = f.ahead;
  if (a.next >= a.rows.size() || a.op != op || a.key != c.keyNumber || rf.lockedRowid != 0) return false;
  if (std::chrono::steady_clock::now() - a.readAt > kReadAheadAge) return false;
  Refresh();
  if (TableOf(rf).changes != a.changes) return false;
  const PgRow& row = a.rows[a.next++];
  status = DeliverRecord(c, c.keyNumber, row.id, reinterpret_cast<const unsigned char*>(row.data.data()),
                         static_cast<std::uint32_t>(row.data.size()), row.key);
  return true;
}

// Takes every file out of the server transaction (rolled back or committed).
void EndTransactionOfAll(bool rolledBack) {
  for (RecordFile* rf : g_inTransaction) {
    rf->inTransaction = false;
    PgTable& t = TableOf(*rf);
    if (t.transactions > 0) --t.transactions;
    NoteLocalChange(t);
    DropAhead(Of(*rf));
    if (rolledBack) rf->state = kNoPosition;
  }
  g_inTransaction.clear();
  PgLink& tx = CurrentTransactionLink();
  tx.files = 0;
  tx.failed = 0;
}

std::int16_t RollBack() {
  PgLink& tx = CurrentTransactionLink();
  std::int16_t status = kStatusOk;
  if (tx.conn != nullptr && !tx.broken) RunText(tx, "ROLLBACK", status);
  EndTransactionOfAll(true);
  return status;
}

void KeysOf(RecordFile& rf, const unsigned char* record, std::vector<std::string>& keys, PgParams& p) {
  RecordComparableKeys(rf, record, keys);
  for (const std::string& k : keys) p.Bytes(k);
}

// Runs Insert, Update or Delete of the call's record (the current one for
// Update and Delete) after their checks; `keys` receives the comparable keys
// of the record written. For Update and Delete the file and record lock
// tests have passed when it returns 0.
std::int16_t RunWrite(Call& c, int op, std::vector<std::string>& keys, PgResult& r) {
  RecordFile& rf = c.rf;
  PgTable& t = TableOf(rf);
  std::int16_t status = CheckWrite(c, op, !rf.inTransaction && t.transactions > 0);
  if (status != kStatusOk) return status;
  DropAhead(Of(rf));
  PgLink* link = FileLink(rf, status);
  if (link == nullptr) return status;
  PgParams p;
  p.Bool(t.exclusive > 0);
  p.Int4(t.lockKey);
  if (op != kOpInsert) {
    p.Bool(HoldsRecord(t, rf.rowid));
    p.Int8(rf.rowid);
  }
  if (op != kOpDelete) {
    p.Bytes({static_cast<const char*>(c.data), static_cast<std::size_t>(rf.def.recordLength)});
    KeysOf(rf, static_cast<const unsigned char*>(c.data), keys, p);
  }
  if (op == kOpInsert) r = RunPrepared(*link, "i" + t.tag, InsertSql(t), p, status);
  else if (op == kOpUpdate) r = RunPrepared(*link, "u" + t.tag, UpdateSql(t), p, status);
  else r = RunPrepared(*link, "d" + t.tag, DeleteSql(t), p, status);
  if (r == nullptr) return Failed(link, status);
  if (op == kOpInsert) return kStatusOk;
  if (!FieldBool(r.get(), 0, 0)) return kStatusFileLocked;
  if (!FieldBool(r.get(), 0, 1)) return kStatusRecordLocked;
  return kStatusOk;
}

// Update or Delete of the current record.
std::int16_t Change(Call& c, int op) {
  RecordFile& rf = c.rf;
  std::vector<std::string> keys;
  PgResult r(nullptr, PQclear);
  std::int16_t status = RunWrite(c, op, keys, r);
  if (status != kStatusOk) return status;
  if (op == kOpUpdate) {
    if (FieldNull(r.get(), 0, 2)) return kStatusBadPositioning;  // gone meanwhile
    if (!FieldBool(r.get(), 0, 2)) return kStatusNotModifiable;
    if (FieldBool(r.get(), 0, 3)) return kStatusDuplicate;
  }
  if (FieldInt8(r.get(), 0, op == kOpUpdate ? 4 : 2) == 0) return kStatusBadPositioning;
  NoteLocalChange(TableOf(rf));
  if (rf.lockedRowid == rf.rowid) ReleaseRecordLock(rf);
  if (op == kOpDelete) {
    rf.state = kAfterDelete;
    return kStatusOk;
  }
  rf.keyValue = keys[rf.keyNumber];
  ReturnWrittenKey(c, rf.keyNumber, static_cast<const unsigned char*>(c.data));
  return kStatusOk;
}

}  // namespace

int OpenServerFile(const std::string& path, int mode, RecordFile& rf) {
  const std::string name = TableName(path);
  if (name.empty()) return kStatusBadFileName;
  PgLink* link = nullptr;
  if (!Connected(link)) return kStatusIoError;
  PgTable* t = FindTable(link->schema, name);
  PgParams p;
  p.Bool(t->exclusive > 0);
  p.Int4(t->lockKey);
  p.Text(t->name);
  p.Text(t->quoted);
  std::int16_t status = kStatusOk;
  PgResult r = RunParams(*link,
                         "SELECT f.spec, CASE WHEN $1 THEN true ELSE pg_try_advisory_xact_lock_shared($2, 0) END"
                         " FROM recman_files f WHERE f.name = $3 AND to_regclass($4) IS NOT NULL",
                         p, status);
  FileDef def;
  std::string spec;
  if (r != nullptr && PQntuples(r.get()) == 0) status = kStatusFileNotFound;
  if (status == kStatusOk) {
    spec = std::string(FieldBytes(r.get(), 0, 0));
    if (ParseFileSpec(reinterpret_cast<const unsigned char*>(spec.data()), spec.size(), def) != 0) {
      status = kStatusNotRecordFile;
    } else if (!FieldBool(r.get(), 0, 1)) {
      status = kStatusFileLocked;
    }
  }
  if (status == kStatusOk) {
    SetTableDefinition(*t, def, spec);
    if (mode == kOpenExclusive && !TakeFileLock(*t)) status = kStatusFileLocked;
  }
  if (status != kStatusOk) {
    DropTableIfUnused(t);
    return status;
  }
  rf.path = path;
  rf.def = def;
  rf.readOnly = (mode == kOpenReadOnly);
  rf.writeStatus = rf.readOnly ? kStatusReadOnly : kStatusOk;
  rf.exclusive = (mode == kOpenExclusive);
  rf.server = new PgFile;
  rf.server->table = t;
  rf.server->link = link->generation;
  ++t->files;
  return kStatusOk;
}

void CloseServerFile(RecordFile& rf) {
  if (rf.server == nullptr) return;
  PgTable* t = rf.server->table;
  if (rf.inTransaction) RollBack();
  ReleaseRecordLock(rf);
  if (rf.exclusive && rf.server->link == CurrentMainLink().generation) DropFileLock(*t);
  rf.exclusive = false;
  --t->files;
  delete rf.server;
  rf.server = nullptr;
  DropTableIfUnused(t);
}

int CreateServerFile(const std::string& path, const FileDef& def, bool replace) {
  const std::string name = TableName(path);
  if (name.empty()) return kStatusBadFileName;
  PgLink* link = nullptr;
  if (!Connected(link)) return kStatusIoError;
  PgTable* t = FindTable(link->schema, name);
  const std::string quoted = t->quoted;
  const std::string spec = BuildFileSpec(def, 0, {});
  std::int16_t status = kStatusOk;
  // One transaction; creations are taken one at a time (the catalog, the
  // function and two creations of one name cannot race).
  bool ok = RunText(*link,
                    "BEGIN; SELECT pg_advisory_xact_lock(1263684913);"
                    " CREATE TABLE IF NOT EXISTS recman_files (name text PRIMARY KEY, path text NOT NULL,"
                    " spec bytea NOT NULL);"
                    " CREATE OR REPLACE FUNCTION recman_changed() RETURNS trigger LANGUAGE plpgsql AS"
                    " $$BEGIN PERFORM pg_notify('recman', TG_TABLE_SCHEMA || '.' || TG_TABLE_NAME); RETURN NULL; END$$",
                    status);
  PgResult r(nullptr, PQclear);
  if (ok) {
    PgParams p;
    p.Bool(t->exclusive > 0);
    p.Int4(t->lockKey);
    p.Text(name);
    p.Text(quoted);
    r = RunParams(*link,
                  "SELECT EXISTS (SELECT 1 FROM recman_files WHERE name = $3) OR to_regclass($4) IS NOT NULL,"
                  " CASE WHEN $1 THEN true ELSE pg_try_advisory_xact_lock_shared($2, 0) END",
                  p, status);
    ok = r != nullptr;
  }
  if (ok && FieldBool(r.get(), 0, 0)) {
    if (!replace) status = kStatusFileExists;
    else if (!FieldBool(r.get(), 0, 1)) status = kStatusFileLocked;
    ok = status == kStatusOk;
    PgParams p;
    p.Text(name);
    ok = ok && RunText(*link, "DROP TABLE IF EXISTS " + quoted, status) &&
         RunCommand(*link, "DELETE FROM recman_files WHERE name = $1", p, status);
  }
  if (ok) {
    const std::string relative = RelativePath(path);
    PgParams p;
    p.Text(name);
    p.Text(relative);
    p.Bytes(spec);
    ok = RunText(*link, CreateTableSql(quoted, def), status) &&
         RunCommand(*link, "INSERT INTO recman_files (name, path, spec) VALUES ($1, $2, $3)", p, status) &&
         RunText(*link, "COMMIT", status);
  }
  if (!ok) {
    std::int16_t ignored = 0;
    if (link->conn != nullptr && !link->broken) RunText(*link, "ROLLBACK", ignored);
  }
  DropTableIfUnused(t);
  return status;
}

std::int16_t ServerRead(Call& c, int op) {
  RecordFile& rf = c.rf;
  std::int16_t status = CheckRead(c, op);
  if (status != kStatusOk) return status;
  if (op == kOpGetNext || op == kOpGetPrevious) {
    if (!c.lock && ServeAhead(c, op, status)) return status;
    return Find(c, op, op == kOpGetNext ? kPgNext : kPgPrevious, rf.keyValue, rf.rowid, kStatusEndOfFile);
  }
  // The reads by operation code, from Get Equal (5) to Get Last (13).
  static constexpr PgRead kReads[] = {kPgEqual, kPgNext, kPgPrevious, kPgGreater, kPgGreaterOrEqual,
                                      kPgLess, kPgLessOrEqual, kPgFirst, kPgLast};
  std::string value;
  ComparableKey(rf.def, c.keyNumber, c.key, value);
  return Find(c, op, kReads[op - kOpGetEqual], value, 0,
              op == kOpGetEqual ? kStatusKeyNotFound : kStatusEndOfFile);
}

std::int16_t ServerGetDirect(Call& c) {
  std::uint32_t position = 0;
  std::int16_t status = CheckDirect(c, position);
  if (status != kStatusOk) return status;
  if (position > 0x7FFFFFFFu) return kStatusBadAddress;
  return Find(c, kOpGetDirect, kPgRow, {}, position, kStatusBadAddress);
}

std::int16_t ServerInsert(Call& c) {
  RecordFile& rf = c.rf;
  std::vector<std::string> keys;
  PgResult r(nullptr, PQclear);
  std::int16_t status = RunWrite(c, kOpInsert, keys, r);
  if (status != kStatusOk) return status;
  if (!FieldBool(r.get(), 0, 0)) return kStatusFileLocked;
  if (FieldNull(r.get(), 0, 1)) return kStatusDuplicate;
  NoteLocalChange(TableOf(rf));
  const int key = c.keyNumber;
  rf.keyNumber = key;
  rf.state = kOnRecord;
  rf.rowid = FieldInt8(r.get(), 0, 1);
  rf.keyValue = keys[key];
  *c.dataLength = static_cast<std::uint32_t>(rf.def.recordLength);
  ReturnWrittenKey(c, key, static_cast<const unsigned char*>(c.data));
  return kStatusOk;
}

std::int16_t ServerUpdate(Call& c) { return Change(c, kOpUpdate); }
std::int16_t ServerDelete(Call& c) { return Change(c, kOpDelete); }

std::int16_t ServerStat(Call& c) {
  RecordFile& rf = c.rf;
  PgTable& t = TableOf(rf);
  if (c.lock) return kStatusInvalidOp;
  std::int16_t status = kStatusOk;
  PgLink* link = FileLink(rf, status);
  if (link == nullptr) return status;
  Refresh();
  // Counted again after a change of this process at once, after others'
  // changes at most once a second: a busy writer elsewhere does not make
  // every keyed read count the whole table.
  const auto now = std::chrono::steady_clock::now();
  if (!t.statValid || t.statOwnChanges != t.ownChanges ||
      (t.statChanges != t.changes && now - t.countedAt >= kRecountAfter)) {
    const std::uint64_t before = t.changes, ownBefore = t.ownChanges;
    PgResult r = RunPrepared(*link, "c" + t.tag, CountSql(t), PgParams{}, status);
    if (r == nullptr) return Failed(link, status);
    t.records = static_cast<std::uint32_t>(FieldInt8(r.get(), 0, 0));
    t.unique.assign(t.def.keys.size(), t.records);
    int column = 1;
    for (std::size_t k = 0; k < t.def.keys.size(); ++k) {
      if (t.def.keys[k].duplicates) t.unique[k] = static_cast<std::uint32_t>(FieldInt8(r.get(), 0, column++));
    }
    t.statValid = true;
    t.statChanges = before;
    t.statOwnChanges = ownBefore;
    t.countedAt = now;
  }
  rf.records = t.records;
  rf.unique = t.unique;
  return StatReply(c);
}

std::int16_t ServerTransaction(Call& c, int op) {
  RecordFile& rf = c.rf;
  PgTable& t = TableOf(rf);
  std::int16_t status = CheckTransaction(c, op);
  if (status != kStatusOk) return status;
  DropAhead(Of(rf));
  if (op == kOpAbortTransaction) return RollBack();
  PgLink* tx = nullptr;
  if (op == kOpEndTransaction) {
    rf.inTransaction = false;
    --t.transactions;
    NoteLocalChange(t);
    auto it = std::find(g_inTransaction.begin(), g_inTransaction.end(), &rf);
    if (it != g_inTransaction.end()) g_inTransaction.erase(it);
    tx = &CurrentTransactionLink();
    if (--tx->files > 0) return tx->failed;
    const std::int16_t failed = tx->failed;
    tx->failed = 0;
    if (failed != 0) {
      RunText(*tx, "ROLLBACK", status);
      return failed;
    }
    RunText(*tx, "COMMIT", status);
    return status;
  }
  if (t.transactions > 0) return kStatusFileLocked;
  if (FileMainLink(rf, status) == nullptr) return status;
  if (!TransactionLink(tx)) return kStatusIoError;
  if (tx->failed != 0) return tx->failed;
  const bool first = tx->files == 0;
  // Other connections' writes to the table wait for the end (up to the lock
  // wait, then 85); their reads go on.
  bool ok = RunText(*tx, std::string(first ? "BEGIN; " : "SAVEPOINT recman_join; ") + "LOCK TABLE " + t.quoted +
                             " IN SHARE ROW EXCLUSIVE MODE",
                    status);
  if (ok) {
    PgParams p;
    p.Bool(t.exclusive > 0);
    p.Int4(t.lockKey);
    PgResult r = RunParams(*tx, "SELECT CASE WHEN $1 THEN true ELSE pg_try_advisory_xact_lock_shared($2, 0) END", p,
                           status);
    ok = r != nullptr;
    if (ok && !FieldBool(r.get(), 0, 0)) {
      ok = false;
      status = kStatusFileLocked;
    }
  }
  if (ok && !first) ok = RunText(*tx, "RELEASE SAVEPOINT recman_join", status);
  if (!ok) {
    std::int16_t ignored = 0;
    RunText(*tx, first ? "ROLLBACK" : "ROLLBACK TO SAVEPOINT recman_join; RELEASE SAVEPOINT recman_join", ignored);
    return status;
  }
  ++tx->files;
  ++t.transactions;
  rf.inTransaction = true;
  g_inTransaction.push_back(&rf);
  return kStatusOk;
}

bool LockServerFileExclusive(const std::string& path) {
  const std::string name = TableName(path);
  PgLink* link = nullptr;
  if (name.empty() || !Connected(link)) return false;
  PgTable* t = FindTable(link->schema, name);
  if (t->lockedByCall) return true;
  if (!TakeFileLock(*t)) {
    DropTableIfUnused(t);
    return false;
  }
  t->lockedByCall = true;
  return true;
}

void UnlockServerFileExclusive(const std::string& path) {
  auto it = Tables().find(CurrentMainLink().schema + "." + TableName(path));
  if (it == Tables().end() || !it->second->lockedByCall) return;
  PgTable* t = it->second;
  t->lockedByCall = false;
  DropFileLock(*t);
  DropTableIfUnused(t);
}

void ResetServer() {
  CloseLinks();
  for (RecordFile* rf : g_inTransaction) {
    rf->inTransaction = false;
    rf->state = kNoPosition;
  }
  g_inTransaction.clear();
  std::vector<PgTable*> unused;
  for (auto& entry : Tables()) {
    PgTable* t = entry.second;
    t->exclusive = 0;
    t->lockedByCall = false;
    t->recordLocks.clear();
    t->transactions = 0;
    if (t->files == 0) unused.push_back(t);
  }
  for (PgTable* t : unused) DropTableIfUnused(t);
}

void ForgetServerAfterFork() {
  AbandonLinks();
  g_inTransaction.clear();
  Tables().clear();  // the parent's; its files are forgotten too
}

}  // namespace recman
