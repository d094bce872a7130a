// The reads of a run of the return. A read answers "found" (status 0) or
// "not found" (4 for no such key, 9 at the end of a file); any other status
// (a record or file held by another terminal, a damaged file, a server that
// went away) is tried again for a while, as the record layer waits for
// locks, and when it stays the run must stop: the read is Failed, and the
// operator has been told which file and why. Nothing of the owner being
// read may be removed or written after a Failed read.
#pragma once

#include <string>

namespace vat303 {

enum class ReadResult { Found, NotFound, Failed };

// records::BtrGetByKey and records::BtrMove(file, 1) with the waits above.
ReadResult RunGetByKey(int file, int keyNumber, const std::string& key, int direction);
ReadResult RunMoveNext(int file);

// The status in words in the session's language, with its number.
std::string StatusWords(int status);

// How long a lock held by another terminal is waited for before the run
// stops (tests shorten it).
void SetLockWaitMs(int ms);

}  // namespace vat303
