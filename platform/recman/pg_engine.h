// The engine on a PostgreSQL server (engine.h, SERVER): what BTRCALL calls
// for files opened while a server is in use.
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
