// The 80 x 25 screen in memory: cells, text attribute and cursor. Both back
// ends read it; the terminal back end draws it on Refresh.
#include <algorithm>
#include <array>

#include "platform/console/console.h"
#include "platform/console/console_internal.h"

namespace console {
namespace {

std::array<detail::Cell, kRows * kColumns> g_cells{};
std::uint8_t g_textAttr = 0x07;
int g_cursorRow = 1;
int g_cursorCol = 1;
bool g_cursorVisible = true;
int g_cursorSize = 25;
bool g_dirty = true;

bool Inside(int row, int column) {
  return row >= 1 && row <= kRows && column >= 1 && column <= kColumns;
}

detail::Cell& At(int row, int column) {
  return g_cells[static_cast<std::size_t>((row - 1) * kColumns + (column - 1))];
}

}  // namespace

namespace detail {

const Cell& CellAt0(int row0, int col0) {
  return g_cells[static_cast<std::size_t>(row0 * kColumns + col0)];
}
bool Dirty() { return g_dirty; }
void ClearDirty() { g_dirty = false; }
void MarkDirty() { g_dirty = true; }

void ResetScreen() {
  g_cells.fill(Cell{});
  g_textAttr = 0x07;
  g_cursorRow = 1;
  g_cursorCol = 1;
  g_cursorVisible = true;
  g_cursorSize = 25;
  g_dirty = true;
}

}  // namespace detail

int Rows() { return kRows; }
int Columns() { return kColumns; }

void WriteText(int row, int column, const std::string& text) {
  WriteText(row, column, text, g_textAttr);
}

void WriteText(int row, int column, const std::string& text, std::uint8_t attribute) {
  if (!Inside(row, column)) return;
  for (char c : text) {
    if (row > kRows) break;
    detail::Cell& cell = At(row, column);
    cell.ch = static_cast<unsigned char>(c);
    cell.attr = attribute;
    if (++column > kColumns) {
      column = 1;
      ++row;
    }
  }
  if (!text.empty()) g_dirty = true;
}

unsigned char CharAt(int row, int column) {
  return Inside(row, column) ? At(row, column).ch : 0;
}

std::uint8_t AttrAt(int row, int column) {
  return Inside(row, column) ? At(row, column).attr : 0;
}

void SetCell(int row, int column, unsigned char ch, std::uint8_t attribute) {
  if (!Inside(row, column)) return;
  At(row, column) = detail::Cell{ch, attribute};
  g_dirty = true;
}

void SetTextAttribute(std::uint8_t attribute) { g_textAttr = attribute; }
std::uint8_t TextAttribute() { return g_textAttr; }

void Scroll(int top, int left, int bottom, int right, int n, std::uint8_t fill) {
  top = std::max(top, 1);
  left = std::max(left, 1);
  bottom = std::min(bottom, kRows);
  right = std::min(right, kColumns);
  if (top > bottom || left > right || n == 0) return;
  const int height = bottom - top + 1;
  const detail::Cell blank{' ', fill};
  if (n >= height || n <= -height) {
    for (int r = top; r <= bottom; ++r)
      for (int c = left; c <= right; ++c) At(r, c) = blank;
  } else if (n > 0) {
    for (int r = top; r <= bottom; ++r)
      for (int c = left; c <= right; ++c) At(r, c) = (r + n <= bottom) ? At(r + n, c) : blank;
  } else {
    const int m = -n;
    for (int r = bottom; r >= top; --r)
      for (int c = left; c <= right; ++c) At(r, c) = (r - m >= top) ? At(r - m, c) : blank;
  }
  g_dirty = true;
}

void Clear(std::uint8_t attribute) {
  g_cells.fill(detail::Cell{' ', attribute});
  g_dirty = true;
}

void SetCursor(int row, int column) {
  g_cursorRow = std::clamp(row, 1, kRows);
  g_cursorCol = std::clamp(column, 1, kColumns);
  g_dirty = true;
}
int CursorRow() { return g_cursorRow; }
int CursorColumn() { return g_cursorCol; }

void ShowCursor(bool visible) {
  g_cursorVisible = visible;
  g_dirty = true;
  detail::TerminalCursorChanged();
}
bool CursorVisible() { return g_cursorVisible; }

void SetCursorSize(int percent) {
  g_cursorSize = std::clamp(percent, 1, 100);
  g_dirty = true;
  detail::TerminalCursorChanged();
}
int CursorSize() { return g_cursorSize; }

std::string RowText(int row) {
  std::string text;
  if (row < 1 || row > kRows) return text;
  text.reserve(kColumns);
  for (int c = 1; c <= kColumns; ++c) text.push_back(static_cast<char>(At(row, c).ch));
  return text;
}

std::string ScreenText() {
  std::string text;
  for (int r = 1; r <= kRows; ++r) {
    if (r > 1) text.push_back('\n');
    text += RowText(r);
  }
  return text;
}

}  // namespace console
