// Text normalisation and layout (CP850 bytes).
#pragma once

#include <string>

namespace format {

// Selects the upper-casing table of UpperText: accents folded (true) or kept.
void FoldAccents(bool fold);
std::string UpperText(const std::string& text);
std::string NormalizeText(const std::string& text, int width);
void WrapText(std::string& text, int indent, int width, const std::string& align);
bool IsAllChar(const std::string& text, int code);
int CenterOffset(const std::string& text, int width);

}  // namespace format
