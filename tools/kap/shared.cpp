// Small helpers shared by the commands (kept out of main.cpp so that tests
// and fuzz targets can link the commands without the program's main).
#include <iostream>

#include "format/dates.h"
#include "platform/os/os.h"
#include "settings/config.h"
#include "tools/kap/kap.h"

namespace kap {

std::string DirArg(const std::string& dir) {
  if (!dir.empty() && dir.back() != '/') return dir + "/";
  return dir;
}

void UseOfficeLanguage(const std::string& dir) {
  settings::DataRoot = DirArg(dir);
  settings::FormName = "RUVOZ303";
  settings::Idioma = "CAT";
  // The catalogue is only read: Translate would make a missing one.
  if (os::FileExists(settings::DataRoot + "LOCALE/RUVOZ303.LNG"))
    settings::Idioma = settings::FixedWidth(settings::IniRead(settings::UserSettingsFile(), "Usuari", "Idioma"), 3);
}

bool IsDateArg(const std::string& text) {
  return text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos &&
         !format::CheckDateText(text.substr(6, 2) + "/" + text.substr(4, 2) + "/" + text.substr(0, 4));
}

void Error(const std::string& text) { std::cerr << "kap: " << text << "\n"; }

}  // namespace kap
