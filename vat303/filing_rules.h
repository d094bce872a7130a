// The rules every correct filing file obeys, beside the record design that
// writes it (filing_layout.h). Each has a short name, the fields it concerns
// and a message; together they say what the return computes into the file:
// totals that are the sums of their parts, results that follow from the
// compensation, a type letter that agrees with the result and the payment
// form, indicators and annual pages that agree with the quarter, the rate
// constants of the period. CheckFilingRules runs them on a file's bytes in
// place, without reading or writing anything, so a run can check every file
// before it puts it in place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vat303 {

struct FilingRule {
  const char* name;     // "tipus", "resultat-general", ...
  std::string fields;   // what it concerns: page/position of its fields ("01/13 03/374"), and more in words
  const char* message;  // Catalan (CP850); shown through settings::Translate
};

// Every rule, in the order they are checked.
const std::vector<FilingRule>& FilingRules();

// What the run knows and the file cannot say. A part left unknown is not
// checked: the rules then check only what the file tells by itself.
struct FilingContext {
  std::string year;  // the folder's year ("2024"); "" unknown
  int quarter = 0;   // the folder's quarter 1-4; 0 unknown
  char payment = 0;  // the run's payment form 'N', 'D' or 'E'; 0 unknown
};

struct RuleBreak {
  const FilingRule* rule = nullptr;
  std::string message;  // the rule's message in the operator's language
};

// The rules the file breaks, in table order; empty when it obeys them all.
std::vector<RuleBreak> CheckFilingRules(std::string_view bytes, const FilingContext& context);

// Whether a type letter can come from a payment form: "U" from D, "I" from
// N or E, "N" and "C" (no positive result) from any.
bool TypeFitsPayment(char type, char payment);

// What a filing file says about its payment: the type letter, the result of
// the return, and the tax identifier and name an NRC request for it carries.
struct FilingPayment {
  char type = ' ';
  bool resultKnown = false;  // the result is an amount
  std::int64_t result = 0;   // cents
  std::string taxId;         // 9 characters
  std::string name;          // the first 38 characters of the name field
};
FilingPayment ReadFilingPayment(std::string_view bytes);

}  // namespace vat303
