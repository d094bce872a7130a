// The tape calculator: a desk calculator with a paper tape in a 26-column
// strip of the screen. Digits, point and Backspace key in the entry; + - * /
// carry out the pending operation, = and Enter end a calculation, % takes a
// percentage, R rounds to cents, T changes the sign, C clears the entry, then
// the total, then the tape; Left and Right move the strip; F takes the figure
// (typed into the field as digits with two implied decimals) and Esc leaves.
//
// The whole state lives in "KAPCALC.TMP" in the terminal directory between
// uses. Text, one record a line (CR LF), items separated by commas, flags as
// -1 or 0, text items in double quotes:
//   CalcColumn, TapeTop, Entry, Total
//   Cleared, Entering, HasPoint, Decimals
//   "Operator", "PendingOperator"
//   22 tape lines: value, point flag, decimals, "operator character"
// A file whose three header records are unreadable or hold anything out of
// place, or that has more records than these, is ignored and the calculator
// starts fresh. Tape records are read as far as they go: a file cut short
// keeps its column, figures and pending operation and the tape lines before
// the cut (the lines after it are empty). The file is replaced atomically on
// closing, and when that fails the operator is told (the earlier file stays).
//
// Errors: a result that is not a number (division by zero) or has more than
// 15 integer digits (more than the display shows) is an error. The tape gets
// the entry with its operator and an error line, the display row shows the
// figure as "!" with an "E" beside it, and Entry, Total and the pending
// operation become 0 and none; the next figure keyed in starts afresh. Only
// finite figures within the display ever reach the state file.
#include "screen/calculator.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/numbers.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"

