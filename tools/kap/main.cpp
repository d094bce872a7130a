// kap: administration and automation tool for the data tree.
#include <iostream>

#include "tools/kap/kap.h"

namespace kap {

std::string DirArg(const std::string& dir) {
  if (!dir.empty() && dir.back() != '/') return dir + "/";
  return dir;
}

void Error(const std::string& text) { std::cerr << "kap: " << text << "\n"; }

}  // namespace kap

namespace {

void Usage() {
  std::cerr << "usage:\n"
               "  kap init DIR\n"
               "  kap load DIR TABLE FILE.csv [--replace]\n"
               "  kap dump DIR TABLE\n"
               "  kap demo DIR [--owners N] [--today YYYYMMDD]\n"
               "  kap lock DIR TABLE KEY0VALUE\n"
               "  kap show303 FILE\n"
               "  kap run303 DIR --mode S|R --date YYYYMMDD [options]\n";
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
  if (command == "show303") return kap::CmdShow303(args);
  if (command == "run303") {
    kap::Error("run303: not available yet");
    return 2;
  }
  Usage();
  return 2;
}
