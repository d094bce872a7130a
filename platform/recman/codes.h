// Operation codes, statuses, key flags and open modes of the record manager,
// and the behaviour every engine behind recman::BTRCALL keeps alike: what a
// status means, what a lock holds, what a process that may only read gets.
// How an engine stores files and takes its locks is in its own header
// (engine.h: the SQLite files; pg_engine.h: tables on a PostgreSQL server).
//
// LOCKS (between processes; the handles of one process never conflict)
//   Record lock: taken by a +200 read once the record is found; when another
//   process holds it: 84, nothing read, position and buffers unchanged.
//   Released by the next read through the same position block, by Update or
//   Delete of that record, by Close and by Reset. Update and Delete of a
//   record locked by another process: 84.
//   File lock: held by an exclusive open (-4) or LockFileExclusive; every
//   Open, read and write of another process gets 85 meanwhile.
//   An engine that cannot take or test locks on a file refuses to open it
//   (94); it never runs without them. (A file that only read-only processes
//   have opened has no locks yet: see the engine's header.)
//
// ACCESS
//   A process allowed to read a record file but not to write it (the file
//   or its folder is read-only for it) opens it in normal mode all the
//   same: reads, Stat and Get Position work and see other processes'
//   commits; Insert, Update, Delete and Begin Transaction give 94; an
//   exclusive open gives 94. Its +200 reads take a shared record lock:
//   other processes see the record as locked (84) as with any record lock,
//   while other read-only handles may take it too.
//   A file the process may not read at all, or a folder it may not enter:
//   94 at Open.
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
//   46 write refused (file opened read-only, mode -2)
//   48 bad alternate collating sequence
//   59 file exists (Create with -1)
//   84 record locked by another process
//   85 file locked by another process (or busy beyond the wait)
//   94 permission: the process may not read the file (or enter its folder),
//      may not write it (a write, or an exclusive open, where it may only
//      read), or may not use the locks of a file it may write
#pragma once

#include <cstdint>

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
constexpr std::int16_t kStatusPermission = 94;

enum KeyFlag {
  kKeyDuplicates = 0x0001, kKeyModifiable = 0x0002, kKeyBinary = 0x0004,
  kKeySegmented = 0x0010, kKeyAcs = 0x0020, kKeyDescending = 0x0040,
};

enum OpenMode { kOpenNormal = 0, kOpenReadOnly = -2, kOpenExclusive = -4 };

}  // namespace recman
