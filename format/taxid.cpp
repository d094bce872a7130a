// Tax identifier checks and filing name.
#include "format/taxid.h"

#include <cstring>

#include "format/text.h"

namespace format {
namespace {

// Code page 850 bytes 128-237 as the filing file writes them: the reduced
// letter, except that C-cedilla and N-tilde keep their letter (ISO 8859-1).
char FilingChar(unsigned char c) {
  switch (c) {
    case 0x80:
    case 0x87:
      return '\xC7';
    case 0xA4:
    case 0xA5:
      return '\xD1';
    default:
      return ReduceChar(static_cast<char>(c));
  }
}

void TrimRight(std::string& s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
}

std::string TrimLeft(const std::string& s) {
  const size_t start = s.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : s.substr(start);
}

std::string CleanName(const std::string& name) {
  std::string source = name;
  TrimRight(source);
  std::string out;
  for (char ch : source) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '*') {
      out.push_back(ch);
    } else if (c >= 'a' && c <= 'z') {
      out.push_back(static_cast<char>(c - 'a' + 'A'));
    } else if (c >= 128 && c <= 237) {
      out.push_back(FilingChar(c));  // a blank from the table is kept as it is
    } else {
      TrimRight(out);
      out.push_back(' ');
    }
  }
  return out;
}

}  // namespace

bool IsSpanish(const std::string& taxId) { return taxId.size() >= 2 && taxId[0] == 'E' && taxId[1] == 'S'; }

bool HasTaxId(const std::string& taxId) {
  if (taxId.size() <= 2) return false;
  return !IsAllChar(taxId.substr(2, 15), ' ');
}

bool IsPersonIdChar(char first) { return first != '\0' && std::strchr("0123456789KLMXYZ", first) != nullptr; }

bool IsNaturalPerson(const std::string& taxId) { return taxId.size() > 2 && IsPersonIdChar(taxId[2]); }

FilingName NormalizeFilingName(const std::string& taxId, const std::string& name) {
  const std::string cleaned = CleanName(name);
  FilingName result{std::string(30, ' '), std::string(15, ' ')};
  if (IsNaturalPerson(taxId)) {
    const size_t star = cleaned.find('*');
    if (star != std::string::npos) {
      result.surnames = TrimLeft(cleaned.substr(0, star));
      result.firstName = TrimLeft(cleaned.substr(star + 1));
    } else {
      result.surnames = TrimLeft(cleaned);
      result.firstName.clear();
    }
  } else {
    result.surnames = cleaned;
  }
  return result;
}

}  // namespace format
