// BTRCALL: the table of open files, the position block and the dispatcher.
#include <pthread.h>

#include <cstring>
#include <map>
#include <vector>

#include "platform/os/os.h"
#include "platform/recman/engine.h"
#include "platform/recman/operations.h"
#include "platform/recman/pg_engine.h"
#include "platform/recman/recman.h"

namespace recman {

namespace {

// Position block: 0-3 "KRM1", 4-7 slot, 8-11 generation, 12 current key
// number, 13 position state, 16-23 row id of the current record. The
// comparable key of the position is kept with the open file.
constexpr unsigned char kMagic[4] = {'K', 'R', 'M', '1'};

std::vector<RecordFile*> g_files;       // by slot
std::uint32_t g_generation = 0;
std::map<std::string, LockFile*> g_exclusive;  // LockFileExclusive, by path

void ForgetAfterFork() {
  // The child must not touch the parent's connections or lock descriptions.
  g_files.clear();
  g_exclusive.clear();
  ForgetAllLockFiles(false);
  ForgetAllGuards();
  ForgetServerAfterFork();
}

struct ForkGuard {
  ForkGuard() { pthread_atfork(nullptr, nullptr, ForgetAfterFork); }
} g_forkGuard;

RecordFile* FindFile(const void* pos) {
  if (pos == nullptr) return nullptr;
  const unsigned char* p = static_cast<const unsigned char*>(pos);
  if (std::memcmp(p, kMagic, 4) != 0) return nullptr;
  std::uint32_t slot, generation;
  std::memcpy(&slot, p + 4, 4);
  std::memcpy(&generation, p + 8, 4);
  if (slot >= g_files.size()) return nullptr;
  RecordFile* rf = g_files[slot];
  if (rf == nullptr || rf->generation != generation) return nullptr;
  return rf;
}

void CloseFile(RecordFile& rf) {
  if (rf.server != nullptr) CloseServerFile(rf);
  else CloseRecordFile(rf);
}

void ClosePositionBlock(void* pos, RecordFile* rf) {
  CloseFile(*rf);
  g_files[rf->slot] = nullptr;
  delete rf;
  if (pos != nullptr) std::memset(pos, 0, kPositionBlockSize);
}

std::string PathFrom(const void* key, std::uint8_t keyLength) {
  if (key == nullptr) return "";
  const char* k = static_cast<const char*>(key);
  std::size_t n = 0;
  while (n < keyLength && k[n] != '\0') ++n;
  std::string path(k, n);
  while (!path.empty() && path.back() == ' ') path.pop_back();
  return os::HostPath(path);
}

std::int16_t Open(void* pos, void* data, std::uint32_t* dataLength, void* key, std::uint8_t keyLength,
                  std::int8_t mode) {
  (void)data;
  (void)dataLength;
  if (pos == nullptr) return kStatusInvalidOp;
  if (mode > 0 || mode < kOpenExclusive) return kStatusInvalidOp;
  const std::string path = PathFrom(key, keyLength);
  if (path.empty()) return kStatusBadFileName;
  RecordFile* rf = new RecordFile;
  int status = ServerInUse() ? OpenServerFile(path, mode, *rf) : OpenRecordFile(path, mode, *rf);
  if (status != kStatusOk) {
    delete rf;
    return static_cast<std::int16_t>(status);
  }
  // A position block that still names an open file is being reused: close that one.
  if (RecordFile* old = FindFile(pos)) ClosePositionBlock(pos, old);
  std::uint32_t slot = 0;
  while (slot < g_files.size() && g_files[slot] != nullptr) ++slot;
  if (slot == g_files.size()) g_files.push_back(nullptr);
  g_files[slot] = rf;
  rf->slot = slot;
  rf->generation = ++g_generation;
  unsigned char* p = static_cast<unsigned char*>(pos);
  std::memset(p, 0, kPositionBlockSize);
  std::memcpy(p, kMagic, 4);
  std::memcpy(p + 4, &rf->slot, 4);
  std::memcpy(p + 8, &rf->generation, 4);
  return kStatusOk;
}

std::int16_t Create(void* data, std::uint32_t* dataLength, void* key, std::uint8_t keyLength,
                    std::int8_t keyNumber) {
  const std::string path = PathFrom(key, keyLength);
  if (path.empty()) return kStatusBadFileName;
  std::uint32_t length = (data != nullptr && dataLength != nullptr) ? *dataLength : 0;
  FileDef def;
  int status = ParseFileSpec(static_cast<const unsigned char*>(data), length, def);
  if (status != kStatusOk) return static_cast<std::int16_t>(status);
  const bool replace = keyNumber != -1;
  return static_cast<std::int16_t>(ServerInUse() ? CreateServerFile(path, def, replace)
                                                 : CreateRecordFile(path, def, replace));
}

std::int16_t Reset() {
  ResetServer();
  for (RecordFile*& rf : g_files) {
    if (rf == nullptr) continue;
    CloseFile(*rf);
    delete rf;
    rf = nullptr;
  }
  g_files.clear();
  for (auto& entry : g_exclusive) {
    DropFileLock(entry.second);
    ReleaseLockFile(entry.second);
  }
  g_exclusive.clear();
  ForgetAllLockFiles(true);
  return kStatusOk;
}

void SavePosition(void* pos, const RecordFile& rf) {
  unsigned char* p = static_cast<unsigned char*>(pos);
  p[12] = static_cast<unsigned char>(rf.keyNumber);
  p[13] = static_cast<unsigned char>(rf.state);
  std::memcpy(p + 16, &rf.rowid, 8);
}

}  // namespace

bool LockFileExclusive(const std::string& path) {
  if (ServerInUse()) return LockServerFileExclusive(path);
  const std::string host = os::HostPath(path);
  if (g_exclusive.count(host) > 0) return true;
  int status = kStatusOk;
  LockFile* lf = AcquireLockFile(host, host, true, status);
  if (lf == nullptr) return false;
  if (!TakeFileLock(lf)) {
    ReleaseLockFile(lf);
    return false;
  }
  g_exclusive[host] = lf;
  return true;
}

void UnlockFileExclusive(const std::string& path) {
  if (ServerInUse()) return UnlockServerFileExclusive(path);
  auto it = g_exclusive.find(os::HostPath(path));
  if (it == g_exclusive.end()) return;
  DropFileLock(it->second);
  ReleaseLockFile(it->second);
  g_exclusive.erase(it);
}

std::int16_t BTRCALL(int op, void* pos, void* data, std::uint32_t* dataLength, void* key,
                     std::uint8_t keyLength, std::int8_t keyNumber) {
  std::uint32_t noLength = 0;
  if (dataLength == nullptr) dataLength = &noLength;
  if (data == nullptr) *dataLength = 0;
  bool lock = false;
  if (op >= kLockBias && op < 2 * kLockBias) {
    op -= kLockBias;
    lock = true;
  }
  switch (op) {
    case kOpOpen: return lock ? kStatusInvalidOp : Open(pos, data, dataLength, key, keyLength, keyNumber);
    case kOpCreate: return lock ? kStatusInvalidOp : Create(data, dataLength, key, keyLength, keyNumber);
    case kOpReset: return Reset();
    default: break;
  }
  RecordFile* rf = FindFile(pos);
  if (rf == nullptr) return kStatusNotOpen;
  if (op != kOpClose && rf->server == nullptr && WatchesOtherWriters(*rf)) {
    const int followed = FollowOtherWriters(*rf);
    if (followed != kStatusOk) return static_cast<std::int16_t>(followed);
  }
  Call call{*rf, data, dataLength, static_cast<unsigned char*>(key), keyLength, keyNumber, lock};
  std::int16_t status = kStatusInvalidOp;
  const bool server = rf->server != nullptr;
  switch (op) {
    case kOpClose:
      ClosePositionBlock(pos, rf);
      return kStatusOk;
    case kOpInsert: status = server ? ServerInsert(call) : Insert(call); break;
    case kOpUpdate: status = server ? ServerUpdate(call) : Update(call); break;
    case kOpDelete: status = server ? ServerDelete(call) : Delete(call); break;
    case kOpGetEqual: case kOpGetNext: case kOpGetPrevious: case kOpGetGreater:
    case kOpGetGreaterOrEqual: case kOpGetLessThan: case kOpGetLessOrEqual:
    case kOpGetFirst: case kOpGetLast:
      status = server ? ServerRead(call, op) : Read(call, op);
      break;
    case kOpStat: status = server ? ServerStat(call) : Stat(call); break;
    case kOpBeginTransaction: case kOpEndTransaction: case kOpAbortTransaction:
      status = server ? ServerTransaction(call, op) : Transaction(call, op);
      break;
    case kOpGetPosition: status = GetPosition(call); break;
    case kOpGetDirect: status = server ? ServerGetDirect(call) : GetDirect(call); break;
    default: return kStatusInvalidOp;
  }
  SavePosition(pos, *rf);
  return status;
}

}  // namespace recman
