// The configuration values of the run and the small rules of reading them.
#include <cstddef>
#include <string>

#include "settings/config.h"

namespace settings {

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

std::string FixedWidth(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

std::string UserSettingsFile() { return DataRoot + "Kova.ini"; }

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

}  // namespace settings
