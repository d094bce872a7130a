// Where the record files of a data tree are: the server that its Kova.ini
// names ([Dades] "Servidor"), or the files of the data folder.
#include "platform/recman/recman.h"
#include "settings/config.h"
#include "tools/kap/kap.h"

namespace kap {

std::string ServerSetting(const std::string& dir) {
  const std::string value = settings::IniRead(dir + "Kova.ini", "Dades", "Servidor");
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

void UseDataStore(const std::string& dir) { recman::UseServer(ServerSetting(dir), dir); }

}  // namespace kap
