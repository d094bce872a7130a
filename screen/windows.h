// Pop-up windows, display attributes, message box and help viewer.
//
// Positions are 1-based. With no window open the whole screen is the current
// area; otherwise positions given to WinLocate and WinPrint are relative to
// the innermost window, row 1 column 1 being the first cell inside its
// top-left border corner.
#pragma once

#include <string>

namespace screen {

int ScreenRows();
int ScreenColumns();
void WinLocate(int row, int column);
int WinInnerTop();
int WinInnerLeft();
int WinInnerRight();
// Saves the screen rectangle (border included) and makes it the current
// window. Draws nothing. What it covers is kept in memory, with a copy in the
// window stack file "WinPush.tmp" in settings::TmpDir; a rectangle outside
// the screen, or with its corners swapped, opens nothing.
void WindowPush(int top, int left, int bottom, int right);
// Closes the innermost window and restores what it covered, the cursor and
// the enclosing window, from memory: a stack file that could not be written,
// or was deleted or cut meanwhile, changes nothing. The file then holds the
// windows still open (it is deleted with the last one).
void WindowPop();
// Border of the current window (0 blank, 1 single line, 2 double line) in
// the current attribute; clears its inside.
void WindowFrame(int style);
// Scrolls the screen rectangle (top + 1, left + 1)-(bottom + 1, right + 1):
// n > 0 moves the text up, n < 0 down.
void ScrollArea(int top, int left, int bottom, int right, int n);
// Display attribute codes: "h", "n", "r", "rn", "u"; "+" saves the current
// slot first, "-" restores the last saved one. Case-insensitive.
void SetAttr(const std::string& code);
// Centred framed window around base row holding the text; left open for the
// caller to close with WindowPop. A text longer than the screen is cut to the
// lines that fit, so the window always opens.
void MessageBox(int baseRow, const std::string& text);
// One line across the foot of the screen, the text centred in the reverse
// attribute (cut to the screen's width); left open for the caller to close
// with WindowPop.
void MessageLine(const std::string& text);
// With echo on, every message box also writes its text as a UTF-8 line on
// standard error (a run without a screen).
void SetMessageEcho(bool on);
void HelpViewer(const std::string& topic);

// ---- additions ---------------------------------------------------------------------
// Writes text at the cursor in the current attribute and moves the cursor
// after it (like printing at the cursor).
void WinPrint(const std::string& text);
// Number of open windows and the innermost window's rectangle (border
// included; all 0 with no window).
int WinDepth();
void WinRect(int& top, int& left, int& bottom, int& right);
// The current attribute slot (0 highlight, 1 normal, 2 reverse, 3 reverse
// normal, 4 underline) and the number of saved slots.
int AttrSlot();
int AttrDepth();
// Console attribute byte of a slot, from settings::ColorPairs.
int SlotAttribute(int slot);
// Back to no windows and slot 0 with an empty attribute stack (tests).
void ResetWindowsForTests();
void ResetAttributesForTests();

}  // namespace screen
