// Helpers of the record layer tests: a data root with templates, records
// written straight through the record manager, and a kap child process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace recordstest {

// Data root `dir` (ending with "/") with DADES/, TAULES/ and ddf/ templates.
void PrepareDataRoot(const std::string& dir);
// The headless console, settings::DataRoot and TmpDir at `dir` (the window
// stack file of the messages is never shared between tests), Catalan, and
// the data root prepared.
void StartRecordsTest(const std::string& dir);
// Inserts records into the record file at `path` (created from `spec` if
// missing). Returns the first non-zero status, or 0.
int InsertRecords(const std::string& path, const std::string& spec,
                  const std::vector<std::string>& records);
// An owner record: code (1-9999) and name (CP850).
std::string Owner(int code, const std::string& name);
// Packed 4-digit code.
std::string PackedCode(int code);

// A child program with a pipe to its standard input and from its output.
struct Child {
  pid_t pid = -1;
  int toChild = -1;
  int fromChild = -1;
};
Child StartChild(const std::string& program, const std::vector<std::string>& args);
// Reads one line of the child's output ("" at end).
std::string ReadLine(Child& child);
// Closes the child's input and waits; returns its exit code.
int FinishChild(Child& child);

}  // namespace recordstest
