// A framed message window centred on column 41 around a base row.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "format/text.h"
#include "platform/console/console.h"
#include "screen/windows.h"

namespace screen {
namespace {

constexpr int kLineWidth = 76;

bool echoMessages = false;

}  // namespace

void SetMessageEcho(bool on) { echoMessages = on; }

void MessageBox(int baseRow, const std::string& text) {
  // A run without a screen (the batch run) shows its messages on standard
  // error as well, as one line each.
  if (echoMessages) std::cerr << console::Cp850ToUtf8(format::TrimRight(text)) << "\n" << std::flush;
  SetAttr("+rh");
  std::string laid = text;
  format::WrapText(laid, 0, kLineWidth, "i");
  // A text longer than the screen is cut to the lines that fit inside the
  // frame: the window always opens, so the caller's pop closes this one.
  const int n = std::min(static_cast<int>(laid.size() / kLineWidth), ScreenRows() - 2);
  std::vector<std::string> lines;
  std::size_t longest = 0;
  for (int k = 0; k < n; ++k) {
    lines.push_back(format::TrimRight(laid.substr(static_cast<std::size_t>(k) * kLineWidth, kLineWidth)));
    if (lines.back().size() > longest) longest = lines.back().size();
  }

  int top = baseRow - (n + 1) / 2 - 2;
  if (top < 1) top = 1;
  int bottom = top + n + 1;
  if (bottom > ScreenRows()) {
    bottom = ScreenRows();
    top = bottom - n - 1;
  }
  const int w = static_cast<int>(longest);
  const int left = 41 - (w + 1) / 2 - 2;
  const int right = w / 2 + 41 + 1;

  WindowPush(top, left, bottom, right);
  WindowFrame(1);
  for (int k = 0; k < n; ++k) {
    WinLocate(k + 1, 2);
    WinPrint(lines[k]);
  }
  SetAttr("-");
}

void MessageLine(const std::string& text) {
  const int row = ScreenRows(), width = ScreenColumns();
  std::string line = format::TrimRight(text).substr(0, static_cast<std::size_t>(width));
  line = format::FitText(std::string(static_cast<std::size_t>(format::CenterOffset(line, width)), ' ') + line,
                         static_cast<std::size_t>(width));
  WindowPush(row, 1, row, width);
  SetAttr("+rh");
  WinLocate(0, 0);
  WinPrint(line);
  SetAttr("-");
}

}  // namespace screen
