// Clipboard and the Insert toggle.
//
// The clipboard is the desktop's when one can be reached: DISPLAY or
// WAYLAND_DISPLAY is set and wl-copy/wl-paste, xclip or xsel is on the PATH.
// Text goes there in UTF-8 (converted from and to CP850; the byte 0xD5 is the
// euro sign, as on screen). Otherwise, or when the desktop's tool fails, the
// clipboard is the file "clipboard.txt" in the terminal's temporary folder
// (as the configuration set-up gives it through SetClipboardDir; before that
// KAPTMP, or the current folder when it is unset), holding CP850 bytes and
// replaced atomically, so that it is shared by the programs of that terminal.
#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/os/os.h"

namespace os {
namespace {

bool g_insert = false;
std::string g_clipboardDir;  // "" until the set-up gives the terminal's folder

bool OnPath(const std::string& tool) {
  const std::string path = GetEnv("PATH");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir.assign(1, '.');
    dir.push_back('/');
    dir.append(tool);
    if (access(dir.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

struct DesktopTool {
  std::string copy;   // reads the text on its standard input
  std::string paste;  // writes the text on its standard output
};

// The desktop clipboard's command lines, or false when there is none.
bool FindDesktopTool(DesktopTool& tool) {
  const std::string timeout = OnPath("timeout") ? "timeout 3 " : "";
  if (!GetEnv("WAYLAND_DISPLAY").empty() && OnPath("wl-copy") && OnPath("wl-paste")) {
    tool = {timeout + "wl-copy", timeout + "wl-paste --no-newline"};
    return true;
  }
  if (GetEnv("DISPLAY").empty()) return false;
  if (OnPath("xclip")) {
    tool = {timeout + "xclip -selection clipboard -i", timeout + "xclip -selection clipboard -o"};
    return true;
  }
  if (OnPath("xsel")) {
    tool = {timeout + "xsel --clipboard --input", timeout + "xsel --clipboard --output"};
    return true;
  }
  return false;
}

// Converts between encodings; characters the target lacks are dropped.
std::string Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  std::vector<char> buf(4 * text.size() + 16);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* outPtr = buf.data();
    std::size_t outLeft = buf.size();
    const std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buf.data(), buf.size() - outLeft);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // Unconvertible or broken input: skip one byte (a whole UTF-8 sequence
    // when the source is UTF-8) and go on.
    std::size_t skip = 1;
    if (std::string(from) == "UTF-8") {
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    }
    in += skip;
    inLeft -= skip;
  }
  iconv_close(cd);
  return out;
}

const char* Cp850Name() {
  // CP858 is CP850 with the euro sign at 0xD5, which is how the program uses it.
  static const char* name = [] {
    iconv_t cd = iconv_open("UTF-8", "CP858");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "CP850";
    iconv_close(cd);
    return "CP858";
  }();
  return name;
}

bool DesktopSet(const DesktopTool& tool, const std::string& utf8) {
  FILE* p = popen((tool.copy + " >/dev/null 2>&1").c_str(), "w");
  if (p == nullptr) return false;
  const bool written = std::fwrite(utf8.data(), 1, utf8.size(), p) == utf8.size();
  return pclose(p) == 0 && written;
}

bool DesktopGet(const DesktopTool& tool, std::string& utf8) {
  FILE* p = popen((tool.paste + " 2>/dev/null </dev/null").c_str(), "r");
  if (p == nullptr) return false;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) utf8.append(buf, n);
  return pclose(p) == 0;
}

std::string ClipboardFile() {
  std::string dir = g_clipboardDir.empty() ? GetEnv("KAPTMP") : g_clipboardDir;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return HostPath(dir + "clipboard.txt");
}

}  // namespace

void SetClipboardDir(const std::string& dir) { g_clipboardDir = dir; }

bool ClipboardSet(const std::string& cp850) {
  DesktopTool tool;
  if (FindDesktopTool(tool) && DesktopSet(tool, Convert(cp850, "UTF-8", Cp850Name()))) return true;
  return WriteFileAtomic(ClipboardFile(), cp850);
}

bool ClipboardGet(std::string& cp850) {
  cp850.clear();
  DesktopTool tool;
  std::string utf8;
  if (FindDesktopTool(tool) && DesktopGet(tool, utf8)) {
    cp850 = Convert(utf8, Cp850Name(), "UTF-8");
    return true;
  }
  return ReadFile(ClipboardFile(), cp850);
}

bool InsertToggle() { return g_insert; }
void SetInsertToggle(bool on) { g_insert = on; }

}  // namespace os
