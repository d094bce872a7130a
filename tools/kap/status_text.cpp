// Record-manager statuses in words, for kap's messages.
#include <string>

#include "platform/recman/recman.h"
#include "tools/kap/kap.h"

namespace kap {

std::string StatusText(int status) {
  const char* words = nullptr;
  switch (status) {
    case 0: words = "no error"; break;
    case 2: words = "the file is damaged or cannot be read"; break;
    case 3: words = "the file is not open"; break;
    case 4: words = "no record with that key"; break;
    case 5: words = "a record with that key already exists"; break;
    case 6: words = "the file has no such key"; break;
    case 9: words = "no more records"; break;
    case 11: words = "the file name is not valid"; break;
    case 12: words = "file not found"; break;
    case 18: words = "the disk is full"; break;
    case 22: words = "the record is longer than expected"; break;
    case 24: case 26: case 27: case 28: case 29: case 48: words = "the file definition is not valid"; break;
    case 30: words = "not a record file"; break;
    case 46: words = "permission denied: the file can only be read"; break;
    case 59: words = "the file already exists"; break;
    case 84: words = "the record is locked by another user"; break;
    case 85: words = "the file is in use by another user"; break;
    case 94: words = "permission denied"; break;
    default: words = "the record manager refused the operation"; break;
  }
  // On a server, 2 is the server failing: which one and why.
  const std::string problem = recman::ServerProblem();
  if (status == 2 && !problem.empty()) return "server " + problem + " (status 2)";
  return std::string(words) + " (status " + std::to_string(status) + ")";
}

}  // namespace kap