namespace screen {
namespace {

constexpr int kTapeLines = 22;
constexpr int kEmptyTape = 23;    // TapeTop of an empty tape
constexpr int kLastColumn = 55;   // the strip is 26 columns wide
constexpr int kMaxDigits = 15;    // integer digits plus decimals the display keeps
constexpr double kLimit = 1e15;   // smallest figure with too many integer digits
constexpr int kFigureWidth = 21;
constexpr char kErrorMark = 'E';

constexpr int kLeft = 0x4B00, kCtrlLeft = 0x7300, kRight = 0x4D00, kCtrlRight = 0x7400;
constexpr int kAltF = 0x2100, kEsc = 27, kBackspace = 8, kEnter = 13;

struct TapeLine {
  double value = 0;
  bool point = false;
  int decimals = 0;
  char op = ' ';
};

struct CalcState {
  int column = 1;
  int tapeTop = kEmptyTape;
  double entry = 0;
  double total = 0;
  bool cleared = true;
  bool entering = false;
  bool hasPoint = false;
  int decimals = 0;
  std::string op;
  std::string pending;
  TapeLine tape[kTapeLines + 1];  // 1..22
};

const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};

std::string StateFile() { return settings::TermDir + "KAPCALC.TMP"; }

bool InError(const CalcState& s) { return !s.entering && s.op.size() == 1 && s.op[0] == kErrorMark; }

// Number of digits of the integer part (0 below 1).
int IntDigits(double magnitude) {
  int n = 0;
  while (n < 16 && magnitude >= kPow10[n]) ++n;
  return n;
}

bool Fits(double v) { return std::isfinite(v) && std::fabs(v) < kLimit; }

double Normalise(double value, bool& point, int& decimals);

// The figure as the display shows it, into `shown` with its point and
// decimals; false when it does not fit (rounding in the last place can carry
// a figure just below the limit onto it).
bool Shown(double value, double& shown, bool& point, int& decimals) {
  if (!Fits(value)) return false;
  bool p = false;
  int d = 0;
  const double v = Normalise(value, p, d);
  if (!Fits(v)) return false;
  shown = v;
  point = p;
  decimals = d;
  return true;
}

// ---- figures ---------------------------------------------------------------------

std::string FormatFigure(double value, bool point, int decimals) {
  std::string mask = "-Z,ZZZ,ZZZ,ZZZ,ZZZ,ZZ9";
  if (point) mask += '.';
  mask += std::string(static_cast<std::size_t>(decimals), '9');
  return format::FormatMask(mask.substr(mask.size() - kFigureWidth), value);
}

// The figure with as many decimals as it needs (at most 15 digits in all),
// rounded in the last place, trailing zero decimals dropped.
double Normalise(double value, bool& point, int& decimals) {
  const double a = std::fabs(value);
  const int whole = IntDigits(a);
  int d = 0;
  while (whole + d < kMaxDigits && a * kPow10[d] != std::floor(a * kPow10[d])) ++d;
  double x = std::round(a * kPow10[d]);
  while (d > 0 && std::fmod(x, 10.0) == 0) {
    x /= 10;
    --d;
  }
  decimals = d;
  point = d > 0;
  if (x == 0) return 0;
  return std::copysign(x / kPow10[d], value);
}

// Two decimals: above half a cent up, exactly half to the even cent, below
// half dropped, decided on 100 x figure. Negative figures round the same way
// as positive ones (by their size), so -2.3451 gives -2.35.
double RoundCents(double value) {
  const double m = std::fabs(value * 100);
  double whole = std::floor(m);
  const double fraction = m - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  if (whole == 0) return 0;
  return std::copysign(whole / 100, value);
}

// ---- drawing ---------------------------------------------------------------------

// Absolute screen row of the strip, from its left edge.
void Put(int row, const std::string& text) {
  WinLocate(row - 1, 0);
  WinPrint(text);
}

std::string Rule(char left, char right) { return std::string(1, left) + std::string(24, '\xC4') + right; }

std::string FigureCells(double value, bool point, int decimals, bool error) {
  return error ? std::string(kFigureWidth, '!') : FormatFigure(value, point, decimals);
}

void DrawDisplay(const CalcState& s) {
  const bool error = InError(s);
  Put(24, "\xB3" + FigureCells(s.entry, s.hasPoint, s.decimals, error) + " " + (error ? kErrorMark : ' ') + " \xB3");
}

void DrawAll(const CalcState& s) {
  if (s.tapeTop < kEmptyTape) {
    Put(s.tapeTop - 1, Rule('\xDA', '\xBF'));
    for (int r = s.tapeTop; r <= kTapeLines; ++r) {
      const TapeLine& t = s.tape[r];
      Put(r, "\xB3" + FigureCells(t.value, t.point, t.decimals, t.op == kErrorMark) + " " + t.op + " \xB3");
    }
    Put(23, Rule('\xC3', '\xB4'));
  } else {
    Put(23, Rule('\xDA', '\xBF'));
  }
  DrawDisplay(s);
  Put(25, Rule('\xC0', '\xD9'));
}

void OpenStrip(const CalcState& s) { WindowPush(1, s.column, 25, s.column + 25); }

// Closes and opens the strip again (at a new place, or to give back the rows
// a cleared tape covered) and draws it.
void Reopen(const CalcState& s) {
  WindowPop();
  OpenStrip(s);
  DrawAll(s);
}

// ---- the tape and the operations ------------------------------------------------------

void AddTapeLine(CalcState& s, double value, bool point, int decimals, char op) {
  if (s.tapeTop > 2) --s.tapeTop;
  for (int i = 1; i < kTapeLines; ++i) s.tape[i] = s.tape[i + 1];
  s.tape[kTapeLines] = TapeLine{value, point, decimals, op};
  DrawAll(s);
}

// A result the display cannot show: an error line on the tape, and a fresh
// start for the next figure.
void Fail(CalcState& s) {
  s.entry = s.total = 0;
  s.hasPoint = false;
  s.decimals = 0;
  s.op = std::string(1, kErrorMark);
  s.pending.clear();
  s.entering = false;
  s.cleared = false;
  AddTapeLine(s, 0, false, 0, kErrorMark);
}

void OperatorStep(CalcState& s, char key) {
  s.op = std::string(1, key);
  switch (key) {
    case 'C':
      if (s.entering) {  // the entry goes, the pending operation stays
        s.entering = false;
        s.entry = Normalise(s.total, s.hasPoint, s.decimals);
        s.op = s.pending;
      } else if (!s.cleared) {  // everything but the tape
        s.entry = s.total = 0;
        s.op.clear();
        s.pending.clear();
        s.cleared = true;
      } else {
        s.tapeTop = kEmptyTape;
        Reopen(s);
      }
      return;
    case 'R':
      s.entry = RoundCents(s.entry);
      s.total = s.entry;
      s.hasPoint = true;
      s.decimals = 2;
      AddTapeLine(s, s.entry, true, 2, 'R');
      return;
    case '%': {
      AddTapeLine(s, s.entry, s.hasPoint, s.decimals, '%');
      const double v = (s.pending == "+" || s.pending == "-") ? s.total / 100 * s.entry : s.entry / 100;
      if (!Shown(v, s.entry, s.hasPoint, s.decimals)) return Fail(s);
      return;
    }
    default:
      break;
  }
  double total = s.entry;
  if (s.pending == "+") total = s.total + s.entry;
  else if (s.pending == "-") total = s.total - s.entry;
  else if (s.pending == "*") total = s.total * s.entry;
  else if (s.pending == "/") total = s.total / s.entry;
  AddTapeLine(s, s.entry, s.hasPoint, s.decimals, key);
  if (!Shown(total, s.entry, s.hasPoint, s.decimals)) return Fail(s);
  s.total = total;
  if (key == '=') {
    s.op.clear();
    AddTapeLine(s, s.entry, s.hasPoint, s.decimals, ' ');
  }
  s.entering = false;
  s.cleared = false;
  s.pending = s.op;
}

void StartEntry(CalcState& s) {
  if (s.entering) return;
  s.entry = 0;
  s.hasPoint = false;
  s.decimals = 0;
}

// Digits lengthen the figure whatever its sign; a digit the display could
// not keep (more than 15 digits in all) is ignored.
void KeyDigit(CalcState& s, int digit) {
  StartEntry(s);
  s.entering = true;
  const double a = std::fabs(s.entry);
  double next;
  int decimals = s.decimals;
  if (!s.hasPoint) {
    next = a * 10 + digit;
  } else {
    ++decimals;
    if (decimals > kMaxDigits) return;
    next = (std::round(a * kPow10[decimals - 1]) * 10 + digit) / kPow10[decimals];
  }
  if (IntDigits(next) + decimals > kMaxDigits) return;
  s.decimals = decimals;
  s.entry = std::signbit(s.entry) ? -next : next;
}

void KeyBackspace(CalcState& s) {
  const double a = std::fabs(s.entry);
  double next = a;
  if (!s.hasPoint) {
    next = std::trunc(a / 10);
  } else if (--s.decimals < 0) {
    s.hasPoint = false;
    s.decimals = 0;
  } else {
    // Cut (not rounded) to one decimal less, on the digits as keyed.
    next = std::trunc(std::round(a * kPow10[s.decimals + 1]) / 10) / kPow10[s.decimals];
  }
  s.entry = std::signbit(s.entry) ? -next : next;
  s.entering = s.entry != 0;
}

// The figure as typed characters: two implied decimals, further decimals
// after a point, no sign. Nothing after an error.
std::string TakeFigure(const CalcState& s) {
  if (InError(s)) return std::string();
  const double value = s.entering ? s.entry : s.total;
  const int k = s.decimals > 2 ? s.decimals : 2;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.0f", std::round(std::fabs(value) * kPow10[k]));
  std::string digits = buffer;
  const std::size_t extra = static_cast<std::size_t>(k - 2);
  if (digits.size() < extra) digits.insert(0, extra - digits.size(), '0');
  std::string result = digits.substr(0, digits.size() - extra);
  if (extra > 0) result += "." + digits.substr(digits.size() - extra);
  return result;
}

// ---- the state file -------------------------------------------------------------------

std::string Number(double v) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, r.ptr);
}

