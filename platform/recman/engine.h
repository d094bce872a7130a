// The record manager engine behind recman::BTRCALL (recman.h): record files
// stored as SQLite databases. Operation codes, statuses and the behaviour
// shared with any other engine (locks, read-only access) are in codes.h.
//
// FILES
// A record file is one SQLite database (WAL journal, application_id
// 0x4B524D31 "KRM1") holding:
//   recman_file(spec BLOB)   one row: the create definition (Stat layout
//                            below, counts zero);
//   records(id INTEGER PRIMARY KEY, data BLOB, k0 BLOB, k1 BLOB, ...)
//                            one row per record: data = the record,
//                            kN = key N in comparable form, each with an
//                            index (UNIQUE unless the key allows duplicates);
//   recman_counts(key INTEGER PRIMARY KEY, n INTEGER)
//                            the counts Stat returns: key -1 the number of
//                            records, key N the number of distinct values
//                            of key N for each key with duplicates. Kept by
//                            triggers on records (recman_counts_insert,
//                            _delete, _update_kN), so every writer keeps
//                            them, whatever its version. Files made before
//                            the table existed get it at their first write;
//                            until then Stat counts the records itself.
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
//      refuses to replace an existing file (59). Built under a name of its
//      own (the file's name + ".new-<pid>-<n>", with that name's journal),
//      then put in place while this process holds an exclusive flock on the
//      folder (creators take turns; where folders cannot be flocked, the
//      file lock serves): a leftover journal of a file of that name that no
//      longer exists is removed, and the new file linked (or, replacing,
//      renamed) to the name. Two processes creating the same file: the
//      second finds it there (59) and removes nothing but its own names.
//      Does not open the file, nor make its lock file (the first Open makes
//      it, with the bits the file has then). 85 while another process holds
//      the file lock, or the turn stays taken for about half a second.
//   15 Stat: data receives the definition with the record count and
//      the unique-value counts (22 and cut when dataLength is too short).
//      Reads the counts from recman_counts: its cost does not grow with
//      the file.
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
// LOCKS (open-file-description locks on "<file>.lck", one description per
// file per process, shared by all handles of this process on that file)
//   Record lock: a write lock on byte <row id> (a read lock where the
//   process may only read the file). File lock: a write lock on byte 0;
//   every Open, read and write tests it.
//   The lock file is created with the record file's permission bits,
//   whatever the creator's umask (a group-writable record file gets a
//   group-writable lock file), and its group (its owner too when root
//   creates it). Its owner, or root, sets them again at Open when the record
//   file's have changed since. A lock file that a process allowed to write
//   the record file cannot open for writing, or a process allowed to read
//   it cannot open at all: 94 at Open.
//
// READ-ONLY ACCESS (the file or its folder may not be written)
//   The database is opened read-only. While another process has the file
//   open, its "-wal" and "-shm" exist and SQLite reads through them, seeing
//   every commit. When they do not exist (nobody has the file open) they
//   cannot be created here, so the file is opened "immutable", and held by
//   a read lock on the database's own shared-lock bytes: a writer that
//   comes and goes meanwhile cannot fold its journal into the file when it
//   closes (that needs an exclusive lock), so its "-wal" stays. Before each
//   operation the engine looks for a "-wal" (and for a changed file): once
//   there, it reopens through the writer's journal, so no commit is missed.
//   (Only a writer that opened the file, wrote some 1,000 pages and had
//   SQLite fold them into the file all within one of the reader's
//   operations could change a page under that operation.) A "-wal" with
//   content but no "-shm" (left by a crash) can only be applied by a
//   process that may write: 94. A folder without a lock file (never opened
//   by a process that may write) is used without one until a lock file
//   appears: until then no process can hold a lock on the file.
//
// STATUSES: codes.h.
//
// Single-threaded: one thread of a process uses the engine at a time. After
// fork() the child starts with no open files.
#pragma once

#include <string>

#include "platform/recman/codes.h"

namespace recman {

// Holds the record file at `path` (as given to Open) exclusively for this
// process: other processes get 85 at Open and on every read and write until
// UnlockFileExclusive or Reset. This process's own handles keep working.
// False when another process holds the file (or its lock) already.
bool LockFileExclusive(const std::string& path);
void UnlockFileExclusive(const std::string& path);

}  // namespace recman
