// Word wrap of message texts and two small layout helpers.
#include <algorithm>
#include <climits>

#include "format/text.h"

namespace format {
namespace {

// Bytes below a blank are control characters: they take no column.
bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20; }

int Columns(const std::string& s) {
  int n = 0;
  for (char c : s)
    if (!IsControl(c)) ++n;
  return n;
}

std::string AsciiUpper(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// Length of the run of text from p that goes on a line with `room` columns.
size_t RunLength(const std::string& text, size_t p, int room) {
  const size_t len = text.size();
  size_t n = 0;
  int cols = 0;
  while (p + n < len && cols < room) {
    if (!IsControl(text[p + n])) ++cols;
    ++n;
  }
  // Control characters glued to the end of a word go with it.
  if (n > 0 && text[p + n - 1] != ' ')
    while (p + n < len && IsControl(text[p + n])) ++n;
  const size_t counted = n;
  if (p + n < len && text[p + n] != ' ') {
    // The run ends inside a word: the word goes to the next line.
    while (n > 0 && text[p + n - 1] != ' ') --n;
  }
  if (p + n < len && IsControl(text[p + n]))
    while (n > 0 && text[p + n - 1] == ' ') --n;
  if (n == 0) n = counted;  // one word longer than the line: cut it
  return n;
}

// Justifies a line to `width` columns: blanks go in one at a time, each into
// the first blank at least two characters after the previous insertion, the
// search starting again at the first blank after the indent when none is left.
// A line without a blank after its indent stays as it is.
void Justify(std::string& line, int indent, int width) {
  const size_t firstBlank = line.find(' ', static_cast<size_t>(indent));
  if (firstBlank == std::string::npos) return;
  size_t from = static_cast<size_t>(indent);
  while (Columns(line) < width) {
    size_t blank = line.find(' ', from);
    if (blank == std::string::npos) blank = firstBlank;
    line.insert(blank, 1, ' ');
    from = blank + 2;
  }
}

}  // namespace

void WrapText(std::string& text, int indent, int width, const std::string& align) {
  // Widths and indents are 16-bit values: held at those limits, no line asks
  // for more than 32767 columns and no arithmetic below can overflow.
  indent = std::clamp(indent, -32768, 32767);
  width = std::clamp(width, -32768, 32767);
  const std::string mode = AsciiUpper(align);
  const bool left = mode == "E" || mode == "L" || mode == "I";
  const bool dashes = mode == "N";
  const bool right = mode == "D" || mode == "R";
  const bool centre = mode == "C";
  const bool justify = mode == "A" || mode == "B";
  const size_t len = text.size();
  std::string result;
  size_t p = 0;
  bool first = true;
  while (p < len) {
    const int lineIndent = first ? std::max(indent, 0) : (indent < 0 ? -indent : 0);
    first = false;
    // At least one column, so that every line takes something from the text.
    const int room = std::max(width - lineIndent, 1);
    const size_t n = RunLength(text, p, room);
    std::string line(static_cast<size_t>(lineIndent), ' ');
    line.append(text, p, n);
    size_t next = p + n;
    while (next < len && text[next] == ' ') ++next;
    const bool last = next >= len;
    const int freeCols = std::max(width - Columns(line), 0);
    if (left) {
      line.append(static_cast<size_t>(freeCols), ' ');
    } else if (dashes) {
      line.append(static_cast<size_t>(freeCols), '-');
    } else if (right) {
      line.insert(0, static_cast<size_t>(freeCols), ' ');
    } else if (centre) {
      line.insert(0, static_cast<size_t>(freeCols / 2), ' ');
      line.append(static_cast<size_t>((freeCols + 1) / 2), ' ');
    } else if (justify && !last) {
      Justify(line, lineIndent, width);
    }
    result += line;
    p = next;
  }
  text = result;
}

bool IsAllChar(const std::string& text, int code) {
  for (char c : text)
    if (static_cast<unsigned char>(c) != code) return false;
  return true;
}

int CenterOffset(const std::string& text, int width) {
  const long long diff = static_cast<long long>(width) - static_cast<long long>(text.size());
  return static_cast<int>(std::clamp<long long>(diff / 2, INT_MIN, INT_MAX));
}

std::string TrimRight(const std::string& text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string FitText(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, std::min(text.size(), width));
  out.resize(width, ' ');
  return out;
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t cut = text.find(separator, from);
    out.push_back(text.substr(from, cut == std::string::npos ? std::string::npos : cut - from));
    if (cut == std::string::npos) return out;
    from = cut + 1;
  }
}

}  // namespace format
