// Decoding of terminal input: control bytes, UTF-8 characters, CSI and SS3
// sequences with xterm modifier parameters ("\e[1;5D", "\e[15;2~"), the rxvt
// suffixes ($ ^ @) and arrows ("\eOa" Ctrl+Up, "\e[a" Shift+Up), PuTTY's
// function keys ("\e[11~") and Ctrl+arrows ("\eOA"), the Linux
// console's "\e[[A".."\e[[E", characters with modifiers in the extended forms
// ("\e[27;5;99~" of xterm's modifyOtherKeys, "\e[99;5u" of the CSI u form that
// tmux's extended keys also use), Esc-prefixed Alt keys and mouse reports in
// both the SGR (1006) and the old X10 form.
//
// Every sequence is decoded on its own, without recursion, so that a burst of
// any length costs time in proportion to its length.
//
// Alt plus keypad digits cannot be decoded here: terminals do not report the
// Alt key by itself nor keypad digits as cursor keys, so a character typed
// that way arrives (if at all) as the finished character.
#include "platform/console/key_decoder.h"

#include <vector>

#include "platform/console/console_internal.h"
#include "platform/console/cp850_unicode.h"

namespace console::detail {
namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr std::size_t kMaxSequence = 40;

constexpr int kScanF1 = 0x3B;
constexpr int kScanHome = 0x47, kScanUp = 0x48, kScanPgUp = 0x49, kScanLeft = 0x4B, kScanPad5 = 0x4C,
              kScanRight = 0x4D, kScanEnd = 0x4F, kScanDown = 0x50, kScanPgDn = 0x51,
              kScanInsert = 0x52, kScanDelete = 0x53, kScanF11 = 0x85, kScanF12 = 0x86;


// xterm modifier parameter: 1 + (1 shift, 2 alt, 4 ctrl, 8 meta).
int ModifiersOfParam(int param) {
  if (param < 2) return 0;
  const int bits = param - 1;
  int m = 0;
  if (bits & 1) m |= kShift;
  if (bits & (2 | 8)) m |= kLeftAlt;
  if (bits & 4) m |= kLeftCtrl;
  return m;
}

int ScanOfFunctionLetter(unsigned char c) {
  switch (c) {
    case 'A': return kScanUp;
    case 'B': return kScanDown;
    case 'C': return kScanRight;
    case 'D': return kScanLeft;
    case 'E': case 'G': return kScanPad5;
    case 'F': return kScanEnd;
    case 'H': return kScanHome;
    case 'P': return kScanF1;
    case 'Q': return kScanF1 + 1;
    case 'R': return kScanF1 + 2;
    case 'S': return kScanF1 + 3;
    default: return 0;
  }
}

// Keys of the form "\e[<n>~". Shift is set for the codes that the Linux
// console and rxvt send for Shift+F3..F10.
int ScanOfTildeCode(int n, int& modifiers) {
  switch (n) {
    case 1: case 7: return kScanHome;
    case 2: return kScanInsert;
    case 3: return kScanDelete;
    case 4: case 8: return kScanEnd;
    case 5: return kScanPgUp;
    case 6: return kScanPgDn;
    case 11: case 12: case 13: case 14: case 15: return kScanF1 + (n - 11);
    case 17: case 18: case 19: case 20: case 21: return kScanF1 + 5 + (n - 17);
    case 23: return kScanF11;
    case 24: return kScanF12;
    case 25: case 26: modifiers |= kShift; return kScanF1 + 2 + (n - 25);
    case 28: case 29: modifiers |= kShift; return kScanF1 + 4 + (n - 28);
    case 31: case 32: case 33: case 34: modifiers |= kShift; return kScanF1 + 6 + (n - 31);
    default: return 0;
  }
}

// A character key with its scan code, as a keyboard reports it.
Event CharEvent(unsigned char ch, int modifiers) {
  int scan = ScanCodeOfChar(ch);
  if (ch >= 'A' && ch <= 'Z') modifiers |= kShift;
  return KeyEvent(ch, scan, modifiers);
}

// A single byte below 0x80 that is not Esc.
Decoded DecodeAsciiByte(unsigned char b, Event& event) {
  switch (b) {
    case 0x0D: event = KeyEvent(13, 0x1C, 0); return Decoded::Event;
    case 0x0A: event = KeyEvent(10, 0x1C, kLeftCtrl); return Decoded::Event;
    case 0x09: event = KeyEvent(9, 0x0F, 0); return Decoded::Event;
    case 0x08: case 0x7F: event = KeyEvent(8, 0x0E, 0); return Decoded::Event;
    case 0x00: return Decoded::Ignored;
    default: break;
  }
  if (b < 0x20) {
    // Ctrl+letter (and Ctrl+\ ] ^ _): the control character itself.
    const int scan = b <= 26 ? ScanCodeOfChar(static_cast<unsigned char>('a' + b - 1)) : 0;
    event = KeyEvent(b, scan, kLeftCtrl);
    return Decoded::Event;
  }
  event = CharEvent(b, 0);
  return Decoded::Event;
}

// A UTF-8 character starting at bytes[0] (>= 0x80).
Decoded DecodeUtf8(std::string_view bytes, bool final, std::size_t& consumed, Event& event) {
  char32_t code = 0;
  const Utf8Char read = DecodeUtf8Char(bytes, code, consumed);
  if (read == Utf8Char::Incomplete && !final) return Decoded::Incomplete;
  if (read != Utf8Char::Whole) return Decoded::Ignored;
  const int cp850 = UnicodeToCp850(code);
  if (cp850 < 0) return Decoded::Ignored;
  event = CharEvent(static_cast<unsigned char>(cp850), 0);
  return Decoded::Event;
}

// Splits "1;5" into numbers; empty fields are 0.
std::vector<int> Params(std::string_view text) {
  std::vector<int> out(1, 0);
  for (char c : text) {
    if (c == ';' || c == ':') out.push_back(0);
    else if (c >= '0' && c <= '9' && out.back() < 100000) out.back() = out.back() * 10 + (c - '0');
  }
  return out;
}

int Param(const std::vector<int>& p, std::size_t i, int fallback) {
  return (i < p.size() && p[i] != 0) ? p[i] : fallback;
}

// Splits "99:67;5:1" into its ";"-separated groups, each a list of its
// ":"-separated numbers (empty fields are 0).
std::vector<std::vector<int>> ParamGroups(std::string_view text) {
  std::vector<std::vector<int>> out(1, std::vector<int>(1, 0));
  for (char c : text) {
    if (c == ';') out.emplace_back(1, 0);
    else if (c == ':') out.back().push_back(0);
    else if (c >= '0' && c <= '9' && out.back().back() < 100000) out.back().back() = out.back().back() * 10 + (c - '0');
  }
  return out;
}

int GroupValue(const std::vector<std::vector<int>>& g, std::size_t group, std::size_t item, int fallback) {
  return (group < g.size() && item < g[group].size() && g[group][item] != 0) ? g[group][item] : fallback;
}

// A key given as its character code (Unicode) and modifier bits, as the
// extended forms report it: Ctrl with a letter gives its control code
// (Ctrl+C 3, Ctrl+V 22), Shift with a letter the capital, Alt with a key of
// the main block that key's scan code (as the Esc-prefixed Alt keys do).
Decoded ModifiedKey(int code, int mods, Event& event) {
  switch (code) {
    case 9:
      event = (mods & kShift) ? KeyEvent(0, 0x0F, mods) : KeyEvent(9, 0x0F, mods);
      return Decoded::Event;
    case 13: event = KeyEvent(13, 0x1C, mods); return Decoded::Event;
    case 27: event = KeyEvent(27, 0x01, mods); return Decoded::Event;
    case 8: case 127: event = KeyEvent(8, 0x0E, mods); return Decoded::Event;
    default: break;
  }
  if (code <= 0) return Decoded::Ignored;
  if (code < 0x20) {
    if (DecodeAsciiByte(static_cast<unsigned char>(code), event) != Decoded::Event) return Decoded::Ignored;
    event.modifiers |= mods;
    return Decoded::Event;
  }
  int ch = code;
  if (code >= 0x7F) {
    ch = UnicodeToCp850(static_cast<char32_t>(code));
    if (ch < 0) return Decoded::Ignored;
  }
  auto c = static_cast<unsigned char>(ch);
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  const unsigned char lower = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
  const int scan = ScanCodeOfChar(lower);
  if ((mods & kLeftAlt) && scan != 0) {
    event = KeyEvent(0, scan, mods);
    return Decoded::Event;
  }
  if ((mods & kLeftCtrl) && letter) {
    event = KeyEvent(static_cast<unsigned char>(lower - 'a' + 1), scan, mods);
    return Decoded::Event;
  }
  // Ctrl+[ \ ] ^ _ are the control codes 27 to 31, as terminals send them otherwise.
  if ((mods & kLeftCtrl) && c >= '[' && c <= '_') return ModifiedKey(c & 0x1F, mods, event);
  if ((mods & kShift) && c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
  event = CharEvent(c, mods);
  return Decoded::Event;
}

Event MouseEvent(int buttonCode, int column, int row) {
  Event e;
  e.kind = Event::Mouse;
  e.column = column;
  e.row = row;
  static const int kButtons[3] = {1, 4, 2};  // left, middle, right
  e.buttons = kButtons[buttonCode & 3];
  if (buttonCode & 4) e.modifiers |= kShift;
  if (buttonCode & 8) e.modifiers |= kLeftAlt;
  if (buttonCode & 16) e.modifiers |= kLeftCtrl;
  return e;
}

// A press of button 1-3 inside the screen; motion, wheel and releases are dropped.
Decoded MousePress(int buttonCode, int column, int row, bool press, Event& event) {
  if (!press || (buttonCode & 3) == 3 || (buttonCode & (32 | 64 | 128)) != 0) return Decoded::Ignored;
  if (row < 1 || row > kRows || column < 1 || column > kColumns) return Decoded::Ignored;
  event = MouseEvent(buttonCode, column, row);
  return Decoded::Event;
}

// bytes starts with "\e[". Sequences of another shape are consumed and ignored.
Decoded DecodeCsi(std::string_view bytes, std::size_t& consumed, Event& event) {
  std::size_t i = 2;
  if (i >= bytes.size()) return Decoded::Incomplete;
  const auto first = static_cast<unsigned char>(bytes[i]);
  if (first == '[') {  // Linux console F1..F5
    if (i + 1 >= bytes.size()) return Decoded::Incomplete;
    consumed = i + 2;
    const auto c = static_cast<unsigned char>(bytes[i + 1]);
    if (c < 'A' || c > 'E') return Decoded::Ignored;
    event = KeyEvent(0, kScanF1 + (c - 'A'), 0);
    return Decoded::Event;
  }
  if (first == 'M') {  // X10 mouse: three bytes follow
    if (bytes.size() < 6) return Decoded::Incomplete;
    consumed = 6;
    const int b = static_cast<unsigned char>(bytes[3]) - 32;
    const int x = static_cast<unsigned char>(bytes[4]) - 32;
    const int y = static_cast<unsigned char>(bytes[5]) - 32;
    return MousePress(b, x, y, true, event);
  }
  const std::size_t paramStart = i;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x40 && c <= 0x7E) break;
    if (c == '$' && i > paramStart) break;  // rxvt Shift suffix
    if (c < 0x20 || c > 0x7E) {  // not a sequence after all: drop what came so far
      consumed = i;
      return Decoded::Ignored;
    }
    if (i >= kMaxSequence) { consumed = i; return Decoded::Ignored; }
    ++i;
  }
  if (i >= bytes.size()) return Decoded::Incomplete;
  consumed = i + 1;
  const auto fin = static_cast<unsigned char>(bytes[i]);
  std::string_view paramText = bytes.substr(paramStart, i - paramStart);
  if (!paramText.empty() && paramText[0] == '<') {  // SGR mouse
    if (fin != 'M' && fin != 'm') return Decoded::Ignored;
    const auto p = Params(paramText.substr(1));
    if (p.size() < 3) return Decoded::Ignored;
    return MousePress(p[0], p[1], p[2], fin == 'M', event);
  }
  if (!paramText.empty() && (paramText[0] < '0' || paramText[0] > ';')) return Decoded::Ignored;
  const auto p = Params(paramText);
  if (fin == '~' || fin == '$' || fin == '^' || fin == '@') {
    int modifiers = ModifiersOfParam(Param(p, 1, 1));
    if (fin == '$') modifiers |= kShift;
    if (fin == '^') modifiers |= kLeftCtrl;
    if (fin == '@') modifiers |= kShift | kLeftCtrl;
    const int n = Param(p, 0, 0);
    if (n == 27 && p.size() >= 3 && fin == '~')  // xterm modifyOtherKeys: 27;mod;char
      return ModifiedKey(p[2], ModifiersOfParam(p[1]), event);
    const int scan = ScanOfTildeCode(n, modifiers);
    if (scan == 0) return Decoded::Ignored;
    event = KeyEvent(0, scan, modifiers);
    return Decoded::Event;
  }
  if (fin == 'u') {  // CSI u: code[:shifted...];mods[:event type]
    const auto g = ParamGroups(paramText);
    if (GroupValue(g, 1, 1, 1) == 3) return Decoded::Ignored;  // a key release
    return ModifiedKey(GroupValue(g, 0, 0, 0), ModifiersOfParam(GroupValue(g, 1, 0, 1)), event);
  }
  if (fin >= 'a' && fin <= 'd' && paramText.empty()) {  // rxvt Shift+arrow
    event = KeyEvent(0, ScanOfFunctionLetter(static_cast<unsigned char>(fin - 'a' + 'A')), kShift);
    return Decoded::Event;
  }
  if (fin == 'Z') {  // back tab
    event = KeyEvent(0, 0x0F, kShift | ModifiersOfParam(Param(p, 1, 1)));
    return Decoded::Event;
  }
  const int scan = ScanOfFunctionLetter(fin);
  if (scan == 0) return Decoded::Ignored;  // focus reports, answers to queries, ...
  event = KeyEvent(0, scan, ModifiersOfParam(Param(p, 1, 1)));
  return Decoded::Event;
}

