// The tool's own access to record files: create, open, insert, read all,
// delete, and the all-or-nothing store.
#include <cstring>

#include "platform/os/os.h"
#include "tools/kap/kap.h"

namespace kap {
namespace {

constexpr std::uint32_t kBuffer = 1536;

}  // namespace

int FileCall(RecordFile& file, int op, std::string& data, std::string& key, int keyNumber) {
  unsigned char buffer[kBuffer] = {};
  std::memcpy(buffer, data.data(), std::min<std::size_t>(data.size(), kBuffer));
  unsigned char keyBuffer[256] = {};
  std::memcpy(keyBuffer, key.data(), std::min<std::size_t>(key.size(), 255));
  std::uint32_t length = data.empty() ? kBuffer : static_cast<std::uint32_t>(data.size());
  int status = recman::BTRCALL(op, file.pos, buffer, &length, keyBuffer, 255,
                               static_cast<std::int8_t>(keyNumber));
  data.assign(reinterpret_cast<const char*>(buffer), std::min(length, kBuffer));
  key.assign(reinterpret_cast<const char*>(keyBuffer), key.size());
  return status;
}

std::string TablePath(const std::string& dir, const records::TableLayout& table) {
  return dir + table.folder + "/" + table.baseName + ".dat";
}

int CreateTable(const std::string& dir, const records::TableLayout& table) {
  os::MakeDirs(dir + table.folder);
  std::string path = TablePath(dir, table);
  std::string spec = records::CreateSpec(table);
  unsigned char buffer[kBuffer] = {};
  std::memcpy(buffer, spec.data(), std::min<std::size_t>(spec.size(), kBuffer));
  unsigned char key[256] = {};
  std::memcpy(key, path.data(), std::min<std::size_t>(path.size(), 254));
  unsigned char pos[recman::kPositionBlockSize] = {};
  std::uint32_t length = static_cast<std::uint32_t>(spec.size());
  int status = recman::BTRCALL(recman::kOpCreate, pos, buffer, &length, key, 255, -1);
  return status == recman::kStatusFileExists ? 0 : status;
}

int OpenTable(const std::string& dir, const records::TableLayout& table, RecordFile& file) {
  file = RecordFile{};
  file.table = &table;
  file.path = TablePath(dir, table);
  if (file.path.size() > 254) return recman::kStatusBadFileName;
  int status = CreateTable(dir, table);
  if (status != 0) return status;
  return OpenPath(file);
}

bool TableExists(const std::string& dir, const records::TableLayout& table) {
  RecordFile file;
  file.table = &table;
  file.path = TablePath(dir, table);
  if (file.path.size() > 254) return false;
  const int status = OpenPath(file);
  CloseTable(file);
  return status != recman::kStatusFileNotFound;
}

int OpenPath(RecordFile& file) {
  unsigned char key[256] = {};
  std::memcpy(key, file.path.data(), file.path.size());
  char owner[5] = {};
  std::uint32_t length = 0;
  const int status = recman::BTRCALL(recman::kOpOpen, file.pos, owner, &length, key, 255, 0);
  file.open = status == 0;
  return status;
}

void CloseTable(RecordFile& file) {
  if (!file.open) return;
  unsigned char data[1] = {};
  unsigned char key[1] = {};
  std::uint32_t length = 0;
  recman::BTRCALL(recman::kOpClose, file.pos, data, &length, key, 0, 0);
  file.open = false;
}

int InsertRecord(RecordFile& file, const std::string& record) {
  std::string data = record;
  std::string key(255, '\0');
  return FileCall(file, recman::kOpInsert, data, key, 0);
}

int ReadAll(RecordFile& file, std::vector<std::string>& out) {
  out.clear();
  std::string data;
  std::string key(255, '\0');
  int status = FileCall(file, recman::kOpGetFirst, data, key, 0);
  while (status == 0) {
    data.resize(static_cast<std::size_t>(file.table->recordLength), '\0');
    out.push_back(data);
    data.clear();
    status = FileCall(file, recman::kOpGetNext, data, key, 0);
  }
  return status == recman::kStatusEndOfFile ? 0 : status;
}

int GetEqual(RecordFile& file, const std::string& key, bool lock, std::string& record) {
  std::string data;
  std::string k = key;
  int op = recman::kOpGetEqual + (lock ? recman::kLockBias : 0);
  int status = FileCall(file, op, data, k, 0);
  if (status == 0) {
    data.resize(static_cast<std::size_t>(file.table->recordLength), '\0');
    record = data;
  }
  return status;
}

int DeleteByKey(RecordFile& file, const std::string& key) {
  std::string record;
  int status = GetEqual(file, key, false, record);
  if (status != 0) return status;
  std::string data = record;
  std::string k(255, '\0');
  return FileCall(file, recman::kOpDelete, data, k, 0);
}

bool StoreAll(RecordFile& file, const std::vector<std::string>& newRecords, bool replace,
              std::string& error) {
  const records::TableLayout& table = *file.table;
  std::vector<std::string> old;
  int status = replace ? ReadAll(file, old) : 0;
  if (status != 0) {
    error = "cannot read " + file.path + ": " + StatusText(status);
    return false;
  }
  // One transaction: the records appear all together or not at all, even if
  // the tool is killed half-way.
  std::string none;
  std::string noKey(255, '\0');
  status = FileCall(file, recman::kOpBeginTransaction, none, noKey, 0);
  if (status != 0) {
    error = "cannot start writing " + file.path + ": " + StatusText(status);
    return false;
  }
  for (std::size_t i = 0; i < old.size() && status == 0; ++i)
    status = DeleteByKey(file, RecordKey(table, 0, old[i]));
  for (std::size_t i = 0; i < newRecords.size() && status == 0; ++i)
    status = InsertRecord(file, newRecords[i]);
  const int failed = status;
  none.clear();
  status = FileCall(file, failed == 0 ? recman::kOpEndTransaction : recman::kOpAbortTransaction, none,
                noKey, 0);
  if (failed == 0 && status == 0) return true;
  error = "writing " + file.path + " failed: " + StatusText(failed != 0 ? failed : status);
  return false;
}

}  // namespace kap
