// Running the kap program from the tool tests.
#pragma once

#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace kaptest {

struct KapRun {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs kap with `args`; its output and errors pass through files in `work`.
inline KapRun RunKap(const std::string& work, const std::vector<std::string>& args) {
  std::string line = testsupport::ShellQuote(testsupport::BinDir() + "kap");
  for (const std::string& a : args) line += " " + testsupport::ShellQuote(a);
  line += " >" + testsupport::ShellQuote(work + "out.txt") + " 2>" + testsupport::ShellQuote(work + "err.txt");
  KapRun r;
  r.code = os::RunShell(line);
  os::ReadFile(work + "out.txt", r.out);
  os::ReadFile(work + "err.txt", r.err);
  return r;
}

}  // namespace kaptest
