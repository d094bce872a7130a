// kap: administration and automation tool for the data tree.
#include <iostream>

#include "tools/kap/kap.h"

namespace {

void Usage() {
  std::string tables;
  for (const records::TableLayout& t : records::Layouts()) tables += " " + t.baseName;
  std::cerr << "usage:\n"
               "  kap init DIR [--server CONNECTION]        lay out a new data tree (its record files on that server)\n"
               "  kap load DIR TABLE FILE.csv [--replace]   add (or replace) records from a CSV file\n"
               "  kap dump DIR TABLE                        all records of a table as CSV\n"
               "  kap demo DIR [--owners N] [--today YYYYMMDD]   a demo office in an empty data tree\n"
               "  kap lock DIR TABLE KEY|--file             hold one record (or the file) locked until input ends\n"
               "  kap copy FROM TO [--replace]              every record file between a data folder and a server\n"
               "  kap show303 FILE                          a filing file field by field, checked by its rules\n"
               "  kap check303 DIR --date YYYYMMDD          every output of the quarter checked before it is sent\n"
               "  kap run303 DIR --mode S|R --date YYYYMMDD [--from N] [--to N] [--payment N|D|E]\n"
               "             [--annual S|N] [--town TEXT] [--account CCC]   one run of the return without the screen\n"
               "  kap history DIR [--date YYYYMMDD] [--owner N]   the runs of the return, and an owner's filing files\n"
               "  kap history DIR --show FILE               a kept version, shown as show303 shows a filing file\n"
               "  kap history DIR --prune YYYYMMDD          kept versions of runs before that day removed\n"
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
  if (command == "copy") return kap::CmdCopy(args);
  if (command == "show303") return kap::CmdShow303(args);
  if (command == "run303") return kap::CmdRun303(args);
  if (command == "check303") return kap::CmdCheck303(args);
  if (command == "history") return kap::CmdHistory(args);
  kap::Error("unknown command '" + command + "'");
  Usage();
  return 2;
}
