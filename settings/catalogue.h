// Run-time translation of the program's Catalan texts.
#pragma once

#include <string>

namespace settings {

// The translation of `text` into the current language (Idioma), or `text`
// itself for Catalan, an unknown language or a text without a record.
std::string Translate(const std::string& text);
// Forgets what was loaded (tests).
void ResetCatalogueForTests();

}  // namespace settings
