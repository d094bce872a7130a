// Small helpers shared by the commands (kept out of main.cpp so that tests
// and fuzz targets can link the commands without the program's main).
#include <iostream>

#include "tools/kap/kap.h"

namespace kap {

std::string DirArg(const std::string& dir) {
  if (!dir.empty() && dir.back() != '/') return dir + "/";
  return dir;
}

void Error(const std::string& text) { std::cerr << "kap: " << text << "\n"; }

}  // namespace kap
