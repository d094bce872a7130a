// Process-wide state of the number routines: the separator characters, read
// once from the user settings file, and the currency selection.
#include <string>

#include "settings/config.h"
#include "format/number_internal.h"
#include "format/numbers.h"

namespace format {

namespace {

bool separatorsLoaded = false;
char decimalChar = '\'';
char thousandsChar = '.';

char activeCurrency = '\0';
char printCurrency = '\0';
char currentCurrency = '\0';

void LoadSeparators() {
  if (separatorsLoaded) return;
  separatorsLoaded = true;
  const std::string file = settings::DataRoot + "Kova.ini";
  const std::string dec = settings::IniRead(file, "Usuari", "DecCaracter");
  const std::string mil = settings::IniRead(file, "Usuari", "MilCaracter");
  decimalChar = dec.empty() ? '\'' : dec[0];
  thousandsChar = mil.empty() ? '.' : mil[0];
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

namespace numbers_detail {

char DecimalChar() {
  LoadSeparators();
  return decimalChar;
}

char ThousandsChar() {
  LoadSeparators();
  return thousandsChar;
}

char CurrentCurrency() { return currentCurrency; }

}  // namespace numbers_detail

void SetCurrency(const std::string& command) {
  const std::size_t comma = command.find(',');
  const char first = command.empty() ? '\0' : Upper(command[0]);
  if (comma != std::string::npos) {
    char code = '\0';
    std::size_t pos = command.find_first_not_of(' ', comma + 1);
    if (pos != std::string::npos) code = Upper(command[pos]);
    if (first == 'A') {
      activeCurrency = code != '\0' ? code : 'E';
      currentCurrency = activeCurrency;
    } else {
      printCurrency = code != '\0' ? code : activeCurrency;
    }
  } else if (first == 'P') {
    currentCurrency = printCurrency != '\0' ? printCurrency : activeCurrency;
  } else {
    currentCurrency = activeCurrency;
  }
}

void ResetNumbersForTests() {
  separatorsLoaded = false;
  decimalChar = '\'';
  thousandsChar = '.';
  activeCurrency = printCurrency = currentCurrency = '\0';
}

}  // namespace format
