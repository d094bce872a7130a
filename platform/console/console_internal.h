// Shared between the files of the console layer only: the in-memory screen
// and the hooks into the terminal back end.
#pragma once

#include <cstdint>
#include <string>

#include "platform/console/console.h"

namespace console::detail {

struct Cell {
  unsigned char ch = ' ';
  std::uint8_t attr = 0x07;
};

// The screen in memory, row-major, 0-based inside.
const Cell& CellAt0(int row0, int col0);
// True when the screen or the cursor changed since the last ClearDirty.
bool Dirty();
void ClearDirty();
void MarkDirty();
// Blank screen, default attribute 07, cursor home, visible, 25 %.
void ResetScreen();

// Input queue shared by both back ends.
void QueueEvent(const Event& event);
bool QueueEmpty();
void ClearQueue();
// Scan code of a character key of the main keyboard block (0 if none).
int ScanCodeOfChar(unsigned char ch);

// Terminal back end (terminal.cpp).
bool TerminalStart();
void TerminalStop();
bool TerminalActive();
// True while the terminal is drawn without a UTF-8 locale (ASCII stand-ins).
bool TerminalPlainGlyphs();
void TerminalSetTooSmallText(const std::string& cp850);
void TerminalRefresh();
// Reads what the terminal has sent into the queue; waits up to timeoutMs
// (< 0: no limit, 0: not at all) for at least one event.
void TerminalReadInput(int timeoutMs);
void TerminalFlushInput();
// True once the terminal went away (hang-up, end of input, read error,
// invalid descriptor); the terminal has been restored and stopped then.
bool TerminalInputGone();
void TerminalBeep();
void TerminalSetMouse(bool on);
// 3 where the terminal reports xterm-style mouse presses, 0 where it cannot.
int TerminalMouseButtons();
void TerminalCursorChanged();

}  // namespace console::detail
