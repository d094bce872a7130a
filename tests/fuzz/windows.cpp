// The window stack and its file WinPush.tmp: a damaged file left in the
// temporary folder (the input after its first line), then the operations of
// the first line, each a letter and its argument bytes:
//   P t l b r   push a window (each byte taken modulo 30 or 90, so rectangles
//               outside the screen come too)     O   pop
//   F s         frame in style s % 4             A c  attribute code c % 8
//   L r c       locate                           M r n text  message box
// Expectations: with windows open the file holds exactly their records
// (its stack top, then records that each end with their length); with none
// it is gone; when the last window closes the screen and cursor are as they
// were when the first one opened.
#include <cstdint>
#include <string>

#include "platform/os/os.h"
#include "screen/windows.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// Walks the records back from the end by their 5-digit lengths; the number
// of records, or -1 when the file does not add up.
int StackRecords(const std::string& file) {
  if (file.size() < 4) return -1;
  long long top = 0;
  for (int i = 3; i >= 0; --i) top = top * 256 + static_cast<unsigned char>(file[static_cast<std::size_t>(i)]);
  if (top != static_cast<long long>(file.size()) + 1) return -1;
  std::size_t end = file.size();
  int records = 0;
  while (end > 4) {
    if (end < 4 + 25) return -1;
    const std::string digits = file.substr(end - 5, 5);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    const std::size_t length = static_cast<std::size_t>(std::stoi(digits));
    if (length < 25 || length > end - 4) return -1;
    end -= length;
    ++records;
  }
  return end == 4 ? records : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string ops, file;
  fuzz::FirstLine(fuzz::Text(data, size), ops, file);
  if (ops.size() > 400) return 0;
  fuzz::ResetScreenWorld();
  const std::string path = fuzz::WorkDir() + "WinPush.tmp";
  fuzz::PutFile(path, file);
  fuzz::PaintScreen();

  static const char* const kCodes[8] = {"h", "n", "r", "rn", "u", "+n", "-", "Q"};
  std::string opened;  // the screen when the outermost window opened
  std::size_t i = 0;
  auto arg = [&]() -> int { return i < ops.size() ? static_cast<unsigned char>(ops[i++]) : 0; };
  while (i < ops.size()) {
    const int depth = screen::WinDepth();
    const char op = ops[i++];
    if (op == 'P') {
      const int t = arg() % 30, l = arg() % 90, b = arg() % 30, r = arg() % 90;
      if (depth == 0) opened = fuzz::ScreenImage();
      screen::WindowPush(t, l, b, r);
    } else if (op == 'O') {
      screen::WindowPop();
    } else if (op == 'F') {
      screen::WindowFrame(arg() % 4);
    } else if (op == 'A') {
      screen::SetAttr(kCodes[arg() % 8]);
    } else if (op == 'L') {
      const int r = arg() % 30, c = arg() % 90;
      screen::WinLocate(r, c);
    } else if (op == 'M') {
      const int row = arg() % 30;
      const std::size_t n = static_cast<std::size_t>(arg()) % 200;
      const std::string text = ops.substr(i < ops.size() ? i : ops.size(), n);
      i += text.size();
      if (depth == 0) opened = fuzz::ScreenImage();
      screen::MessageBox(row, text);
    } else {
      continue;
    }
    if (screen::WinDepth() > 0) {
      fuzz::Check(StackRecords(fuzz::GetFile(path)) == screen::WinDepth(),
                  "the stack file does not hold the open windows");
    } else if (depth > 0 || op == 'O') {
      fuzz::Check(!os::FileExists(path), "the stack file outlives the last window");
      if (depth > 0) fuzz::Check(fuzz::ScreenImage() == opened, "the screen is not restored");
    }
  }
  while (screen::WinDepth() > 0) screen::WindowPop();
  return 0;
}
