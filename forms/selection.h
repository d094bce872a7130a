// The declaration selection: filled from block 1 of the form when the
// operator accepts it (or by the batch run), read by the return driver.
#pragma once

#include <string>

namespace forms {

extern std::string SelMode;      // block 1 field 1 as typed: "S" filing, else report
extern std::string SelDate;      // block 1 field 2 as a packed date (4 bytes)
extern std::string SelFrom;      // block 1 field 3 packed two digits a byte
extern std::string SelTo;        // block 1 field 4 packed the same way
extern std::string SelPayment;   // block 1 field 5 as typed: "N", "D" or "E"
extern bool SelAnnual;           // December and block 1 field 6 "S"
extern std::string PresTown;     // presenter block field 1 ("S" mode)
extern std::string PresAccount;  // "ES00" + presenter account, completed by CheckIban ("S" mode)

// Back to empty values (tests).
void ResetSelectionForTests();

}  // namespace forms
