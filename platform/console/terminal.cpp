// Terminal back end on ncursesw. The 80 x 25 screen is drawn at the top-left
// of the terminal, CP850 converted to Unicode (or, without a UTF-8 locale, to
// what the locale's character set can show), console colours mapped onto the
// terminal's colours. Input is read from stdin by this file (ncurses only
// draws) and decoded by key_decoder.cpp, so that every modifier combination
// of the xterm-style sequences is kept. Waiting uses poll(): no CPU is used
// while the operator thinks.
//
// The terminal is restored by Stop, at exit (atexit) and on a fatal signal
// (the handler restores and re-raises the signal).
//
// A terminal that goes away (a hang-up signal, the end of the input, a read
// error, poll reporting a hang-up, an error or an invalid descriptor) is
// restored as far as it still can be and reported through InputGone; waits
// return at once from then on, so the caller can end the program cleanly.
#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/console/console_internal.h"
#include "platform/console/cp850_unicode.h"
#include "platform/console/key_decoder.h"

namespace console::detail {
namespace {

// How long a lone Esc waits for the rest of a sequence.
constexpr int kEscapeDelayMs = 50;

SCREEN* g_screen = nullptr;
bool g_active = false;
bool g_utf8 = false;
wchar_t g_glyph[256];          // what each CP850 byte is drawn as
bool g_tooSmall = false;
// Said (with the terminal's size) while the terminal is smaller than the
// screen; the program gives it in the operator's language.
std::string g_tooSmallText =
    "The terminal is too small: this program needs 80 columns x 25 rows. Please enlarge the window. Now";
int g_termRows = 0, g_termCols = 0;
bool g_shapeCursor = false;    // terminal understands DECSCUSR cursor shapes
bool g_xtermLike = false;      // terminal reports xterm mouse presses
bool g_cursorPending = true;
bool g_mouseOn = false;
std::string g_input;           // bytes read but not yet decoded
std::chrono::steady_clock::time_point g_inputSince;
int g_wakePipe[2] = {-1, -1};  // written by the SIGWINCH and SIGHUP handlers
volatile sig_atomic_t g_resized = 0;
volatile sig_atomic_t g_restoring = 0;
volatile sig_atomic_t g_hangUp = 0;  // set by the SIGHUP handler
bool g_gone = false;                 // the terminal went away
bool g_handlersInstalled = false;
bool g_atexitRegistered = false;
bool g_colors = false;
bool g_manyColors = false;     // 16 colours or more
short g_pairOf[256];           // (fg, bg) console pair -> curses pair, 0 = not yet
int g_nextPair = 1;

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGQUIT, SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
struct sigaction g_oldActions[sizeof(kFatalSignals) / sizeof(int)];
struct sigaction g_oldWinch;
struct sigaction g_oldHangUp;

void WriteRaw(const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

// Modes set outside ncurses: mouse reporting, the cursor shape, and xterm's
// "Meta sends Escape" (saved at start).
void ResetTerminalModes() {
  if (g_mouseOn) WriteRaw("\x1b[?1006l\x1b[?1000l");
  if (g_shapeCursor) WriteRaw("\x1b[0 q");
  if (g_xtermLike) WriteRaw("\x1b[?1036r");
}

void OnFatalSignal(int sig) {
  if (g_active && !g_restoring) {
    g_restoring = 1;
    ResetTerminalModes();
    endwin();  // not strictly async-signal-safe, but the process is going down anyway
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void OnResize(int) {
  g_resized = 1;
  if (g_wakePipe[1] >= 0) {
    const char c = 'r';
    [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &c, 1);
  }
}

// The terminal hung up: noted here, acted on by the input wait (which the
// wake pipe interrupts), so that the program ends through its own exit path.
void OnHangUp(int) {
  g_hangUp = 1;
  if (g_wakePipe[1] >= 0) {
    const char c = 'h';
    [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &c, 1);
  }
}

void InstallHandlers() {
  struct sigaction sa{};
  sigemptyset(&sa.sa_mask);
  sa.sa_handler = OnFatalSignal;
  for (std::size_t i = 0; i < sizeof(kFatalSignals) / sizeof(int); ++i)
    sigaction(kFatalSignals[i], &sa, &g_oldActions[i]);
  struct sigaction winch{};
  sigemptyset(&winch.sa_mask);
  winch.sa_handler = OnResize;
  winch.sa_flags = SA_RESTART;
  sigaction(SIGWINCH, &winch, &g_oldWinch);
  struct sigaction hangUp{};
  sigemptyset(&hangUp.sa_mask);
  hangUp.sa_handler = OnHangUp;
  sigaction(SIGHUP, &hangUp, &g_oldHangUp);
  g_handlersInstalled = true;
}

void RemoveHandlers() {
  if (!g_handlersInstalled) return;
  for (std::size_t i = 0; i < sizeof(kFatalSignals) / sizeof(int); ++i)
    sigaction(kFatalSignals[i], &g_oldActions[i], nullptr);
  sigaction(SIGWINCH, &g_oldWinch, nullptr);
  // A hang-up after the terminal was given up ends nothing: the program is
  // already on its way out through its own exit path.
  if (g_gone) signal(SIGHUP, SIG_IGN);
  else sigaction(SIGHUP, &g_oldHangUp, nullptr);
  g_handlersInstalled = false;
}

void StopAtExit() { TerminalStop(); }

bool CodesetIsUtf8() {
  const char* cs = nl_langinfo(CODESET);
  return cs != nullptr && (std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "utf8") == 0);
}

// The character set of the terminal is the one its locale declares. Only the
// character type is taken from the environment: numbers must keep the C
// locale's decimal point everywhere in the program. A UTF-8 locale that is
// not installed here (LANG=es_ES.UTF-8 passed on by ssh) still declares
// UTF-8: C.UTF-8 stands in for it. True for UTF-8.
bool UseLocaleCharacterSet() {
  if (std::setlocale(LC_CTYPE, "") != nullptr) return CodesetIsUtf8();
  std::string declared;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != '\0') {
      declared = v;
      break;
    }
  }
  for (char& c : declared) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (declared.find("utf-8") == std::string::npos && declared.find("utf8") == std::string::npos) return false;
  for (const char* name : {"C.UTF-8", "C.utf8"}) {
    if (std::setlocale(LC_CTYPE, name) != nullptr && CodesetIsUtf8()) return true;
  }
  return false;
}

// An ASCII character in place of a glyph the terminal's character set lacks:
// lines and corners as - | +, blocks as #, arrows as < > ^ v, the euro as E,
// Latin-1 letters without their accents and signs as their nearest ASCII.
wchar_t AsciiStandIn(char32_t u) {
  if (u == U'\u2500' || u == U'\u2550') return L'-';
  if (u == U'\u2502' || u == U'\u2551') return L'|';
  if (u >= 0x2500 && u <= 0x257F) return L'+';
  if ((u >= 0x2580 && u <= 0x259F) || u == U'\u25A0') return L'#';
  if (u == U'\u25BA' || u == U'\u2192') return L'>';
  if (u == U'\u25C4' || u == U'\u2190') return L'<';
  if (u == U'\u25B2' || u == U'\u2191') return L'^';
  if (u == U'\u25BC' || u == U'\u2193') return L'v';
  if (u == U'\u20AC') return L'E';
  static constexpr char kLatin1[] =
      " !cLoY|S\"ca<--R-o+23'uP.,1o>424?"
      "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTs"
      "aaaaaaaceeeeiiiidnooooo/ouuuuyty";
  if (u >= 0xA0 && u <= 0xFF) return static_cast<wchar_t>(kLatin1[u - 0xA0]);
  return L'?';
}

// What each CP850 byte is drawn as: its Unicode glyph where the locale's
// character set has it (all of them in UTF-8; the letters in Latin-1 or
// Latin-9), else its ASCII stand-in.
void SetGlyphs() {
  char bytes[MB_LEN_MAX];
  std::wctomb(nullptr, 0);
  for (int b = 0; b < 256; ++b) {
    const char32_t u = Cp850ToUnicode(static_cast<unsigned char>(b));
    const bool shown = g_utf8 || u < 0x80 || std::wctomb(bytes, static_cast<wchar_t>(u)) > 0;
    g_glyph[b] = shown ? static_cast<wchar_t>(u) : AsciiStandIn(u);
    if (u == U'\u00AD') g_glyph[b] = L'-';  // a soft hyphen would take no cell
  }
}

// Console colour order (blue = 1, red = 4) to curses order (red = 1, blue = 4).
constexpr short kCursesColor[8] = {COLOR_BLACK, COLOR_BLUE, COLOR_GREEN, COLOR_CYAN,
                                   COLOR_RED,   COLOR_MAGENTA, COLOR_YELLOW, COLOR_WHITE};

// Curses attributes and colour pair for a console attribute byte.
void AttributeToCurses(std::uint8_t attribute, attr_t& attrs, short& pair) {
  const int fg = attribute & 0x0F;
  const int bg = (attribute >> 4) & 0x0F;
  attrs = A_NORMAL;
  pair = 0;
  if (!g_colors) {
    if (bg != 0) attrs |= A_REVERSE;
    if (fg & 8) attrs |= A_BOLD;
    return;
  }
  short cfg = kCursesColor[fg & 7];
  short cbg = kCursesColor[bg & 7];
  int key;
  if (g_manyColors) {
    if (fg & 8) cfg = static_cast<short>(cfg + 8);
    if (bg & 8) cbg = static_cast<short>(cbg + 8);
    key = fg * 16 + bg;
  } else {
    if (fg & 8) attrs |= A_BOLD;  // bright foreground; bright backgrounds lose their intensity
    key = (fg & 7) * 16 + (bg & 7);
  }
  if (cfg == COLOR_WHITE && cbg == COLOR_BLACK) return;  // pair 0 is white on black
  if (g_pairOf[key] == 0) {
    if (g_nextPair >= COLOR_PAIRS || g_nextPair > 32767) return;  // out of pairs: default colours
    init_pair(static_cast<short>(g_nextPair), cfg, cbg);
    g_pairOf[key] = static_cast<short>(g_nextPair++);
  }
  pair = g_pairOf[key];
}

void ReadTerminalSize() {
  struct winsize ws{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
    g_termRows = ws.ws_row;
    g_termCols = ws.ws_col;
  } else {
    g_termRows = LINES;
    g_termCols = COLS;
  }
}

void HandleResize() {
  g_resized = 0;
  char drain[64];
  while (::read(g_wakePipe[0], drain, sizeof drain) > 0) {
  }
  ReadTerminalSize();
  resizeterm(g_termRows, g_termCols);
  clearok(curscr, TRUE);
  g_cursorPending = true;
  MarkDirty();
}

void DrawTooSmall() {
  erase();
  const std::string text = g_tooSmallText + " " + std::to_string(g_termCols) + " x " + std::to_string(g_termRows) + ".";
  std::wstring shown;
  for (char c : text) shown += g_glyph[static_cast<unsigned char>(c)];
  attrset(A_BOLD);
  mvaddnwstr(0, 0, shown.c_str(), static_cast<int>(shown.size()));
  attrset(A_NORMAL);
  curs_set(0);
  refresh();
}

void ApplyCursor() {
  const bool visible = CursorVisible();
  curs_set(visible ? 1 : 0);
  if (g_shapeCursor && g_cursorPending) {
    // Large cursor: block; small: underline (both blinking, as a console's).
    WriteRaw(CursorSize() >= 75 ? "\x1b[1 q" : "\x1b[3 q");
  }
  g_cursorPending = false;
}

void DrawScreen() {
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const Cell& cell = CellAt0(r, c);
      attr_t attrs;
      short pair;
      AttributeToCurses(cell.attr, attrs, pair);
      const wchar_t text[2] = {g_glyph[cell.ch], L'\0'};
      cchar_t cc;
      setcchar(&cc, text, attrs, pair, nullptr);
      mvadd_wch(r, c, &cc);
    }
  }
  move(CursorRow() - 1, CursorColumn() - 1);
  refresh();
  ApplyCursor();
}

