// The NRC request file "NRC_BANC.SOL" of an output directory: payment
// reference requests for the bank. Fixed-length records followed by CR LF:
// a header ("02"), one detail per request ("05"), a trailer ("08").
//
// The file is only changed under an exclusive lock on its directory
// (NrcLockDirectory; no lock file is left among the outputs) and is always replaced whole, by writing a temporary file in
// the same directory and renaming it over the old one: a reader, another
// terminal or a killed run sees the old file or the new one, never a cut one.
//
// A territory pass of the driver opens the file once (OpenNrcPass): the lock
// is held and the changes kept in memory until CloseNrcPass writes the file,
// so each request added or removed costs a constant and the file on disk
// stays the one the pass found until the pass ends. The public
// AddNrcRequest and RemoveNrcRequest work on that image when it is the file
// asked for, and otherwise open, change and replace the file alone.
//
// A request is identified by model, year, period, the owner's tax
// identifier, name and amount: the filing file it belongs to holds the same
// three. Two requests equal in all of them are interchangeable.
#pragma once

#include <cstdint>
#include <string>

namespace vat303 {

struct NrcRequestFields {
  // Presenter part, filled once per run.
  std::string model;           // "303"
  std::string year;            // 4 digits
  std::string period;          // "2T"
  std::string presenterTaxId;  // 9 characters
  std::string account;         // 20 digits (characters 5-24 of PresAccount)
  std::string ibanPrefix;      // characters 1-4 of PresAccount
  // Owner part, per request.
  std::string ownerTaxId;      // 9 characters
  std::string name;            // 38 characters
  std::int64_t amount = 0;     // cents
};
extern NrcRequestFields NrcRequest;

// 2 when today's year and month are after January 2015, otherwise 1.
int NrcVersion();
// Record length without CR LF: 255 (version 1) or 256 (version 2).
int NrcRecordLength(int version);

// The three record kinds, as AddNrcRequest writes them (without CR LF).
// `date` is today's date as 8 digits.
std::string NrcHeader(const NrcRequestFields& request, int version, const std::string& date);
std::string NrcDetail(const NrcRequestFields& request, int version, long sequence);
std::string NrcTrailer(int version, long details, std::int64_t total);

// Statuses.
constexpr int kNrcOk = 0;
constexpr int kNrcDamaged = 1;      // records not of the version's length, no trailer, or counts that do not add up
constexpr int kNrcLocked = 2;       // the lock could not be had in time
constexpr int kNrcWriteError = 3;   // the file (or its temporary copy) could not be written
constexpr int kNrcReadError = 4;    // the file exists but cannot be read
constexpr int kNrcFull = 5;         // the request would not fit the trailer's count or total

// Appends the current request: a header first when the file is empty, the
// detail over the old trailer, a new trailer after it.
int AddNrcRequest(const std::string& file);
// Removes the first detail equal to the current request (model, year,
// period, owner tax identifier, name and amount); later details are
// numbered down and the trailer corrected. A missing file becomes an empty
// file.
int RemoveNrcRequest(const std::string& file);

// ---- the file held for a territory pass ------------------------------------------
// Takes the lock (waiting up to `waitMs`, showing the wait as the record layer
// does) and reads the file. A damaged file is refused (kNrcDamaged) and left
// as it is. With kNrcTryOnce the lock is tried once and a lock held by
// another terminal is kNrcLocked without a word.
constexpr int kNrcTryOnce = -1;
int OpenNrcPass(const std::string& file, int waitMs);
bool NrcPassOpen();
// Writes the image out now when it differs from the file.
int NrcCheckpoint();
// Writes out what is pending, releases the lock and forgets the image;
// `digest`, when given, gets the digest of the file as the pass leaves it.
int CloseNrcPass(std::uint64_t* digest = nullptr);
// Releases the lock and forgets the image without writing anything.
void AbandonNrcPass();
// A request of `amount` cents still fits the trailer's count and total.
bool NrcPassHasRoomFor(std::int64_t amount);
// How many requests equal to `request` the pass's file holds (as it stands
// now, with the pass's changes).
int NrcPassCount(const NrcRequestFields& request);
// The charge account (20 digits) and IBAN prefix (version 2; "" in version
// 1) of the header of the pass's file; false while it has no header.
bool NrcPassHeader(std::string& account, std::string& ibanPrefix);
// The pass leaves the file in the folder, empty when it has no request: as
// a removal of a request leaves it, the replacement or removal of an
// earlier filing file does.
void NrcPassKeepFile();
// A digest of the pass's file as it lies on disk now (an absent file is an
// empty one).
std::uint64_t NrcPassFileDigest();

// The directory whose lock guards the request file, and the temporary
// copy's name.
std::string NrcLockDirectory(const std::string& file);
std::string NrcTempPath(const std::string& file);
// Default wait for the lock of a single request (AddNrcRequest and
// RemoveNrcRequest outside a pass).
constexpr int kNrcLockWaitMs = 120000;

}  // namespace vat303
