// What every engine does with a call the same way: the checks of its
// arguments, the replies written into the caller's buffers and the position
// kept with the open file. The engines (SQLite files, the server) only find
// and store the records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/recman/operations.h"

namespace recman {

int KeyCount(const RecordFile& rf);
// Room in the key buffer (0 without one).
std::uint32_t KeyRoom(const Call& c);

// Checks of a read (5-13) before anything is looked up: for Next/Previous
// a position (8) on the same key (7); for the others a defined key (6);
// a key buffer that holds the key (21). 0 when the read may go on.
std::int16_t CheckRead(const Call& c, int op);
// Checks of Get Direct: a defined key, room for the position and the key, a
// position that is not 0 (43). 0 with `position` filled in.
std::int16_t CheckDirect(const Call& c, std::uint32_t& position);
// Checks of Insert, Update and Delete before the store is touched: no lock
// bias (1), a file this handle may write (rf.writeStatus: 46, 94), `busy` (85: the engine's own test
// that the file is held elsewhere), a defined key for Insert (6), a position
// for Update and Delete (8), the whole record for Insert and Update (22).
std::int16_t CheckWrite(const Call& c, int op, bool busy);
// Checks of Begin/End/Abort Transaction: no lock bias, 37 or 39, then
// rf.writeStatus for Begin.
std::int16_t CheckTransaction(const Call& c, int op);

// Hands a record found on key `key` to the caller: the record into the data
// buffer (22 when it is cut), its key in record form into the key buffer, the
// position onto it (`comparable` is the key's comparable form). 2 for a
// stored record shorter than the record length.
std::int16_t DeliverRecord(Call& c, int key, std::int64_t rowid, const unsigned char* record,
                           std::uint32_t size, std::string_view comparable);
// After Insert or Update: the written record's value of `key`, in record
// form, into the key buffer when it has room for it.
void ReturnWrittenKey(Call& c, int key, const unsigned char* record);
// Comparable forms of every key of a record.
void RecordComparableKeys(RecordFile& rf, const unsigned char* record, std::vector<std::string>& out);
// True when `record` keeps the bytes of every key that may not change.
bool FixedKeysKept(const FileDef& def, const unsigned char* stored, const unsigned char* record);

// Stat: the definition with rf.records and rf.unique filled in, cut (22) to
// the data buffer.
std::int16_t StatReply(Call& c);

}  // namespace recman
