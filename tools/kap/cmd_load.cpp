// kap load DIR TABLE FILE.csv [--replace] and kap dump DIR TABLE.
#include <iostream>
#include <map>
#include <set>

#include "platform/os/os.h"
#include "tools/kap/kap.h"

namespace kap {
namespace {

constexpr int kMaxErrors = 20;
constexpr int kLockWaitMs = 10000;

const records::TableLayout* TableArg(const std::string& name) {
  const records::TableLayout* table = records::FindLayout(name);
  if (!table) {
    std::string known;
    for (const records::TableLayout& t : records::Layouts()) known += " " + t.baseName;
    Error("unknown table \"" + name + "\" (known:" + known + ")");
  }
  return table;
}

// Opens an existing record file of the data tree.
bool OpenExisting(const std::string& dir, const records::TableLayout& table, RecordFile& file) {
  std::string path = TablePath(dir, table);
  if (!TableExists(dir, table)) {
    Error("no record file " + path + " (run kap init first)");
    return false;
  }
  int status = OpenTable(dir, table, file);
  for (int waited = 0; status == recman::kStatusFileLocked && waited < kLockWaitMs; waited += 200) {
    os::SleepMs(200);
    status = OpenTable(dir, table, file);
  }
  if (status != 0) {
    Error("cannot open " + path + ": " + StatusText(status));
    return false;
  }
  return true;
}

bool LockWhole(RecordFile& file) {
  for (int waited = 0;; waited += 200) {
    if (recman::LockFileExclusive(file.path)) return true;
    if (waited >= kLockWaitMs) {
      Error(file.path + " is in use by another process");
      return false;
    }
    os::SleepMs(200);
  }
}

// CSV rows -> records; messages name the line and the field.
bool BuildRecords(const std::string& csvName, const records::TableLayout& table,
                  const std::vector<CsvRow>& rows, std::vector<std::string>& out,
                  std::vector<int>& lines) {
  if (rows.empty()) {
    Error(csvName + ": no header row");
    return false;
  }
  std::vector<const records::FieldLayout*> columns;
  std::set<std::string> seen;
  bool ok = true;
  for (const std::string& name : rows[0].fields) {
    const records::FieldLayout* field = records::FindField(table, name);
    if (!field) {
      Error(csvName + " line " + std::to_string(rows[0].line) + ": unknown field \"" + name +
            "\" in table " + table.baseName);
      ok = false;
    } else if (!seen.insert(name).second) {
      Error(csvName + " line " + std::to_string(rows[0].line) + ": field \"" + name +
            "\" given twice");
      ok = false;
    }
    columns.push_back(field);
  }
  for (const records::FieldLayout* key : KeyFields(table, 0)) {
    if (!seen.count(key->name)) {
      Error(csvName + " line " + std::to_string(rows[0].line) + ": key field \"" + key->name +
            "\" missing");
      ok = false;
    }
  }
  if (!ok) return false;
  int errors = 0;
  for (std::size_t r = 1; r < rows.size() && errors < kMaxErrors; ++r) {
    const CsvRow& row = rows[r];
    const std::string where = csvName + " line " + std::to_string(row.line);
    if (row.fields.size() != columns.size()) {
      Error(where + ": " + std::to_string(row.fields.size()) + " values for " +
            std::to_string(columns.size()) + " fields");
      ++errors;
      continue;
    }
    std::string record = EmptyRecord(table);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      std::string reason;
      if (!EncodeField(*columns[c], row.fields[c], record, reason)) {
        Error(where + ", field " + columns[c]->name + ": " + reason);
        ++errors;
      }
    }
    out.push_back(record);
    lines.push_back(row.line);
  }
  return errors == 0;
}

std::string KeyText(const records::TableLayout& table, int key, const std::string& record) {
  std::string text;
  for (const records::FieldLayout* f : KeyFields(table, key)) {
    if (!text.empty()) text += ",";
    text += DecodeField(*f, record);
  }
  return text;
}

std::string KeyFieldNames(const records::TableLayout& table, int key) {
  std::string names;
  for (const records::FieldLayout* f : KeyFields(table, key)) {
    if (!names.empty()) names += "+";
    names += f->name;
  }
  return names;
}

// Unique keys: no two new records alike, none already in the file.
bool CheckUnique(const std::string& csvName, const records::TableLayout& table,
                 const std::vector<std::string>& fresh, const std::vector<int>& lines,
                 const std::vector<std::string>& existing) {
  bool ok = true;
  for (std::size_t k = 0; k < table.keys.size(); ++k) {
    if (table.keys[k].segments[0].flags & records::kKeyDuplicates) continue;
    const int key = static_cast<int>(k);
    std::set<std::string> inFile;
    for (const std::string& r : existing) inFile.insert(RecordKey(table, key, r));
    std::map<std::string, int> inCsv;
    for (std::size_t i = 0; i < fresh.size(); ++i) {
      std::string value = RecordKey(table, key, fresh[i]);
      const std::string where = csvName + " line " + std::to_string(lines[i]) + ", field " +
                                KeyFieldNames(table, key) + ": duplicate key " +
                                KeyText(table, key, fresh[i]);
      auto previous = inCsv.find(value);
      if (previous != inCsv.end()) {
        Error(where + " (also on line " + std::to_string(previous->second) + ")");
        ok = false;
      } else if (inFile.count(value)) {
        Error(where + " (already in the file)");
        ok = false;
      }
      inCsv.emplace(value, lines[i]);
    }
  }
  return ok;
}

}  // namespace

