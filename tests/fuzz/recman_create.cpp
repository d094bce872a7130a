// A record file's create definition, any bytes: Create, then Open, Stat, one
// record inserted and found again on every key.
// Expectations: Create accepts exactly what the definition parser accepts;
// a created file opens; Stat gives back the definition as it was parsed; the
// record stored is the record read, by position and by each key.
#include <cstdint>
#include <string>

#include "platform/os/os.h"
#include "platform/recman/file_definition.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/recman_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::WorkDir() + "CREATED.dat";
  for (const char* end : {"", "-wal", "-shm"}) os::DeleteFile(path + end);
  const std::string definition = fuzz::Text(data, size);

  recman::FileDef def;
  const int parsed = recman::ParseFileSpec(data, size, def);
  const int created = fuzz::CreateFile(path, definition);
  fuzz::Check(created == parsed, "Create and the definition parser disagree");
  if (created != 0) return 0;

  fuzz::Handle h;
  fuzz::Check(fuzz::OpenFile(h, path, recman::kOpenNormal) == 0, "a created file does not open");
  h.data.assign(70000, '\0');
  fuzz::Check(fuzz::Call(h, recman::kOpStat, 0) == 0, "Stat fails on a new file");
  fuzz::Check(h.data == recman::BuildFileSpec(def, 0, {}), "Stat gives another definition than was created");

  // A record from the definition's own bytes.
  std::string record(static_cast<std::size_t>(def.recordLength), '\0');
  for (std::size_t i = 0; i < record.size(); ++i) record[i] = size ? static_cast<char>(data[i % size] + i / size) : 0;
  h.data = record;
  fuzz::Check(fuzz::Call(h, recman::kOpInsert, 0) == 0, "a record cannot be put in an empty file");
  h.data.assign(record.size(), '\0');
  fuzz::Check(fuzz::Call(h, recman::kOpGetFirst, 0) == 0 && h.data == record, "the record read is not the one stored");
  for (std::size_t k = 0; k < def.keys.size() && k < 16; ++k) {
    std::string value;
    recman::RecordKey(def, static_cast<int>(k), reinterpret_cast<const unsigned char*>(record.data()), value);
    h.key.assign(255, '\0');
    h.key.replace(0, value.size(), value);
    h.data.assign(record.size(), '\0');
    fuzz::Check(fuzz::Call(h, recman::kOpGetEqual, static_cast<int>(k)) == 0 && h.data == record,
                "the record is not found by its own key");
  }
  h.data.clear();
  fuzz::Call(h, recman::kOpClose, 0);
  return 0;
}
