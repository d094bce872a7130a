// Refused writes reach the database files too: while a test plan of the os
// layer is set (os.h, "refused writes"), SQLite's default file layer is
// wrapped so that every write to a named file (database, journal, log) is
// counted as a write by os::InjectedFault and fails when the plan says so,
// as SQLite's own layer fails on a full disk (SQLITE_FULL) or a refused
// write (SQLITE_IOERR_WRITE). Without a plan nothing is wrapped.
#include "platform/recman/fault_vfs.h"

#include <sqlite3.h>

#include <cerrno>
#include <string>

#include "platform/os/os.h"

namespace recman {
namespace {

struct FaultFile {
  sqlite3_file base;
  sqlite3_file* real;  // the wrapped file, stored right after this header
  const char* name;    // valid until xClose (SQLite keeps it); null for temporary files
};

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->real; }
const sqlite3_io_methods* RealMethods(sqlite3_file* f) { return Real(f)->pMethods; }

int Close(sqlite3_file* f) { return RealMethods(f)->xClose(Real(f)); }
int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 at) { return RealMethods(f)->xRead(Real(f), b, n, at); }
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
  const char* name = reinterpret_cast<FaultFile*>(f)->name;
  if (name != nullptr && os::InjectedFault(os::FaultKind::Write, name))
    return errno == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
  return RealMethods(f)->xWrite(Real(f), b, n, at);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) { return RealMethods(f)->xTruncate(Real(f), size); }
int Sync(sqlite3_file* f, int flags) { return RealMethods(f)->xSync(Real(f), flags); }
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return RealMethods(f)->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) { return RealMethods(f)->xLock(Real(f), level); }
int Unlock(sqlite3_file* f, int level) { return RealMethods(f)->xUnlock(Real(f), level); }
int CheckReserved(sqlite3_file* f, int* out) { return RealMethods(f)->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return RealMethods(f)->xFileControl(Real(f), op, arg); }
int SectorSize(sqlite3_file* f) { return RealMethods(f)->xSectorSize(Real(f)); }
int Characteristics(sqlite3_file* f) { return RealMethods(f)->xDeviceCharacteristics(Real(f)); }
int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** p) {
  return RealMethods(f)->iVersion >= 2 ? RealMethods(f)->xShmMap(Real(f), page, size, extend, p) : SQLITE_IOERR;
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return RealMethods(f)->iVersion >= 2 ? RealMethods(f)->xShmLock(Real(f), offset, n, flags) : SQLITE_IOERR;
}
void ShmBarrier(sqlite3_file* f) {
  if (RealMethods(f)->iVersion >= 2) RealMethods(f)->xShmBarrier(Real(f));
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
  return RealMethods(f)->iVersion >= 2 ? RealMethods(f)->xShmUnmap(Real(f), deleteFlag) : SQLITE_OK;
}
int Fetch(sqlite3_file* f, sqlite3_int64 at, int n, void** p) {
  if (RealMethods(f)->iVersion >= 3) return RealMethods(f)->xFetch(Real(f), at, n, p);
  *p = nullptr;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file* f, sqlite3_int64 at, void* p) {
  return RealMethods(f)->iVersion >= 3 ? RealMethods(f)->xUnfetch(Real(f), at, p) : SQLITE_OK;
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
  FaultFile* file = reinterpret_cast<FaultFile*>(f);
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  file->name = name;
  file->base.pMethods = nullptr;
  const int rc = g_real->xOpen(g_real, name, file->real, flags, outFlags);
  if (file->real->pMethods != nullptr) file->base.pMethods = &g_methods;
  return rc;
}

}  // namespace

void UseFaultVfsIfPlanned() {
  if (g_real != nullptr || !os::FaultPlanned()) return;
  g_real = sqlite3_vfs_find(nullptr);
  if (g_real == nullptr) return;
  g_methods = sqlite3_io_methods{3,        Close,      Read,          Write,       Truncate,   Sync,
                                 FileSize, Lock,       Unlock,        CheckReserved, FileControl, SectorSize,
                                 Characteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch};
  g_vfs = *g_real;
  g_vfs.zName = "kova-refused-writes";
  g_vfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + g_real->szOsFile;
  g_vfs.xOpen = Open;
  g_vfs.pNext = nullptr;
  if (sqlite3_vfs_register(&g_vfs, 1) != SQLITE_OK) g_real = nullptr;
}

}  // namespace recman
