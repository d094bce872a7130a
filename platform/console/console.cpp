// Back end selection, the input queue shared by both back ends, mouse state
// and the bell.
//
// Headless back end: nothing is drawn and input comes only from the queue
// (PushKey, PushText, PushClick, PushEvent). WaitEvent on an empty queue
// returns false at once whatever the timeout, so a test can never hang on
// missing input. It reports a three-button mouse.
#include <deque>

#include "platform/console/console.h"
#include "platform/console/console_internal.h"

namespace console {
namespace {

Backend g_backend = Backend::Headless;
std::deque<Event> g_queue;
int g_modifiers = 0;
bool g_mouseReporting = false;
int g_beeps = 0;

// Scan codes of the main keyboard block for the characters a PushText may
// carry, so scripted keys look like what a keyboard sends.
int ScanOfChar(unsigned char ch) {
  static const char* const kRowsOfKeys[] = {"1234567890-=", "qwertyuiop[]", "asdfghjkl;'`", "\\zxcvbnm,./"};
  static const int kFirstScan[] = {0x02, 0x10, 0x1E, 0x2B};
  if (ch >= 'A' && ch <= 'Z') ch = static_cast<unsigned char>(ch - 'A' + 'a');
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; kRowsOfKeys[k][i] != 0; ++i)
      if (static_cast<unsigned char>(kRowsOfKeys[k][i]) == ch) return kFirstScan[k] + i;
  }
  switch (ch) {
    case 8: return 0x0E;
    case 9: return 0x0F;
    case 13: return 0x1C;
    case 27: return 0x01;
    case ' ': return 0x39;
    default: return 0;
  }
}

}  // namespace

namespace detail {

void QueueEvent(const Event& event) { g_queue.push_back(event); }
bool QueueEmpty() { return g_queue.empty(); }
void ClearQueue() { g_queue.clear(); }
int ScanCodeOfChar(unsigned char ch) { return ScanOfChar(ch); }

}  // namespace detail

bool Start(Backend backend) {
  if (backend == Backend::Terminal) {
    if (!detail::TerminalActive() && !detail::TerminalStart()) return false;
    g_backend = Backend::Terminal;
    detail::MarkDirty();
    detail::TerminalSetMouse(g_mouseReporting);
    Refresh();
    return true;
  }
  if (detail::TerminalActive()) detail::TerminalStop();
  g_backend = Backend::Headless;
  return true;
}

void Stop() {
  if (detail::TerminalActive()) detail::TerminalStop();
  g_backend = Backend::Headless;
}

Backend CurrentBackend() { return g_backend; }

void Refresh() {
  if (g_backend == Backend::Terminal) detail::TerminalRefresh();
}

bool PollEvent(Event& event) {
  if (g_backend == Backend::Terminal) {
    detail::TerminalRefresh();
    if (g_queue.empty()) detail::TerminalReadInput(0);
  }
  if (g_queue.empty()) return false;
  event = g_queue.front();
  g_queue.pop_front();
  g_modifiers = event.modifiers;
  return true;
}

bool WaitEvent(int timeoutMs) {
  if (!g_queue.empty()) return true;
  if (g_backend != Backend::Terminal) return false;
  detail::TerminalRefresh();
  detail::TerminalReadInput(timeoutMs);
  return !g_queue.empty();
}

void SetTooSmallText(const std::string& cp850) { detail::TerminalSetTooSmallText(cp850); }

bool PlainGlyphs() { return g_backend == Backend::Terminal && detail::TerminalPlainGlyphs(); }

bool InputGone() { return g_backend == Backend::Terminal && detail::TerminalInputGone(); }

void FlushInput() {
  if (g_backend == Backend::Terminal) detail::TerminalFlushInput();
  g_queue.clear();
}

int ModifierState() { return g_modifiers; }

int MouseButtons() {
  return g_backend == Backend::Terminal ? detail::TerminalMouseButtons() : 3;
}

void SetMouseReporting(bool on) {
  if (on == g_mouseReporting) return;
  g_mouseReporting = on;
  if (g_backend == Backend::Terminal) detail::TerminalSetMouse(on);
}

Event KeyEvent(unsigned char ch, int scan, int modifiers) {
  Event e;
  e.kind = Event::Key;
  e.ch = ch;
  e.scan = scan;
  e.modifiers = modifiers;
  return e;
}

void PushKey(unsigned char ch, int scan, int modifiers) { g_queue.push_back(KeyEvent(ch, scan, modifiers)); }

void PushEvent(const Event& event) { g_queue.push_back(event); }

void PushClick(int row, int column, int buttons) {
  Event e;
  e.kind = Event::Mouse;
  e.row = row;
  e.column = column;
  e.buttons = buttons;
  g_queue.push_back(e);
}

void PushText(const std::string& text) {
  for (char c : text) {
    const auto ch = static_cast<unsigned char>(c);
    PushKey(ch, ScanOfChar(ch), 0);
  }
}

int PendingEvents() { return static_cast<int>(g_queue.size()); }

void ResetForTests() {
  detail::ResetScreen();
  g_queue.clear();
  g_modifiers = 0;
  g_mouseReporting = false;
  g_beeps = 0;
}

void Beep() {
  ++g_beeps;
  if (g_backend == Backend::Terminal) detail::TerminalBeep();
}

int BeepCount() { return g_beeps; }

}  // namespace console

// ---- addition: the next input event without taking it ---------------------------
namespace console {

bool PeekEvent(Event& event) {
  if (g_backend == Backend::Terminal && g_queue.empty()) detail::TerminalReadInput(0);
  if (g_queue.empty()) return false;
  event = g_queue.front();
  return true;
}

}  // namespace console
