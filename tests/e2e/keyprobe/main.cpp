// keyprobe: starts the terminal back end, draws a double frame, box lines and
// accented letters, and lists every input event with its raw codes
// (character, scan code, modifier bits; mouse cell and buttons). Used by the
// end-to-end test in a tmux session, and by hand to see what a terminal sends.
//
//   keyprobe [pid-file]
// Ctrl+Q ends it; it also ends by itself after two idle minutes.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/console/console.h"

namespace {

constexpr std::uint8_t kFrame = 0x1F;   // bright white on blue
constexpr std::uint8_t kText = 0x1E;    // yellow on blue
constexpr int kLogTop = 12, kLogBottom = 24;

void DrawFrame() {
  console::Clear(0x07);
  const std::string inner(58, '\xCD');
  console::WriteText(1, 1, "\xC9" + inner + "\xBB", kFrame);
  for (int r = 2; r <= 9; ++r) {
    console::WriteText(r, 1, "\xBA" + std::string(58, ' ') + "\xBA", kFrame);
  }
  console::WriteText(10, 1, "\xC8" + inner + "\xBC", kFrame);
  console::WriteText(2, 3, "KEYPROBE  (Ctrl+Q ends)", kText);
  // C-cedilla, c-cedilla, n-tilde, N-tilde, e-acute, E-acute, a-grave, A-grave, u-diaeresis.
  console::WriteText(3, 3, "ACCENTS \x80\x87\xA4\xA5\x82\x90\x85\xB7\x81", kText);
  console::WriteText(4, 3, "SINGLE \xDA\xC4\xC2\xC4\xBF \xB3 \xC0\xC4\xC1\xC4\xD9", kText);
  console::WriteText(5, 3, "ARROWS \x10 \x11 \x1E \x1F  EURO \xD5  SHADE \xB0\xB1\xB2\xDB", kText);
  console::WriteText(6, 3, "COLOURS", kText);
  for (int c = 0; c < 16; ++c) console::SetCell(6, 12 + c, '#', static_cast<std::uint8_t>(c | (c == 0 ? 0x70 : 0)));
  console::WriteText(11, 1, "EVENTS", 0x0F);
  console::WriteText(25, 75, "<END>", 0x70);  // reaches the last cell of the screen
}

void LogLine(const std::string& line) {
  console::Scroll(kLogTop, 1, kLogBottom, 80, 1, 0x07);
  console::WriteText(kLogBottom, 1, line, 0x07);
}

}  // namespace

int main(int argc, char** argv) {
  if (!console::Start(console::Backend::Terminal)) {
    std::fprintf(stderr, "keyprobe: no terminal\n");
    return 2;
  }
  if (argc > 1) {
    if (FILE* f = std::fopen(argv[1], "w")) {
      std::fprintf(f, "%d\n", static_cast<int>(getpid()));
      std::fclose(f);
    }
  }
  DrawFrame();
  console::SetMouseReporting(true);
  console::SetCursor(2, 40);
  console::WriteText(11, 10, "READY", 0x0A);
  int count = 0;
  int idleMs = 0;
  for (;;) {
    if (!console::WaitEvent(1000)) {
      if (console::InputGone()) break;  // the terminal went away
      idleMs += 1000;
      if (idleMs >= 120000) break;
      continue;
    }
    idleMs = 0;
    console::Event e;
    if (!console::PollEvent(e)) continue;
    ++count;
    char buf[96];
    if (e.kind == console::Event::Mouse) {
      std::snprintf(buf, sizeof buf, "#%03d MOUSE row=%02d col=%02d buttons=%d mods=%02X", count, e.row,
                    e.column, e.buttons, e.modifiers);
    } else {
      std::snprintf(buf, sizeof buf, "#%03d KEY ch=%03d scan=%02X mods=%02X down=%d", count, e.ch, e.scan,
                    e.modifiers, e.keyDown ? 1 : 0);
    }
    LogLine(buf);
    if (e.kind == console::Event::Key && e.ch == 17) break;  // Ctrl+Q
  }
  console::Stop();
  return 0;
}
