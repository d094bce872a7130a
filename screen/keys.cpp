// Keyboard and mouse input: console events to key codes, Alt + keypad
// characters, the two hot keys and the type-ahead they fill.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/calculator.h"
#include "screen/keys.h"

namespace screen {
namespace {

constexpr int kAltScan = 0x38;
constexpr int kCalculatorKey = 0x2D00;
constexpr int kCalendarKey = 0x2E00;
constexpr int kExitTerminalGone = 1;

std::string g_typeAhead;
int g_mouseState = 0;
bool g_calculatorOpen = false;
bool g_calendarOpen = false;
std::function<void()> g_idleHook;

int CodeOf(const console::Event& ev) { return ev.ch != 0 ? ev.ch : ev.scan * 256; }

// Alt, Ctrl and Shift pressed alone give no key.
bool ModifierOnly(const console::Event& ev) {
  return ev.ch == 0 && (ev.scan == 0x38 || ev.scan == 0x1D || ev.scan == 0x2A || ev.scan == 0x36);
}

// The digit a keypad key stands for while Alt is held (keypad digits arrive
// as the cursor keys printed on them), or -1.
int KeypadDigit(int code) {
  static const int kKeys[10] = {0x5200, 0x4F00, 0x5000, 0x5100, 0x4B00, 0x4C00, 0x4D00, 0x4700, 0x4800, 0x4900};
  for (int d = 0; d < 10; ++d)
    if (kKeys[d] == code) return d;
  return -1;
}

// Collects keypad digits while the left Alt key is held; `ev` is the first
// digit. Returns true when another key ended the collection (left in `ev`),
// false when Alt was released: `code` is then the character typed (0 if none).
bool CollectAltDigits(console::Event& ev, int& code) {
  int value = 0;
  bool any = false;
  for (;;) {
    if (ev.kind == console::Event::Key) {
      const bool altHeld = (ev.modifiers & console::kLeftAlt) != 0;
      if (!ev.keyDown) {
        if (ev.scan == kAltScan || !altHeld) break;
      } else if (!altHeld) {
        return true;
      } else if (KeypadDigit(CodeOf(ev)) >= 0) {
        value = (value * 10 + KeypadDigit(CodeOf(ev))) % 256;
        any = true;
      } else if (!ModifierOnly(ev)) {
        return true;
      }
    }
    while (!console::PollEvent(ev)) {
      if (!WaitForConsoleInput()) {  // scripted input ran out: take Alt as released
        code = any ? value : 0;
        return false;
      }
    }
  }
  code = any ? value : 0;
  return false;
}

int ApplyModifiers(int code, int modifiers) {
  if (code == 0x1200) return 213;  // Alt+E: the euro sign
  const bool functionKey = code >= 0x3B00 && code <= 0x4400 && (code & 0xFF) == 0;
  const bool f11f12 = code == 0x8500 || code == 0x8600;
  if (modifiers & (console::kRightAlt | console::kLeftAlt)) {
    if (functionKey) return code + 0x2D00;
    if (f11f12) return code + 0x600;
  } else if (modifiers & (console::kRightCtrl | console::kLeftCtrl)) {
    if (functionKey) return code + 0x2300;
    if (f11f12) return code + 0x400;
    if (code == 0x4700) return 0x7700;
    if (code == 0x4D00) return 0x7400;
    if (code == 0x4B00) return 0x7300;
  } else if (modifiers & console::kShift) {
    if (functionKey) return code + 0x1900;
    if (f11f12) return code + 0x200;
    if (code == 9) return 0x0F00;  // Shift+Tab reported with its character
  }
  return code;
}

int Signed16(int v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF)); }

}  // namespace

void EndIfTerminalGone() {
  // Nobody is left to press a key: end the program through its exit path,
  // which closes the record files (their locks go with them).
  if (console::InputGone()) os::EndProgram(kExitTerminalGone);
}

bool WaitForInput() {
  if (!g_typeAhead.empty()) return true;
  return WaitForConsoleInput() || !g_typeAhead.empty();
}

bool WaitForConsoleInput() {
  if (console::WaitEvent(-1)) return true;
  EndIfTerminalGone();
  if (console::CurrentBackend() == console::Backend::Headless) {
    if (!g_idleHook) return false;
    const std::function<void()> hook = g_idleHook;  // the hook may replace itself
    hook();
    return console::PendingEvents() > 0;
  }
  os::SleepMs(20);  // the terminal wait failed (e.g. interrupted): do not spin
  return true;
}

void ReadInput(int& key, int& button, int& row, int& column) {
  if (!g_typeAhead.empty()) {
    key = static_cast<unsigned char>(g_typeAhead[0]);
    g_typeAhead.erase(0, 1);
    return;
  }
  key = button = row = column = 0;
  if (g_mouseState == 0) g_mouseState = console::MouseButtons() == 0 ? 3 : 2;
  if (g_mouseState == 2) {
    console::SetMouseReporting(true);
    g_mouseState = 1;
  }

  console::Event ev;
  if (!console::PollEvent(ev)) return;
  // The left Alt key pressed by itself starts a character typed on the keypad.
  const bool altPress = ev.kind == console::Event::Key && ev.keyDown && ev.ch == 0 && ev.scan == kAltScan &&
                        (ev.modifiers & console::kLeftAlt) != 0;
  if (ev.kind == console::Event::Key && ev.keyDown && (altPress || !ModifierOnly(ev))) {
    int code = 0;
    bool otherKey = true;
    if ((ev.modifiers & console::kLeftAlt) && (altPress || KeypadDigit(CodeOf(ev)) >= 0))
      otherKey = CollectAltDigits(ev, code);
    if (otherKey) {
      if (ev.kind == console::Event::Key && ev.keyDown && !ModifierOnly(ev))
        code = ApplyModifiers(CodeOf(ev), ev.modifiers);
    }
    key = Signed16(code);
  } else if (ev.kind == console::Event::Mouse && g_mouseState == 1 && ev.buttons != 0) {
    button = ev.buttons;
    row = ev.row;
    column = ev.column;
  }

  if (key == kCalculatorKey && !g_calculatorOpen) {
    g_calculatorOpen = true;
    const std::string figure = Calculator();
    g_typeAhead += figure;
    g_calculatorOpen = false;
  } else if (key == kCalendarKey && !g_calendarOpen) {
    g_calendarOpen = true;
    const std::string date = Calendar();
    g_typeAhead += date;
    g_calendarOpen = false;
  }

  if (g_mouseState == 1 && (key > 0 || button > 0)) {
    console::SetMouseReporting(false);
    g_mouseState = 2;
  }
}

void WaitKey(int& key) {
  for (;;) {
    int button = 0, row = 0, column = 0;
    ReadInput(key, button, row, column);
    if (key != 0) return;
    if (button != 0) {
      key = Signed16(column * 256 + button * 64 + row);
      return;
    }
    if (!WaitForInput()) {
      key = 27;
      return;
    }
  }
}

void FlushKeys() { console::FlushInput(); }

void SetIdleHookForTests(std::function<void()> hook) { g_idleHook = std::move(hook); }

const std::string& TypeAhead() { return g_typeAhead; }
void AddTypeAhead(const std::string& text) { g_typeAhead += text; }
int MouseState() { return g_mouseState; }

void ResetKeysForTests() {
  g_typeAhead.clear();
  g_mouseState = 0;
  g_calculatorOpen = false;
  g_calendarOpen = false;
  g_idleHook = nullptr;
  ResetKeyMapForTests();
}

}  // namespace screen
