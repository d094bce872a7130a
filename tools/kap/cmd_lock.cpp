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

// The record of key 0 given as its fields' CSV values; false (said) when
// they do not make one.
bool KeyRecord(const records::TableLayout& table, const std::string& value, std::string& record) {
  std::vector<CsvRow> rows;
  std::string error;
  if (!ParseCsv(value, rows, error) || rows.size() != 1) {
    Error("bad key value \"" + value + "\"");
    return false;
  }
  std::vector<const records::FieldLayout*> fields = KeyFields(table, 0);
  if (rows[0].fields.size() != fields.size()) {
    Error("key 0 of " + table.baseName + " has " + std::to_string(fields.size()) + " fields");
    return false;
  }
  record = EmptyRecord(table);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string reason;
    if (!EncodeField(*fields[i], rows[0].fields[i], record, reason)) {
      Error("field " + fields[i]->name + ": " + reason);
      return false;
    }
  }
  return true;
}

}  // namespace

int CmdLock(const std::vector<std::string>& args) {
  if (args.size() != 3) {
    Error("usage: kap lock DIR TABLE KEY0VALUE|--file");
    return 2;
  }
  const std::string dir = DirArg(args[0]);
  const records::TableLayout* table = records::FindLayout(args[1]);
  if (!table) {
    Error("unknown table \"" + args[1] + "\"");
    return 1;
  }
  const bool whole = args[2] == "--file";
  std::string record;
  if (!whole && !KeyRecord(*table, args[2], record)) return 1;
  UseDataStore(dir);
  if (!TableExists(dir, *table)) {
    Error("no record file " + TablePath(dir, *table));
    return 1;
  }
  RecordFile file;
  int status = OpenTable(dir, *table, file);
  if (status == 0 && whole && !recman::LockFileExclusive(file.path)) status = recman::kStatusFileLocked;
  if (status == 0 && !whole) status = GetEqual(file, RecordKey(*table, 0, record), true, record);
  if (status != 0) {
    Error(std::string(whole ? "cannot lock the file: " : "cannot lock the record: ") + StatusText(status));
    CloseTable(file);
    return 1;
  }
  std::cout << "locked" << std::endl;
  WaitForInputEnd();
  if (whole) recman::UnlockFileExclusive(file.path);
  CloseTable(file);
  return 0;
}

}  // namespace kap
