// The block runner: takes the operator through the fields of one block and
// its follow-on blocks.
#pragma once

#include <string>

namespace forms {

// Key codes the runner dispatches on.
constexpr int kKeyEnter = 13;
constexpr int kKeyEsc = 27;
constexpr int kKeyF1 = 0x3B00;
constexpr int kKeyF2 = 0x3C00;
constexpr int kKeyF4 = 0x3E00;
constexpr int kKeyUp = 0x4800;
constexpr int kKeyPgUp = 0x4900;
constexpr int kKeyEnd = 0x4F00;
constexpr int kKeyDown = 0x5000;
constexpr int kKeyPgDn = 0x5100;

// Runs block `block` (a negative number runs block -n as a follow-on block;
// the caller's variable becomes the absolute value). allowPrevious and
// allowNext: non-zero lets PgUp / PgDn leave the block at its edges. `key`
// receives the key that ended the block.
void RunBlock(int& block, int allowPrevious, int allowNext, int& key);

// The block left by PgUp or PgDn at its edge; 0 = none.
extern int ResumeBlock;

// A last-in-first-out stack of strings kept in one string: each entry is its
// text followed by the text's length as 2 bytes, little-endian.
extern std::string SaveStack;
void PushStr(const std::string& text);
std::string PopStr();

// ---- additions ---------------------------------------------------------------------
// The field the innermost running block is on, set before the runner calls
// CheckField and ApplyBrowse; a hook that moves the operator to another
// field sets it, and the runner carries on from there.
extern int CurrentField;

// A hook that refuses a value may leave here one line saying what is
// accepted. The runner shows it at the foot of the screen with the beep,
// until the operator's next key arrives, and empties it.
extern std::string RefusalText;

}  // namespace forms
