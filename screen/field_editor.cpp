// The field editor: free-text fields (overwrite or insert, word jumps,
// clipboard, masked echo, values over several rows) and choice fields (one
// code of a list, shown by its description between two arrows).
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "format/text.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "screen/field_editor.h"
#include "screen/keys.h"
#include "screen/windows.h"

namespace screen {
namespace {

constexpr int kEsc = 27, kEnter = 13, kTab = 9, kBackspace = 8;
constexpr int kCtrlC = 3, kCtrlV = 22, kCtrlY = 25;
constexpr int kShiftTab = 0x0F00, kHome = 0x4700, kUp = 0x4800, kLeft = 0x4B00, kRight = 0x4D00;
constexpr int kEnd = 0x4F00, kDown = 0x5000, kInsert = 0x5200, kDelete = 0x5300;
constexpr int kCtrlLeft = 0x7300, kCtrlRight = 0x7400, kCtrlHome = 0x7700;
constexpr int kCtrlF4 = 0x6100, kAltF4 = 0x6B00;
// The arrows around a choice field (CP850 glyphs of 17 and 16: U+25C4, U+25BA).
constexpr char kLeftArrow = 0x11, kRightArrow = 0x10;

std::string g_choices;

struct ChoiceItem {
  std::string code;
  std::string description;
};

struct Field {
  int row = 0, column = 0, lineLength = 1;
  int width = 0, limit = 1;
  std::string* buffer = nullptr;
  int cursor = 1;
  bool choice = false;
  std::vector<ChoiceItem> items;
  std::size_t selected = 0;
  int choiceWidth = 0;
};

std::vector<ChoiceItem> ParseChoices(const std::string& list) {
  std::vector<ChoiceItem> items;
  for (std::size_t p = list.find('|'); p != std::string::npos; p = list.find('|', p + 1)) {
    const std::size_t end = list.find('|', p + 1);
    const std::string body = list.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1);
    const std::size_t comma = body.find(',');
    ChoiceItem item;
    item.code = body.substr(0, comma);
    if (comma != std::string::npos) item.description = body.substr(comma + 1);
    items.push_back(item);
  }
  return items;
}

bool SameCode(const std::string& code, const std::string& value) {
  return format::TrimRight(code) == format::TrimRight(value);
}

std::string Fit(const std::string& text, int width) {
  return format::FitText(text, static_cast<std::size_t>(std::max(width, 0)));
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsSeparator(char c) { return std::string(" ,.;:").find(c) != std::string::npos; }

int Signed16(int v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF)); }

void Draw(Field& f) {
  std::string& buf = *f.buffer;
  if (f.choice) {
    if (!f.items.empty()) buf = Fit(f.items[f.selected].code, f.width);
    WinLocate(f.row, f.column);
    WinPrint(Fit(f.items.empty() ? std::string() : f.items[f.selected].description, f.choiceWidth));
    return;
  }
  const int echo = EchoChar();
  for (int k = 0; k * f.lineLength < f.width; ++k) {
    const int count = std::min(f.lineLength, f.width - k * f.lineLength);
    WinLocate(f.row + k, f.column);
    if (echo != 0)
      WinPrint(std::string(static_cast<std::size_t>(count), static_cast<char>(echo)));
    else
      WinPrint(buf.substr(static_cast<std::size_t>(k * f.lineLength), static_cast<std::size_t>(count)));
  }
}

// Window-relative cell of the cursor; at the end of a full row it rests after
// the last character instead of on the next row.
void CursorCell(const Field& f, int& row, int& column) {
  row = f.row + (f.cursor - 1) / f.lineLength;
  column = f.column + (f.cursor - 1) % f.lineLength;
  if (f.cursor == f.limit && f.cursor > 1 && (f.cursor - 1) % f.lineLength == 0) {
    row -= 1;
    column = f.column + f.lineLength;
  }
}

