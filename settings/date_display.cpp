// Dates for screen and print: ISO, numeric, with a short month name, or the
// long form with words, in the user's part order and the operator's language.
#include "settings/date_display.h"

#include <string>

#include "settings/config.h"

namespace settings {

namespace {

struct DateSettings {
  bool loaded = false;
  char separator = '/';
  std::string order = "DMA";
};

DateSettings& Settings() {
  static DateSettings settings;
  return settings;
}

bool IsBlankText(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }

void LoadSettings(DateSettings& s) {
  const std::string file = UserSettingsFile();
  std::string sep = IniRead(file, "Usuari", "DatCaracter");
  s.separator = IsBlankText(sep) ? '/' : sep[0];
  std::string order = IniRead(file, "Usuari", "DatOrdre");
  s.order = IsBlankText(order) ? std::string("DMA") : FixedWidth(order, 3);
  s.loaded = true;
}

// Month names in CP850, January to December.
const char* const kSpanishMonths[12] = {"enero", "febrero", "marzo", "abril", "mayo", "junio",
                                        "julio", "agosto", "septiembre", "octubre", "noviembre",
                                        "diciembre"};
const char* const kGalicianMonths[12] = {"janeiro", "fevereiro", "mar\x87o", "abril", "maio", "junho",
                                         "julho", "agosto", "setembro", "outubro", "novembro",
                                         "dezembro"};
const char* const kOccitanMonths[12] = {"g\x8Ar", "hereu\x8Ar", "mar\x87", "abriu", "mai", "junh",
                                        "junhsega", "agost", "seteme", "octobre", "noveme", "deseme"};
const char* const kCatalanMonths[12] = {"gener", "febrer", "mar\x87", "abril", "maig", "juny",
                                        "juliol", "agost", "setembre", "octubre", "novembre",
                                        "desembre"};

struct LanguageWords {
  const char* beforeConsonant;
  const char* beforeVowel;
  const char* beforeDayOrYear;
  const char* const* months;
};

LanguageWords WordsFor(const std::string& idioma) {
  if (idioma == "SPA") return {" de ", " de ", " de ", kSpanishMonths};
  if (idioma == "GLG") return {" de ", " de ", " do ", kGalicianMonths};
  if (idioma == "OCI") return {" de ", " d'", " deth ", kOccitanMonths};
  return {" de ", " d'", " del ", kCatalanMonths};
}

int TwoDigitNumber(const std::string& digits, std::size_t at) {
  int value = 0;
  for (std::size_t i = at; i < at + 2 && i < digits.size(); ++i) value = value * 10 + (digits[i] - '0');
  return value;
}

std::string TwoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
}

bool Wants(const std::string& parts, char letter) {
  for (char c : parts)
    if (c == letter || c == letter - 'A' + 'a') return true;
  return false;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string FormatDate(const std::string& packedDate, int mode, const std::string& parts) {
  DateSettings& settings = Settings();
  if (!settings.loaded) LoadSettings(settings);

  // Each byte carries two digits in its low 7 bits.
  std::string digits;
  for (unsigned char b : packedDate) digits += TwoDigits((b & 127) % 100);
  std::string year = digits.substr(0, 4);
  if (year.size() < 4) year = std::string(4 - year.size(), '0') + year;
  const int month = TwoDigitNumber(digits, 4);
  const int day = TwoDigitNumber(digits, 6);

  if (mode < 0) return year + "-" + TwoDigits(month) + "-" + TwoDigits(day);

  const LanguageWords words = WordsFor(Idioma);
  const bool validMonth = month >= 1 && month <= 12;
  const std::string monthName = validMonth ? words.months[month - 1] : std::to_string(month);

  std::string text;
  if (month != 0 || day != 0) {
    for (char order : settings.order) {
      const char letter = UpperAscii(order);
      if ((letter != 'D' && letter != 'M' && letter != 'A') || !Wants(parts, letter)) continue;
      std::string piece;
      if (letter == 'D') piece = std::to_string(day);
      else if (letter == 'A') piece = year;
      else if (mode == 0) piece = std::to_string(month);
      else if (mode == 1) piece = monthName.substr(0, 3);
      else piece = monthName;
      if (!text.empty()) {
        if (mode <= 1) {
          text += settings.separator;
        } else if (letter == 'M') {
          const char first = monthName.empty() ? ' ' : UpperAscii(monthName[0]);
          const bool vowel = std::string("AEIOU").find(first) != std::string::npos;
          text += vowel ? words.beforeVowel : words.beforeConsonant;
        } else {
          text += words.beforeDayOrYear;
        }
      }
      text += piece;
    }
  }

  if (mode >= 2) return text;
  long width = (Wants(parts, 'M') ? (mode == 0 ? 2 : 3) : 0) + (Wants(parts, 'A') ? 4 : 0) +
               (Wants(parts, 'D') ? 2 : 0) + static_cast<long>(parts.size()) - 1;
  if (width < 0) width = 0;
  text.resize(static_cast<std::size_t>(width), ' ');
  return text;
}

void ResetDateDisplayForTests() { Settings() = DateSettings(); }

}  // namespace settings
