// Locks between processes on "<record file>.lck": open-file-description
// locks (fcntl F_OFD_*), one open description per lock file per process,
// shared by all handles of this process on that file. Byte 0 is the file
// lock, byte <row id> the record lock of that record.
#pragma once

#include <cstdint>
#include <string>

namespace recman {

struct LockFile;

// The lock file beside `dbPath`; reference counted. A missing one is created
// with the permission bits and group of `likePath` (the record file, or the
// new file being created; umask-default bits when it does not exist), and an
// existing one owned by this process's user (or any, for root) is given them
// again when they differ.
// `write`: the caller may write the record file and needs write locks; a
// lock file it cannot open for writing gives status 94. Otherwise a lock
// file opened for reading will do (shared record locks); 94 when it cannot
// be read, and nullptr with status 0 when it does not exist and cannot be
// created (the folder is read-only: see engine.h).
LockFile* AcquireLockFile(const std::string& dbPath, const std::string& likePath, bool write,
                          int& status);
void ReleaseLockFile(LockFile* lf);

// True when another process holds the file lock.
bool FileLockedByOther(LockFile* lf);
// Takes (counted) the file lock; false when another process holds any lock
// that conflicts, or the lock file is only open for reading.
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
