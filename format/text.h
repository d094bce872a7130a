// Text normalisation and layout (CP850 bytes).
#pragma once

#include <string>

namespace format {

// Selects the upper-casing table of UpperText: accents folded (true) or kept.
// The setting is process-wide and false until changed.
void FoldAccents(bool fold);
// The current setting of FoldAccents.
bool AccentsFolded();
// Puts the text state back to its start-up value (FoldAccents false); for tests.
void ResetTextForTests();

std::string UpperText(const std::string& text);
std::string NormalizeText(const std::string& text, int width);
void WrapText(std::string& text, int indent, int width, const std::string& align);
bool IsAllChar(const std::string& text, int code);
int CenterOffset(const std::string& text, int width);
// The text without its trailing blanks (fixed-width fields read back).
std::string TrimRight(const std::string& text);

// The reduced form of one byte, as NormalizeText maps it: digits and capitals
// stay, small letters become capitals, CP850 letters lose their accent, every
// other byte becomes a blank.
char ReduceChar(char c);

}  // namespace format