// Decodes what is buffered; `final` when the escape delay has passed.
void DecodeBuffered(bool final) {
  if (g_input.empty()) return;
  std::vector<Event> events;
  const std::size_t used = DecodeEvents(g_input, final, events);
  g_input.erase(0, used);
  if (g_tooSmall) return;  // keys typed at a too small terminal are dropped
  for (const Event& event : events) {
    QueueEvent(event);
    if (event.kind == Event::Key && (event.modifiers & kLeftAlt)) {
      // The terminal reports Alt only with the key; the release follows it.
      Event release;
      release.kind = Event::Key;
      release.scan = 0x38;
      release.keyDown = false;
      QueueEvent(release);
    }
  }
}

// Reads what stdin holds now. False when the terminal is gone: end of
// input, a read error, or poll reporting a hang-up, an error or an invalid
// descriptor with nothing left to read.
bool ReadAvailable() {
  char buf[4096];
  for (;;) {
    struct pollfd pfd{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&pfd, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return true;
    if (pfd.revents & POLLNVAL) return false;
    if (!(pfd.revents & POLLIN)) return (pfd.revents & (POLLHUP | POLLERR)) == 0;
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    if (g_input.empty()) g_inputSince = std::chrono::steady_clock::now();
    g_input.append(buf, static_cast<std::size_t>(n));
    if (n < static_cast<ssize_t>(sizeof buf)) return true;
  }
}

// The terminal went away: restore what can be restored, drop pending input
// and report it from now on (InputGone). Nothing is read or drawn any more.
void TerminalGone() {
  if (g_gone) return;
  g_gone = true;
  g_input.clear();
  TerminalStop();
}

int MsSince(std::chrono::steady_clock::time_point t) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count());
}

}  // namespace

