// Common set-up of the return tests: a data tree made by `kap init` and
// `kap load` in a temporary folder, the configuration pointing at it, a
// print program that keeps a copy of the spool, and the record files open.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace returntest {

// tests/vat303/ of the source tree (data set, expected files).
inline std::string TestsDir() { return KOVA_VAT303_TESTS; }

// "20240630" -> the packed date.
std::string PackedDate(const std::string& digits);
// 42 -> the packed owner code.
std::string PackedOwner(int code);

class ReturnTest : public ::testing::Test {
 protected:
  testsupport::TempDir work;
  std::string tree;  // DataRoot
  std::string tmp;   // TmpDir
  std::string exe;   // ExeDir, with the stand-in print program

  void SetUp() override;
  void TearDown() override;

  // Runs kap; returns its exit code (output in lastKapOutput / lastKapErrors).
  int Kap(const std::vector<std::string>& args);
  std::string lastKapOutput, lastKapErrors;
  // Loads tests/vat303/data/<table>.csv, or the given CSV text.
  void LoadTable(const std::string& table);
  void LoadText(const std::string& table, const std::string& csv);
  // Adds records written byte for byte (values kap load refuses).
  void InsertRaw(const std::string& table, const std::vector<std::string>& records);
  // Opens the seven record files (after loading) and closes them.
  void OpenFiles();
  void CloseFiles();

  // The selection of block 1 and the presenter's account.
  void Select(const std::string& mode, const std::string& date, int from, int to, const std::string& payment,
              bool annual);
  // A run in batch presentation; messages go to `messages`.
  int Run();
  std::vector<std::string> messages;

  // Relative path -> content of every file under the agency folders, the
  // payment map and (when there) the printed copy of the spool.
  std::map<std::string, std::string> Outputs();
  std::string Read(const std::string& relative);
  bool PrintProgramRan();
};

}  // namespace returntest