// bytes starts with "\eO".
Decoded DecodeSs3(std::string_view bytes, std::size_t& consumed, Event& event) {
  std::size_t i = 2;
  int modParam = 0;
  while (i < bytes.size() && ((bytes[i] >= '0' && bytes[i] <= '9') || bytes[i] == ';')) {
    modParam = bytes[i] == ';' ? 0 : (modParam % 100) * 10 + (bytes[i] - '0');
    if (++i > 8) { consumed = i; return Decoded::Ignored; }
  }
  if (i >= bytes.size()) return Decoded::Incomplete;
  consumed = i + 1;
  const auto fin = static_cast<unsigned char>(bytes[i]);
  int modifiers = ModifiersOfParam(modParam == 0 ? 1 : modParam);
  // The terminal back end keeps the cursor keys in their normal mode ("\e[A"),
  // so an arrow in the application form is PuTTY's Ctrl+arrow.
  if (fin >= 'A' && fin <= 'D' && i == 2) modifiers = kLeftCtrl;
  if (const int scan = ScanOfFunctionLetter(fin); scan != 0) {
    event = KeyEvent(0, scan, modifiers);
    return Decoded::Event;
  }
  if (fin >= 'a' && fin <= 'd' && modParam == 0) {  // rxvt Ctrl+arrow
    event = KeyEvent(0, ScanOfFunctionLetter(static_cast<unsigned char>(fin - 'a' + 'A')), kLeftCtrl);
    return Decoded::Event;
  }
  // Keypad in application mode.
  if (fin == 'M') { event = KeyEvent(13, 0x1C, modifiers); return Decoded::Event; }
  static const std::string_view kPadFinals = "jklmnopqrstuvwxy";
  static const std::string_view kPadChars = "*+,-./0123456789";
  const std::size_t k = kPadFinals.find(static_cast<char>(fin));
  if (k == std::string_view::npos) return Decoded::Ignored;
  event = CharEvent(static_cast<unsigned char>(kPadChars[k]), modifiers);
  return Decoded::Event;
}

