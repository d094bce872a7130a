// Text normalisation and layout (CP850 bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
// The text cut or blank-padded to exactly `width` bytes (fixed-width fields).
std::string FitText(const std::string& text, std::size_t width);

// The reduced form of one byte, as NormalizeText maps it: digits and capitals
// stay, small letters become capitals, CP850 letters lose their accent, every
// other byte becomes a blank.
char ReduceChar(char c);

// A 64-bit digest of bytes, to tell whether a file is still the one a run
// wrote or read (not against a forger).
std::uint64_t BytesHash(const char* data, std::size_t size);
inline std::uint64_t BytesHash(const std::string& bytes) { return BytesHash(bytes.data(), bytes.size()); }
// The same digest taken over pieces of any length as they come: HashValue
// after HashBytes of each piece is BytesHash of the pieces joined.
struct BytesHasher {
  std::uint64_t h = 1469598103934665603ULL;
  char held[8] = {};  // the bytes of a word not yet whole
  std::size_t heldCount = 0;
};
void HashBytes(BytesHasher& hasher, const char* data, std::size_t size);
std::uint64_t HashValue(const BytesHasher& hasher);
// A digest as 16 lower-case hexadecimal digits, and back (false for any
// other text).
std::string DigestText(std::uint64_t digest);
bool ParseDigestText(const std::string& text, std::uint64_t& digest);

// The pieces of a line between the separators (one more than there are
// separators; "" gives one empty piece).
std::vector<std::string> SplitText(const std::string& text, char separator);

}  // namespace format