void DeleteAt(std::string& buf, int position) {
  buf.erase(static_cast<std::size_t>(position - 1), 1);
  buf += ' ';
}

void WordLeft(Field& f) {
  const std::string& buf = *f.buffer;
  int i = f.cursor - 1;  // the character before the cursor
  bool separator = IsSeparator(buf[static_cast<std::size_t>(i - 1)]);
  while (i > 1) {
    --i;
    const bool s = IsSeparator(buf[static_cast<std::size_t>(i - 1)]);
    if (s != separator) {
      if (s) {
        f.cursor = i + 1;
        return;
      }
      separator = s;
    }
  }
  f.cursor = 1;
}

void WordRight(Field& f) {
  const std::string& buf = *f.buffer;
  bool separator = IsSeparator(buf[static_cast<std::size_t>(f.cursor - 1)]);
  for (int i = f.cursor + 1; i <= f.width; ++i) {
    const bool s = IsSeparator(buf[static_cast<std::size_t>(i - 1)]);
    if (s != separator) {
      if (!s) {
        f.cursor = i;
        return;
      }
      separator = s;
    }
  }
  f.cursor = f.limit;
}

void Paste(Field& f) {
  std::string text;
  if (!os::ClipboardGet(text) || text.empty()) return;
  std::string clean;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b == 127 || b == 255) continue;
    clean += c;
  }
  clean = Trim(clean);
  std::string& buf = *f.buffer;
  for (std::size_t i = 0; i < clean.size(); ++i) {
    const std::size_t at = static_cast<std::size_t>(f.cursor - 1) + i;
    if (at >= buf.size()) break;
    buf[at] = clean[i];
  }
}

enum class Outcome { Stay, Redraw, Leave };

Outcome TextKey(Field& f, int key) {
  std::string& buf = *f.buffer;
  if ((key >= 32 && key <= 126) || (key >= 128 && key <= 254)) {
    const char ch = static_cast<char>(key);
    if (f.cursor >= f.limit || (os::InsertToggle() && buf.back() != ' ')) {
      console::Beep();  // the field is full
      return Outcome::Stay;
    }
    if (os::InsertToggle()) {
      buf.insert(static_cast<std::size_t>(f.cursor - 1), 1, ch);
      buf.pop_back();
      ++f.cursor;
      return Outcome::Redraw;
    }
    buf[static_cast<std::size_t>(f.cursor - 1)] = ch;
    if (EchoChar() == 0) {
      int row = 0, column = 0;
      CursorCell(f, row, column);
      WinLocate(row, column);
      WinPrint(std::string(1, ch));
    }
    ++f.cursor;
    return Outcome::Stay;
  }
  if (key < 0) {  // mouse click
    const int mouseColumn = -key / 100, mouseRow = -key % 100;
    const int rows = std::max(1, (f.width + f.lineLength - 1) / f.lineLength);
    const int top = WinInnerTop() + f.row - 1, left = WinInnerLeft() + f.column - 1;
    if (mouseRow < top || mouseRow >= top + rows || mouseColumn < left || mouseColumn >= left + f.lineLength)
      return Outcome::Leave;
    f.cursor = std::min(f.limit, (mouseRow - top) * f.lineLength + (mouseColumn - left) + 1);
    return Outcome::Stay;
  }
  switch (key) {
    case kLeft:
      if (f.cursor > 1) --f.cursor;
      return Outcome::Stay;
    case kRight:
      if (f.cursor < f.limit) ++f.cursor;
      return Outcome::Stay;
    case kBackspace:
      if (f.cursor <= 1) return Outcome::Stay;
      --f.cursor;
      DeleteAt(buf, f.cursor);
      return Outcome::Redraw;
    case kDelete:
      if (f.cursor >= f.limit) return Outcome::Stay;
      DeleteAt(buf, f.cursor);
      return Outcome::Redraw;
    case kHome:
      f.cursor = 1;
      return Outcome::Stay;
    case kEnd: {
      const std::size_t last = buf.find_last_not_of(' ');
      f.cursor = last == std::string::npos ? 1 : static_cast<int>(last) + 2;
      return Outcome::Stay;
    }
    case kCtrlHome:
    case kCtrlY:
      buf.assign(buf.size(), ' ');
      f.cursor = 1;
      return Outcome::Redraw;
    case kUp:
    case kShiftTab:
      if (f.cursor <= f.lineLength) return Outcome::Leave;
      f.cursor -= f.lineLength;
      return Outcome::Stay;
    case kDown:
      if (f.cursor > f.limit - f.lineLength) return Outcome::Leave;
      f.cursor += f.lineLength;
      return Outcome::Stay;
    case kCtrlLeft:
      if (f.cursor <= 1) return Outcome::Leave;
      WordLeft(f);
      return Outcome::Stay;
    case kCtrlRight:
      if (f.cursor >= f.limit) return Outcome::Leave;
      WordRight(f);
      return Outcome::Stay;
    case kCtrlC:
      // A masked value stays off the clipboard.
      if (EchoChar() == 0) os::ClipboardSet(Trim(buf));
      return Outcome::Stay;
    case kCtrlV:
      Paste(f);
      return Outcome::Redraw;
    default:
      return Outcome::Leave;
  }
}

