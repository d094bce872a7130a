// kap show303 FILE: a Model 303 filing file field by field (page, position,
// width, what the field holds, the value as read), checked against the
// record design the program writes it from and by the rules of a correct
// filing file. Exit code 0 when the file follows both, 1 when it does not
// (every fault is listed with its position in the file, every broken rule
// with its fields and message), 2 for bad usage.
#include <iostream>
#include <string>

#include "platform/os/os.h"
#include "tools/kap/kap.h"
#include "vat303/filing_check.h"
#include "vat303/filing_rules.h"
#include "vat303/quarter_check.h"

namespace kap {
namespace {

std::string Pad(std::string s, std::size_t width, bool right) {
  if (s.size() >= width) return s;
  return right ? std::string(width - s.size(), ' ') + s : s + std::string(width - s.size(), ' ');
}

}  // namespace

int ShowFilingFile(const std::string& file, const std::string& quarter, const std::string& dataRoot) {
  std::string bytes;
  if (!os::ReadFile(file, bytes)) {
    Error("cannot read " + file);
    return 1;
  }
  const vat303::FilingReading reading = vat303::ReadFilingText(bytes);
  const std::vector<vat303::FilingPage>& pages = vat303::FilingPages();
  std::cout << file << ": " << bytes.size() << " bytes, "
            << (reading.annualPages ? "with" : "without") << " pages 04 and 05\n";
  std::cout << "page              pos  len  field" << std::string(53, ' ') << "value\n";
  for (const vat303::FieldRead& r : reading.fields) {
    const vat303::FilingField& f = *r.field;
    std::string value = r.present ? Latin1ToUtf8(r.value) : "(missing)";
    if (r.present && f.kind == vat303::FieldKind::Amount) {
      const std::string euros = vat303::AmountAsEuros(r.value);
      if (!euros.empty()) value += "  (" + euros + ")";
    }
    if (r.present && f.kind == vat303::FieldKind::Blank) value = "(" + std::to_string(f.width) + " blanks)";
    if (r.present && f.kind == vat303::FieldKind::Blank && r.value.find_first_not_of(' ') != std::string::npos)
      value = Latin1ToUtf8(r.value);
    std::cout << Pad(pages[static_cast<std::size_t>(f.page)].name, 16, false) << Pad(std::to_string(f.position), 6, true)
              << Pad(std::to_string(f.width), 5, true) << "  " << Pad(f.name, 58, false) << value << "\n";
    if (!r.present) break;
  }
  vat303::FilingContext context;
  if (!vat303::QuarterOfFolder(quarter, context.year, context.quarter)) context = {};
  UseOfficeLanguage(dataRoot);
  const std::vector<vat303::RuleBreak> broken = vat303::CheckFilingRules(bytes, context);
  if (reading.faults.empty() && broken.empty()) {
    std::cout << "OK: the file follows the record design and every rule\n";
    return 0;
  }
  for (const vat303::FilingFault& fault : reading.faults)
    std::cerr << "kap: show303: fault at position " << fault.position << ": " << fault.text << "\n";
  for (const vat303::RuleBreak& b : broken)
    std::cerr << "kap: show303: rule " << b.rule->name << " (" << b.rule->fields << "): " << Cp850ToUtf8(b.message)
              << "\n";
  std::cerr << "kap: show303: " << reading.faults.size() << " fault(s) and " << broken.size() << " broken rule(s) in "
            << file << "\n";
  return 1;
}

// The year and quarter come from the file's folder when it is named
// 303M<year>.<quarter>T, and the language from the data folder two levels up.
int CmdShow303(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    Error("usage: kap show303 FILE");
    return 2;
  }
  const std::string path = os::HostPath(args[0]);
  const std::size_t cut = path.rfind('/');
  const std::string folder = cut == std::string::npos ? os::CurrentDir() : path.substr(0, cut + 1);
  return ShowFilingFile(args[0], folder, folder + "../../");
}

}  // namespace kap
