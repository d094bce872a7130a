// Locks between processes on "<record file>.lck": open-file-description
// locks (fcntl F_OFD_*), one open description per lock file per process,
// shared by all handles of this process on that file. Byte 0 is the file
// lock, byte <row id> the record lock of that record.
#pragma once

#include <cstdint>
#include <string>

namespace recman {

struct LockFile;

// The lock file beside `dbPath`, created if needed; reference counted.
// nullptr when it cannot be opened (the file is then used without locks).
LockFile* AcquireLockFile(const std::string& dbPath);
void ReleaseLockFile(LockFile* lf);

// True when another process holds the file lock.
bool FileLockedByOther(LockFile* lf);
// Takes (counted) the file lock; false when another process holds any lock
// that conflicts.
bool TakeFileLock(LockFile* lf);
void DropFileLock(LockFile* lf);

// Record locks (counted per process). False when another process holds it.
bool LockRecord(LockFile* lf, std::int64_t rowid);
void UnlockRecord(LockFile* lf, std::int64_t rowid);
bool RecordLockedByOther(LockFile* lf, std::int64_t rowid);

// Transactions open in this process on the file. A write through another
// handle of this process would only wait for itself, so it is refused at once.
void CountTransaction(LockFile* lf, int delta);
int TransactionsInProcess(const LockFile* lf);

// Drops every lock file of this process (Reset). With `close` false the
// descriptors are only forgotten (child after fork: they belong to the parent).
void ForgetAllLockFiles(bool close);

}  // namespace recman
