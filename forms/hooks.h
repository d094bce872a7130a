// The hooks of the return form, called by the block runner and the browse
// list at fixed points: drawing a block, showing a field with the rules that
// open and close dependent fields, accepting a typed value, checking a block
// before it is left, and the three hooks of the owner pick list.
#pragma once

#include <string>

namespace forms {

void ShowBlock(int block);
void ShowField(int block, int field);
// 0 accepted (and stored); non-zero rejected. May change `field`.
int CheckField(int block, const std::string& text, int& field, int key);
// Non-zero when the block must not be left yet.
int CheckBlock(int block, int key);
std::string BrowseLine(int list);
int BrowseStart(int list, std::string& start, std::string& prefix);
int ApplyBrowse(int list, int block, int field);

// Fills the declaration selection (selection.h) from block 1 and, in "S"
// mode, from the presenter block, and checks it as CheckBlock does, without
// showing anything and without the confirmation. Shared by CheckBlock and
// the batch run.
enum SelectionCheck {
  kSelectionAccepted = 0,
  kSelectionNotQuarterEnd,  // the period end is not 31/3, 30/6, 30/9 or 31/12
  kSelectionRangeReversed,  // the first owner is above the last
  kSelectionNoTown,         // "S" mode: the presenter's town is blank
  kSelectionNoAccount,      // "S" mode, payment "N": no charge account
};
SelectionCheck FillSelection();

// ---- additions ---------------------------------------------------------------------
// The last day of the calendar quarter before a packed date, packed: the
// period end that block 1 proposes (and that a blanked date field takes).
// The packed empty date when the date has no valid month.
std::string QuarterEndBefore(const std::string& packedDate);

}  // namespace forms
