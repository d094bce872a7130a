// kap init DIR: lays out a new data tree.
//
// The installation files (forms, catalogue, help, Kova.ini) come from the
// folder "data" beside the kap executable, which the build copies from the
// source tree's data/. Text files are kept there in UTF-8 and written here in
// CP850; help topics ("AJUDA/<topic>.HLP.txt", their translations in
// "AJUDA/SPA/", "AJUDA/GLG/" and "AJUDA/OCI/") are laid out as the help
// viewer's fixed 80-byte records ("AJUDA/<topic>.HLP"). The templates in
// ddf/ are generated from the record layouts, and one empty record file is
// created per table. Existing record files and an
// existing Kova.ini are kept.
//
// kap init DIR --server CONNECTION: the record files are tables on that
// PostgreSQL server (libpq connection string), and DIR's Kova.ini gets
// [Dades] Servidor=CONNECTION once they are there ("" puts the files back in
// the folder). Without --server the tree's own setting is followed.
#include <cctype>
#include <iostream>

#include "platform/os/os.h"
#include "platform/recman/recman.h"
#include "settings/config.h"
#include "tools/kap/kap.h"

namespace kap {
namespace {

bool IsTextFile(const std::string& name) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext;
  for (char c : name.substr(dot + 1)) ext += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == "ini" || ext == "jpn" || ext == "lng" || ext == "hlp" || ext == "txt";
}

// "<topic>.HLP.txt": the readable source of a help topic.
bool IsHelpSource(const std::string& name) {
  if (name.size() < 8) return false;
  std::string tail;
  for (char c : name.substr(name.size() - 8)) tail += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".hlp.txt";
}

// Copies the installation tree `from` into `to`, converting text files.
bool CopyTree(const std::string& from, const std::string& to, bool top) {
  std::vector<os::DirEntry> entries;
  if (!os::ListDir(from, entries)) {
    Error("cannot read " + from);
    return false;
  }
  if (!os::MakeDirs(to)) {
    Error("cannot create " + to);
    return false;
  }
  for (const os::DirEntry& e : entries) {
    if (e.isDir) {
      if (top && e.name == "ddf") continue;  // generated below
      if (!CopyTree(from + e.name + "/", to + e.name + "/", false)) return false;
      continue;
    }
    std::string target = to + e.name;
    if (top && e.name == "Kova.ini" && os::FileExists(target)) continue;  // the office's settings
    std::string content;
    if (!os::ReadFile(from + e.name, content)) {
      Error("cannot read " + from + e.name);
      return false;
    }
    if (IsHelpSource(e.name)) {
      // Laid out as the help viewer's fixed records, under the topic's name.
      std::string records, error;
      if (!HelpRecords(content, records, error)) {
        Error(from + e.name + ": " + error);
        return false;
      }
      content = records;
      target = to + e.name.substr(0, e.name.size() - 4);
    } else if (IsTextFile(e.name)) {
      std::string converted;
      if (!Utf8ToCp850(content, converted)) {
        Error(from + e.name + ": text not representable in code page 850");
        return false;
      }
      content = converted;
    }
    if (!os::WriteFileAtomic(target, content)) {
      Error("cannot write " + target);
      return false;
    }
  }
  return true;
}

}  // namespace

int CmdInit(const std::vector<std::string>& args) {
  std::string dirArg, server;
  bool serverGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--server" && i + 1 < args.size()) {
      server = args[++i];
      serverGiven = true;
    } else if (dirArg.empty() && args[i].rfind("--", 0) != 0) {
      dirArg = args[i];
    } else {
      dirArg.clear();
      break;
    }
  }
  if (dirArg.empty()) {
    Error("usage: kap init DIR [--server CONNECTION]");
    return 2;
  }
  if (server.find_first_of(";\r\n") != std::string::npos) {
    // Kova.ini would cut it there; a password belongs in the password file.
    Error("the connection string cannot hold \";\" or line ends (put the password in ~/.pgpass)");
    return 2;
  }
  const std::string dir = DirArg(dirArg);
  const std::string source = os::ExecutableDir() + "data/";
  if (!os::DirExists(source)) {
    Error("installation files not found: " + source);
    return 1;
  }
  if (!os::MakeDirs(dir)) {
    Error("cannot create " + dir);
    return 1;
  }
  if (!CopyTree(source, dir, true)) return 1;
  for (const char* sub : {"DADES", "TAULES", "FORMS", "LOCALE", "AJUDA"}) {
    if (!os::MakeDirs(dir + sub)) {
      Error("cannot create " + dir + sub);
      return 1;
    }
  }
  if (!records::WriteTemplates(dir + "ddf/")) {
    Error("cannot write the templates in " + dir + "ddf/");
    return 1;
  }
  const std::string store = serverGiven ? server : ServerSetting(dir);
  recman::UseServer(store, dir);
  for (const records::TableLayout& table : records::Layouts()) {
    int status = CreateTable(dir, table);
    if (status != 0) {
      Error("cannot create " + TablePath(dir, table) + ": " + StatusText(status));
      return 1;
    }
  }
  if (serverGiven) settings::IniWrite(dir + "Kova.ini", "Dades", "Servidor", server);
  std::cout << "Data tree ready in " << dir << "\n";
  if (!store.empty()) std::cout << "Record files on the server of [Dades] Servidor\n";
  return 0;
}

}  // namespace kap
