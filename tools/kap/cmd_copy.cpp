// kap copy FROM TO [--replace]: moves every record file of a data tree
// between a data folder and a PostgreSQL server, in either direction.
//
// FROM and TO are each a data folder or a server. A server is given by its
// libpq connection string: keyword=value pairs ("host=db1 dbname=kova
// user=kova") or a URI ("postgresql://kova@db1/kova"); an argument that
// begins with "postgres://" or "postgresql://", or holds "=" and is not an
// existing folder, is a connection string. On the server the tables are the
// ones that kap init DIR --server lays out.
//
// Every source file is held exclusively for the whole copy, so nothing
// changes under it; so is every target file. A target file that is missing
// is created with the source's definition; one that exists must have the
// same definition and, without --replace, no records. All records are
// written inside transactions left open until the last record of the last
// file: on a server they are one transaction, so a copy that fails or is
// killed leaves the server as it was (files it had to create stay, empty).
// Into a folder the files are committed one after another at the very end.
#include <iostream>

#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "tools/kap/kap.h"

namespace kap {
namespace {

struct Side {
  bool server = false;
  std::string connection;  // server
  std::string dir;         // prefix of the paths: the folder, "" on a server
  std::string name;        // for messages: never the connection string
};

bool ParseSide(const std::string& arg, Side& side) {
  const bool uri = arg.rfind("postgres://", 0) == 0 || arg.rfind("postgresql://", 0) == 0;
  if (uri || (arg.find('=') != std::string::npos && !os::DirExists(arg))) {
    side.server = true;
    side.connection = arg;
    side.name = "the server";
    return true;
  }
  side.dir = DirArg(arg);
  side.name = side.dir;
  if (os::DirExists(side.dir)) return true;
  Error("no data folder " + side.dir + " (run kap init first)");
  return false;
}

void Select(const Side& side) { recman::UseServer(side.connection, side.dir); }

// The create definition of an open file: its Stat reply with the counts
// cleared (record count at 6, unique values at 6 of each key segment).
int Definition(RecordFile& file, std::string& spec) {
  std::string key(255, '\0');
  spec.clear();
  int status = FileCall(file, recman::kOpStat, spec, key, 0);
  if (status != 0 || spec.size() < 16) return status != 0 ? status : recman::kStatusIoError;
  spec.replace(6, 4, 4, '\0');
  const int keys = static_cast<unsigned char>(spec[4]) | (static_cast<unsigned char>(spec[5]) << 8);
  std::size_t at = 16;
  for (int k = 0; k < keys && at + 16 <= spec.size(); ++k) {
    bool more = true;
    while (more && at + 16 <= spec.size()) {
      spec.replace(at + 6, 4, 4, '\0');
      more = (static_cast<unsigned char>(spec[at + 4]) & recman::kKeySegmented) != 0;
      at += 16;
    }
  }
  return 0;
}

// Opens (creating it from `spec` when missing) and holds a target file.
int OpenTarget(const Side& side, const records::TableLayout& table, const std::string& spec, RecordFile& file) {
  file.table = &table;
  file.path = TablePath(side.dir, table);
  if (!side.server) os::MakeDirs(side.dir + table.folder);
  std::string buffer = spec;
  buffer.resize(1536, '\0');
  std::string key = file.path;
  key.resize(255, '\0');
  std::uint32_t length = static_cast<std::uint32_t>(spec.size());
  int status = recman::BTRCALL(recman::kOpCreate, nullptr, buffer.data(), &length, key.data(), 255, -1);
  if (status != 0 && status != recman::kStatusFileExists) return status;
  status = OpenPath(file);
  if (status == 0 && !recman::LockFileExclusive(file.path)) status = recman::kStatusFileLocked;
  return status;
}

// Every record of `from` into `to` in key 0 order; with `clear` the records
// of `to` go first. Inside the transaction of `to`.
int CopyRecords(RecordFile& from, RecordFile& to, bool clear, std::size_t& count) {
  std::string data, key(255, '\0');
  int status = 0;
  while (clear && (status = FileCall(to, recman::kOpGetFirst, data, key, 0)) == 0) {
    status = FileCall(to, recman::kOpDelete, data, key, 0);
    if (status != 0) return status;
    data.clear();
  }
  if (clear && status != recman::kStatusEndOfFile) return status;
  data.clear();
  status = FileCall(from, recman::kOpGetFirst, data, key, 0);
  while (status == 0) {
    data.resize(static_cast<std::size_t>(from.table->recordLength), '\0');
    status = InsertRecord(to, data);
    if (status != 0) return status;
    ++count;
    data.clear();
    status = FileCall(from, recman::kOpGetNext, data, key, 0);
  }
  return status == recman::kStatusEndOfFile ? 0 : status;
}

}  // namespace

int CmdCopy(const std::vector<std::string>& args) {
  bool replace = false;
  std::vector<std::string> plain;
  for (const std::string& a : args) {
    if (a == "--replace") replace = true;
    else plain.push_back(a);
  }
  if (plain.size() != 2) {
    Error("usage: kap copy FROM TO [--replace]   (each a data folder or a server's connection string)");
    return 2;
  }
  Side from, to;
  if (!ParseSide(plain[0], from) || !ParseSide(plain[1], to)) return 1;
  if (from.server && to.server) {
    Error("copy from one server to another: copy to a data folder first");
    return 2;
  }
  if (!from.server && !to.server && os::HostPath(from.dir) == os::HostPath(to.dir)) {
    Error("FROM and TO are the same data folder");
    return 2;
  }
  const std::vector<records::TableLayout>& tables = records::Layouts();
  std::vector<RecordFile> source(tables.size()), target(tables.size());
  std::vector<bool> held(tables.size(), false), begun(tables.size(), false);
  bool ok = true;
  std::size_t total = 0;

  Select(from);
  std::vector<std::string> specs(tables.size());
  for (std::size_t i = 0; i < tables.size() && ok; ++i) {
    source[i].table = &tables[i];
    source[i].path = TablePath(from.dir, tables[i]);
    int status = OpenPath(source[i]);
    if (status == 0 && !recman::LockFileExclusive(source[i].path)) status = recman::kStatusFileLocked;
    if (status == 0) held[i] = true;
    if (status == 0) status = Definition(source[i], specs[i]);
    if (status != 0) {
      Error("cannot use " + source[i].path + " of " + from.name + ": " + StatusText(status));
      ok = false;
    }
  }
  Select(to);
  for (std::size_t i = 0; i < tables.size() && ok; ++i) {
    int status = OpenTarget(to, tables[i], specs[i], target[i]);
    std::string spec, data, key(255, '\0');
    if (status == 0) status = Definition(target[i], spec);
    if (status != 0) {
      Error("cannot use " + target[i].path + " of " + to.name + ": " + StatusText(status));
      ok = false;
    } else if (spec != specs[i]) {
      Error(target[i].path + " of " + to.name + " has another definition than " + source[i].path);
      ok = false;
    } else if (!replace && FileCall(target[i], recman::kOpGetFirst, data, key, 0) == 0) {
      Error(target[i].path + " of " + to.name + " already holds records (--replace replaces them)");
      ok = false;
    }
  }
  for (std::size_t i = 0; i < tables.size() && ok; ++i) {
    std::string none, key(255, '\0');
    const int status = FileCall(target[i], recman::kOpBeginTransaction, none, key, 0);
    begun[i] = status == 0;
    if (status != 0) {
      Error("cannot start writing " + target[i].path + " of " + to.name + ": " + StatusText(status));
      ok = false;
    }
  }
  for (std::size_t i = 0; i < tables.size() && ok; ++i) {
    const int status = CopyRecords(source[i], target[i], replace, total);
    if (status != 0) {
      Error("copying " + source[i].path + " to " + target[i].path + " failed: " + StatusText(status));
      ok = false;
    }
  }
  std::size_t committed = 0;  // files of a folder already written for good
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (!begun[i]) continue;
    std::string none, key(255, '\0');
    const int status = FileCall(target[i], ok ? recman::kOpEndTransaction : recman::kOpAbortTransaction, none, key, 0);
    if (ok && status != 0) {
      Error("writing " + target[i].path + " of " + to.name + " failed: " + StatusText(status));
      ok = false;
    } else if (ok && !to.server) {
      ++committed;
    }
  }
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (target[i].open) recman::UnlockFileExclusive(target[i].path);
    CloseTable(target[i]);
  }
  Select(from);
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (held[i]) recman::UnlockFileExclusive(source[i].path);
    CloseTable(source[i]);
  }
  if (!ok) {
    if (committed == 0) Error("nothing copied");
    else Error("only the first " + std::to_string(committed) + " files were written; copy again with --replace");
    return 1;
  }
  std::cout << total << " records in " << tables.size() << " files copied to " << to.name << "\n";
  return 0;
}

}  // namespace kap
