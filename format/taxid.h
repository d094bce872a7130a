// Tax identifier checks and the name fields of the filing file.
// A tax identifier field is 17 characters: the country code ("ES" for Spain)
// in characters 1-2 and the identifier, left-aligned, in characters 3-17.
#pragma once

#include <string>

namespace format {

// Characters 1-2 of the field are "ES".
bool IsSpanish(const std::string& taxId);
// Characters 3-17 of the field are not all blanks.
bool HasTaxId(const std::string& taxId);
// A natural person's identifier begins with one of "0123456789KLMXYZ"; any
// other first character (a company letter, a blank) means a legal entity.
bool IsPersonIdChar(char first);
// The rule applied to character 3 of a 17-character field.
bool IsNaturalPerson(const std::string& taxId);

struct FilingName {
  std::string surnames;   // surnames of a person, or the whole company name
  std::string firstName;  // first name of a person; 15 blanks for an entity
};

// Upper-case name fields of the filing file from the fiscal name: a person's
// name is written "surnames*first name". Letters lose their accents except
// that C-cedilla and N-tilde become the ISO 8859-1 bytes 0xC7 and 0xD1.
FilingName NormalizeFilingName(const std::string& taxId, const std::string& name);

}  // namespace format
