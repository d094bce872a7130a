// The journal of a filing pass over an agency folder, "V303.JNL" in the
// folder. A pass writes the NRC request file only when it ends, while it
// replaces and removes filing files and sets map bytes owner by owner; the
// journal says, before each owner's change is made, what that change is,
// so that a pass that is killed or cannot finish leaves what the next run
// needs to bring the requests and the map back in line with the files.
// The pass deletes it when it ends with everything written.
//
// Text, one line per record, fields of fixed width separated by "|":
//   V303JNL|1|<digest of the NRC file as the pass found it, 16 hex digits>|
//     <payment form>|<model 3>|<year 4>|<period 2>|<presenter tax id 9>|<account 20>|<IBAN prefix 4>
//   P|<owner, 4 digits>|<request taken out>|<digest of the new file, 16 hex>|<request added>
//   D|<owner, 4 digits>|<request taken out>
// A request is "1" + the owner tax identifier (9), name (38) and amount (12
// digits), or "0" and 59 blanks for none. The first line is put in place
// whole; each later line is appended before its change, so a line cut by a
// crash announces a change never begun.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vat303/nrc_file.h"

namespace vat303 {

struct JournalRequest {
  std::string taxId;   // 9
  std::string name;    // 38
  std::int64_t amount = 0;
};

struct JournalChange {
  int owner = 0;
  bool put = false;             // a new file put in place (else the earlier one removed)
  bool takenOut = false;        // `out` was taken out of the NRC file
  JournalRequest out;
  std::uint64_t digest = 0;     // put: the new file's digest
  bool added = false;           // put: `in` was added to the NRC file
  JournalRequest in;
};

struct JournalHead {
  std::uint64_t nrcDigest = 0;
  char payment = ' ';
  NrcRequestFields presenter;  // its presenter part: model, year, period, tax id, account, IBAN prefix
};

std::string JournalPath(const std::string& folder);

// Puts a new journal with its first line in place and keeps it open for
// the changes. False when it cannot be written.
bool BeginJournal(const std::string& folder, const JournalHead& head);
// Appends one change to the journal begun last (handed to the system at
// once, so a crash of the program cannot lose it). False when it cannot be
// written.
bool JournalAdd(const JournalChange& change);
// Reads a journal left in `folder`: false when there is none or its first
// line cannot be read; `changes` holds every whole line after it.
bool ReadJournal(const std::string& folder, JournalHead& head, std::vector<JournalChange>& changes);
// Closes the journal begun last, and deletes the journal of `folder` when
// `remove` (for the next run to find it when not).
bool EndJournal(const std::string& folder, bool remove = true);

}  // namespace vat303
