// A run of the return in a process of its own, for the tests that kill it:
//   run303_helper DIR MODE YYYYMMDD PAYMENT ANNUAL(S|N) TODAY(YYYYMMDD)
// DIR is DataRoot; TmpDir and ExeDir are DIR/tmp/ and DIR/exe/. Exit code:
// the run's.
#include <string>

#include "format/iban.h"
#include "format/numbers.h"
#include "forms/selection.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "settings/config.h"
#include "vat303/driver.h"

namespace {

std::string Packed(const std::string& digits) {
  std::string out;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    out += static_cast<char>(0x80 + (digits[i] - '0') * 10 + (digits[i + 1] - '0'));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) return 2;
  const std::string dir = argv[1];
  const std::string today = argv[6];
  os::SetFixedNow({std::stoi(today.substr(0, 4)), std::stoi(today.substr(4, 2)), std::stoi(today.substr(6, 2)), 9, 0, 0, 0});
  settings::DataRoot = dir;
  settings::TmpDir = dir + "tmp/";
  settings::ExeDir = dir + "exe/";
  settings::Idioma = "CAT";
  settings::OutputSetting = "PDF";
  format::SetCurrency("a,E");
  forms::SelMode = argv[2];
  forms::SelDate = Packed(argv[3]);
  forms::SelFrom = Packed("0001");
  forms::SelTo = Packed("9999");
  forms::SelPayment = argv[4];
  forms::SelAnnual = std::string(argv[5]) == "S";
  forms::PresTown = "GIRONA";
  forms::PresAccount = "ES0021000418450200051332";
  format::CheckIban(forms::PresAccount);
  records::OpenDataFiles();
  const int code = vat303::RunReturn(vat303::RunPresentation::Batch);
  int status = 0;
  records::BtrCloseAll(status);
  return code;
}
