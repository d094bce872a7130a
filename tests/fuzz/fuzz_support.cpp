#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <streambuf>

#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "settings/date_display.h"

namespace fuzz {
namespace {

std::string g_dir;

void RemoveWorkDir() {
  std::error_code ec;
  if (!g_dir.empty()) std::filesystem::remove_all(g_dir, ec);
}

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c == EOF ? 0 : c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

const std::string& WorkDir() {
  if (g_dir.empty()) {
    std::error_code ec;
    std::string base = std::filesystem::temp_directory_path(ec).string();
    if (ec || base.empty()) base = "/tmp";
    std::string pattern = base + "/kovafuzz.XXXXXX";
    Check(::mkdtemp(pattern.data()) != nullptr, "cannot make a working folder");
    g_dir = pattern + "/";
    std::atexit(RemoveWorkDir);
  }
  return g_dir;
}

void PutFile(const std::string& path, const std::string& data) {
  Check(os::WriteFile(path, data), "cannot write a working file");
}

std::string GetFile(const std::string& path) {
  std::string s;
  return os::ReadFile(path, s) ? s : std::string();
}

std::vector<std::string> Parts(const std::string& input, std::size_t parts) {
  std::vector<std::string> out(parts);
  std::size_t part = 0, start = 0;
  while (start < input.size()) {
    const std::size_t nl = input.find('\n', start);
    const std::size_t next = nl == std::string::npos ? input.size() : nl + 1;
    if (nl == start + 3 && input.compare(start, 3, "---") == 0 && part + 1 < parts)
      ++part;
    else
      out[part].append(input, start, next - start);
    start = next;
  }
  return out;
}

void FirstLine(const std::string& input, std::string& line, std::string& rest) {
  const std::size_t nl = input.find('\n');
  line = input.substr(0, nl);
  rest = nl == std::string::npos ? std::string() : input.substr(nl + 1);
}

void ResetScreenWorld() {
  console::Start(console::Backend::Headless);
  console::ResetForTests();
  settings::ResetConfigForTests();
  settings::ResetDateDisplayForTests();
  settings::ResetCatalogueForTests();
  settings::DataRoot = WorkDir();
  settings::TmpDir = WorkDir();
  settings::TermDir = WorkDir();
  os::SetClipboardDir(WorkDir());  // the calculator's figure, never into the current folder
  settings::Idioma = "CAT";
  settings::EnvMode = "DOS";
  const int fg[5] = {15, 7, 0, 1, 14};
  const int bg[5] = {1, 1, 7, 7, 4};
  for (int s = 0; s < 5; ++s) {
    settings::ColorPairs[0][s] = fg[s];
    settings::ColorPairs[1][s] = bg[s];
  }
  os::SetEnv("DISPLAY", "");
  os::SetEnv("WAYLAND_DISPLAY", "");
  screen::ResetWindowsForTests();
  screen::ResetKeysForTests();
}

void PaintScreen() {
  for (int r = 1; r <= console::Rows(); ++r)
    for (int c = 1; c <= console::Columns(); ++c)
      console::SetCell(r, c, static_cast<unsigned char>('!' + (r * 7 + c) % 90),
                       static_cast<std::uint8_t>((r * 13 + c * 3) % 256));
  console::SetCursor(3, 7);
}

std::string ScreenImage() {
  std::string image;
  for (int r = 1; r <= console::Rows(); ++r)
    for (int c = 1; c <= console::Columns(); ++c) {
      image += static_cast<char>(console::CharAt(r, c));
      image += static_cast<char>(console::AttrAt(r, c));
    }
  image += std::to_string(console::CursorRow()) + "," + std::to_string(console::CursorColumn());
  return image;
}

void PushScript(const std::string& script) {
  for (char ch : script) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case 0x1b: console::PushKey(27, 0x01); break;
      case '\r': console::PushKey(13, 0x1C); break;
      case '\b': console::PushKey(8, 0x0E); break;
      case '<': console::PushKey(0, 0x4B); break;
      case '>': console::PushKey(0, 0x4D); break;
      case '{': console::PushKey(0, 0x73, console::kLeftCtrl); break;
      case '}': console::PushKey(0, 0x74, console::kLeftCtrl); break;
      case '^': console::PushKey(0, 0x48); break;
      case '_': console::PushKey(0, 0x50); break;
      case '(': console::PushKey(0, 0x49); break;
      case ')': console::PushKey(0, 0x51); break;
      case '`': console::PushKey(0, 0x47); break;
      case '~': console::PushKey(0, 0x4F); break;
      case '?': console::PushKey(0, 0x3B); break;
      case '!': console::PushKey(0, 0x21, console::kLeftAlt); break;
      case '@': console::PushKey(0, 0x2D, console::kLeftAlt); break;
      case '#': console::PushKey(0, 0x2E, console::kLeftAlt); break;
      default: console::PushKey(c); break;
    }
  }
}

void SilenceStreams() {
  // Never destroyed: the streams are flushed at exit, after every static.
  static NullBuffer* const null = new NullBuffer;
  std::cout.rdbuf(null);
  std::cerr.rdbuf(null);
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace fuzz
