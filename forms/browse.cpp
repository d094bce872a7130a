// The browse list: the records of one key of a data file, from a start value
// on and while their key begins with a prefix, one line each, in a framed
// window that scrolls both ways. Records are read only as far as the
// operator scrolls; every line read goes into the cache file "Browse.tmp"
// of TmpDir, so scrolling back reads the cache, not the data file.
#include "format/text.h"
#include "forms/browse.h"

#include <cstdint>
#include <string>
#include <vector>

#include "forms/block_runner.h"
#include "forms/browse_cache.h"
#include "forms/form_model.h"
#include "forms/hooks.h"
#include "platform/console/console.h"
#include "records/btr.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/config.h"

namespace forms {
namespace {

using detail::CacheEntry;

constexpr int kLeft = 0x4B00, kRight = 0x4D00;
constexpr char kArrowLeft = 17, kArrowRight = 16;
constexpr unsigned char kDoubleTopLeft = 201, kDoubleTopRight = 187, kDoubleHorizontal = 205;

struct ListState {
  int list = 0;
  BrowseList def;
  int pageRows = 1, lineWidth = 1;
  detail::BrowseCache cache;
  bool started = false, exhausted = false;
  std::string start, prefix;  // prefix in comparable form once started
  bool hasCurrent = false;
  CacheEntry current;
  std::int64_t top = 1;
  std::int64_t afterPage = 0;
  int row = 1, offset = 1, maxOffset = 0;
  bool atFirst = true, atEnd = false;
  bool damaged = false;
};

using format::TrimRight;

// An Esc keystroke waiting in the keyboard is taken, and stops the reading.
bool EscWaiting() {
  console::Event ev;
  if (!console::PeekEvent(ev)) return false;
  if (ev.kind != console::Event::Key || !ev.keyDown || ev.ch != 27) return false;
  console::PollEvent(ev);
  return true;
}

bool PastPrefix(const ListState& s) {
  if (s.prefix.empty()) return false;
  return records::BtrCurrentKey(s.def.FileNumber).substr(0, s.prefix.size()) > s.prefix;
}

// Appends the next listed record of the data file to the cache; false when
// none is left (or the cache is damaged).
bool AppendNext(ListState& s) {
  const int file = s.def.FileNumber;
  int status = 0;
  if (!s.started) {
    s.started = true;
    records::BtrGetByKey(file, s.def.KeyNumber, s.start, 1, status);
    s.prefix = records::BtrComparableKey(s.prefix, file);
    if (status != 0 || PastPrefix(s)) s.exhausted = true;
  }
  while (!s.exhausted) {
    const std::string line = TrimRight(BrowseLine(s.list));
    bool appended = false;
    if (!line.empty()) {
      if (!detail::CacheAppend(s.cache, records::BtrPosition(file, 0), line)) {
        s.damaged = true;
        return false;
      }
      appended = true;
    }
    records::BtrMove(file, 1, status);
    if (status != 0 || PastPrefix(s) || EscWaiting()) s.exhausted = true;
    if (appended) return true;
  }
  return false;
}

// Reads the entry at `pos`, reading on in the data file at the end of the
// cache. Sets AtFirst and AtEnd; false when there is no entry there.
bool ReadEntry(ListState& s, std::int64_t pos, CacheEntry& entry) {
  for (;;) {
    const detail::CacheRead read = detail::CacheReadAt(s.cache, pos, entry);
    if (read == detail::CacheRead::Damaged) {
      s.damaged = true;
      return false;
    }
    if (read == detail::CacheRead::Entry) {
      s.atFirst = entry.previous == 0;
      s.atEnd = detail::NextEntry(entry) == s.cache.length + 1 && s.exhausted;
      return true;
    }
    if (s.exhausted || !AppendNext(s)) {
      s.atEnd = !s.damaged;
      return false;
    }
  }
}

std::string Visible(const ListState& s, const std::string& text) {
  std::string part = static_cast<std::size_t>(s.offset - 1) < text.size()
                         ? text.substr(static_cast<std::size_t>(s.offset - 1), static_cast<std::size_t>(s.lineWidth))
                         : std::string();
  part.resize(static_cast<std::size_t>(s.lineWidth), ' ');
  return part;
}

void DrawTitle(const ListState& s) {
  std::string border(1, s.offset == 1 ? static_cast<char>(kDoubleTopLeft) : kArrowLeft);
  const std::string& title = s.def.Title;
  const std::size_t from = static_cast<std::size_t>(s.offset - 1);
  std::string middle = from < title.size() ? title.substr(from, static_cast<std::size_t>(s.lineWidth)) : "";
  middle.resize(static_cast<std::size_t>(s.lineWidth), static_cast<char>(kDoubleHorizontal));
  border += middle;
  const bool more = s.offset <= s.maxOffset || title.size() > from + static_cast<std::size_t>(s.lineWidth);
  border += more ? kArrowRight : static_cast<char>(kDoubleTopRight);
  screen::WinLocate(0, 0);
  screen::WinPrint(border);
}

void DrawLine(const ListState& s, int row, const std::string& text) {
  screen::WinLocate(row, 1);
  screen::WinPrint(Visible(s, text));
}

// Shows the page that starts at the top entry; finds the current entry's row
// on it (or the nearest row that holds an entry).
void ShowPage(ListState& s) {
  screen::SetAttr("h");
  std::vector<std::int64_t> rows;
  std::int64_t pos = s.top;
  int currentRow = 0;
  bool ended = false;
  while (static_cast<int>(rows.size()) < s.pageRows) {
    CacheEntry e;
    if (!ReadEntry(s, pos, e)) {
      ended = true;
      break;
    }
    rows.push_back(e.pos);
    DrawLine(s, static_cast<int>(rows.size()), e.text);
    const int hidden = static_cast<int>(e.text.size()) - s.lineWidth;
    if (hidden > s.maxOffset) s.maxOffset = hidden;
    if (s.hasCurrent && e.pos == s.current.pos) currentRow = static_cast<int>(rows.size());
    pos = detail::NextEntry(e);
    if (s.atEnd) {
      ended = true;
      break;
    }
  }
  if (s.damaged) return;
  for (int r = static_cast<int>(rows.size()) + 1; r <= s.pageRows; ++r) DrawLine(s, r, "");
  s.afterPage = ended ? 0 : pos;
  if (rows.empty()) {
    s.hasCurrent = false;
    s.row = 1;
    s.atFirst = s.atEnd = true;
    return;
  }
  if (currentRow == 0) {
    currentRow = s.row < 1 ? 1 : (s.row > static_cast<int>(rows.size()) ? static_cast<int>(rows.size()) : s.row);
    s.current.pos = rows[static_cast<std::size_t>(currentRow - 1)];
  }
  s.row = currentRow;
  s.hasCurrent = ReadEntry(s, s.current.pos, s.current);
}

void Redraw(ListState& s) {
  DrawTitle(s);
  ShowPage(s);
  DrawTitle(s);  // the page may have raised MaxOffset
}

// A cache that no longer holds what was written is dropped: the list starts
// again from its start value, with the cache in memory.
void StartAgain(ListState& s) {
  detail::CacheRestartInMemory(s.cache);
  s.started = s.exhausted = s.damaged = false;
  s.prefix.clear();
  s.hasCurrent = false;
  s.top = 1;
  s.row = 1;
  s.offset = 1;
  s.maxOffset = 0;
  BrowseStart(s.list, s.start, s.prefix);
  Redraw(s);
}

void MoveUp(ListState& s) {
  if (!s.hasCurrent || s.atFirst) return;
  CacheEntry e;
  if (!ReadEntry(s, s.current.previous, e)) return;
  s.current = e;
  if (s.row > 1) {
    --s.row;
  } else {
    s.top = s.current.pos;
    ShowPage(s);
  }
}

void MoveDown(ListState& s) {
  if (!s.hasCurrent || s.atEnd) return;
  CacheEntry e;
  if (!ReadEntry(s, detail::NextEntry(s.current), e)) {
    if (!s.damaged) ReadEntry(s, s.current.pos, s.current);  // AtEnd now known
    return;
  }
  s.current = e;
  if (s.row < s.pageRows) {
    ++s.row;
  } else {
    CacheEntry topEntry;
    if (ReadEntry(s, s.top, topEntry)) s.top = detail::NextEntry(topEntry);
    ShowPage(s);
  }
}

void PageUp(ListState& s) {
  CacheEntry topEntry;
  if (!s.hasCurrent || !ReadEntry(s, s.top, topEntry) || topEntry.previous == 0) return;
  for (int i = 0; i < s.pageRows && s.current.previous != 0; ++i)
    if (!ReadEntry(s, s.current.previous, s.current)) return;
  int j = 0;
  while (j < s.pageRows && topEntry.previous != 0) {
    if (!ReadEntry(s, topEntry.previous, topEntry)) return;
    ++j;
  }
  s.top = topEntry.pos;
  if (topEntry.previous == 0 && j < s.pageRows) {
    s.row -= s.pageRows - j;
    if (s.row < 1) s.row = 1;
  }
  ShowPage(s);
}

void PageDown(ListState& s) {
  CacheEntry e;
  if (!s.hasCurrent || s.afterPage == 0 || !ReadEntry(s, s.afterPage, e)) return;
  const std::int64_t newTop = s.afterPage;
  ReadEntry(s, s.current.pos, s.current);
  for (int i = 0; i < s.pageRows && !s.atEnd && !s.damaged; ++i) {
    if (!ReadEntry(s, detail::NextEntry(s.current), e)) break;
    s.current = e;
  }
  if (s.damaged) return;
  s.top = newTop;
  ShowPage(s);
}

// The list's loop; the key that closed it.
int RunList(ListState& s, int& result) {
  Redraw(s);
  for (;;) {
    if (s.damaged) StartAgain(s);
    const std::string text = s.hasCurrent ? s.current.text : std::string();
    screen::SetAttr("u");
    DrawLine(s, s.row, text);
    int key = 0;
    screen::WaitKey(key);
    screen::SetAttr("h");
    DrawLine(s, s.row, text);
    switch (key) {
      case kLeft:
        if (s.offset > 1) {
          s.offset -= 8;
          Redraw(s);
        }
        break;
      case kRight:
        if (s.offset <= s.maxOffset) {
          s.offset += 8;
          Redraw(s);
        }
        break;
      case kKeyUp:
        MoveUp(s);
        break;
      case kKeyDown:
        MoveDown(s);
        break;
      case kKeyPgUp:
        PageUp(s);
        break;
      case kKeyPgDn:
        PageDown(s);
        break;
      case kKeyEnter:
        if (s.def.FileNumber > 0 && s.hasCurrent && s.current.record != 0)
          result = records::BtrPosition(s.def.FileNumber, s.current.record);
        return key;
      default:
        return key;
    }
  }
}

}  // namespace

void Browse(int list, int& result) {
  result = -1;
  ListState s;
  s.list = list;
  s.def = ListAt(list);
  s.pageRows = s.def.Bottom - s.def.Top - 1;
  s.lineWidth = s.def.Right - s.def.Left - 1;
  if (s.pageRows < 1 || s.lineWidth < 1) return;

  if (s.def.SearchBlock != 0) {
    int block = s.def.SearchBlock, key = 0;
    RunBlock(block, 0, 0, key);
    if (key == kKeyEsc) return;
  }
  result = BrowseStart(list, s.start, s.prefix);
  if (result != 0) return;
  result = -1;

  const int file = s.def.FileNumber;
  int status = 0;
  if (file > 0) records::BtrLockMode(file, "+d", status);
  screen::SetAttr("+n");
  screen::WindowPush(s.def.Top, s.def.Left, s.def.Bottom, s.def.Right);
  screen::WindowFrame(2);
  screen::SetAttr("h");
  screen::SetKeys("+ea", "d,1b,4800,5000,4900,5100,4b00,4d00");
  if (s.def.NextList != 0) screen::SetKeys("a", "3e00");
  detail::CacheCreate(s.cache, settings::TmpDir + "Browse.tmp");

  const int key = RunList(s, result);

  detail::CacheClose(s.cache);
  if (key == kKeyF4 && s.def.NextList != 0) {
    Browse(s.def.NextList, result);
    if (result == 0) ApplyBrowse(s.def.NextList, 0, 0);
  }
  screen::SetKeys("-", "");
  screen::WindowPop();
  screen::SetAttr("-");
  if (file > 0) records::BtrLockMode(file, "-", status);
}

}  // namespace forms