bool TerminalActive() { return g_active; }

bool TerminalPlainGlyphs() { return g_active && !g_utf8; }

void TerminalSetTooSmallText(const std::string& cp850) {
  g_tooSmallText = cp850;
  if (g_tooSmall) MarkDirty();
}

bool TerminalStart() {
  if (g_active) return true;
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
  g_utf8 = UseLocaleCharacterSet();
  SetGlyphs();
  g_screen = newterm(nullptr, stdout, stdin);
  if (g_screen == nullptr) return false;
  set_term(g_screen);
  raw();
  noecho();
  nonl();
  keypad(stdscr, FALSE);
  intrflush(stdscr, FALSE);
  typeahead(-1);  // ncurses must not read stdin; this file does
  g_colors = has_colors() && start_color() == OK;
  g_manyColors = g_colors && COLORS >= 16;
  std::memset(g_pairOf, 0, sizeof g_pairOf);
  g_nextPair = 1;
  const char* term = std::getenv("TERM");
  // The Linux console and plain VT terminals know neither cursor shapes nor
  // xterm mouse reports (the Linux console's mouse goes through gpm).
  g_xtermLike = term != nullptr && std::strcmp(term, "linux") != 0 && std::strncmp(term, "vt", 2) != 0 &&
                std::strcmp(term, "dumb") != 0;
  g_shapeCursor = g_xtermLike;
  // Cursor keys and keypad in their normal modes, whatever an earlier program
  // left: an arrow in the application form ("\eOD") is then PuTTY's Ctrl+arrow.
  WriteRaw("\x1b[?1l\x1b>");
  // xterm sends Alt+letter as an 8-bit character unless Meta sends Escape.
  if (g_xtermLike) WriteRaw("\x1b[?1036s\x1b[?1036h");
  if (g_wakePipe[0] < 0 && pipe2(g_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) g_wakePipe[0] = g_wakePipe[1] = -1;
  InstallHandlers();
  if (!g_atexitRegistered) {
    std::atexit(StopAtExit);
    g_atexitRegistered = true;
  }
  g_active = true;
  g_restoring = 0;
  g_hangUp = 0;
  g_gone = false;
  g_input.clear();
  g_cursorPending = true;
  g_mouseOn = false;
  ReadTerminalSize();
  if (g_termRows != LINES || g_termCols != COLS) resizeterm(g_termRows, g_termCols);
  clear();
  MarkDirty();
  return true;
}

void TerminalStop() {
  if (!g_active) return;
  g_active = false;
  ResetTerminalModes();
  g_mouseOn = false;
  curs_set(1);
  endwin();
  delscreen(g_screen);
  g_screen = nullptr;
  RemoveHandlers();
}

void TerminalRefresh() {
  if (!g_active) return;
  if (g_resized) HandleResize();
  const bool tooSmall = g_termRows < kRows || g_termCols < kColumns;
  if (tooSmall) {
    if (!g_tooSmall || Dirty()) {
      g_tooSmall = true;
      DrawTooSmall();
      ClearDirty();
    }
    return;
  }
  if (g_tooSmall) {
    g_tooSmall = false;
    erase();
    MarkDirty();
  }
  if (Dirty()) {
    DrawScreen();
    ClearDirty();
  } else if (g_cursorPending) {
    ApplyCursor();
  }
}

bool TerminalInputGone() {
  if (g_hangUp && g_active) TerminalGone();
  return g_gone;
}

void TerminalReadInput(int timeoutMs) {
  if (!g_active) return;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (g_hangUp || !ReadAvailable()) {
      TerminalGone();
      return;
    }
    DecodeBuffered(!g_input.empty() && MsSince(g_inputSince) >= kEscapeDelayMs);
    if (!QueueEmpty()) return;
    if (g_resized) TerminalRefresh();
    // How long to sleep: until the escape delay ends, the timeout ends, or forever.
    int wait = -1;
    if (timeoutMs >= 0) wait = std::max(0, timeoutMs - MsSince(start));
    if (!g_input.empty()) {
      const int escLeft = std::max(0, kEscapeDelayMs - MsSince(g_inputSince));
      wait = wait < 0 ? escLeft : std::min(wait, escLeft);
      if (timeoutMs == 0) return;  // polling: a pending Esc is decided on a later call
    } else if (wait == 0) {
      return;
    }
    struct pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_wakePipe[0], POLLIN, 0}};
    const int n = poll(fds, g_wakePipe[0] >= 0 ? 2 : 1, wait);
    if (n < 0 && errno != EINTR) return;
    if (g_resized) TerminalRefresh();
    if (n == 0 && g_input.empty()) return;  // timed out
    if (n == 0) DecodeBuffered(true);
    if (!QueueEmpty()) return;
    if (timeoutMs >= 0 && MsSince(start) >= timeoutMs && g_input.empty()) return;
  }
}

void TerminalFlushInput() {
  if (!g_active) return;
  if (g_hangUp || !ReadAvailable()) TerminalGone();
  g_input.clear();
}

void TerminalBeep() {
  if (g_active) beep();
}

int TerminalMouseButtons() { return g_xtermLike ? 3 : 0; }

void TerminalSetMouse(bool on) {
  if (!g_active || on == g_mouseOn || !g_xtermLike) return;
  g_mouseOn = on;
  // Button press/release reports in the SGR form (any size of terminal).
  WriteRaw(on ? "\x1b[?1000h\x1b[?1006h" : "\x1b[?1006l\x1b[?1000l");
}

void TerminalCursorChanged() { g_cursorPending = true; }

}  // namespace console::detail
