// The field editor: edits one value in place on the screen until the
// operator presses a key it does not handle itself and the key map accepts,
// or clicks outside the field.
#pragma once

#include <string>

namespace screen {

// Choice list for the next EditField: items "|" + code + "," + description;
// empty for a free-text field.
void SetChoices(const std::string& list);
const std::string& CurChoices();
// The description of the item of a choice list whose code is `value`, the
// two compared whole: only trailing blanks aside (values are kept
// blank-filled to their field's width), so "S" is not the code "SX". False
// when no code is the value.
bool FindChoice(const std::string& list, const std::string& value, std::string& description);

// row, column: first character of the value, relative to the current window
// (0: the cursor's, returned). lineLength: characters per row (0: one row,
// returned as width + 1). buffer keeps its length. cursor: 1-based, clamped
// to 1 .. width + 1. key: the ending key after translation; a mouse click as
// -(column x 100 + row) in screen coordinates.
// Test-only behaviour: with the headless console, when its scripted queue is
// exhausted, editing ends with key 27 (Esc) whatever the key map accepts.
void EditField(int& row, int& column, int& lineLength, std::string& buffer, int& cursor, int& key);

}  // namespace screen
