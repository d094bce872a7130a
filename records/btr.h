// Record file access layer: the only code that calls the record manager.
//
// Files are named by an application-wide file number (6 = "DADES\VPropiet",
// 162 = "DADES\UFiscal", 163 = "TAULES\UHisenda", 7 = "DADES\VGrups",
// 30 = "DADES\VCapPeri", 31 = "DADES\VLinPeri", 270 = "TAULES\UTerrito") and
// kept in a table of 40 open files until BtrCloseAll.
//
// Record buffer: the caller registers a std::string at BtrOpen and must keep
// it alive until BtrCloseAll (a module-level variable). BtrOpen resizes it to
// the file's record length (new bytes are zero); every read sends its first
// record-length bytes to the record manager and copies the record read back
// into it, and the layer keeps it at exactly the record length.
//
// Statuses: 0 success; 3 file number not open; 1002 already open; 1003 table
// full; 1004 key number not defined; any other value is the record manager's.
#pragma once

#include <cstdint>
#include <string>

namespace records {

// Opens the file and registers `record`. File number 0 is refused with 1002
// (it marks a free entry). A file that does not exist is
// created from DataRoot + "ddf\" + base name + ".xdf". On any failure other
// than 1002 and 1003 the program stops with a message (exit code 0), so a
// return means 0, 1002 or 1003.
void BtrOpen(int fileNumber, const std::string& name, std::string& record, int& status);

// Makes keyNumber the current key and reads the record for `key`:
// direction 0 equal, > 0 first greater or equal, < 0 last less or equal.
void BtrGetByKey(int fileNumber, int keyNumber, const std::string& key, int direction,
                 int& status);

// Moves |count| records along the current key (backwards when negative) and
// reads the record reached. A count of 0 does nothing and reports 0.
void BtrMove(int fileNumber, int count, int& status);

// Position 0: the physical position of the current record (0 on error or for
// a file that is not open). Otherwise reads the record at that position and
// returns the status.
std::int32_t BtrPosition(int fileNumber, std::int32_t position);

// The current key value in comparable form; "" when the file is not open.
std::string BtrCurrentKey(int fileNumber);

// A value of the file's current key turned so that byte-wise comparison
// follows the key's order (binary segments most significant byte first,
// alternate collating sequence applied). Unchanged when not open.
std::string BtrComparableKey(const std::string& key, int fileNumber);

// Lock-mode commands, one letter each: "D" no locking, "A" lock and wait,
// "B" lock and fail at once, "+" save the mode, "-" restore the last saved.
void BtrLockMode(int fileNumber, const std::string& commands, int& status);

// Resets the record manager (every file closed, every lock released) and
// empties the table; on failure the table is kept.
void BtrCloseAll(int& status);

// Key length of `keyNumber` (0 when the file has no such key) and the record
// length, both from the record manager's Stat reply.
void BtrKeyInfo(int fileNumber, int keyNumber, int& keyLength, int& recordLength);

// The texts the layer shows, in the session's language: the open failure
// ("NO ES POT ACCEDIR AL FITXER " + host path + " (" + status + ")") and the
// lock wait. LastMessage is the last text the layer put on the screen
// (empty before any), so a test can see what a stopped run showed.
std::string OpenFailureText(const std::string& name, int status);
// A file name as messages show it: the host's path, absolute, "/" throughout
// ("DADES\VPropiet" opened from /data/ is "/data/DADES/VPropiet").
std::string HostFileName(const std::string& name);
std::string LockWaitText();
const std::string& LastMessage();
// What went wrong with the record store on a server (its host, port and
// database and the server's words); "" for the record files.
std::string StoreProblem();

// Ends the program after a fatal open failure: closes every record file and
// exits with code 0 (through os::EndProgram, like every other early end), or
// with the code a batch run set.
[[noreturn]] void StopProgram();
void SetStopExitCode(int code);

}  // namespace records
