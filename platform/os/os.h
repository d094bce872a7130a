// Operating-system services for everything above the platform layer: files,
// directories, environment, time, sleep, random numbers, child programs and
// advisory file locks.
//
// Paths: the program builds paths with "\" separators ("DADES\VPropiet");
// every function here turns "\" into "/" before it touches the file system
// (HostPath). Failure is reported by return values; nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {

// "\" -> "/" (the program's separator to the host's).
std::string HostPath(const std::string& path);

// ---- whole files ----------------------------------------------------------
bool FileExists(const std::string& path);       // a regular file
bool DirExists(const std::string& path);
// Size in bytes, or -1 when the file cannot be examined.
long long FileSize(const std::string& path);
// Whole file into `out`; false (and `out` empty) when it cannot be read.
bool ReadFile(const std::string& path, std::string& out);
// Whole file written in place (truncating). False on any error.
bool WriteFile(const std::string& path, const std::string& data);
// Whole file written to a unique temporary name in the same folder, flushed
// and renamed over `path`: readers see the old or the new content, never a
// half-written file.
bool WriteFileAtomic(const std::string& path, const std::string& data);
bool AppendFile(const std::string& path, const std::string& data);
bool DeleteFile(const std::string& path);
// A second name `to` for the file `from` (a hard link: no byte is copied);
// where the file system has no hard links between the two, a copy put in
// place whole. False when `to` exists already or cannot be made.
bool LinkFile(const std::string& from, const std::string& to);
// Atomic replacement: `to` is replaced by `from` in one step if it exists.
bool RenameFile(const std::string& from, const std::string& to);
// Modification time in nanoseconds plus size, to notice a changed file
// (0 when the file is missing).
std::uint64_t FileStamp(const std::string& path);
// Time of the last change of the file's content in nanoseconds since 1970,
// to tell which of two files was written later; -1 when it cannot be examined.
std::int64_t ModifiedNs(const std::string& path);

// ---- sequential files ------------------------------------------------------
// A handle to an open file. Modes are those of fopen ("r", "w", "a", "rb",
// "wb", "r+b", "a+b", ...). Text and binary are the same on this platform.
struct File {
  void* handle = nullptr;
  std::string path;  // as given to Open
};
bool Open(File& f, const std::string& path, const char* mode);
bool IsOpen(const File& f);
// False when what was written could not all be put on the disk (the data
// buffered since the last Write or Flush is lost then).
bool Close(File& f);
// One line without its line end ("\n" or "\r\n"). False at end of file.
// A NUL byte inside the line is kept; a very long line is returned whole.
bool ReadLine(File& f, std::string& line);
// Up to `count` bytes; the number read (0 at end or on error).
std::size_t Read(File& f, void* buffer, std::size_t count);
bool Write(File& f, const std::string& data);
bool Write(File& f, const void* data, std::size_t count);
bool Seek(File& f, long long offset);   // from the start
long long Tell(File& f);
long long Length(File& f);
bool Flush(File& f);                    // to the disk (fsync), not just the C buffer
bool Truncate(File& f, long long length);

// ---- directories -----------------------------------------------------------
bool MakeDir(const std::string& path);          // one level; true if it exists
bool MakeDirs(const std::string& path);         // every missing level
bool RemoveDir(const std::string& path);        // an empty directory
struct DirEntry {
  std::string name;
  bool isDir = false;
};
// Entries of a directory without "." and "..", in name order. False if the
// directory cannot be read.
bool ListDir(const std::string& path, std::vector<DirEntry>& entries);
std::string CurrentDir();                        // ends with "/"
// A new empty folder of this process's own in the system's temporary folder
// ($TMPDIR, else /tmp), ending with "/"; "" when it cannot be made.
std::string MakeTempDir(const std::string& prefix);
bool SetCurrentDir(const std::string& path);

// ---- environment -----------------------------------------------------------
std::string GetEnv(const std::string& name);     // "" when unset
void SetEnv(const std::string& name, const std::string& value);  // "" unsets

// ---- time --------------------------------------------------------------------
struct DateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};
// Local date and time. Tests may fix it with SetFixedNow, and tests of whole
// programs with the environment variable KOVA_NOW=YYYYMMDD.
DateTime Now();
void SetFixedNow(const DateTime& when);
void ClearFixedNow();
// Milliseconds since an arbitrary start, never going back.
std::int64_t MonotonicMs();
void SleepMs(int milliseconds);

// ---- random numbers ----------------------------------------------------------
// The generator of the program: started from the time of day on first use
// (or by Randomize), then a fixed sequence.
void Randomize();                       // start from the time of day
void SeedRandom(std::uint32_t value);   // a fixed sequence, for tests
double Rnd();                           // in [0, 1)
int RandomInt(int low, int high);       // low..high inclusive