int CmdLoad(const std::vector<std::string>& args) {
  bool replace = false;
  std::vector<std::string> plain;
  for (const std::string& a : args) {
    if (a == "--replace") {
      replace = true;
    } else if (a.rfind("--", 0) == 0) {
      Error("unknown option " + a);
      return 2;
    } else {
      plain.push_back(a);
    }
  }
  if (plain.size() != 3) {
    Error("usage: kap load DIR TABLE FILE.csv [--replace]");
    return 2;
  }
  const std::string dir = DirArg(plain[0]);
  const records::TableLayout* table = TableArg(plain[1]);
  if (!table) return 1;
  UseDataStore(dir);
  RecordFile file;
  if (!OpenExisting(dir, *table, file)) return 1;
  // The whole load runs under the file lock: other users get 85 meanwhile.
  if (!LockWhole(file)) {
    CloseTable(file);
    return 1;
  }
  int rc = 1;
  std::string text;
  std::vector<CsvRow> rows;
  std::string error;
  std::vector<std::string> fresh;
  std::vector<int> lines;
  std::vector<std::string> existing;
  if (!os::ReadFile(plain[2], text)) {
    Error("cannot read " + plain[2]);
  } else if (!ParseCsv(text, rows, error)) {
    Error(plain[2] + " " + error);
  } else if (BuildRecords(plain[2], *table, rows, fresh, lines)) {
    int status = replace ? 0 : ReadAll(file, existing);
    if (status != 0) {
      Error("cannot read " + file.path + ": " + StatusText(status));
    } else if (CheckUnique(plain[2], *table, fresh, lines, existing)) {
      if (StoreAll(file, fresh, replace, error)) {
        std::cout << fresh.size() << " records loaded into " << table->baseName << "\n";
        rc = 0;
      } else {
        Error(error);
      }
    }
  }
  if (rc != 0) Error("nothing loaded; " + file.path + " is unchanged");
  recman::UnlockFileExclusive(file.path);
  CloseTable(file);
  return rc;
}

int CmdDump(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    Error("usage: kap dump DIR TABLE");
    return 2;
  }
  const std::string dir = DirArg(args[0]);
  const records::TableLayout* table = TableArg(args[1]);
  if (!table) return 1;
  UseDataStore(dir);
  RecordFile file;
  if (!OpenExisting(dir, *table, file)) return 1;
  std::vector<std::string> all;
  int status = ReadAll(file, all);
  for (int waited = 0; status == recman::kStatusFileLocked && waited < kLockWaitMs; waited += 200) {
    os::SleepMs(200);
    status = ReadAll(file, all);
  }
  CloseTable(file);
  if (status != 0) {
    Error("cannot read " + file.path + ": " + StatusText(status));
    return 1;
  }
  std::vector<std::string> names;
  for (const records::FieldLayout& f : table->fields) names.push_back(f.name);
  std::string out = CsvLine(names);
  for (const std::string& record : all) {
    std::vector<std::string> values;
    for (const records::FieldLayout& f : table->fields) values.push_back(DecodeField(f, record));
    out += CsvLine(values);
  }
  std::cout << out;
  return std::cout.good() ? 0 : 1;
}

}  // namespace kap
