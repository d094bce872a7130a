// kap: administration and automation tool for the data tree.
#include <iostream>

#include "tools/kap/kap.h"

namespace {

void Usage() {
  std::string tables;
  for (const records::TableLayout& t : records::Layouts()) tables += " " + t.baseName;
  std::cerr << "usage:\n"
               "  kap init DIR                              lay out a new data tree\n"
               "  kap load DIR TABLE FILE.csv [--replace]   add (or replace) records from a CSV file\n"
               "  kap dump DIR TABLE                        all records of a table as CSV\n"
               "  kap demo DIR [--owners N] [--today YYYYMMDD]   a demo office in an empty data tree\n"
               "  kap lock DIR TABLE KEY                    hold one record locked until input ends\n"
               "  kap run303 DIR --mode S|R --date YYYYMMDD [options]   one run of the return without the screen\n"
               "TABLE is one of:"
            << tables << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  const std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "init") return kap::CmdInit(args);
  if (command == "load") return kap::CmdLoad(args);
  if (command == "dump") return kap::CmdDump(args);
  if (command == "demo") return kap::CmdDemo(args);
  if (command == "lock") return kap::CmdLock(args);
  if (command == "run303") {
    kap::Error("run303: not available yet");
    return 2;
  }
  kap::Error("unknown command '" + command + "'");
  Usage();
  return 2;
}
