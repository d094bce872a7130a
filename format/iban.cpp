// IBAN check for the countries of the account format table.
#include "format/iban.h"

#include <cstring>

namespace format {
namespace {

struct AccountFormat {
  const char* country;
  const char* layout;  // groups of a count and a type: n digits, a letters, x either
};

const AccountFormat kFormats[] = {
    {"AT", "05n11n"},         {"BE", "03n07n02n"},     {"BG", "04a04n02n08x"},  {"CH", "05n12x"},
    {"CY", "03n05n16x"},      {"CZ", "04n06n10n"},     {"DE", "08n10n"},        {"DK", "04n09n01n"},
    {"EE", "02n14n"},         {"ES", "04n04n02n10n"},  {"FI", "06n07n01n"},     {"FR", "05n05n11x02n"},
    {"GB", "04a06n08n"},      {"GI", "04a15x"},        {"GR", "03n04n16x"},     {"HR", "07n10n"},
    {"HU", "03n04n01n15n1n"}, {"IE", "04a06n08n"},     {"IS", "04n02n06n10n"},  {"IT", "01a05n05n12x"},
    {"LI", "05n12x"},         {"LT", "05n11n"},        {"LU", "03n13x"},        {"LV", "04a13x"},
    {"MC", "05n05n11x2n"},    {"MT", "04a05n18x"},     {"NL", "04a10n"},        {"NO", "04n06n01n"},
    {"PL", "08n16n"},         {"PT", "04n04n11n02n"},  {"RO", "04a16x"},        {"SE", "03n16n01n"},
    {"SI", "05n08n02n"},      {"SK", "04n06n10n"},     {"SM", "01a05n05n12x"},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsLetter(char c) { return IsUpper(c) || IsLower(c); }
char Upper(char c) { return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c; }

const char* FindLayout(const std::string& country) {
  for (const AccountFormat& f : kFormats)
    if (country == f.country) return f.layout;
  return nullptr;
}

// Removes separators from character 5 to the last non-blank character; the
// string keeps its length by blanks at the end.
void CleanAccount(std::string& iban) {
  if (iban.size() <= 4) return;
  const size_t last = iban.find_last_not_of(' ');
  if (last == std::string::npos || last < 4) return;
  std::string kept;
  for (size_t i = 4; i <= last; ++i)
    if (IsDigit(iban[i]) || IsLetter(iban[i])) kept.push_back(iban[i]);
  const size_t size = iban.size();
  iban.replace(4, last - 3, kept);
  iban.resize(size, ' ');
}

bool MatchesLayout(const std::string& account, const char* layout) {
  size_t pos = 0;
  bool ok = true;
  for (const char* g = layout; *g != '\0';) {
    int count = 0;
    while (IsDigit(*g)) count = count * 10 + (*g++ - '0');
    const char type = *g;
    if (type != '\0') ++g;
    for (int i = 0; i < count; ++i, ++pos) {
      if (pos >= account.size()) return false;  // too short
      const char c = account[pos];
      if ((type == 'n' && !IsDigit(c)) || (type == 'a' && !IsLetter(c)) ||
          (type == 'x' && !IsDigit(c) && !IsLetter(c)))
        ok = false;
    }
  }
  return ok && pos == account.size();  // nothing left over
}

// Running remainder modulo 97 of a number given digit by digit.
int Mod97Step(int remainder, int digit) { return (remainder * 10 + digit) % 97; }

int Mod97(const std::string& digits) {
  int r = 0;
  for (char c : digits) r = Mod97Step(r, c - '0');
  return r;
}

int TwoDigits(const std::string& s, size_t pos) { return (s[pos] - '0') * 10 + (s[pos + 1] - '0'); }

int SpanishDigit(const std::string& digits, const int* weights) {
  int sum = 0;
  for (size_t i = 0; i < digits.size(); ++i) sum += (digits[i] - '0') * weights[i];
  const int r = sum % 11;
  return r < 2 ? r : 11 - r;
}

bool TwentyDigits(const std::string& a) {
  if (a.size() != 20) return false;
  for (char c : a)
    if (!IsDigit(c)) return false;
  return true;
}

bool SpanishValid(const std::string& a) { return TwentyDigits(a) && SpanishCheckFaults(a) == 0; }

bool BelgianValid(const std::string& a) {
  if (a.size() != 12) return false;
  for (char c : a)
    if (!IsDigit(c)) return false;
  const int r = Mod97(a.substr(0, 10));
  return (r == 0 ? 97 : r) == TwoDigits(a, 10);
}

bool DutchValid(const std::string& a) {
  if (a.size() != 14) return false;
  int sum = 0;
  for (size_t i = 0; i < 10; ++i) {
    const char c = a[4 + i];
    if (!IsDigit(c)) return false;
    sum += (c - '0') * static_cast<int>(10 - i);
  }
  return sum % 11 == 0;
}

// France and Portugal: letters count as digits (A and J 1, B K S 2, ...), but
// only inside the 11 characters that end two before the end; the key over all
// but the last two digits is base - (N * 100 mod 97).
bool RibValid(const std::string& a, int base) {
  if (a.size() < 2) return false;
  std::string digits;
  for (size_t i = 0; i < a.size(); ++i) {
    const char c = Upper(a[i]);
    if (IsDigit(c)) {
      digits.push_back(c);
    } else if (IsUpper(c) && i + 13 >= a.size() && i + 2 < a.size()) {
      static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
      static const char kValues[] = "12345678912345678923456789";
      digits.push_back(kValues[std::strchr(kLetters, c) - kLetters]);
    } else {
      return false;
    }
  }
  int r = Mod97(digits.substr(0, digits.size() - 2));
  r = r * 100 % 97;
  return base - r == TwoDigits(digits, digits.size() - 2);
}

bool NationalValid(const std::string& country, const std::string& account) {
  if (country == "ES") return SpanishValid(account);
  if (country == "BE") return BelgianValid(account);
  if (country == "NL") return DutchValid(account);
  if (country == "FR") return RibValid(account, 97);
  if (country == "PT") return RibValid(account, 98);
  return true;
}

// 98 - (N * 100 mod 97) with N the account followed by the country code,
// letters counted as two digits (A = 10 ... Z = 35).
int IbanCheckValue(const std::string& account, const std::string& country) {
  int r = 0;
  for (char c : account + country) {
    if (IsDigit(c)) {
      r = Mod97Step(r, c - '0');
    } else {
      const int v = Upper(c) - 'A' + 10;
      r = Mod97Step(Mod97Step(r, v / 10), v % 10);
    }
  }
  return 98 - r * 100 % 97;
}

}  // namespace

int SpanishCheckFaults(const std::string& account) {
  static const int kWeights[] = {1, 2, 4, 8, 5, 10, 9, 7, 3, 6};
  if (!TwentyDigits(account)) return 0;
  int faults = 0;
  if (SpanishDigit(account.substr(0, 8), kWeights + 2) != account[8] - '0') faults += kEsBankBranchDigit;
  if (SpanishDigit(account.substr(10, 10), kWeights) != account[9] - '0') faults += kEsAccountDigit;
  return faults;
}

int CheckIban(std::string& iban) {
  if (iban.size() < 2) return kIbanUnknownCountry;
  const std::string country{Upper(iban[0]), Upper(iban[1])};
  const char* layout = FindLayout(country);
  if (layout == nullptr) return kIbanUnknownCountry;
  if (iban.size() < 4 || !IsDigit(iban[2]) || !IsDigit(iban[3])) return kIbanBadCheckDigits;

  CleanAccount(iban);
  std::string account = iban.substr(4);
  const size_t last = account.find_last_not_of(' ');
  account.erase(last == std::string::npos ? 0 : last + 1);
  if (account.find_first_not_of('0') == std::string::npos) return kIbanValid;

  int status = kIbanValid;
  if (!MatchesLayout(account, layout))
    status = kIbanBadLayout;
  else if (!NationalValid(country, account))
    status = kIbanBadNationalCheck;  // only checked on a well-formed account

  const int check = IbanCheckValue(account, country);
  if (iban[2] == '0' && iban[3] == '0') {
    iban[2] = static_cast<char>('0' + check / 10);
    iban[3] = static_cast<char>('0' + check % 10);
  } else if (TwoDigits(iban, 2) != check) {
    status = kIbanBadCheckDigits;
  }
  return status;
}

}  // namespace format
