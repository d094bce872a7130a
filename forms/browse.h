// The browse list: a pick list over the records of one key of a data file,
// opened by F4 on a field that names it.
#pragma once

namespace forms {

// Runs list `list` (its search block first, when it has one). result: -1
// nothing picked (Esc, another key, Esc in the search block); 0 picked: the
// record is the file's current record and is in its record buffer; any other
// value is the status of re-reading the picked record.
void Browse(int list, int& result);

}  // namespace forms
