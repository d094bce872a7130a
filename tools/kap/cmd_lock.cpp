// kap lock DIR TABLE KEY0VALUE: holds a record lock until standard input
// closes. KEY0VALUE gives the values of key 0's fields as in the CSV files,
// separated by commas when the key has several fields (VCapPeri:
// "00420001,20240331"); "--file" instead holds the whole file, as a terminal
// copying or loading it does. Prints "locked" once the lock is held.
#include <iostream>

#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "tools/kap/kap.h"

namespace kap {
namespace {

void WaitForInputEnd() {
  std::string line;
  while (std::getline(std::cin, line)) {
  }
}

int HoldFile(const std::string& dir, const records::TableLayout& table) {
  UseDataStore(dir);
  if (!TableExists(dir, table)) {
    Error("no record file " + TablePath(dir, table));
    return 1;
  }
  RecordFile file;
  int status = OpenTable(dir, table, file);
  if (status == 0 && !recman::LockFileExclusive(file.path)) status = recman::kStatusFileLocked;
  if (status != 0) {
    Error("cannot lock the file: " + StatusText(status));
    CloseTable(file);
    return 1;
  }
  std::cout << "locked" << std::endl;
  WaitForInputEnd();
  recman::UnlockFileExclusive(file.path);
  CloseTable(file);
  return 0;
}

}  // namespace

int CmdLock(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    Error("usage: kap lock DIR TABLE KEY0VALUE");
    return 2;
  }
  const std::string dir = DirArg(args[0]);
  const records::TableLayout* table = records::FindLayout(args[1]);
  if (!table) {
    Error("unknown table \"" + args[1] + "\"");
    return 1;
  }
  if (args[2] == "--file") return HoldFile(dir, *table);
  std::vector<CsvRow> rows;
  std::string error;
  if (!ParseCsv(args[2], rows, error) || rows.size() != 1) {
    Error("bad key value \"" + args[2] + "\"");
    return 1;
  }
  std::vector<const records::FieldLayout*> fields = KeyFields(*table, 0);
  if (rows[0].fields.size() != fields.size()) {
    Error("key 0 of " + table->baseName + " has " + std::to_string(fields.size()) + " fields");
    return 1;
  }
  std::string record = EmptyRecord(*table);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string reason;
    if (!EncodeField(*fields[i], rows[0].fields[i], record, reason)) {
      Error("field " + fields[i]->name + ": " + reason);
      return 1;
    }
  }
  UseDataStore(dir);
  if (!TableExists(dir, *table)) {
    Error("no record file " + TablePath(dir, *table));
    return 1;
  }
  RecordFile file;
  int status = OpenTable(dir, *table, file);
  if (status == 0) status = GetEqual(file, RecordKey(*table, 0, record), true, record);
  if (status != 0) {
    Error("cannot lock the record: " + StatusText(status));
    CloseTable(file);
    return 1;
  }
  std::cout << "locked" << std::endl;
  WaitForInputEnd();
  CloseTable(file);
  return 0;
}

}  // namespace kap
