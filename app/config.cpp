// Configuration set-up: environment variables, session file, terminal
// settings file and user settings file, read once at start.
#include "app/config.h"

#include <string>

#include "app/config_rules.h"
#include "format/dates.h"
#include "format/numbers.h"
#include "platform/os/os.h"

namespace app {

std::string DataRoot;
std::string ExeDir;
std::string TmpDir;
std::string TermDir;
std::string MenuTitle;
std::string HelpTopic;
int ColorPairs[2][5] = {};
std::string SysDate;
std::string OutputSetting;
std::string Idioma;
std::string EnvMode;
std::string FormName;

namespace {

const char kDefaultColours[] = "15000700000700070007";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string StripBlanks(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

}  // namespace

std::string WithSeparator(const std::string& dir) {
  if (dir.empty()) return dir;
  char last = dir.back();
  if (last == ':' || last == '\\' || last == '/') return dir;
  return dir + "/";
}

long LeadingNumber(const std::string& text) {
  std::string s = StripBlanks(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    negative = s[i] == '-';
    ++i;
  }
  long value = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    if (value > 100000000L) break;  // far beyond any meaningful setting
    value = value * 10 + (s[i] - '0');
  }
  return negative ? -value : value;
}

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

std::string FixedWidth(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
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

std::string UserSettingsFile() { return DataRoot + "Kova.ini"; }

void ConfigSetup() {
  DataRoot = os::GetEnv("KAPROOT");
  ExeDir = os::GetEnv("KAPEXE");
  TmpDir = WithSeparator(os::GetEnv("KAPTMP"));

  const std::string session = TmpDir + "Sessio.ini";
  MenuTitle = " " + IniRead(session, "Menu", "Titol") + " ";
  HelpTopic = IniRead(session, "Menu", "NomMenu");
  TermDir = IniRead(session, "Terminal", "Dir");
  if (TermDir.empty()) TermDir = os::GetEnv("TERM");
  TermDir = WithSeparator(TermDir);

  if (TmpDir.empty()) TmpDir = TermDir;

  format::SetCurrency("a,E");

  const std::string terminal = TmpDir + "KovaTerm.ini";
  std::string selection = IniRead(terminal, "Pantalla", "Seleccio");
  std::string colours = IniRead(terminal, "Pantalla", "Col" + std::to_string(LeadingNumber(selection)));
  if (colours.empty()) colours = kDefaultColours;
  ParseColourSet(colours, ColorPairs);
  SysDate = PackWorkingDate(IniRead(terminal, "Sistema", "Data"));
  OutputSetting = IniRead(terminal, "Sistema", "Sortida");
  Idioma = FixedWidth(IniRead(terminal, "Sistema", "Idioma"), 3);

  if (StripBlanks(Idioma).empty()) Idioma = FixedWidth(IniRead(UserSettingsFile(), "Usuari", "Idioma"), 3);

  EnvMode = EnvironmentMode();
}

void ResetConfigForTests() {
  DataRoot.clear();
  ExeDir.clear();
  TmpDir.clear();
  TermDir.clear();
  MenuTitle.clear();
  HelpTopic.clear();
  for (auto& row : ColorPairs)
    for (int& c : row) c = 0;
  SysDate.clear();
  OutputSetting.clear();
  Idioma.clear();
  EnvMode.clear();
  FormName.clear();
}

}  // namespace app
