// Upper-casing and reduction of CP850 text.
#include "format/text.h"

#include <array>

namespace format {
namespace {

using ByteTable = std::array<unsigned char, 256>;

ByteTable Identity() {
  ByteTable t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  return t;
}

void MapAll(ByteTable& t, const char* from, char to) {
  for (const char* p = from; *p != '\0'; ++p) t[static_cast<unsigned char>(*p)] = static_cast<unsigned char>(to);
}

// Upper case with the accents kept.
ByteTable MakeUpperTable() {
  ByteTable t = Identity();
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 'a' + 'A');
  static const unsigned char pairs[][2] = {
      {0x81, 0x9A}, {0x82, 0x90}, {0x83, 0xB6}, {0x84, 0x8E}, {0x85, 0xB7}, {0x86, 0x8F},
      {0x87, 0x80}, {0x88, 0xD2}, {0x89, 0xD3}, {0x8A, 0xD4}, {0x8B, 0xD8}, {0x8C, 0xD7},
      {0x8D, 0xDE}, {0x91, 0x92}, {0x93, 0xE2}, {0x94, 0x99}, {0x95, 0xE3}, {0x96, 0xEA},
      {0x97, 0xEB}, {0xA0, 0xB5}, {0xA1, 0xD6}, {0xA2, 0xE0}, {0xA3, 0xE9}, {0xA4, 0xA5},
      {0xC6, 0xC7}, {0xD0, 0xD1}, {0xE4, 0xE5}, {0xEC, 0xED}};
  for (const auto& p : pairs) t[p[0]] = p[1];
  return t;
}

// Upper case with the accents folded to plain capitals; within 0x40 to 0xED
// every byte that is not a letter becomes a blank.
ByteTable MakeFoldTable() {
  ByteTable t = Identity();
  for (int c = 0x40; c <= 0xED; ++c) t[c] = ' ';
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 'a' + 'A');
  MapAll(t, "\x83\x84\x85\x86\x8E\x8F\x91\x92\xA0\xA6\xB5\xB6\xB7\xC6\xC7", 'A');
  MapAll(t, "\x80\x87", 'C');
  MapAll(t, "\xD0\xD1", 'D');
  MapAll(t, "\x82\x88\x89\x8A\x90\xD2\xD3\xD4\xD5", 'E');
  MapAll(t, "\x8B\x8C\x8D\xA1\xD6\xD7\xD8\xDE", 'I');
  MapAll(t, "\xA4\xA5", 'N');
  MapAll(t, "\x93\x94\x95\x99\x9B\x9D\xA2\xA7\xE0\xE2\xE3\xE4\xE5", 'O');
  MapAll(t, "\xE1", 'S');
  MapAll(t, "\xE7\xE8", 'T');
  MapAll(t, "\x81\x96\x97\x9A\xA3\xE9\xEA\xEB", 'U');
  MapAll(t, "\x98\xEC\xED", 'Y');
  return t;
}

// NormalizeText: digits and capitals stay, small letters become capitals,
// 0x80 to 0xED as the folding table except that the ordinal signs, 0xD5 and
// thorn become blanks; everything else is a blank.
ByteTable MakeReduceTable(const ByteTable& fold) {
  ByteTable t{};
  t.fill(' ');
  for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<unsigned char>(c);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 'a' + 'A');
  for (int c = 0x80; c <= 0xED; ++c) t[c] = fold[c];
  MapAll(t, "\xA6\xA7\xD5\xE7\xE8", ' ');
  return t;
}

const ByteTable kUpper = MakeUpperTable();
const ByteTable kFold = MakeFoldTable();
const ByteTable kReduce = MakeReduceTable(kFold);

bool foldAccents = false;

void TrimRight(std::string& s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
}

}  // namespace

void FoldAccents(bool fold) { foldAccents = fold; }

bool AccentsFolded() { return foldAccents; }

void ResetTextForTests() { foldAccents = false; }

std::string UpperText(const std::string& text) {
  const ByteTable& table = foldAccents ? kFold : kUpper;
  std::string out = text;
  for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return out;
}

char ReduceChar(char c) { return static_cast<char>(kReduce[static_cast<unsigned char>(c)]); }

std::string NormalizeText(const std::string& text, int width) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    char m = ReduceChar(c);
    if (m == ' ') TrimRight(out);  // runs of blanks collapse to one
    out.push_back(m);
  }
  size_t start = out.find_first_not_of(' ');
  out.erase(0, start == std::string::npos ? out.size() : start);
  if (width <= 0) {  // 0 asks for the trimmed form; a negative width is taken as 0
    TrimRight(out);
    return out;
  }
  out.resize(static_cast<size_t>(width), ' ');
  return out;
}

}  // namespace format
