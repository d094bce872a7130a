// A damaged record file: the bytes of a real file made by kap, changed. Open
// it and read it every way, then write to it.
// Expectations: every call ends with a documented status and never returns
// more bytes than the buffer holds; nothing else is expected of a damaged file.
#include <cstdint>
#include <string>

#include "platform/os/os.h"
#include "platform/recman/file_definition.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/recman_support.h"

namespace {

constexpr int kMaxSteps = 40;

void Reads(fuzz::Handle& h, const recman::FileDef& def, int key, int first, int next) {
  h.data.assign(2048, '\0');
  int status = fuzz::Call(h, first, key);
  for (int step = 0; step < kMaxSteps && status == 0; ++step) {
    const std::string record = h.data;
    if (record.size() >= static_cast<std::size_t>(def.recordLength)) {
      // The same record by each of its keys, and around it.
      for (std::size_t k = 0; k < def.keys.size() && k < 4; ++k) {
        std::string value;
        recman::RecordKey(def, static_cast<int>(k), reinterpret_cast<const unsigned char*>(record.data()), value);
        for (int op : {recman::kOpGetEqual, recman::kOpGetGreater, recman::kOpGetLessOrEqual}) {
          fuzz::Handle probe = h;
          probe.key.assign(255, '\0');
          probe.key.replace(0, value.size(), value);
          probe.data.assign(2048, '\0');
          fuzz::Call(probe, op, static_cast<int>(k));
        }
      }
    }
    h.data.assign(2048, '\0');
    fuzz::Call(h, recman::kOpGetPosition, key);
    h.data.assign(2048, '\0');
    status = fuzz::Call(h, next, key);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::WorkDir() + "DAMAGED.dat";
  for (const char* end : {"-wal", "-shm"}) os::DeleteFile(path + end);
  fuzz::PutFile(path, fuzz::Text(data, size));

  fuzz::Handle h;
  if (fuzz::OpenFile(h, path, size % 2 ? recman::kOpenReadOnly : recman::kOpenNormal) != 0) return 0;
  h.data.assign(70000, '\0');
  recman::FileDef def;
  if (fuzz::Call(h, recman::kOpStat, 0) == 0) {
    fuzz::Check(recman::ParseFileSpec(reinterpret_cast<const unsigned char*>(h.data.data()), h.data.size(), def) == 0,
                "Stat gives a definition that does not parse");
    for (std::size_t k = 0; k < def.keys.size() && k < 4; ++k) {
      Reads(h, def, static_cast<int>(k), recman::kOpGetFirst, recman::kOpGetNext);
      Reads(h, def, static_cast<int>(k), recman::kOpGetLast, recman::kOpGetPrevious);
    }
    // Writes: the first record again (a duplicate), changed, removed.
    h.data.assign(2048, '\0');
    if (fuzz::Call(h, recman::kOpGetFirst, 0) == 0) {
      std::string record = h.data;
      fuzz::Call(h, recman::kOpBeginTransaction, 0);
      h.data = record;
      fuzz::Call(h, recman::kOpInsert, 0);
      if (!record.empty()) record.back() = static_cast<char>(record.back() + 1);
      h.data = record;
      fuzz::Call(h, recman::kOpUpdate, 0);
      h.data = record;
      fuzz::Call(h, recman::kOpDelete, 0);
      h.data.clear();
      fuzz::Call(h, size % 3 ? recman::kOpEndTransaction : recman::kOpAbortTransaction, 0);
    }
    h.data.assign(4, '\x01');
    fuzz::Call(h, recman::kOpGetDirect, 0);
  }
  h.data.clear();
  fuzz::Call(h, recman::kOpClose, 0);
  return 0;
}
