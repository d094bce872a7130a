// The form model: blocks of fields and browse lists, loaded once from the
// form file and shared by the block runner, the browse list, the form's
// hooks, the main routine and the return driver. Block, field and list
// numbers start at 1.
#pragma once

#include <string>

namespace forms {

// Field flag bits.
constexpr int kFlagHideValue = 1;    // the stored value is not shown while editing
constexpr int kFlagSecret = 2;       // typed characters echo as "X"; never displayed
constexpr int kFlagDisplayOnly = 4;  // closed: passed over by the input loop, shown as dashes
constexpr int kFlagCursorAtEnd = 8;  // the cursor starts after the current text

struct Field {
  int Row = 0;
  int Column = 0;
  std::string Label;
  int Width = 0;
  int Length = 0;      // line length; 0 = one line
  int ClearWidth = 0;  // blank cells after the value
  int Flags = 0;
  int Rule = 0;
  int BrowseList = 0;
  std::string Mask;    // choice list "|code,description|..."; "" = free text
  std::string Value;   // always Width characters
};

struct Block {
  std::string KeyList;  // extra keys that end a field, hex codes separated by commas
  int FieldCount = 0;
  int LinkedBlock = 0;  // follow-on block; 0 = none
  int Box[4] = {0, 0, 0, 0};  // top, left, bottom, right; top 0 = no window of its own
};

struct BrowseList {
  int FileNumber = 0;
  int KeyNumber = 0;
  int Top = 0, Left = 0, Bottom = 0, Right = 0;
  int SearchBlock = 0;
  std::string Title;
  int NextList = 0;
};

extern int BlockCount;
extern int MaxFields;
extern int ListCount;

// Elements of the model. A number outside the loaded model gives a scratch
// element (all zero, empty strings), so a bad number in a form file never
// reaches outside the arrays.
Block& BlockAt(int block);
Field& FieldAt(int block, int field);
BrowseList& ListAt(int list);

// Stores `text` in the field's value the way every value is stored:
// left-aligned, blank-padded or cut to the field's Width.
void SetValue(int block, int field, const std::string& text);

// Reads the form file into the model, translating labels, masks and titles.
// False, after a message naming the file and the line, when the file is
// missing or its counts are impossible (the program then ends with code 1).
bool LoadForm(const std::string& path);
// The message of the last refused LoadForm ("" after a successful one).
const std::string& LoadFormError();
// An empty model (tests).
void ResetFormForTests();

}  // namespace forms