// The number of Esc presses at the start of a run of three or more Esc
// bytes: all of them when the input ends there, else all but the last,
// which starts what follows. 0 when `bytes` starts with no such run.
// When more input may come and the run reaches the end of what arrived, its
// last three bytes wait: however long the run grows, they are still three or
// more Esc bytes then, and so are decided as if they had all come together.
std::size_t EscRunPresses(std::string_view bytes, bool final) {
  std::size_t run = 0;
  while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) == kEsc) ++run;
  if (run < 3) return 0;
  if (run < bytes.size()) return run - 1;
  return final ? run : run - 3;
}

// bytes starts with Esc and has at least two bytes.
Decoded DecodeEscape(std::string_view bytes, bool final, std::size_t& consumed, Event& event) {
  const auto second = static_cast<unsigned char>(bytes[1]);
  if (second == '[' || second == 'O') {
    const Decoded d = second == '[' ? DecodeCsi(bytes, consumed, event) : DecodeSs3(bytes, consumed, event);
    if (d != Decoded::Incomplete || !final) return d;
    // Never completed: a lone Esc, the rest is read as typed.
    consumed = 1;
    event = KeyEvent(27, 0x01, 0);
    return Decoded::Event;
  }
  if (second == kEsc) {
    // A run of three or more Esc bytes is that many Esc presses but the last,
    // which starts whatever follows the run (so 1,000 Esc presses and an
    // arrow are 1,000 Esc keys and the arrow). The run is consumed at once:
    // each byte of it is one Esc key.
    if (const std::size_t presses = EscRunPresses(bytes, final); presses > 0) {
      consumed = presses;
      event = KeyEvent(27, 0x01, 0);
      return Decoded::Event;
    }
    // Esc Esc: an Alt-prefixed key ("\e\e[A", "\e\ex"), or two Esc presses.
    if (bytes.size() >= 3) {
      std::size_t inner = 0;
      const Decoded d = DecodeEscape(bytes.substr(1), false, inner, event);  // no Esc run there: no deeper call
      if (d == Decoded::Event && event.kind == Event::Key && event.ch != 27) {
        consumed = inner + 1;
        if (event.ch != 0) {
          event.scan = event.scan != 0 ? event.scan : ScanCodeOfChar(event.ch);
          event.ch = 0;
        }
        event.modifiers |= kLeftAlt;
        return d;
      }
      if (d == Decoded::Incomplete && !final) return d;
    } else if (!final) {
      return Decoded::Incomplete;
    }
    consumed = 1;
    event = KeyEvent(27, 0x01, 0);
    return Decoded::Event;
  }
  // Alt + a key that sends a byte.
  std::size_t inner = 0;
  Event key;
  Decoded d;
  if (second >= 0x80) {
    d = DecodeUtf8(bytes.substr(1), final, inner, key);
    if (d == Decoded::Incomplete) return d;
  } else {
    inner = 1;
    d = DecodeAsciiByte(second, key);
  }
  consumed = 1 + inner;
  if (d != Decoded::Event) return d;
  if (key.scan == 0) {  // no key of its own (accented letters): the character as typed
    event = key;
    return Decoded::Event;
  }
  event = KeyEvent(0, key.scan, key.modifiers | kLeftAlt);
  return Decoded::Event;
}

}  // namespace