void SelectNext(Field& f, int step) {
  const std::size_t n = f.items.size();
  if (n == 0) return;
  f.selected = step > 0 ? (f.selected + 1) % n : (f.selected + n - 1) % n;
}

// The first item after the selected one (wrapping once) whose description
// begins with the typed character, compared without accents or case.
void SelectByInitial(Field& f, int key) {
  const std::size_t n = f.items.size();
  format::FoldAccents(true);
  const std::string typed = format::UpperText(std::string(1, static_cast<char>(key)));
  for (std::size_t step = 1; step <= n; ++step) {
    const std::size_t i = (f.selected + step) % n;
    const std::string& d = f.items[i].description;
    if (!d.empty() && format::UpperText(d.substr(0, 1)) == typed) {
      f.selected = i;
      break;
    }
  }
  format::FoldAccents(false);
}

Outcome ChoiceKey(Field& f, int key) {
  if ((key >= 33 && key <= 126) || (key >= 128 && key <= 254)) {
    SelectByInitial(f, key);
    return Outcome::Redraw;
  }
  if (key < 0) {  // mouse click
    const int mouseColumn = -key / 100, mouseRow = -key % 100;
    const int left = WinInnerLeft() + f.column - 1;
    if (mouseRow != WinInnerTop() + f.row - 1 || mouseColumn < left - 1 || mouseColumn > left + f.choiceWidth)
      return Outcome::Leave;
    if (mouseColumn == left - 1) SelectNext(f, -1);
    if (mouseColumn == left + f.choiceWidth) SelectNext(f, 1);
    return Outcome::Redraw;
  }
  switch (key) {
    case kLeft:
      SelectNext(f, -1);
      return Outcome::Redraw;
    case kRight:
    case 32:
      SelectNext(f, 1);
      return Outcome::Redraw;
    case kBackspace:
    case kDelete:
    case kCtrlHome:
    case kCtrlY:
    case kCtrlV:
      return Outcome::Stay;
    case kHome:
      f.cursor = 1;
      return Outcome::Stay;
    case kEnd: {
      const std::size_t last = f.buffer->find_last_not_of(' ');
      f.cursor = last == std::string::npos ? 1 : static_cast<int>(last) + 2;
      return Outcome::Stay;
    }
    case kCtrlC:
      if (!f.items.empty()) os::ClipboardSet(f.items[f.selected].description);
      return Outcome::Stay;
    default:
      return Outcome::Leave;
  }
}

