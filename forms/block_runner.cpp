// The block runner: opens a block's window, paints it through the form's
// hooks, edits its fields one after another with the field editor, and moves
// between fields, into follow-on blocks and out of the block by the key that
// ended each field.
#include "format/text.h"
#include "forms/block_runner.h"

#include <string>

#include "forms/browse.h"
#include "forms/form_model.h"
#include "forms/hooks.h"
#include "platform/console/console.h"
#include "screen/field_editor.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/config.h"

namespace forms {

int ResumeBlock = 0;
std::string SaveStack;
int CurrentField = 0;
std::string RefusalText;

void PushStr(const std::string& text) {
  const std::size_t n = text.size() & 0xFFFF;
  SaveStack += text.substr(0, n);
  SaveStack += static_cast<char>(n & 0xFF);
  SaveStack += static_cast<char>(n >> 8);
}

std::string PopStr() {
  if (SaveStack.size() < 2) {
    SaveStack.clear();
    return std::string();
  }
  const std::size_t end = SaveStack.size();
  const std::size_t n = static_cast<unsigned char>(SaveStack[end - 2]) |
                        (static_cast<std::size_t>(static_cast<unsigned char>(SaveStack[end - 1])) << 8);
  if (n > end - 2) {  // a damaged stack: nothing sensible is left on it
    SaveStack.clear();
    return std::string();
  }
  std::string text = SaveStack.substr(end - 2 - n, n);
  SaveStack.resize(end - 2 - n);
  return text;
}

namespace {

constexpr int kCode2 = 2;

bool Closed(int block, int field) { return (FieldAt(block, field).Flags & kFlagDisplayOnly) != 0; }

// First and last editable fields (first > last when there is none).
void Bounds(int block, int& first, int& last) {
  const int count = BlockAt(block).FieldCount;
  first = 1;
  while (first <= count && Closed(block, first)) ++first;
  last = count;
  while (last >= 1 && Closed(block, last)) --last;
}

// Keys with which a follow-on block hands its ending on to its parent.
bool EndsParent(int key) {
  return key == kKeyPgUp || key == kKeyPgDn || key == kKeyEnd || key == kCode2 || key == kKeyEnter ||
         key == kKeyDown || key == kKeyUp;
}

using format::TrimRight;

int ParseNumber(const std::string& text) {
  int v = 0;
  for (char c : text)
    if (c >= '0' && c <= '9') v = v * 10 + (c - '0');
  return v;
}

// The follow-on block runs nested; the parent leaves with the keys it hands on.
bool RunFollowOn(int block, int allowPrevious, int allowNext, int& key) {
  int next = -BlockAt(block).LinkedBlock;
  RunBlock(next, allowPrevious, allowNext, key);
  return EndsParent(key);
}

// Step 5 of entering a block: when the operator paged out of a block further
// down this block's chain, go straight back into it. True when the block is
// to be left at once with `key`.
bool Resume(int block, int allowPrevious, int allowNext, int& key) {
  if (ResumeBlock > 0) {
    int b = block;
    // The chain is followed at most once round, whatever the form file links.
    for (int steps = 0; b != ResumeBlock && BlockAt(b).LinkedBlock > 0 && steps < BlockCount; ++steps)
      b = BlockAt(b).LinkedBlock;
    if (b != ResumeBlock) ResumeBlock = 0;
  }
  if (ResumeBlock > 0 && ResumeBlock != block && BlockAt(block).LinkedBlock != 0)
    return RunFollowOn(block, allowPrevious, allowNext, key);
  ResumeBlock = 0;
  return false;
}

struct Runner {
  int block = 0;
  bool nested = false;
  int allowPrevious = 0, allowNext = 0;
  int first = 1, last = 0, current = 1;
  bool leave = false;
};

// Opens the browse list of the field; on a pick takes the record over and
// chooses the key that moves on. False when nothing was picked.
bool BrowseField(Runner& r, int list, int& key) {
  // The field and list numbers are kept across the browse, which runs a
  // search block of its own.
  PushStr(std::to_string(r.current));
  PushStr(std::to_string(list));
  int result = -1;
  Browse(list, result);
  list = ParseNumber(PopStr());
  const int remembered = ParseNumber(PopStr());
  if (result != 0) return false;
  CurrentField = r.current;
  ApplyBrowse(list, r.block, r.current);
  r.current = CurrentField;
  if (r.current == remembered) {
    key = (r.current == r.last && BlockAt(r.block).LinkedBlock == 0) ? kKeyEnter : kKeyDown;
  } else if (r.current < BlockAt(r.block).FieldCount && Closed(r.block, r.current)) {
    key = kKeyDown;
  }
  return true;
}

// A refused value: the beep, and the hook's line while the operator reads
// it, taken away when the next key arrives (the editor then reads that key
// as usual). The cursor waits in the field.
void SayRefusal(int row, int column) {
  console::Beep();
  const std::string text = RefusalText;
  RefusalText.clear();
  if (text.empty()) return;
  screen::WinLocate(row, column);
  const int cursorRow = console::CursorRow(), cursorColumn = console::CursorColumn();
  screen::MessageLine(text);
  console::SetCursor(cursorRow, cursorColumn);
  console::ShowCursor(true);
  screen::WaitForInput();
  console::ShowCursor(false);
  screen::WindowPop();
}

// Edits the current field until its value is accepted or the key needs no
// check; `key` is the key to dispatch on.
void EditCurrent(Runner& r, int& key) {
  const Field& f = FieldAt(r.block, r.current);
  const int row = f.Row, column = f.Column + static_cast<int>(f.Label.size());
  const int width = f.Width, clear = f.ClearWidth, flags = f.Flags, list = f.BrowseList;
  const bool hidden = (flags & (kFlagHideValue | kFlagSecret)) != 0;

  std::string buffer = hidden ? std::string(static_cast<std::size_t>(width), ' ') : f.Value;
  buffer.resize(static_cast<std::size_t>(width), ' ');
  if (flags & kFlagSecret) screen::SetKeys("h", "");
  if (clear != 0 && !(flags & kFlagDisplayOnly)) {
    screen::WinLocate(row, column + width);
    screen::WinPrint(std::string(static_cast<std::size_t>(clear), ' '));
  }
  if (!(flags & kFlagDisplayOnly)) {
    for (;;) {
      screen::SetChoices(FieldAt(r.block, r.current).Mask);
      int editRow = row, editColumn = column, lineLength = f.Length;
      int cursor = (flags & kFlagCursorAtEnd) ? static_cast<int>(TrimRight(buffer).size()) + 1 : 1;
      screen::EditField(editRow, editColumn, lineLength, buffer, cursor, key);
      int rejected = 0;
      RefusalText.clear();
      if (key == kKeyF1) {
        const std::string topic = TrimRight(settings::HelpTopic);
        if (!topic.empty()) screen::HelpViewer(topic);
        key = 0;
      } else if (key == kKeyF4) {
        key = 0;
        if (list > 0 && !BrowseField(r, list, key)) rejected = -1;
      } else {
        if (clear != 0) {
          // A secret value is never put on the screen, not even here.
          const std::string shown = (flags & kFlagSecret) ? std::string(buffer.size(), ' ') : buffer;
          screen::WinLocate(row, column);
          screen::WinPrint(shown + std::string(static_cast<std::size_t>(clear), ' '));
        }
        if (key != kKeyEsc) {
          if (hidden && buffer.find_first_not_of(' ') == std::string::npos) buffer = FieldAt(r.block, r.current).Value;
          CurrentField = r.current;
          int field = r.current;
          rejected = CheckField(r.block, buffer, field, key);
          r.current = field != r.current ? field : CurrentField;
        } else {
          ShowField(r.block, r.current);
        }
      }
      Bounds(r.block, r.first, r.last);
      if (rejected == 0) break;
      SayRefusal(row, column);
    }
  }
  if (flags & kFlagSecret) screen::SetKeys("v", "");
}

// Field of the block under a mouse click, or 0.
int ClickedField(int block, int key) {
  const int code = -key;
  const int row = code % 100 - BlockAt(block).Box[0];
  const int column = code / 100 - BlockAt(block).Box[1];
  for (int i = 1; i <= BlockAt(block).FieldCount; ++i) {
    const Field& f = FieldAt(block, i);
    if (f.Flags & kFlagDisplayOnly) continue;
    const int lines = f.Length != 0 ? f.Width / f.Length : 1;
    const int lineWidth = f.Length != 0 ? f.Length : f.Width;
    if (row >= f.Row && row < f.Row + lines && column >= f.Column &&
        column < f.Column + static_cast<int>(f.Label.size()) + lineWidth + f.ClearWidth)
      return i;
  }
  return 0;
}

void Dispatch(Runner& r, int& key) {
  const int b = r.block;
  switch (key) {
    case kKeyPgUp:
      if (r.current > r.first || r.allowPrevious == 0) {
        r.current = r.first;
        ResumeBlock = 0;
      } else {
        r.leave = true;
        ResumeBlock = b;
      }
      return;
    case kKeyPgDn:
      if (r.current < r.last || r.allowNext == 0) {
        r.current = r.last;
        ResumeBlock = 0;
      } else {
        r.leave = true;
        ResumeBlock = b;
      }
      return;
    case kKeyEnd:
    case kCode2:
      r.leave = true;
      return;
    case kKeyEsc:
      if (r.current > r.first) r.current = r.first;
      else r.leave = true;
      return;
    case kKeyEnter:
    case kKeyDown:
    case kKeyF2:
      if ((r.current == r.last || key == kKeyF2) && BlockAt(b).LinkedBlock > 0) {
        if (RunFollowOn(b, r.allowPrevious, r.allowNext, key)) r.leave = true;
        Bounds(b, r.first, r.last);
      } else if (key == kKeyDown) {
        if (r.current < r.last) ++r.current;
      } else if (key == kKeyEnter) {
        ++r.current;
      }
      return;
    case kKeyUp:
      if (r.current > r.first) {
        --r.current;
      } else if (r.nested) {
        key = kKeyEsc;
        r.leave = true;
      }
      return;
    case 0:
      return;
    default:
      if (key < 0) {
        const int field = ClickedField(b, key);
        if (field != 0) r.current = field;
      } else {
        r.leave = true;
      }
      return;
  }
}

void FieldLoop(Runner& r, int& key) {
  while (!r.leave && r.current >= r.first && r.current <= r.last) {
    screen::SetKeys("+ea", BlockAt(r.block).KeyList + ",3b00");
    const int before = r.current;
    const bool closed = Closed(r.block, r.current);
    EditCurrent(r, key);
    screen::SetKeys("-", "");
    Dispatch(r, key);
    // A closed field where the key moves nowhere (a field closed behind the
    // operator's back): pass it over downwards rather than stand on it.
    if (closed && !r.leave && r.current == before) ++r.current;
  }
}

}  // namespace

void RunBlock(int& block, int allowPrevious, int allowNext, int& key) {
  Runner r;
  r.nested = block < 0;
  if (block < 0) block = -block;
  r.block = block;
  r.allowPrevious = allowPrevious;
  r.allowNext = allowNext;

  const bool window = BlockAt(r.block).Box[0] != 0;
  if (window) {
    const Block& b = BlockAt(r.block);
    const int top = b.Box[0], left = b.Box[1], bottom = b.Box[2], right = b.Box[3];
    screen::SetAttr("+n");
    screen::WindowPush(top, left, bottom, right);
    screen::WindowFrame(2);
    screen::SetAttr("-");
  }
  ShowBlock(r.block);
  Bounds(r.block, r.first, r.last);
  if (r.first > r.last) r.leave = true;
  else r.leave = Resume(r.block, allowPrevious, allowNext, key);
  r.current = r.first;

  for (;;) {
    FieldLoop(r, key);
    if (CheckBlock(r.block, key) == 0) break;
    // Refused: start again at the first field (a block without editable
    // fields cannot be put right by the operator, so it is left anyway).
    Bounds(r.block, r.first, r.last);
    if (r.first > r.last) break;
    r.current = r.first;
    r.leave = false;
  }
  if (window) screen::WindowPop();
}

}  // namespace forms
