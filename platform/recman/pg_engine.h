// The record manager engine on a PostgreSQL server, used for the files
// opened while recman::UseServer names one (a libpq connection string).
// Operations, statuses and locks behave as codes.h says and the SQLite
// engine does (engine.h); the position block has the same layout.
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
//   announces every change (NOTIFY recman, payload schema.table). Create
//   needs the right to create tables in the connection's schema.
//   Connections: one per process, made at the first Open or Create, and one
//   more from its first transaction on. Each waits at most 10 s for a lock of
//   another connection (then 85, as a busy SQLite file) and has the server
//   probe a silent client (TCP keepalive: about 2 minutes).
//   Locks: advisory locks of the server, keyed (table, 0) for the file lock
//   and (table, id) for a record (table: a 32-bit hash of schema and name),
//   held by the process's connection: they end with it, at Reset, at the end
//   of the process, when it is killed or its machine vanishes. Every statement tests
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
//   Stat counts are counted again at once after a change this process made,
//   and at most once a second after changes announced by other connections
//   (so a busy writer elsewhere cannot make every keyed read count a whole
//   table): another connection's change shows at the latest a second after
//   its announcement.
//   Statuses of server failures: cannot connect, login refused, connection
//   lost and any other server error -> 2 (recman::ServerProblem() names the
//   server by host, port and database, never the password, and says why);
//   table missing -> 12; lock wait over 10 s, deadlock, cancelled -> 85;
//   unique value taken -> 5; disk full -> 18; permission denied or read-only
//   server -> 94. Files opened on a connection that was lost keep failing
//   with 2 (their locks and transaction are gone); files opened afterwards
//   connect again.
//
// Below: what BTRCALL calls for those files.
#pragma once

#include <cstdint>
#include <string>

#include "platform/recman/operations.h"

namespace recman {

// True while UseServer named a server: Open, Create and the exclusive file
// locks then work on its tables.
bool ServerInUse();

int OpenServerFile(const std::string& path, int mode, RecordFile& rf);
void CloseServerFile(RecordFile& rf);
int CreateServerFile(const std::string& path, const FileDef& def, bool replace);

// Reads 5-13 and Get Direct; moves without a lock may be served from the
// rows read ahead.
std::int16_t ServerRead(Call& c, int op);
std::int16_t ServerGetDirect(Call& c);
// Writes, each one statement that also tests the file and record locks.
std::int16_t ServerInsert(Call& c);
std::int16_t ServerUpdate(Call& c);
std::int16_t ServerDelete(Call& c);
// Record counts kept until a change is known.
std::int16_t ServerStat(Call& c);
// Begin, End, Abort (19-21): one server transaction per process.
std::int16_t ServerTransaction(Call& c, int op);

bool LockServerFileExclusive(const std::string& path);
void UnlockServerFileExclusive(const std::string& path);

// Reset: ends the connections (the server drops their locks and rolls back
// their transaction); the files are closed by the caller afterwards.
void ResetServer();
// Child after fork(): the parent's connections are left alone.
void ForgetServerAfterFork();

}  // namespace recman
