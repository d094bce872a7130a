// Messages of a run: message boxes or lines on standard error.
#include "vat303/run_messages.h"

#include <iostream>
#include <string>
#include <vector>

#include "format/text.h"
#include "platform/console/console.h"
#include "screen/keys.h"
#include "screen/windows.h"

namespace vat303 {
namespace {

constexpr int kBoxWidth = 76;  // the message box's line
constexpr int kBoxLines = 16;  // lines a message box of the run shows at most

RunPresentation presentation = RunPresentation::Batch;
std::vector<std::string> shown;
bool noticeOpen = false;
bool progressShown = false;

void ErrorLine(const std::string& text) {
  ClearProgressLine();
  std::cerr << Cp850ToUtf8Text(text) << "\n" << std::flush;
}

}  // namespace

void SetPresentation(RunPresentation how) { presentation = how; }
RunPresentation Presentation() { return presentation; }

std::string Cp850ToUtf8Text(const std::string& cp850) { return console::Cp850ToUtf8(cp850); }

void ShowRunMessage(const std::string& text) {
  shown.push_back(text);
  if (presentation != RunPresentation::Screen) {
    ErrorLine(text);
    return;
  }
  const int depth = screen::WinDepth();
  screen::MessageBox(12, text);
  console::Beep();
  screen::FlushKeys();
  int key = 0;
  screen::WaitKey(key);
  if (screen::WinDepth() > depth) screen::WindowPop();
}

void ShowRunMessages(const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  if (presentation != RunPresentation::Screen) {
    for (const std::string& line : lines) ShowRunMessage(line);
    return;
  }
  // Each message starts a line of the box: wrapped a column short of the
  // box's width and each line ended with a blank, so the box's own wrap
  // keeps the lines as they are.
  std::string text;
  int used = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string wrapped = lines[i];
    format::WrapText(wrapped, 0, kBoxWidth - 1, "i");
    const int need = static_cast<int>(wrapped.size() / (kBoxWidth - 1));
    if (used + need > kBoxLines - 1 && i + 1 < lines.size()) {
      text += "... (" + std::to_string(lines.size() - i) + ")";
      break;
    }
    for (int k = 0; k < need; ++k) text += wrapped.substr(static_cast<std::size_t>(k) * (kBoxWidth - 1), kBoxWidth - 1) + " ";
    used += need;
  }
  ShowRunMessage(text);
}

void ShowProgressLine(const std::string& text) {
  if (presentation != RunPresentation::BatchProgress) return;
  std::cerr << "\r" << Cp850ToUtf8Text(text) << "\x1b[K" << std::flush;
  progressShown = true;
}

void ClearProgressLine() {
  if (!progressShown) return;
  std::cerr << "\r\x1b[K" << std::flush;
  progressShown = false;
}

void ShowWaitNotice(const std::string& text) {
  shown.push_back(text);
  if (presentation != RunPresentation::Screen) {
    ErrorLine(text);
    return;
  }
  const int depth = screen::WinDepth();
  screen::MessageBox(24, text);
  noticeOpen = screen::WinDepth() > depth;
  console::Refresh();
}

void EndWaitNotice() {
  if (noticeOpen) screen::WindowPop();
  noticeOpen = false;
}

const std::vector<std::string>& ShownMessages() { return shown; }
void ClearShownMessages() { shown.clear(); }

}  // namespace vat303
