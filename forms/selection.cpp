// The declaration selection.
#include "forms/selection.h"

#include <string>

namespace forms {

std::string SelMode;
std::string SelDate;
std::string SelFrom;
std::string SelTo;
std::string SelPayment;
bool SelAnnual = false;
std::string PresTown;
std::string PresAccount;

void ResetSelectionForTests() {
  SelMode.clear();
  SelDate.clear();
  SelFrom.clear();
  SelTo.clear();
  SelPayment.clear();
  SelAnnual = false;
  PresTown.clear();
  PresAccount.clear();
}

}  // namespace forms
