// Configuration set-up: environment variables, session file, terminal
// settings file and user settings file, read once at start.
#include "app/config_setup.h"

#include <string>

#include "format/dates.h"
#include "format/numbers.h"
#include "platform/os/os.h"
#include "settings/config.h"

namespace app {

using namespace settings;

namespace {

const char kDefaultColours[] = "15000700000700070007";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A folder named relative to the current directory, made absolute: the
// program moves into DataRoot later, and the folder must still be found.
// Empty stays empty (it means the current directory wherever that is).
std::string Absolute(const std::string& dir) {
  if (dir.empty() || dir[0] == '/' || dir[0] == '\\') return dir;
  return os::CurrentDir() + dir;
}

// The variable's value made absolute; a relative value is also written back
// to the environment, so that the programs this one starts once it is in the
// data root (the print program) find the same folders.
std::string AbsoluteEnv(const char* name) {
  const std::string value = os::GetEnv(name);
  const std::string absolute = Absolute(value);
  if (absolute != value) os::SetEnv(name, absolute);
  return absolute;
}

}  // namespace

void ParseColourSet(const std::string& text, int pairs[2][5]) {
  for (int slot = 0; slot < 5; ++slot) {
    for (int part = 0; part < 2; ++part) {
      std::size_t at = static_cast<std::size_t>(slot * 4 + part * 2);
      std::string two = at < text.size() ? text.substr(at, 2) : std::string();
      long colour = 0;
      if (two.size() == 2 && IsDigit(two[0]) && IsDigit(two[1])) colour = (two[0] - '0') * 10 + (two[1] - '0');
      else if (!two.empty() && IsDigit(two[0])) colour = two[0] - '0';
      // Console colours are 0 to 15; anything else would spill into the
      // other half of the attribute byte.
      if (colour > 15) colour = 0;
      pairs[part][slot] = static_cast<int>(colour);
    }
  }
}

std::string PackWorkingDate(const std::string& text) {
  // Only the digits count, so "2024-05-15" reads like "20240515".
  std::string digits;
  for (char c : text)
    if (IsDigit(c) && digits.size() < 8) digits += c;
  // Right-aligned in eight places, so the result is always a 4-byte date.
  return format::PackDigits(std::string(8 - digits.size(), ' ') + digits);
}

std::string EnvironmentMode() {
  if (!os::GetEnv("HTTP_USER_AGENT").empty() || !os::GetEnv("HTTP_ACCEPT").empty()) return "CGI";
  if (!os::GetEnv("WINDIR").empty() || !os::GetEnv("SYSTEMROOT").empty()) return "WIN";
  return "DOS";
}

void ConfigSetup() {
  // Relative folders are made absolute at once: they name places seen from
  // the directory the program was started in.
  DataRoot = AbsoluteEnv("KAPROOT");
  ExeDir = WithSeparator(AbsoluteEnv("KAPEXE"));  // a prefix: "/" whether given or not
  TmpDir = WithSeparator(AbsoluteEnv("KAPTMP"));

  const std::string session = TmpDir + "Sessio.ini";
  MenuTitle = " " + IniRead(session, "Menu", "Titol") + " ";
  HelpTopic = IniRead(session, "Menu", "NomMenu");
  // "TERM" names the terminal type here, so the folder comes from "KAPTERM".
  TermDir = IniRead(session, "Terminal", "Dir");
  if (TermDir.empty()) TermDir = AbsoluteEnv("KAPTERM");
  TermDir = Absolute(WithSeparator(TermDir));

  if (TmpDir.empty()) TmpDir = TermDir;
  // The clipboard file belongs to the terminal: its temporary folder, or
  // with none configured the folder the settings were read from.
  os::SetClipboardDir(TmpDir.empty() ? os::CurrentDir() : TmpDir);

  format::SetCurrency("a,E");

  const std::string terminal = TmpDir + "KovaTerm.ini";
  std::string selection = IniRead(terminal, "Pantalla", "Seleccio");
  std::string colours = IniRead(terminal, "Pantalla", "Col" + std::to_string(LeadingNumber(selection)));
  if (colours.empty()) colours = kDefaultColours;
  ParseColourSet(colours, ColorPairs);
  SysDate = PackWorkingDate(IniRead(terminal, "Sistema", "Data"));
  OutputSetting = IniRead(terminal, "Sistema", "Sortida");
  Idioma = FixedWidth(IniRead(terminal, "Sistema", "Idioma"), 3);

  if (Idioma.find_first_not_of(" \t") == std::string::npos) Idioma = FixedWidth(IniRead(UserSettingsFile(), "Usuari", "Idioma"), 3);

  EnvMode = EnvironmentMode();
}

}  // namespace app