Decoded DecodeInput(std::string_view bytes, bool final, std::size_t& consumed, Event& event) {
  consumed = 0;
  if (bytes.empty()) return Decoded::Incomplete;
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  if (b0 == kEsc) {
    if (bytes.size() == 1) {
      if (!final) return Decoded::Incomplete;
      consumed = 1;
      event = KeyEvent(27, 0x01, 0);
      return Decoded::Event;
    }
    return DecodeEscape(bytes, final, consumed, event);
  }
  if (b0 >= 0x80) return DecodeUtf8(bytes, final, consumed, event);
  consumed = 1;
  return DecodeAsciiByte(b0, event);
}

std::size_t DecodeEvents(std::string_view bytes, bool final, std::vector<Event>& events) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::string_view rest = bytes.substr(at);
    if (const std::size_t presses = EscRunPresses(rest, final); presses > 0) {
      events.insert(events.end(), presses, KeyEvent(27, 0x01, 0));
      at += presses;
      continue;
    }
    std::size_t used = 0;
    Event event;
    const Decoded d = DecodeInput(rest, final, used, event);
    if (d == Decoded::Incomplete) break;
    if (d == Decoded::Event) events.push_back(event);
    at += used == 0 ? 1 : used;
  }
  return at;
}

}  // namespace console::detail
