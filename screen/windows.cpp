// Screen geometry, window-relative positions and the stack of pop-up windows.
//
// Each open window keeps what it covers in memory, and a copy in the window
// stack file "WinPush.tmp" of the temporary directory:
//   bytes 1-4  stack top: 1-based position of the next free byte (32-bit LE)
//   from 5     one record per window, in opening order:
//              cursor row, cursor column (2 digits each), the enclosing
//              window's top, left, bottom, right (2 digits each, zeros for
//              none), this window's top, left, bottom, right (2 digits each),
//              the covered cells row by row (character byte, attribute byte),
//              then the record length in 5 digits (20 + cell bytes + 5).
#include <string>
#include <vector>

#include "settings/config.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/windows.h"

namespace screen {
namespace {

int g_depth = 0;
int g_top = 0, g_left = 0, g_bottom = 0, g_right = 0;
// The records of the open windows, innermost last: the truth that pops
// restore from. The stack file is kept as their copy; a file that cannot be
// written, or is deleted or cut by someone else, changes nothing here.
std::vector<std::string> g_saved;

std::string StackPath() { return settings::TmpDir + "WinPush.tmp"; }

// Decimal digits of v, left-filled with "0" and cut to the rightmost w.
std::string ZeroPad(int v, int w) {
  std::string digits = std::to_string(v < 0 ? -v : v);
  if (static_cast<int>(digits.size()) < w) digits.insert(0, w - digits.size(), '0');
  return digits.substr(digits.size() - w);
}

int ParseDigits(const std::string& text, std::size_t pos, std::size_t count) {
  int v = 0;
  for (std::size_t i = pos; i < pos + count && i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string LittleEndian32(long long v) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}

// The stack file as the open windows make it: stack top, then the records.
// It goes with the last window. Written in place: it is this terminal's own.
void WriteStackFile() {
  if (g_saved.empty()) {
    os::DeleteFile(StackPath());
    return;
  }
  std::string data;
  for (const std::string& record : g_saved) data += record;
  os::WriteFile(StackPath(), LittleEndian32(5 + static_cast<long long>(data.size())) + data);
}

bool Inside(int row, int column) {
  return row >= 1 && row <= ScreenRows() && column >= 1 && column <= ScreenColumns();
}

}  // namespace

int ScreenRows() { return console::Rows(); }
int ScreenColumns() { return console::Columns(); }

void WinLocate(int row, int column) {
  if (g_depth == 0)
    console::SetCursor(row, column);
  else
    console::SetCursor(row + g_top, column + g_left);
}

int WinInnerTop() { return g_depth == 0 ? 1 : g_top + 1; }
int WinInnerLeft() { return g_depth == 0 ? 1 : g_left + 1; }
int WinInnerRight() { return g_depth == 0 ? ScreenColumns() : g_right - 1; }

int WinDepth() { return g_depth; }

void WinRect(int& top, int& left, int& bottom, int& right) {
  top = g_depth == 0 ? 0 : g_top;
  left = g_depth == 0 ? 0 : g_left;
  bottom = g_depth == 0 ? 0 : g_bottom;
  right = g_depth == 0 ? 0 : g_right;
}

void WinPrint(const std::string& text) {
  const int row = console::CursorRow();
  const int column = console::CursorColumn();
  console::WriteText(row, column, text);
  const int columns = ScreenColumns();
  long long pos = static_cast<long long>(row - 1) * columns + (column - 1) + static_cast<long long>(text.size());
  const long long last = static_cast<long long>(ScreenRows()) * columns - 1;
  if (pos > last) pos = last;
  console::SetCursor(static_cast<int>(pos / columns) + 1, static_cast<int>(pos % columns) + 1);
}

void WindowPush(int top, int left, int bottom, int right) {
  if (!Inside(top, left) || !Inside(bottom, right) || top > bottom || left > right) return;
  std::string record;
  record += ZeroPad(console::CursorRow(), 2) + ZeroPad(console::CursorColumn(), 2);
  if (g_depth == 0)
    record += "00000000";
  else
    record += ZeroPad(g_top, 2) + ZeroPad(g_left, 2) + ZeroPad(g_bottom, 2) + ZeroPad(g_right, 2);
  record += ZeroPad(top, 2) + ZeroPad(left, 2) + ZeroPad(bottom, 2) + ZeroPad(right, 2);
  std::size_t cellBytes = 0;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      record += static_cast<char>(console::CharAt(r, c));
      record += static_cast<char>(console::AttrAt(r, c));
      cellBytes += 2;
    }
  }
  record += ZeroPad(static_cast<int>(20 + cellBytes + 5), 5);
  g_saved.push_back(record);
  WriteStackFile();
  g_top = top;
  g_left = left;
  g_bottom = bottom;
  g_right = right;
  ++g_depth;
}

void WindowPop() {
  if (g_saved.empty()) {
    // No window is open: whatever the file holds was left by an earlier run.
    os::DeleteFile(StackPath());
    return;
  }
  const std::string record = g_saved.back();
  g_saved.pop_back();
  int field[10] = {};
  for (int i = 0; i < 10; ++i) field[i] = ParseDigits(record, static_cast<std::size_t>(2 * i), 2);
  const int top = field[6], left = field[7], bottom = field[8], right = field[9];

  --g_depth;
  g_top = field[2];
  g_left = field[3];
  g_bottom = field[4];
  g_right = field[5];
  std::size_t p = 20;
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      console::SetCell(r, c, static_cast<unsigned char>(record[p]), static_cast<std::uint8_t>(record[p + 1]));
      p += 2;
    }
  }
  console::SetCursor(field[0], field[1]);
  WriteStackFile();
}

void WindowFrame(int style) {
  if (g_depth == 0) return;
  static const unsigned char kChars[3][6] = {
      {32, 32, 32, 32, 32, 32},
      {218, 191, 192, 217, 196, 179},
      {201, 187, 200, 188, 205, 186},
  };
  const unsigned char* k = kChars[(style >= 0 && style <= 2) ? style : 0];
  const int inner = g_right - g_left - 1 > 0 ? g_right - g_left - 1 : 0;
  const char vertical = static_cast<char>(k[5]);
  // A window one column wide has room for one side only: nothing is drawn
  // outside it.
  const std::size_t width = static_cast<std::size_t>(g_right - g_left + 1);
  auto row = [&](int r, std::string line) { console::WriteText(r, g_left, line.substr(0, width)); };
  row(g_top, static_cast<char>(k[0]) + std::string(inner, static_cast<char>(k[4])) + static_cast<char>(k[1]));
  for (int r = g_top + 1; r < g_bottom; ++r) row(r, vertical + std::string(inner, ' ') + vertical);
  if (g_bottom > g_top)
    row(g_bottom, static_cast<char>(k[2]) + std::string(inner, static_cast<char>(k[4])) + static_cast<char>(k[3]));
}

void ScrollArea(int top, int left, int bottom, int right, int n) {
  console::Scroll(top + 1, left + 1, bottom + 1, right + 1, n, console::TextAttribute());
}

void ResetWindowsForTests() {
  g_depth = 0;
  g_saved.clear();
  g_top = g_left = g_bottom = g_right = 0;
  ResetAttributesForTests();
}

}  // namespace screen