std::string Flag(bool v) { return v ? "-1" : "0"; }
std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

bool SaveState(const CalcState& s) {
  std::string text = std::to_string(s.column) + "," + std::to_string(s.tapeTop) + "," + Number(s.entry) + "," +
                     Number(s.total) + "\r\n";
  text += Flag(s.cleared) + "," + Flag(s.entering) + "," + Flag(s.hasPoint) + "," + std::to_string(s.decimals) + "\r\n";
  text += Quoted(s.op) + "," + Quoted(s.pending) + "\r\n";
  for (int i = 1; i <= kTapeLines; ++i) {
    const TapeLine& t = s.tape[i];
    text += Number(t.value) + "," + Flag(t.point) + "," + std::to_string(t.decimals) + "," +
            Quoted(std::string(1, t.op)) + "\r\n";
  }
  // The earlier file stays when this one cannot be written.
  return os::WriteFileAtomic(StateFile(), text);
}

// Items of one record; false when a quoted item is not closed.
bool SplitRecord(const std::string& line, std::vector<std::string>& items) {
  items.clear();
  std::string item;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      items.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  items.push_back(item);
  return !quoted;
}

bool ParseFigure(const std::string& text, double& v) {
  if (text.empty() || text.size() > 40) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  const auto r = std::from_chars(begin, end, v);
  return r.ec == std::errc() && r.ptr == end && Fits(v);
}

bool ParseInt(const std::string& text, int low, int high, int& v) {
  if (text.empty() || text.size() > 6) return false;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  return r.ec == std::errc() && r.ptr == text.data() + text.size() && v >= low && v <= high;
}

