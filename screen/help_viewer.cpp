// The help viewer: an HTML page through the start command on graphical
// terminals, otherwise a scrolling text window over a file of 80-byte lines
// with in-line switch bytes (30 highlight, 31 underline, 16 reverse).
//
// Text topics are written in Catalan in "AJUDA\" and translated in a folder
// per language named by its Idioma code ("AJUDA\SPA\", "AJUDA\GLG\",
// "AJUDA\OCI\"); a topic without a translation is shown in Catalan.
#include <algorithm>
#include <string>

#include "settings/catalogue.h"
#include "settings/config.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"

namespace screen {
namespace {

constexpr int kShownColumns = 76;
constexpr int kEsc = 27;
constexpr int kF1 = 15104;
constexpr int kDown = 20480;
constexpr int kUp = 18432;
constexpr int kPgDn = 20736;
constexpr int kPgUp = 18688;
constexpr int kHome = 18176;
constexpr int kEnd = 20224;

struct HelpText {
  std::string data;
  int lineLength = 80;
  int lines = 0;
  int page = 17;
};

// One key as its character code or scan code x 256; blocks until one arrives.
// With the headless console and no scripted input left it reports Esc.
int NextHelpKey() {
  for (;;) {
    console::Event ev;
    if (console::PollEvent(ev)) {
      if (ev.kind != console::Event::Key || !ev.keyDown) continue;
      const int code = ev.ch != 0 ? ev.ch : ev.scan * 256;
      if (code != 0) return code;
      continue;
    }
    if (!WaitForConsoleInput()) return kEsc;
  }
}

// "SPA\" and the like for a language with translated topics, else "".
std::string LanguageFolder() {
  for (const char* code : {"SPA", "GLG", "OCI"})
    if (settings::Idioma == code) return std::string(code) + "\\";
  return "";
}

// The topic's file in the operator's language, else in Catalan; each looked
// up from the current directory (the data root while the program runs), then
// under DataRoot. False when there is none.
bool ReadTopic(const std::string& topic, std::string& data) {
  for (const std::string& folder : {LanguageFolder(), std::string()}) {
    const std::string name = "AJUDA\\" + folder + topic + ".HLP";
    for (const std::string& path : {name, settings::DataRoot + name}) {
      data.clear();
      if (os::ReadFile(path, data)) return true;
    }
  }
  return false;
}

// Line n (1-based) at window row `row`; rows past the end of the file are blank.
void DrawLine(const HelpText& help, int n, int row) {
  WinLocate(row, 2);
  SetAttr("n");
  if (n < 1 || n > help.lines) {
    WinPrint(std::string(kShownColumns, ' '));
    return;
  }
  const std::string line = help.data.substr(static_cast<std::size_t>(n - 1) * help.lineLength, help.lineLength);
  bool highlight = false, underline = false, reverse = false;
  int printed = 0;
  for (char c : line) {
    if (printed >= kShownColumns) break;
    const auto b = static_cast<unsigned char>(c);
    if (b == 30) {
      highlight = !highlight;
      if (!underline) SetAttr(highlight ? "h" : "n");
    } else if (b == 31) {
      underline = !underline;
      SetAttr(underline ? "u" : "n");
    } else if (b == 16) {
      reverse = !reverse;
      SetAttr(reverse ? "r" : "n");
    } else {
      // Line ends and NULs of a badly built file show as blanks.
      WinPrint(std::string(1, (b == 0 || b == 10 || b == 13) ? ' ' : c));
      ++printed;
    }
  }
  SetAttr("n");
  if (printed < kShownColumns) WinPrint(std::string(kShownColumns - printed, ' '));
}

void DrawPage(const HelpText& help, int first) {
  for (int i = 0; i < help.page; ++i) DrawLine(help, first + i, i + 1);
}

// A topic without a help file: say so, and wait for the operator's key.
void MissingTopic(const std::string& topic) {
  MessageBox(12, settings::Translate("NO HI HA AJUDA PER A AQUEST TEMA: ") + topic);
  int key = 0;
  WaitKey(key);
  WindowPop();
}

void TextHelp(const std::string& topic) {
  HelpText help;
  help.lineLength = ScreenColumns();
  if (!ReadTopic(topic, help.data)) {
    MissingTopic(topic);
    return;
  }
  help.lines = static_cast<int>(help.data.size() / static_cast<std::size_t>(help.lineLength));
  help.page = (ScreenRows() - 3) - 5;

  SetAttr("+h");
  WindowPush(4, 1, ScreenRows() - 3, ScreenColumns());
  WindowFrame(2);
  SetAttr("n");
  int top = 0, left = 0, bottom = 0, right = 0;
  WinRect(top, left, bottom, right);

  int next = 1;  // the line after the last one shown
  auto showFrom = [&](int first) {
    DrawPage(help, first);
    next = first + help.page;
  };
  showFrom(1);

  for (;;) {
    const int key = NextHelpKey();
    const int first = next - help.page;
    const bool below = next <= help.lines;
    const bool above = first > 1;
    switch (key) {
      case kF1:
        if (topic != "UUTIMENU") HelpViewer("UUTIMENU");
        break;
      case kDown:
        if (below) {
          SetAttr("n");
          ScrollArea(top, left, bottom - 2, right - 2, 1);
          DrawLine(help, next, help.page);
          ++next;
        }
        break;
      case kUp:
        if (above) {
          SetAttr("n");
          ScrollArea(top, left, bottom - 2, right - 2, -1);
          DrawLine(help, first - 1, 1);
          --next;
        }
        break;
      case kPgDn:
        if (below) showFrom(std::max(1, std::min(next, help.lines - help.page + 1)));
        break;
      case kPgUp:
        if (above) showFrom(std::max(1, first - help.page));
        break;
      case kHome:
        if (above) showFrom(1);
        break;
      case kEnd:
        if (below) showFrom(std::max(1, help.lines - help.page + 1));
        break;
      case kEsc:
        WindowPop();
        SetAttr("-");
        return;
      default:
        break;
    }
  }
}

}  // namespace

void HelpViewer(const std::string& topic) {
  if (settings::EnvMode == "WIN") {
    // The command processor with "/C USTART" and the page, each one argument
    // and no shell in between: a blank or a ";" in the data folder's name is
    // part of the path, never a second command.
    const std::string page = os::HostPath(settings::DataRoot + "AJUDA\\" + topic + ".HTM");
    os::RunProgram(os::GetEnv("COMSPEC"), {"/C", "USTART", page});
    return;
  }
  TextHelp(topic);
}

}  // namespace screen
