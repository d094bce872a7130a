// Helpers for tests: a fresh temporary folder per test, file helpers.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A new empty folder under the system's temporary folder, ending with "/".
// Removed with its contents by RemoveTree.
std::string MakeTempDir();
void RemoveTree(const std::string& dir);
// Folder of the built programs (ExeDir for tests), ending with "/".
std::string BinDir();
// Root of the source tree, ending with "/".
std::string SourceDir();
// A packed date (YYYYMMDD, two digits a byte as 0x80 + value), built
// independently of the library under test.
std::string Packed(int year, int month, int day);
// UTF-8 literal to CP850 bytes.
std::string Cp850(const std::string& utf8);

// One argument quoted for the shell ('...').
std::string ShellQuote(const std::string& s);
// Runs a shell command and returns its standard output.
std::string CommandOutput(const std::string& command);

// Ends (SIGKILL) every other process whose command line or environment holds
// `text` (a test's own temporary folder): programs a test started in a
// terminal must not outlive it, even when the test failed half-way.
void KillProcessesMentioning(const std::string& text);

// One run of a program with a refused write planned (os.h, "refused writes").
struct RefusedRun {
  int code = -1;
  std::string out, err;  // standard output and error
  bool struck = false;   // the planned failure happened in this run
  std::string where;     // its log line: "fail write 7 ENOSPC /path"
  std::string calls;     // the counts at the program's end: "calls write 12 rename 3 mkdir 2"
};
// Runs `argv` (program first) with KOVA_FAIL_AT = `plan` and KOVA_FAIL_UNDER =
// `under`, and the environment variables `env` ("NAME=value"). A test that
// runs a program once per n ("write:1", "write:2", ...) stops at the first
// run whose `struck` is false: that run no longer reached an n-th write.
RefusedRun RunRefused(const std::vector<std::string>& argv, const std::string& plan, const std::string& under,
                      const std::vector<std::string>& env = {});
// Copies the folder `from` (ending with "/") to `to` (made anew).
bool CopyTree(const std::string& from, const std::string& to);

// A temporary folder that lives for the scope.
struct TempDir {
  std::string path;
  TempDir() : path(MakeTempDir()) {}
  ~TempDir() { RemoveTree(path); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

// The test server: the connection string in KOVA_TEST_PG ("" when unset).
std::string TestServer();
// Runs one SQL command through psql on the test server; true when it worked.
bool Psql(const std::string& sql);

// A schema of its own on the test server for the scope: made with psql, set
// as the search path of every connection of this process and of the
// programs it starts (PGOPTIONS), dropped at the end with what it holds.
// `ok` is false when it could not be made.
struct ServerSchema {
  std::string name;
  bool ok = false;
  ServerSchema();
  ~ServerSchema();
  ServerSchema(const ServerSchema&) = delete;
  ServerSchema& operator=(const ServerSchema&) = delete;
};

}  // namespace testsupport
