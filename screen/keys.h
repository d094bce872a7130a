// Keyboard and mouse input, the key map, and the calendar pop-up.
//
// Key codes: 1-255 a character or control key (CP850), scan code x 256 an
// extended key, kept as 16-bit signed values (so F11 and F12, 8500 hex and up,
// are negative); a mouse click is -(column x 100 + row) where the field editor
// makes one.
#pragma once

#include <functional>
#include <string>

namespace screen {

// Returns at once: key (or button with row and column of a mouse press), or
// all four 0 when nothing was waiting. Alt+X opens the calculator and Alt+C
// the calendar; their result follows as typed keys.
void ReadInput(int& key, int& button, int& row, int& column);
// Waits for a key or a mouse press (blocking, no busy wait). A press is
// returned as the low 16 bits of column x 256 + button x 64 + row.
// Test-only behaviour: with the headless console, when its scripted queue is
// exhausted, WaitKey returns 27 (Esc) instead of waiting for ever.
void WaitKey(int& key);
void FlushKeys();
// Key map and echo commands: D delete, A add ("code" or "code=result"),
// E empty, + save, - restore, H echo "X", V echo off; list items in hex.
void SetKeys(const std::string& command, const std::string& list);
// The date picker; the chosen date as FormatDate(date, 0, "dma") or "".
std::string Calendar();

// ---- additions ---------------------------------------------------------------------
// Blocks until console input (or type-ahead) is waiting. False only with the
// headless console when its scripted queue is exhausted (tests): callers then
// end their wait as if Esc had been pressed. When the terminal goes away
// (console::InputGone) the program ends here with exit code 1, through
// os::EndProgram, so every wait for a key (WaitKey, the field editor, the
// help viewer, ...) ends it the same way.
bool WaitForInput();
// The same for console input only (readers that bypass the type-ahead).
bool WaitForConsoleInput();
// Ends the program (exit code 1, through os::EndProgram) when the terminal
// went away; returns otherwise. For waits that are not for a key (a record
// held by another user), so that they do not outlive the terminal either.
void EndIfTerminalGone();
// Tests: called when the headless console's scripted input has run out,
// before a wait gives up; it may read the screen and script more input, and
// the wait then goes on. An empty function removes it.
void SetIdleHookForTests(std::function<void()> hook);
// Characters waiting to be delivered as keys (filled by the pop-ups).
const std::string& TypeAhead();
void AddTypeAhead(const std::string& text);
// 0 not set up, 1 reporting on, 2 present but reporting off, 3 no mouse.
int MouseState();
// 0, or the character shown instead of typed characters.
int EchoChar();
// The accepted-key list: empty accepts every key. KeyMapFind returns true
// when `key` is an accepted key and gives the code it is reported as.
bool KeyMapEmpty();
bool KeyMapFind(int key, int& reportedAs);
// Draws the calendar's quarter holding (year, month) in the current window,
// as the calendar does (for tests and previews).
void CalendarQuarter(int year, int month);
// Number of saved key maps.
int KeyMapSavedCount();
// Type-ahead, mouse state, guards, key map, saves and echo back to the start (tests).
void ResetKeysForTests();
// Key map, saves and echo only (part of ResetKeysForTests).
void ResetKeyMapForTests();

}  // namespace screen