// The key that ended the edit as the caller sees it; false when the key map
// does not accept it (editing goes on).
bool TranslateKey(int& key) {
  int reported = 0;
  if (key == kShiftTab) key = kUp;
  else if (key == kTab) key = kEnter;
  if (key == kEnter && KeyMapFind(kEnd, reported)) key = kEnd;
  if (key == kCtrlF4 || key == kAltF4) key = kEsc;
  if (KeyMapEmpty()) return true;
  if (KeyMapFind(key, reported)) {
    key = reported;
    return true;
  }
  return key < 0;  // a click always ends the edit
}

// Waits for the next key; false when scripted input ran out (headless tests).
bool NextKey(const Field& f, int& key) {
  for (;;) {
    int button = 0, mouseRow = 0, mouseColumn = 0;
    ReadInput(key, button, mouseRow, mouseColumn);
    if (key == kInsert) {
      os::SetInsertToggle(!os::InsertToggle());
      if (!f.choice) console::SetCursorSize(os::InsertToggle() ? 50 : 100);
      continue;
    }
    if (key == 0 && button != 0) key = Signed16(-(mouseColumn * 100 + mouseRow));
    if (key != 0) return true;
    if (!WaitForInput()) return false;
  }
}

}  // namespace

void SetChoices(const std::string& list) { g_choices = list; }
const std::string& CurChoices() { return g_choices; }

bool FindChoice(const std::string& list, const std::string& value, std::string& description) {
  for (const ChoiceItem& item : ParseChoices(list)) {
    if (!SameCode(item.code, value)) continue;
    description = item.description;
    return true;
  }
  return false;
}

void EditField(int& row, int& column, int& lineLength, std::string& buffer, int& cursor, int& key) {
  Field f;
  f.buffer = &buffer;
  f.width = static_cast<int>(buffer.size());
  f.limit = f.width + 1;
  cursor = std::clamp(cursor, 1, f.limit);
  if (row == 0) row = console::CursorRow() - WinInnerTop() + 1;
  if (column == 0) column = console::CursorColumn() - WinInnerLeft() + 1;
  if (lineLength <= 0) lineLength = f.width + 1;
  f.row = row;
  f.column = column;
  f.lineLength = lineLength;
  f.cursor = cursor;

  f.choice = !g_choices.empty();
  if (f.choice) {
    f.items = ParseChoices(g_choices);
    bool found = false;
    for (std::size_t i = 0; i < f.items.size(); ++i) {
      f.choiceWidth = std::max(f.choiceWidth, static_cast<int>(f.items[i].description.size()));
      if (!found && SameCode(f.items[i].code, buffer)) {
        f.selected = i;
        found = true;
      }
    }
    WinLocate(f.row, f.column - 1);
    WinPrint(std::string(1, kLeftArrow));
    WinLocate(f.row, f.column + f.choiceWidth);
    WinPrint(std::string(1, kRightArrow));
  }

  SetAttr("u");
  WinLocate(f.row, f.column);
  bool redraw = true;
  for (;;) {
    if (redraw) Draw(f);
    redraw = false;
    if (f.choice) {
      console::ShowCursor(false);
    } else {
      int r = 0, c = 0;
      CursorCell(f, r, c);
      WinLocate(r, c);
      console::SetCursorSize(os::InsertToggle() ? 50 : 100);
      console::ShowCursor(true);
    }
    const bool gotKey = NextKey(f, key);
    console::ShowCursor(false);
    if (!gotKey) {
      key = kEsc;
      break;
    }
    const Outcome outcome = f.choice ? ChoiceKey(f, key) : TextKey(f, key);
    if (outcome == Outcome::Redraw) redraw = true;
    if (outcome != Outcome::Leave) continue;
    if (TranslateKey(key)) break;
  }

  SetAttr("h");
  if (f.choice) {
    WinLocate(f.row, f.column - 1);
    WinPrint(" ");
    WinLocate(f.row, f.column + f.choiceWidth);
    WinPrint(" ");
  }
  WinLocate(f.row, f.column);
  cursor = f.cursor;
}

}  // namespace screen
