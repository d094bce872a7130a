// The settings files as the programs read them at start: the session file,
// the terminal settings file and the user settings file (three parts of the
// input, cut at lines "---"), through the configuration set-up, then what the
// values feed: colours, the working date and the period proposed from it,
// dates in the user's order, amounts with the user's separators.
#include <cstdint>
#include <string>

#include "app/config_setup.h"
#include "app/main_flow.h"
#include "format/dates.h"
#include "format/numbers.h"
#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "settings/date_display.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool LastDayOfQuarter(const std::string& digits) {
  if (digits.size() != 8 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const int month = std::stoi(digits.substr(4, 2));
  const int day = std::stoi(digits.substr(6, 2));
  return (month == 3 && day == 31) || (month == 6 && day == 30) || (month == 9 && day == 30) ||
         (month == 12 && day == 31);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const char* v : {"KAPEXE", "KAPTERM", "HTTP_USER_AGENT", "HTTP_ACCEPT", "WINDIR", "SYSTEMROOT"})
    os::SetEnv(v, "");
  os::SetEnv("KAPROOT", fuzz::WorkDir());
  os::SetEnv("KAPTMP", fuzz::WorkDir());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::Parts(fuzz::Text(data, size), 3);
  const std::string& dir = fuzz::WorkDir();
  fuzz::PutFile(dir + "Sessio.ini", parts[0]);
  fuzz::PutFile(dir + "KovaTerm.ini", parts[1]);
  fuzz::PutFile(dir + "Kova.ini", parts[2]);

  settings::ResetConfigForTests();
  settings::ResetDateDisplayForTests();
  settings::ResetCatalogueForTests();
  format::ResetNumbersForTests();
  app::ConfigSetup();

  for (const auto& row : settings::ColorPairs)
    for (int c : row) fuzz::Check(c >= 0 && c <= 15, "a colour outside 0-15");
  fuzz::Check(settings::SysDate.size() == 4, "the working date is not 4 bytes");
  fuzz::Check(settings::Idioma.size() == 3, "the language is not 3 characters");

  const app::PeriodEnd period = app::ProposedPeriodEnd(settings::SysDate);
  fuzz::Check(period.packed.size() == 4, "the proposed period is not 4 bytes");
  if (!period.digits.empty()) {
    fuzz::Check(LastDayOfQuarter(format::UnpackDigits(period.packed)), "the proposed period is no quarter's end");
    fuzz::Check(!format::CheckDateText(period.digits), "the proposed period's text is no valid date");
  }

  // The catalogue is not part of this input: the language only picks month names.
  settings::Idioma = settings::Idioma == "SPA" || settings::Idioma == "GLG" || settings::Idioma == "OCI"
                         ? settings::Idioma
                         : std::string("CAT");
  for (int mode = -1; mode <= 3; ++mode)
    for (const char* parts3 : {"DMA", "dma", "MA", ""}) {
      settings::FormatDate(settings::SysDate, mode, parts3);
      settings::FormatDate(period.packed, mode, parts3);
    }
  format::DateText(settings::SysDate);
  format::FormatAmount("-ZZ,ZZZ,ZZ9.99", 123456789.0);
  format::FormatMask("-Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9.99", -1234567.891);
  format::FormatField(-1234.5, "n17");
  format::CheckNumber(format::FormatMask("ZZ,ZZ9.99", 12345.67), 0, 1e9, 2);
  return 0;
}
