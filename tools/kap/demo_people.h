// Made-up people, companies, tax identifiers and bank accounts for kap demo.
#pragma once

#include <string>

namespace kap::demo {

// A random integer low..high from the program's generator.
int Pick(int low, int high);
// One element of a list, chosen at random.
template <typename T, std::size_t N>
const T& PickOf(const T (&list)[N]) {
  return list[static_cast<std::size_t>(Pick(0, static_cast<int>(N) - 1))];
}

struct Person {
  std::string ownerName;   // "García López, María"
  std::string fiscalName;  // "García López*María"
};
Person MakePerson();
// "Finques Puig, S.L."
std::string MakeCompany(bool& isSa);

// 9-character identifiers with their control letter or digit.
std::string PersonNif();   // 8 digits + letter
std::string ForeignerNie();  // X/Y/Z + 7 digits + letter
std::string CompanyCif(char kind);  // 'A' or 'B' + 7 digits + control digit
// A Spanish IBAN (24 characters) with valid national and IBAN check digits.
std::string SpanishIban();
// A group's description: "Local C/ Major, 12".
std::string PropertyName();

}  // namespace kap::demo
