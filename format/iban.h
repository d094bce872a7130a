// Bank account check: IBAN layout, national and IBAN check digits.
#pragma once

#include <string>

namespace format {

// Statuses of CheckIban.
constexpr int kIbanValid = 0;            // also for an empty or all-zero account
constexpr int kIbanUnknownCountry = 1;   // characters 1-2 not a known country
constexpr int kIbanBadCheckDigits = 2;   // characters 3-4 not digits, or wrong
constexpr int kIbanBadLayout = 3;        // account does not match the country's layout
constexpr int kIbanBadNationalCheck = -1;  // national check digits wrong (BE, ES, FR, NL, PT)

// Checks an IBAN-shaped string: country code, two check digits, account.
// Rewrites the string in place: from character 5 on, every character that is
// not a letter or digit is removed (the string keeps its length with blanks
// at the end), and check digits "00" are replaced by the computed ones.
// A string shorter than 4 characters gives 1 or 2 and is left unchanged.
int CheckIban(std::string& iban);

// Which national check digits of a Spanish account (20 digits: bank 4,
// branch 4, check digits 2, number 10) are wrong: kEsBankBranchDigit for the
// first (over bank and branch) and kEsAccountDigit for the second (over the
// number), added together; 0 when both are right or the account is not 20
// digits. Says which part failed where CheckIban gives kIbanBadNationalCheck.
constexpr int kEsBankBranchDigit = 1;
constexpr int kEsAccountDigit = 2;
int SpanishCheckFaults(const std::string& account);

}  // namespace format
