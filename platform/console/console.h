// The console: an 80 x 25 screen of cells (a CP850 character byte and an
// attribute byte, attribute = foreground + 16 x background), a cursor, and
// input events (keys with their scan code and modifier state, mouse presses).
//
// Two back ends share the same in-memory screen:
//  - Terminal: draws the screen at the top-left of the real terminal through
//    ncursesw, converting CP850 to Unicode, and turns what the terminal sends
//    into key events.
//  - Headless: nothing is drawn; input comes from a scripted queue. Tests read
//    the screen back as text and attributes.
// Rows and columns are 1-based, as everywhere in the program.
#pragma once

#include <cstdint>
#include <string>

namespace console {

constexpr int kRows = 25;
constexpr int kColumns = 80;

enum class Backend { Headless, Terminal };

// Starts the console. Terminal falls back to false when no terminal can be
// opened. Calling Start twice switches back ends (the screen is kept).
bool Start(Backend backend);
// Restores the terminal (also done on exit and on a fatal signal).
void Stop();
Backend CurrentBackend();

// ---- cells ---------------------------------------------------------------------
int Rows();      // 25
int Columns();   // 80
// Writes text from (row, column) on, with the current text attribute, moving
// right and wrapping to the next row at the right edge; stops at the end of
// the screen. Does not move the cursor.
void WriteText(int row, int column, const std::string& text);
void WriteText(int row, int column, const std::string& text, std::uint8_t attribute);
unsigned char CharAt(int row, int column);          // 0 outside the screen
std::uint8_t AttrAt(int row, int column);           // 0 outside the screen
void SetCell(int row, int column, unsigned char ch, std::uint8_t attribute);
// Current text attribute used by WriteText without an attribute.
void SetTextAttribute(std::uint8_t attribute);
std::uint8_t TextAttribute();
// Scrolls the rectangle (1-based, inclusive) by n rows: n > 0 moves the text up,
// n < 0 down; rows that enter are filled with blanks in `fill` attribute.
void Scroll(int top, int left, int bottom, int right, int n, std::uint8_t fill);
// Whole screen to blanks in the given attribute.
void Clear(std::uint8_t attribute);

// ---- cursor --------------------------------------------------------------------
void SetCursor(int row, int column);
int CursorRow();
int CursorColumn();
void ShowCursor(bool visible);
bool CursorVisible();
// Cursor size in percent of the cell (1..100): the field editor uses 50 in
// insert mode and 100 in overwrite mode.
void SetCursorSize(int percent);
int CursorSize();

// Draws pending changes on the terminal (no-op headless). Input waits call it.
void Refresh();
// True when the terminal's locale is not UTF-8: lines and corners are drawn
// as ASCII (- | +) and letters its character set lacks without their accents.
// Always false headless.
bool PlainGlyphs();
// What the terminal says, followed by its size ("80 x 24."), while it is
// smaller than 80 x 25 (CP850, in the operator's language).
void SetTooSmallText(const std::string& cp850);

// ---- input ---------------------------------------------------------------------
// Modifier state, as the Windows console reports it.
constexpr int kRightAlt = 0x01;
constexpr int kLeftAlt = 0x02;
constexpr int kRightCtrl = 0x04;
constexpr int kLeftCtrl = 0x08;
constexpr int kShift = 0x10;

struct Event {
  enum Kind { None, Key, Mouse } kind = None;
  // Key: the character in CP850 (0 for an extended key) and the scan code
  // (set for extended keys: F1 = 0x3B, Right = 0x4D, ...; for Alt+letter the
  // letter's scan code with character 0).
  unsigned char ch = 0;
  int scan = 0;
  int modifiers = 0;   // kRightAlt | kLeftAlt | kRightCtrl | kLeftCtrl | kShift
  bool keyDown = true; // a release of the left Alt key arrives as keyDown=false, scan 0x38
  // Mouse: 1-based cell and the button bits (1 left, 2 right, 4 middle).
  int row = 0, column = 0;
  int buttons = 0;
};

// CP850 text as UTF-8, as the console shows its bytes (for lines written to
// standard error and other text that leaves the program); bytes below 128
// stay as they are, control characters included. 0xD5 is the euro sign.
std::string Cp850ToUtf8(const std::string& cp850);
// UTF-8 text as CP850 by the same table. False when a character has no
// CP850 byte (the dotless i among them: its byte holds the euro sign) or the
// text is not UTF-8; each such character is then a "?" in `cp850`.
bool Utf8ToCp850(const std::string& utf8, std::string& cp850);

// A key-press event (both back ends build their events with it).
Event KeyEvent(unsigned char ch, int scan, int modifiers);

// Takes one pending event without waiting. False when none is waiting.
bool PollEvent(Event& event);
// Blocks until an event is waiting or timeoutMs passes (< 0: no limit).
// Returns true when one is waiting. Uses no CPU while it waits.
bool WaitEvent(int timeoutMs);
// Discards everything pending.
void FlushInput();
// True once the terminal went away (hung up, closed, its input ended or
// became invalid). The terminal has then been restored as far as it still
// can be; PollEvent finds nothing and WaitEvent returns false at once, so
// the caller must end the program (it is never woken by a key again).
// Always false headless.
bool InputGone();
// Current modifier state (what the last event reported).
int ModifierState();
// Mouse reporting: number of buttons (0 = no mouse) and reporting on/off.
int MouseButtons();
void SetMouseReporting(bool on);

// ---- headless back end: scripted input and readable screen ---------------------
void PushKey(unsigned char ch, int scan = 0, int modifiers = 0);
void PushEvent(const Event& event);
void PushClick(int row, int column, int buttons = 1);
// Pushes the CP850 bytes of `text` as character keys.
void PushText(const std::string& text);
int PendingEvents();
// Row text (80 CP850 bytes) and the whole screen (25 rows joined by "\n").
std::string RowText(int row);
std::string ScreenText();
// Resets the screen, cursor and input queue (tests).
void ResetForTests();

}  // namespace console

namespace console {
// Sounds the terminal bell (headless: counted, see BeepCount).
void Beep();
int BeepCount();
}  // namespace console

// Notes on what the back ends deliver (no declarations):
//  - Extended keys carry the key's own scan code and the modifier bits; the
//    Shift/Ctrl/Alt variants of function and cursor keys are left to the
//    reader. F11 and F12 carry 0x85 and 0x86, Shift+Tab is character 0 with
//    scan 0x0F and kShift.
//  - Terminals report Alt only together with a key (Alt+X arrives as
//    character 0, scan 0x2D, kLeftAlt), so the terminal back end follows
//    every key with kLeftAlt by a release event (keyDown = false, scan 0x38,
//    no modifiers). Alt plus keypad digits cannot be reported by terminals;
//    scripted events (PushEvent) can still produce it.
//  - Headless: WaitEvent returns at once (false on an empty queue) whatever
//    the timeout; MouseButtons() is 3. Terminal: 3 on xterm-like terminals
//    (SGR mouse reports), 0 on the Linux console.

// ---- addition: the next input event without taking it ---------------------------
namespace console {
// Copies the next pending event into `event` and leaves it waiting (what the
// terminal has sent is read first, without waiting). False when none is waiting.
bool PeekEvent(Event& event);
}  // namespace console
