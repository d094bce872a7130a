// The log of the runs of the return, "DADES\V303.LOG" under DataRoot: what
// each run (S or R, from the form or kap run303) was asked, who ran it where
// and when, what it did per territory and what it left in each agency folder.
// The outputs a run replaces or removes are kept under HISTORIC (history.h),
// named after the run's id.
//
// Text (CP850), two lines per run, each appended whole in one write under
// the log's lock (byte 0 of "DADES\V303.LOG.lck"); lines are never changed
// afterwards, and a line cut short by a full disk is passed over by readers:
//   B|<id>|<start>|<user>|<terminal>|<mode>|<date>|<from>|<to>|<payment>|
//     <annual>|<town>|<account>|<unended>
//   E|<id>|<end>|<status>|<territories>|<folders>
// <id>: the start time YYYYMMDD-HHMMSS, with "-2", "-3", ... after it when the
// log holds a run of that second already. <start>, <end>: YYYYMMDD-HHMMSS.
// <user>: the login name; <terminal>: KAPTERM, else the terminal's name, else
// "-". <mode> S or R, <date> the period end YYYYMMDD, <from> and <to> four
// digits, <payment>, <annual> S or N, <town>, <account> the charge account's
// last four digits. <unended>: the ids, separated by ",", of earlier runs
// whose entry has no end and whose program is gone (killed, or its machine
// stopped), not named by an earlier entry. <status>: 0 the run finished, 1
// it could not run or stopped. <territories>: per territory of a filing run,
// "code,folder,written,replaced,removed,refused" separated by ";" (folder
// "AEAT/303M2024.2T"; written counts every file in place, the replaced ones
// among them). <folders>: per agency folder "folder=digest", the digest
// (16 hexadecimal digits) of its filing files and NRC file after the run.
//
// While it runs, a run holds byte 1 + (the offset of its B line in the log)
// of the lock file, so that an entry without end of a run still going is
// told apart from one whose program was killed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vat303 {

struct LoggedTerritory {
  std::string code;    // two digits
  std::string folder;  // "AEAT/303M2024.2T"
  int written = 0, replaced = 0, removed = 0, refused = 0;
};

struct LoggedFolder {
  std::string folder;
  std::uint64_t digest = 0;
};

struct RunEntry {
  long long offset = 0;  // of its B line in the log
  std::string id, start, user, terminal, mode, date, from, to, payment, annual, town, account;
  std::vector<std::string> unended;
  bool ended = false;
  std::string end;
  int status = 0;
  std::vector<LoggedTerritory> territories;
  std::vector<LoggedFolder> folders;
};

// DataRoot + "DADES\V303.LOG".
std::string RunLogPath(const std::string& dataRoot);

// The log and the kept versions on (the default) or off (the return
// benchmark compares the two).
void SetRunHistory(bool on);

// Begins the current run's entry (the selection of forms/selection.h):
// picks its id, names the earlier runs left without end, appends the B
// line and holds the run's byte. False (the operator told) when the log
// cannot be written: the run must not go on.
bool BeginRunLog();
// The current run's id; "" outside a run and with the history off.
const std::string& RunId();
// What a territory's pass did, and what its folder holds after it (the
// later of two passes over one folder counts).
void LogTerritory(const LoggedTerritory& territory);
void LogFolder(const std::string& folder, std::uint64_t digest);
// Appends the E line and lets the run's byte go. False (the operator told)
// when it cannot be written.
bool EndRunLog(int status);

// Every run of the log in the order the runs began, each with its end when
// the log has one. Lines that cannot be read are passed over.
std::vector<RunEntry> ReadRunLog(const std::string& dataRoot);
// Whether the program of an entry without end still holds its byte.
bool RunStillGoing(const std::string& dataRoot, const RunEntry& run);
// Whether run id `a` began before run id `b`.
bool RunIdBefore(const std::string& a, const std::string& b);

}  // namespace vat303
