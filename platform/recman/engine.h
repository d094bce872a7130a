// The record manager engine behind recman::BTRCALL (recman.h): SQLite files
// (FILES), or tables on a PostgreSQL server (SERVER, below).
//
// FILES
// A record file is one SQLite database (WAL journal, application_id
// 0x4B524D31 "KRM1") holding:
//   recman_file(spec BLOB)   one row: the create definition (Stat layout
//                            below, counts zero);
//   records(id INTEGER PRIMARY KEY, data BLOB, k0 BLOB, k1 BLOB, ...)
//                            one row per record: data = the record,
//                            kN = key N in comparable form, each with an
//                            index (UNIQUE unless the key allows duplicates).
// The comparable form of a key turns binary segments (little-endian unsigned
// integers) most significant byte first, maps segments flagged for the
// alternate collating sequence through its table and inverts descending
// segments, so key order is plain byte order; duplicates follow insertion
// order (row id). The physical position of a record is its row id.
// Beside the database, "<file>.lck" carries the locks (see LOCKS).
//
// CREATE DEFINITION / STAT REPLY (little-endian)
//   0-1 record length, 2-3 page size (0 = 4096; kept and returned only),
//   4-5 number of keys, 6-9 number of records (Stat), 10-11 file flags.
//   From 16: one 16-byte definition per key segment, keys in order, the
//   segments of a key consecutive: 0-1 position (1-based), 2-3 length,
//   4-5 flags, 6-9 number of unique values (Stat).
//   Flags: 0x0001 duplicates, 0x0002 modifiable, 0x0004 binary,
//   0x0010 continues in the next segment, 0x0020 alternate collating
//   sequence, 0x0040 descending. Duplicates and modifiable are read from the
//   key's first segment.
//   Then, when a segment uses it, the alternate collating sequence: 0xAC, an
//   8-byte name, 256 bytes of sort weights.
//
// OPERATIONS (op, pos, data, dataLength, key, keyLength, keyNumber)
//   0  Open: key = path (zero-terminated within keyLength, "\" taken as
//      "/"); data may hold an owner name (ignored). keyNumber = mode:
//      0/-1/-3 normal, -2 read-only, -4 exclusive (others get 85 until
//      Close). The position block is filled in.
//   1  Close: releases the file's locks; the position block is cleared.
//   2  Insert: data = the record (dataLength >= record length; the first
//      record-length bytes are stored). Becomes the current record on key
//      keyNumber; its key is returned in the key buffer.
//   3  Update: replaces the current record (the one last read). A changed
//      key that is not modifiable gives 10.
//   4  Delete: removes the current record; Next/Previous continue from
//      where it was.
//   5  Get Equal, 8 Get Greater, 9 Get Greater or Equal, 10 Get Less Than,
//   11 Get Less or Equal: key = a key value of the key's full length
//      (record form). Equal and Greater (or Equal) give the first of equal
//      duplicates, Less (or Equal) the last.
//   6  Get Next, 7 Get Previous: along the key of the current position
//      (keyNumber must be that key: 7 otherwise).
//   12 Get First, 13 Get Last.
//   14 Create: data = create definition, key = path; keyNumber -1
//      refuses to replace an existing file (59). Built under a temporary
//      name and renamed into place. Does not open the file. 85 while
//      another process holds the file exclusively.
//   15 Stat: data receives the definition with the record count and
//      the unique-value counts (22 and cut when dataLength is too short).
//   19 Begin Transaction, 20 End Transaction, 21 Abort Transaction: on the
//      file of the position block only (its inserts, updates and deletes
//      commit or roll back together; other processes' writes wait for the
//      end, their reads go on; writes through another position block of
//      this process get 85 at once, as they could only wait for themselves). Close and Reset abort an open transaction;
//      after an abort the file has no current record. 37 when a
//      transaction is already open, 39 when none is.
//   22 Get Position: 4-byte little-endian position of the current record.
//   23 Get Direct: data bytes 0-3 = position; reads that record and makes
//      it current on key keyNumber.
//   28 Reset: closes every file of this process and releases all its locks
//      (position block not used).
//   Reads (5-13, 23) return the record in data (dataLength out = bytes
//   returned) and its key, in record form, in the first key-length bytes of
//   the key buffer. +200 on a read: single-record lock, no wait (222 is
//   taken as 22). A read that fails leaves the position where it was.
//   Errors are reported before anything is written to the buffers, except
//   22, which still moves the position and returns the key.
//
// POSITION BLOCK (128 bytes, zeroed by the caller before Open)
//   0-3 "KRM1", 4-7 slot and 8-11 generation of the open file in this
//   process's table (a stale or foreign block gives 3), 12 current key
//   number, 13 state (0 none, 1 on a record, 2 after its delete), 16-23 row
//   id of the current record. The comparable key of the position is kept
//   with the open file.
//
// LOCKS (between processes; open-file-description locks on "<file>.lck",
// one description per file per process, so handles of one process never
// conflict with each other)
//   Record lock: write lock on byte <row id>. Taken by a +200 read after
//   finding the record; if another process holds it: 84, nothing read,
//   position and buffers unchanged. Released by the next read through the
//   same position block, by Update/Delete of that record, Close and Reset.
//   Update and Delete of a record locked by another process give 84.
//   File lock: write lock on byte 0, held by LockFileExclusive or by an
//   exclusive open. Every Open, read and write tests it (shared): 85.
//
// STATUSES
//   0 success                     1 invalid operation / open mode
//   2 I/O error or damaged file   3 file not open (position block unknown)
//   4 key value not found         5 duplicate value in a unique key
//   6 invalid key number          7 key number differs from the position's
//   8 invalid positioning (no current record)
//   9 end of file (no record in that direction)
//   10 key not modifiable         11 invalid file name (empty path)
//   12 file not found             18 disk full
//   21 key buffer too short       22 data buffer too short (record cut)
//   24 bad create definition (page size, or definition too short)
//   26 bad number of keys         27 bad key position
//   28 bad record length          29 bad key length
//   30 not a record file          37 transaction already open
//   39 no transaction open        43 invalid record address (Get Direct)
//   46 write refused (file opened read-only)
//   48 bad alternate collating sequence
//   59 file exists (Create with -1)
//   84 record locked by another process
//   85 file locked by another process (or busy beyond the wait)
//
// SERVER (recman::UseServer with a libpq connection string)
// Open, Create and the exclusive file locks then use tables of a PostgreSQL
// server; operations, statuses and the position block stay as above.
//   Names: a file's table is named after its path relative to the data root
//   given to UseServer: "\" as "/", leading "./" and "/" dropped, ASCII
//   letters in lower case, a final ".dat" dropped ("<root>DADES/VPropiet.dat"
//   -> "dades/vpropiet"); a path outside the data root counts whole. A name
//   longer than 63 bytes keeps its first 46, then "~" and 16 hex digits of a
//   hash of the whole name. So every machine finds the same tables wherever
//   it mounts the data folder, and letter case does not tell files apart.
//   Tables: recman_files(name, path, spec) lists the record files (table
//   name, relative path as created, create definition). A file's table is
//   (id bigint identity PRIMARY KEY, data bytea, k0 bytea, k1 bytea, ...):
//   kN holds key N in comparable form (bytea order is byte order, as in the
//   SQLite files), with a unique index on (kN) or, for duplicates, an index
//   on (kN, id). The position is id (1 to 2^31-1). A statement trigger
//   announces every change (NOTIFY recman, payload the table name). Create
//   needs the right to create tables in the connection's schema.
//   Connections: one per process, made at the first Open or Create, and one
//   more while a transaction is open. Each waits at most 10 s for a lock of
//   another connection (then 85, as a busy SQLite file) and has the server
//   probe a silent client (TCP keepalive: about 2 minutes).
//   Locks: advisory locks of the server, keyed (table, 0) for the file lock
//   and (table, id) for a record (table = 32-bit hash of its name), held by
//   the process's connection: they end with it, at Reset, at the end of the
//   process, when it is killed or its machine vanishes. Every statement tests
//   the file lock (a shared lock for its own length) and a write also the
//   record's lock, inside the statement itself: no window between test and
//   write. A locked read reads the record again once the lock is held.
//   Transactions: Begin takes a SHARE ROW EXCLUSIVE lock on the table: other
//   connections' writes wait for the end (at most 10 s, then 85), their reads
//   go on. The transactions of one process open at the same time are one
//   server transaction: it commits at the End of the last of them; an Abort
//   or Close of any of them rolls all of them back (the others then get 39 at
//   End). A statement that fails inside it ends it on the server: its status
//   is returned by what follows and by End.
//   Read-ahead: Get Next and Get Previous without a lock read up to 512 rows
//   along the key (8 at first, four times more while a scan uses them up) and
//   serve the moves that follow from them. Guarantee: a record so returned is
//   the one that followed the position in key order, whole, as committed at
//   a moment at most 50 ms before the call, and no earlier than any change
//   this process made to the file (through any position block) or learnt of
//   from another connection's announcement. Every other read, every locked
//   read and every write goes to the server at once.
//   Stat counts are counted again after every change this process made or
//   learnt of, and kept otherwise.
//   Statuses of server failures: cannot connect, login refused, connection
//   lost and any other server error -> 2 (recman::ServerProblem() names the
//   server by host, port and database, never the password, and says why);
//   table missing -> 12; lock wait over 10 s, deadlock, cancelled -> 85;
//   unique value taken -> 5; disk full -> 18; permission denied or read-only
//   server -> 46. Files opened on a connection that was lost keep failing
//   with 2 (their locks and transaction are gone); files opened afterwards
//   connect again.
//
// Single-threaded: one thread of a process uses the engine at a time. After
// fork() the child starts with no open files.
#pragma once