bool ParseFlag(const std::string& text, bool& v) {
  if (text == "-1") v = true;
  else if (text == "0") v = false;
  else return false;
  return true;
}

// A quoted text of at most one character out of `allowed`.
bool ParseText(const std::string& text, const std::string& allowed, std::string& v) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  v = text.substr(1, text.size() - 2);
  return v.empty() || (v.size() == 1 && allowed.find(v[0]) != std::string::npos);
}

bool LoadState(CalcState& s) {
  const std::string path = StateFile();
  const long long size = os::FileSize(path);
  std::string data;
  if (size <= 0 || size > 16384 || !os::ReadFile(path, data)) return false;
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() < 3 || lines.size() > 3 + kTapeLines) return false;

  std::vector<std::string> it;
  if (!SplitRecord(lines[0], it) || it.size() != 4 || !ParseInt(it[0], 1, kLastColumn, s.column) ||
      !ParseInt(it[1], 2, kEmptyTape, s.tapeTop) || !ParseFigure(it[2], s.entry) || !ParseFigure(it[3], s.total))
    return false;
  if (!SplitRecord(lines[1], it) || it.size() != 4 || !ParseFlag(it[0], s.cleared) ||
      !ParseFlag(it[1], s.entering) || !ParseFlag(it[2], s.hasPoint) || !ParseInt(it[3], 0, kMaxDigits, s.decimals))
    return false;
  if (!SplitRecord(lines[2], it) || it.size() != 2 || !ParseText(it[0], "+-*/%RC=E", s.op) ||
      !ParseText(it[1], "+-*/", s.pending))
    return false;
  for (std::size_t i = 1; 2 + i < lines.size(); ++i) {
    TapeLine t;
    std::string op;
    if (!SplitRecord(lines[2 + i], it) || it.size() != 4 || !ParseFigure(it[0], t.value) ||
        !ParseFlag(it[1], t.point) || !ParseInt(it[2], 0, kMaxDigits, t.decimals) ||
        !ParseText(it[3], " +-*/%R=E", op) || op.empty())
      break;  // an unreadable record (a file cut inside it) ends the tape
    t.op = op[0];
    s.tape[i] = t;
  }
  return true;
}

}  // namespace

std::string Calculator() {
  SetKeys("+e", "");
  SetAttr("+n");
  console::ShowCursor(false);
  CalcState s;
  if (!LoadState(s)) s = CalcState();
  OpenStrip(s);
  DrawAll(s);

  std::string result;
  for (;;) {
    DrawDisplay(s);
    int key = 0;
    WaitKey(key);
    if (key > 255 || key < -255) {
      if (key == kLeft || key == kCtrlLeft || key == kRight || key == kCtrlRight) {
        if (key == kLeft || key == kCtrlLeft) s.column = s.column == 1 ? kLastColumn : s.column - 1;
        else s.column = s.column == kLastColumn ? 1 : s.column + 1;
        Reopen(s);
      } else if (key == kAltF) {
        result = TakeFigure(s);
        break;
      }
      continue;
    }
    if (key < 0) continue;
    const char c = static_cast<char>(key >= 'a' && key <= 'z' ? key - 'a' + 'A' : key);
    if (c >= '0' && c <= '9') {
      KeyDigit(s, c - '0');
    } else if (c == '.') {
      StartEntry(s);
      if (!s.hasPoint) {
        s.hasPoint = true;
        s.decimals = 0;
      }
      s.entering = true;
    } else if (key == kBackspace) {
      KeyBackspace(s);
    } else if (c == '+' || c == '-' || c == '*' || c == '/' || c == '%' || c == 'R' || c == 'C') {
      OperatorStep(s, c);
    } else if (c == '=' || key == kEnter) {
      if (s.entering) OperatorStep(s, '=');
    } else if (c == 'T') {
      s.entry = -s.entry;
    } else if (c == 'F') {
      result = TakeFigure(s);
      break;
    } else if (key == kEsc) {
      break;
    }
  }

  WindowPop();
  if (!SaveState(s)) {
    // The tape would be gone (or stale) the next time: say so.
    MessageBox(12, settings::Translate("NO S'HA POGUT DESAR LA CINTA DE LA CALCULADORA A ") +
                       os::HostPath(StateFile()));
    int key = 0;
    WaitKey(key);
    WindowPop();
  }
  console::ShowCursor(true);
  SetAttr("-");
  SetKeys("-", "");
  return result;
}

}  // namespace screen