// ---- programs ------------------------------------------------------------------
// Starts `program` with `args`, waits for it to end and returns its exit code
// (-1 when it could not be started or did not end normally).
int RunProgram(const std::string& program, const std::vector<std::string>& args);
// Runs a command line through the shell, waits, returns its exit code.
int RunShell(const std::string& commandLine);
// Starts `program` (a path, not looked up in PATH) with `args` and waits for
// it, with the variables of `env` ("NAME=value") set in its environment over
// this process's, its standard input and output on /dev/null and its
// standard error written into the file `errorFile` (created or emptied), so
// that nothing it says reaches the terminal. Returns its exit code, 128 +
// the signal's number when a signal ended it, -1 when it could not start.
int RunProgramQuietly(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& errorFile);
// The one way to end the program from deep inside it: runs the functions
// given to AtProgramEnd (last given first; each once, even when one of them
// ends the program again), then exits with `code` as std::exit does.
// Modules that hold resources another process waits for (record files and
// their locks) register their closing here.
void AtProgramEnd(void (*closer)());
[[noreturn]] void EndProgram(int code);
// Folder of the running executable, ending with "/".
std::string ExecutableDir();
int ProcessId();
// True when the descriptor (0 input, 1 output, 2 error) is a terminal.
bool IsTerminal(int fd);
// The login name of the process's user (its number when it has none).
std::string LoginName();
// The terminal of standard input, output or error without "/dev/"
// ("pts/3", "tty1"); "" when none is a terminal.
std::string TerminalName();

// ---- advisory locks between processes --------------------------------------------
// An exclusive lock on a lock file (created if missing). Held until Unlock or
// the end of the process. waitMs < 0 waits as long as it takes; 0 tries once.
struct Lock {
  int fd = -1;
};
bool LockExclusive(Lock& lock, const std::string& lockPath, int waitMs);
// The same for a whole directory, held on the directory itself (no lock file
// is made). False also when the directory does not exist.
bool LockDirectory(Lock& lock, const std::string& dirPath, int waitMs);
// An exclusive lock on the one byte at `offset` of a lock file (created if
// missing): several holders share one lock file, each on a byte of its own.
// A lock of the whole file (LockExclusive) excludes them all.
bool LockByte(Lock& lock, const std::string& lockPath, long long offset, int waitMs);
void Unlock(Lock& lock);

// ---- clipboard, Insert toggle ------------------------------------------------------
// Clipboard text in CP850 (implemented in clipboard.cpp). The Insert toggle is
// kept for the whole process, like the keyboard's own toggle.
// The clipboard file, when no desktop clipboard can be reached, is
// "clipboard.txt" in the folder given here (the terminal's temporary folder,
// set by the configuration set-up); before that, or with "", in the folder
// named by "KAPTMP", else the current folder.
void SetClipboardDir(const std::string& dir);
bool ClipboardSet(const std::string& cp850);
bool ClipboardGet(std::string& cp850);
bool InsertToggle();
void SetInsertToggle(bool on);

// ---- refused writes (tests) ---------------------------------------------------------
// A test can make the n-th write, rename or directory creation made through
// this layer fail as a full disk or a refused permission would: the call
// fails with errno set and nothing of it reaches the disk (an in-place
// WriteFile that meets a full disk leaves the file empty, as the disk would).
// What counts: WriteFile, AppendFile, WriteFileAtomic and LinkFile one
// write each (and WriteFileAtomic's replacement one rename); Open for
// writing one write, and one more per Write and Truncate; RenameFile one
// rename; MakeDir and each level MakeDirs creates one directory creation.
// Lock files and deletions do not count. The record manager reports its database writes here too.
//
// The plan comes from the environment when the program starts, and the
// variables are then removed, so the programs it starts run without one:
//   KOVA_FAIL_AT     "KIND:N[+][:ERROR]": KIND is write, rename, mkdir or any
//                    (all three counted together); the N-th call fails, with
//                    "+" every later one too (a disk that stays full); ERROR
//                    is ENOSPC (the default), EACCES, EROFS or EIO, or KILL:
//                    the process is killed (SIGKILL) just before the call, a
//                    crash at that moment. N = 0 only counts.
//   KOVA_FAIL_UNDER  folders separated by ":"; only calls on files inside them
//                    count (paths compared as given, relative ones from the
//                    current directory).
//   KOVA_FAIL_LOG    a file that gets the line "fail KIND N ERROR PATH" when the
//                    failure strikes (before a KILL too) and "calls write W
//                    rename R mkdir M" when the program ends, so a test can
//                    tell whether the run still reached the N-th call.
enum class FaultKind { Write = 0, Rename = 1, MakeDir = 2 };
// Counts the call and tells whether it must fail (errno is then set).
bool InjectedFault(FaultKind kind, const std::string& path);
// In-process tests: the same plan as KOVA_FAIL_AT and KOVA_FAIL_UNDER ("" for
// none); the counters start again from zero.
void SetFaultPlan(const std::string& plan, const std::string& under = "");
bool FaultPlanned();               // a plan is set (calls are being counted)
long FaultCalls(FaultKind kind);  // calls counted so far, per kind
bool FaultStruck();                // the planned failure happened

}  // namespace os