#include <cstdint>
#include <string>

namespace recman {

enum Op {
  kOpOpen = 0, kOpClose = 1, kOpInsert = 2, kOpUpdate = 3, kOpDelete = 4,
  kOpGetEqual = 5, kOpGetNext = 6, kOpGetPrevious = 7, kOpGetGreater = 8,
  kOpGetGreaterOrEqual = 9, kOpGetLessThan = 10, kOpGetLessOrEqual = 11,
  kOpGetFirst = 12, kOpGetLast = 13, kOpCreate = 14, kOpStat = 15,
  kOpBeginTransaction = 19, kOpEndTransaction = 20, kOpAbortTransaction = 21,
  kOpGetPosition = 22, kOpGetDirect = 23, kOpReset = 28,
  kLockBias = 200,
};

constexpr std::int16_t kStatusOk = 0;
constexpr std::int16_t kStatusInvalidOp = 1;
constexpr std::int16_t kStatusIoError = 2;
constexpr std::int16_t kStatusNotOpen = 3;
constexpr std::int16_t kStatusKeyNotFound = 4;
constexpr std::int16_t kStatusDuplicate = 5;
constexpr std::int16_t kStatusBadKeyNumber = 6;
constexpr std::int16_t kStatusDifferentKey = 7;
constexpr std::int16_t kStatusBadPositioning = 8;
constexpr std::int16_t kStatusEndOfFile = 9;
constexpr std::int16_t kStatusNotModifiable = 10;
constexpr std::int16_t kStatusBadFileName = 11;
constexpr std::int16_t kStatusFileNotFound = 12;
constexpr std::int16_t kStatusDiskFull = 18;
constexpr std::int16_t kStatusKeyBufferShort = 21;
constexpr std::int16_t kStatusDataBufferShort = 22;
constexpr std::int16_t kStatusPageSize = 24;
constexpr std::int16_t kStatusKeyCount = 26;
constexpr std::int16_t kStatusKeyPosition = 27;
constexpr std::int16_t kStatusRecordLength = 28;
constexpr std::int16_t kStatusKeyLength = 29;
constexpr std::int16_t kStatusNotRecordFile = 30;
constexpr std::int16_t kStatusTransactionOpen = 37;
constexpr std::int16_t kStatusNoTransaction = 39;
constexpr std::int16_t kStatusBadAddress = 43;
constexpr std::int16_t kStatusReadOnly = 46;
constexpr std::int16_t kStatusAcs = 48;
constexpr std::int16_t kStatusFileExists = 59;
constexpr std::int16_t kStatusRecordLocked = 84;
constexpr std::int16_t kStatusFileLocked = 85;

enum KeyFlag {
  kKeyDuplicates = 0x0001, kKeyModifiable = 0x0002, kKeyBinary = 0x0004,
  kKeySegmented = 0x0010, kKeyAcs = 0x0020, kKeyDescending = 0x0040,
};

enum OpenMode { kOpenNormal = 0, kOpenReadOnly = -2, kOpenExclusive = -4 };

// Holds the record file at `path` (as given to Open) exclusively for this
// process: other processes get 85 at Open and on every read and write until
// UnlockFileExclusive or Reset. This process's own handles keep working.
// False when another process holds the file (or its lock) already.
bool LockFileExclusive(const std::string& path);
void UnlockFileExclusive(const std::string& path);

}  // namespace recman
