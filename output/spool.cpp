// The print spool: one command a line, CR LF, numbers written with a leading
// blank (or "-") and a trailing blank.
#include "output/spool.h"

#include <cstdlib>
#include <string>

#include "output/print_device.h"
#include "platform/os/os.h"
#include "settings/config.h"

namespace output {

int PageLength = 0;
int LineCount = 0;

namespace {

os::File spool;
bool writeFailed = false;

// A number as the spool writes it: " 66 ", "-5 ".
std::string SpoolNumber(long value) {
  return (value < 0 ? "-" : " ") + std::to_string(value < 0 ? -value : value) + " ";
}

void WriteLine(const std::string& line) {
  if (!os::IsOpen(spool)) return;
  if (!os::Write(spool, line + "\r\n")) writeFailed = true;
}

std::string Strip(const std::string& s) {
  const std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string SpoolPath() { return settings::TmpDir + "zediridi.tmp"; }

bool PrintOpen(const std::string& device) {
  os::Close(spool);
  writeFailed = false;
  PageLength = 0;
  LineCount = 0;
  if (!os::Open(spool, SpoolPath(), "wb")) return false;
  WriteLine("DEVICE" + DeviceName(device));
  return !writeFailed;
}

void PrintPage(int lines) {
  WriteLine("PAGE" + SpoolNumber(lines));
  PageLength = lines;
  LineCount = 0;
}

void PrintJustify(std::string& code) {
  const std::string stripped = Strip(code);
  const char first = stripped.empty() ? '\0' : Upper(stripped[0]);
  std::string normal;
  switch (first) {
    case 'C': normal = "C"; break;
    case 'D':
    case 'R': normal = "D"; break;
    case 'A':
    case 'B': normal = "A"; break;
    case 'N': {
      // The whole number after the "N" (sign and blanks ignored), then the
      // template from the first "\" up to and including the next one.
      std::size_t i = 1;
      while (i < stripped.size() && (stripped[i] == ' ' || stripped[i] == '-' || stripped[i] == '+')) ++i;
      long number = 0;
      while (i < stripped.size() && stripped[i] >= '0' && stripped[i] <= '9' && number < 100000000) {
        number = number * 10 + (stripped[i] - '0');
        ++i;
      }
      std::string pattern;
      const std::size_t open = stripped.find('\\');
      if (open != std::string::npos) {
        const std::size_t close = stripped.find('\\', open + 1);
        pattern = close == std::string::npos ? stripped.substr(open) : stripped.substr(open, close - open + 1);
      }
      normal = "N " + std::to_string(number) + " " + pattern;
      break;
    }
    default: normal = "E"; break;
  }
  code = normal;
  WriteLine("JUS" + normal);
}

void PrintCommand(const std::string& text) { WriteLine("*" + text); }

void PrintText(int column, const std::string& text, int lineFeeds) {
  // One command a line: control characters would break the line.
  std::string copy = text;
  for (char& c : copy) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || u == 255) c = ' ';
  }
  if (LineCount >= PageLength) PrintPage(PageLength);
  WriteLine(SpoolNumber(column) + "," + copy + "," + SpoolNumber(lineFeeds));
  LineCount += lineFeeds;
}

bool PrintClose() {
  if (!os::IsOpen(spool)) return false;
  const bool flushed = os::Flush(spool);
  os::Close(spool);
  return flushed && !writeFailed;
}

}  // namespace output
