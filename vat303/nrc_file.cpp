// The NRC request file: records, the in-memory image held under the file's
// lock, and its replacement through a temporary copy.
#include "vat303/nrc_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "format/numbers.h"
#include "format/taxid.h"
#include "format/text.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "settings/catalogue.h"
#include "vat303/history.h"
#include "vat303/run_messages.h"
#include "vat303/texts.h"

namespace vat303 {

NrcRequestFields NrcRequest;

namespace {

// Field positions (0-based) of the records.
constexpr std::size_t kTypeAt = 0;
constexpr std::size_t kSequenceAt = 2, kSequenceWidth = 5;      // detail
constexpr std::size_t kKeyModelAt = 7, kKeyYearAt = 10, kKeyPeriodAt = 14, kKeyTaxIdAt = 18;
constexpr std::size_t kAmountAt = 74, kAmountWidth = 12;         // detail
constexpr std::size_t kRecordsAt = 2, kDetailsAt = 7, kCountWidth = 5;  // trailer
constexpr std::size_t kTotalAt = 12, kTotalWidth = 12;           // trailer
constexpr std::int64_t kMaxRecords = 99999, kMaxTotal = 999999999999;


std::string Digits(std::int64_t value, int width) { return format::ZeroPad(static_cast<double>(value), width); }

// The number a field starts with (blanks skipped, digits read); 0 for none.
std::int64_t FieldNumber(const std::string& bytes, std::size_t at, std::size_t width) {
  std::int64_t v = 0;
  std::size_t i = at;
  const std::size_t end = std::min(bytes.size(), at + width);
  while (i < end && bytes[i] == ' ') ++i;
  for (; i < end && bytes[i] >= '0' && bytes[i] <= '9'; ++i) v = v * 10 + (bytes[i] - '0');
  return v;
}

void PutNumber(std::string& bytes, std::size_t at, std::size_t width, std::int64_t value) {
  bytes.replace(at, width, Digits(value, static_cast<int>(width)));
}

std::string Today() {
  const os::DateTime now = os::Now();
  return Digits(now.year, 4) + Digits(now.month, 2) + Digits(now.day, 2);
}

// What identifies a request: model, year, period, the owner's tax
// identifier, name and amount, as the detail holds them. Two requests equal
// in all of them are interchangeable.
constexpr std::size_t kRequestKeyLength = 3 + 4 + 2 + 9 + 38 + 12;
using RequestKeyBytes = std::array<char, kRequestKeyLength>;

RequestKeyBytes RequestKey(const NrcRequestFields& r) {
  const std::string text = format::FitText(r.model, 3) + format::FitText(r.year, 4) + format::FitText(r.period, 2) + format::FitText(r.ownerTaxId, 9) +
                           format::FitText(r.name, 38) + Digits(r.amount, 12);
  RequestKeyBytes key;
  std::copy(text.begin(), text.end(), key.begin());
  return key;
}

RequestKeyBytes DetailKey(const std::string& bytes, std::size_t at) {
  RequestKeyBytes key;
  auto out = std::copy_n(bytes.begin() + static_cast<long>(at + kKeyModelAt), 3, key.begin());
  out = std::copy_n(bytes.begin() + static_cast<long>(at + kKeyYearAt), 4, out);
  out = std::copy_n(bytes.begin() + static_cast<long>(at + kKeyPeriodAt), 2, out);
  out = std::copy_n(bytes.begin() + static_cast<long>(at + kKeyTaxIdAt), 9 + 38, out);
  std::copy_n(bytes.begin() + static_cast<long>(at + kAmountAt), kAmountWidth, out);
  return key;
}

bool IsType(const std::string& bytes, std::size_t at, const char* type) {
  return bytes.compare(at + kTypeAt, 2, type) == 0;
}

// The file held under its lock. Only what a change touches is in memory:
// the file on disk up to its first trailer is kept there (`keep` bytes) and
// copied when the file is written; `tail` holds the rest of the new file,
// from the first trailer on, with the requests added since the last write
// before it. Removals are applied while the file is copied. Until then the
// details keep the numbers they had before the removals, and the copy
// numbers them down.
struct Image {
  std::string path;
  os::Lock lock;
  bool open = false;
  std::size_t record = 258;      // record length with its CR LF
  int version = 2;
  bool existed = false;          // the file is on disk
  long long keep = 0;            // bytes of the file on disk before its first trailer
  std::string tail;              // the new file after those bytes
  std::size_t trailerAt = 0;     // offset in `tail` of the first trailer (tail.size() when none)
  bool createEmpty = false;      // a removal met no file: an empty file is left
  bool dirty = false;            // the new file differs from the one on disk
  std::int64_t details = 0;      // detail count of the trailer
  // Removals asked for and not applied yet (request keys, one per removal).
  std::vector<RequestKeyBytes> removals;
  // How many details of each request the new file holds, removals and adds
  // counted as they are asked for: a removal takes out only a request that
  // is there at that moment, never one added after it.
  std::map<RequestKeyBytes, int> present;
  std::string header;            // the file's header record, "" while it has none
  std::uint64_t digest = 0;      // of the file on disk, when `digestKnown`
  bool digestKnown = false;
};

Image pass;

void FindTrailer(Image& im) {
  im.trailerAt = im.tail.size();
  for (std::size_t at = 0; at + im.record <= im.tail.size(); at += im.record)
    if (IsType(im.tail, at, "08")) {
      im.trailerAt = at;
      im.details = FieldNumber(im.tail, at + kDetailsAt, kCountWidth);
      return;
    }
}

bool AllDigits(const std::string& bytes, std::size_t at, std::size_t width) {
  for (std::size_t i = at; i < at + width; ++i)
    if (bytes[i] < '0' || bytes[i] > '9') return false;
  return true;
}

// What the records before the first trailer add up to.
struct Counted {
  std::int64_t details = 0;
  std::int64_t total = 0;
};

// One record up to and including the first trailer: the header first, then
// details numbered from 1 with their amounts in digits, then a trailer whose
// counts and total are those of the details. False when it does not fit.
bool CountRecord(const std::string& bytes, std::size_t at, long long index, Counted& c) {
  if (index == 0) return IsType(bytes, at, "02");
  if (IsType(bytes, at, "05")) {
    if (!AllDigits(bytes, at + kSequenceAt, kSequenceWidth) || !AllDigits(bytes, at + kAmountAt, kAmountWidth) ||
        FieldNumber(bytes, at + kSequenceAt, kSequenceWidth) != c.details + 1)
      return false;
    ++c.details;
    c.total += FieldNumber(bytes, at + kAmountAt, kAmountWidth);
    return true;
  }
  return IsType(bytes, at, "08") && AllDigits(bytes, at + kRecordsAt, kCountWidth) &&
         AllDigits(bytes, at + kDetailsAt, kCountWidth) && AllDigits(bytes, at + kTotalAt, kTotalWidth) &&
         FieldNumber(bytes, at + kRecordsAt, kCountWidth) == c.details + 2 &&
         FieldNumber(bytes, at + kDetailsAt, kCountWidth) == c.details &&
         FieldNumber(bytes, at + kTotalAt, kTotalWidth) == c.total;
}

// Reads the file through once: every record of the version's length with
// its CR LF; the header, the details and the first trailer adding up.
// Keeps what follows the first trailer (records after it are kept as found).
int Load(Image& im) {
  os::File f;
  if (!os::Open(f, im.path, "rb")) return kNrcReadError;
  const std::size_t length = im.record - 2;
  std::string chunk(im.record * 256, '\0');
  long long offset = 0;
  long long first = -1;
  long long index = 0;
  Counted counted;
  bool whole = true;
  format::BytesHasher digest;
  std::size_t got;
  while (whole && (got = os::Read(f, chunk.data(), chunk.size())) > 0) {
    format::HashBytes(digest, chunk.data(), got);
    if (got % im.record != 0) whole = false;
    for (std::size_t at = 0; whole && at + im.record <= got; at += im.record, ++index) {
      if (chunk[at + length] != '\r' || chunk[at + length + 1] != '\n') whole = false;
      if (first < 0 && !CountRecord(chunk, at, index, counted)) whole = false;
      if (first < 0 && index > 0 && IsType(chunk, at, "08")) first = offset + static_cast<long long>(at);
      if (first >= 0) im.tail.append(chunk, at, im.record);
      if (index == 0) im.header = chunk.substr(at, length);
      if (IsType(chunk, at, "05")) ++im.present[DetailKey(chunk, at)];
    }
    offset += static_cast<long long>(got);
  }
  os::Close(f);
  if (!whole || (offset > 0 && first < 0)) return kNrcDamaged;
  im.keep = first < 0 ? 0 : first;
  im.digest = format::HashValue(digest);
  im.digestKnown = true;
  FindTrailer(im);
  return kNrcOk;
}

// Sorted keys of the pending removals, each with how many to make.
void CountRemovals(Image& im, std::vector<int>& left) {
  std::sort(im.removals.begin(), im.removals.end());
  left.assign(im.removals.size(), 0);
  std::size_t distinct = 0;
  for (std::size_t i = 0; i < im.removals.size(); ++i) {
    if (distinct > 0 && im.removals[distinct - 1] == im.removals[i]) {
      ++left[distinct - 1];
    } else {
      im.removals[distinct] = im.removals[i];
      left[distinct++] = 1;
    }
  }
  im.removals.resize(distinct);
  left.resize(distinct);
}

// Applies the pending removals to the records of `block` as removing them
// one after the other does: each takes the first detail left with its key;
// every later detail is numbered down by the details removed before it,
// and every later trailer loses their count and their amounts. `removed`
// and `removedAmount` carry on from block to block.
void RemoveInBlock(Image& im, std::vector<int>& left, std::string& block, std::int64_t& removed,
                   std::int64_t& removedAmount) {
  std::size_t to = 0;
  for (std::size_t at = 0; at + im.record <= block.size(); at += im.record) {
    if (IsType(block, at, "05") && !im.removals.empty()) {
      const RequestKeyBytes key = DetailKey(block, at);
      auto wanted = std::lower_bound(im.removals.begin(), im.removals.end(), key);
      const std::size_t k = static_cast<std::size_t>(wanted - im.removals.begin());
      if (wanted != im.removals.end() && *wanted == key && left[k] > 0) {
        --left[k];
        ++removed;
        removedAmount += FieldNumber(block, at + kAmountAt, kAmountWidth);
        continue;
      }
    }
    if (to != at) block.replace(to, im.record, block, at, im.record);
    if (removed > 0 && IsType(block, to, "05")) {
      PutNumber(block, to + kSequenceAt, kSequenceWidth, FieldNumber(block, to + kSequenceAt, kSequenceWidth) - removed);
    } else if (removed > 0 && IsType(block, to, "08")) {
      PutNumber(block, to + kRecordsAt, kCountWidth, FieldNumber(block, to + kRecordsAt, kCountWidth) - removed);
      PutNumber(block, to + kDetailsAt, kCountWidth, FieldNumber(block, to + kDetailsAt, kCountWidth) - removed);
      PutNumber(block, to + kTotalAt, kTotalWidth, FieldNumber(block, to + kTotalAt, kTotalWidth) - removedAmount);
    }
    to += im.record;
  }
  block.resize(to);
}

void Remove(Image& im, const NrcRequestFields& request) {
  if (!im.existed && im.keep == 0 && im.tail.empty()) im.createEmpty = true;
  const RequestKeyBytes key = RequestKey(request);
  auto held = im.present.find(key);
  if (held == im.present.end() || held->second == 0) return;
  --held->second;
  im.removals.push_back(key);
}

// The trailer's count and total before the pending removals.
void TrailerCounts(const Image& im, std::int64_t& count, std::int64_t& total) {
  count = total = 0;
  if (im.trailerAt < im.tail.size()) {
    count = FieldNumber(im.tail, im.trailerAt + kDetailsAt, kCountWidth);
    total = FieldNumber(im.tail, im.trailerAt + kTotalAt, kTotalWidth);
  }
}

// The trailer's fields hold at most 99999 records and a total of 12 digits.
// Reckoned before the pending removals, as the details are numbered until
// the file is written.
bool HasRoom(const Image& im, std::int64_t amount) {
  std::int64_t count = 0, total = 0;
  TrailerCounts(im, count, total);
  return count + 3 <= kMaxRecords && amount >= 0 && total + amount <= kMaxTotal;
}

int Write(Image& im);

int Add(Image& im, const NrcRequestFields& request) {
  if (!HasRoom(im, request.amount)) {
    ShowRunMessage(settings::Translate(texts::kNrcFull) + os::HostPath(im.path));
    return kNrcFull;
  }
  std::int64_t count = 0, total = 0;
  TrailerCounts(im, count, total);
  if (im.keep == 0 && im.tail.empty()) {
    im.header = NrcHeader(request, im.version, Today());
    im.tail = im.header + "\r\n";
    im.trailerAt = im.tail.size();
  }
  ++count;
  total += request.amount;
  // The detail over the trailer, the new trailer over the record after it.
  const std::string records = NrcDetail(request, im.version, static_cast<long>(count)) + "\r\n" +
                              NrcTrailer(im.version, static_cast<long>(count), total) + "\r\n";
  im.tail.replace(im.trailerAt, std::min(records.size(), im.tail.size() - im.trailerAt), records);
  im.trailerAt += im.record;
  im.details = count;
  im.dirty = true;
  ++im.present[RequestKey(request)];
  return kNrcOk;
}

std::string Directory(const std::string& file) {
  const std::size_t cut = file.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : file.substr(0, cut + 1);
}

std::string BaseName(const std::string& file) {
  const std::size_t cut = file.find_last_of("/\\:");
  return cut == std::string::npos ? file : file.substr(cut + 1);
}

int Lock(Image& im, int waitMs) {
  const std::string dir = NrcLockDirectory(im.path);
  if (os::LockDirectory(im.lock, dir, 0)) return kNrcOk;
  if (waitMs == kNrcTryOnce) return kNrcLocked;
  if (!os::DirExists(dir)) {
    ShowRunMessage(settings::Translate(texts::kCannotUseDir) + os::HostPath(dir));
    return kNrcWriteError;
  }
  ShowWaitNotice(records::LockWaitText());
  const bool locked = os::LockDirectory(im.lock, dir, waitMs);
  EndWaitNotice();
  if (locked) return kNrcOk;
  ShowRunMessage(settings::Translate(texts::kLockedByOther) + os::HostPath(im.path));
  return kNrcLocked;
}

int Open(Image& im, const std::string& file, int waitMs) {
  im = Image{};
  im.path = file;
  im.version = NrcVersion();
  im.record = static_cast<std::size_t>(NrcRecordLength(im.version)) + 2;
  int status = Lock(im, waitMs);
  if (status != kNrcOk) return status;
  im.existed = os::FileExists(file);
  status = im.existed ? Load(im) : kNrcOk;
  if (status != kNrcOk) {
    os::Unlock(im.lock);
    ShowRunMessage(settings::Translate(status == kNrcDamaged ? texts::kNrcDamaged : texts::kCannotWrite) +
                   os::HostPath(file));
    im = Image{};
    return status;
  }
  im.open = true;
  return kNrcOk;
}

// The digest of the file as it lies on disk (an absent file is an empty one).
std::uint64_t DiskDigest(Image& im) {
  if (!im.digestKnown) {
    std::string bytes;
    im.digest = os::ReadFile(im.path, bytes) ? format::BytesHash(bytes) : format::BytesHash("", 0);
    im.digestKnown = true;
  }
  return im.digest;
}

// Writes the new file through a temporary copy renamed over the old one:
// the kept part of the old file copied block by block, then the tail, the
// pending removals applied on the way. Afterwards the new file is the one
// on disk, and the tail is again what follows its first trailer.
int Write(Image& im) {
  if (!im.dirty && im.removals.empty() && !(im.createEmpty && !im.existed)) return kNrcOk;
  const std::string temp = NrcTempPath(im.path);
  // The file as the run found it is kept (history.h) before it is first
  // replaced by other bytes: the new file's digest is taken while it is
  // written.
  const bool keep = im.existed && KeepsVersionOf(im.path);
  format::BytesHasher digest;
  std::vector<int> left;
  CountRemovals(im, left);
  std::int64_t removed = 0, removedAmount = 0;
  os::File out, in;
  bool ok = os::Open(out, temp, "wb");
  long long written = 0;
  if (ok && im.keep > 0) {
    ok = os::Open(in, im.path, "rb");
    std::string block;
    long long left_to_copy = im.keep;
    while (ok && left_to_copy > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<long long>(left_to_copy, static_cast<long long>(im.record) * 256));
      block.resize(want);
      ok = os::Read(in, block.data(), want) == want;
      left_to_copy -= static_cast<long long>(want);
      if (!ok) break;
      RemoveInBlock(im, left, block, removed, removedAmount);
      if (keep) format::HashBytes(digest, block.data(), block.size());
      ok = os::Write(out, block);
      written += static_cast<long long>(block.size());
    }
    os::Close(in);
  }
  std::string tail = im.tail;
  RemoveInBlock(im, left, tail, removed, removedAmount);
  if (keep) format::HashBytes(digest, tail.data(), tail.size());
  ok = ok && os::Write(out, tail) && os::Flush(out);
  os::Close(out);
  if (ok && keep && format::HashValue(digest) != DiskDigest(im) && !KeepVersion(im.path)) {
    os::DeleteFile(temp);
    return kNrcWriteError;
  }
  // The rename may meet a passing obstacle (a reader on another system):
  // a few attempts, then the failure is reported.
  for (int attempt = 0; ok && attempt < 5; ++attempt) {
    if (os::RenameFile(temp, im.path)) {
      NoteRunWrote(im.path);
      im.keep = written;
      im.tail.swap(tail);
      FindTrailer(im);
      // Only the trailer and what follows it stay in memory.
      if (im.trailerAt > 0 && im.trailerAt < im.tail.size()) {
        im.keep += static_cast<long long>(im.trailerAt);
        im.tail.erase(0, im.trailerAt);
        im.trailerAt = 0;
      }
      im.tail.shrink_to_fit();
      im.removals.clear();
      im.dirty = false;
      im.existed = true;
      im.digest = format::HashValue(digest);
      im.digestKnown = keep;
      return kNrcOk;
    }
    os::SleepMs(20 * (attempt + 1));
  }
  os::DeleteFile(temp);
  ShowRunMessage(settings::Translate(texts::kCannotWrite) + os::HostPath(im.path));
  return kNrcWriteError;
}

void Release(Image& im) {
  os::Unlock(im.lock);
  im = Image{};
}

// The request on its own: open, change, write, release.
template <typename Change>
int Single(const std::string& file, Change change) {
  if (pass.open && pass.path == file) return change(pass);
  Image im;
  int status = Open(im, file, kNrcLockWaitMs);
  if (status != kNrcOk) return status;
  status = change(im);
  if (status == kNrcOk) status = Write(im);
  Release(im);
  return status;
}

}  // namespace

int NrcVersion() {
  const os::DateTime now = os::Now();
  return now.year * 100 + now.month > 201501 ? 2 : 1;
}

int NrcRecordLength(int version) { return version == 1 ? 255 : 256; }

std::string NrcHeader(const NrcRequestFields& r, int version, const std::string& date) {
  const std::string account = format::FitText(r.account, 20);
  std::string h = "02" + std::string("1") + format::FitText(r.presenterTaxId, 9) + "-000" + std::string(17, ' ') + "0" +
                  account + std::string(20, ' ') + account.substr(0, 4) + format::FitText(date, 8) + "E" + "I" +
                  format::FitText(date, 8) + "I" + "R" + Digits(version, 2) + std::string(10, ' ');
  if (version == 1) h += std::string(145, ' ');
  else h += " " + format::FitText(r.ibanPrefix, 4) + std::string(141, ' ');
  return h;
}

std::string NrcDetail(const NrcRequestFields& r, int version, long sequence) {
  const std::string taxId = format::FitText(r.ownerTaxId, 9);
  const std::string name = format::FitText(r.name, 38);
  std::string initial(4, ' ');
  if (format::IsPersonIdChar(taxId[0])) {
    const std::size_t first = name.find_first_not_of(' ');
    if (first != std::string::npos) initial[0] = name[first];
  }
  std::string d = "05" + Digits(sequence, 5) + format::FitText(r.model, 3) + format::FitText(r.year, 4) + format::FitText(r.period, 2) + "E" +
                  "I" + taxId + name + initial + "00000" + Digits(r.amount, 12) + "000000000000" + " " +
                  std::string(20, '0') + std::string(48, ' ');
  d += std::string(version == 1 ? 88 : 89, ' ');
  return d;
}

std::string NrcTrailer(int version, long details, std::int64_t total) {
  return "08" + Digits(details + 2, 5) + Digits(details, 5) + Digits(total, 12) + std::string(17, ' ') +
         std::string(version == 1 ? 214 : 215, ' ');
}

std::string NrcLockDirectory(const std::string& file) {
  const std::string dir = Directory(file);
  return dir.empty() ? std::string("./") : dir;
}

std::string NrcTempPath(const std::string& file) { return Directory(file) + "~" + BaseName(file) + ".tmp"; }

// Inside a pass the file is written when the pass ends (or at an explicit
// checkpoint): until then the file on disk is the one the pass found, which
// the pass's journal depends on.
int AddNrcRequest(const std::string& file) {
  const NrcRequestFields request = NrcRequest;
  return Single(file, [&](Image& im) { return Add(im, request); });
}

int RemoveNrcRequest(const std::string& file) {
  const NrcRequestFields request = NrcRequest;
  return Single(file, [&](Image& im) {
    Remove(im, request);
    return kNrcOk;
  });
}

int OpenNrcPass(const std::string& file, int waitMs) {
  if (pass.open) AbandonNrcPass();
  return Open(pass, file, waitMs);
}

bool NrcPassOpen() { return pass.open; }

int NrcCheckpoint() { return pass.open ? Write(pass) : kNrcOk; }

int CloseNrcPass(std::uint64_t* digest) {
  if (!pass.open) return kNrcOk;
  const int status = Write(pass);
  if (status == kNrcOk && digest != nullptr) *digest = DiskDigest(pass);
  Release(pass);
  return status;
}

void AbandonNrcPass() {
  if (pass.open) Release(pass);
}

bool NrcPassHasRoomFor(std::int64_t amount) { return pass.open && HasRoom(pass, amount); }

void NrcPassKeepFile() {
  if (pass.open && !pass.existed && pass.keep == 0 && pass.tail.empty()) pass.createEmpty = true;
}

int NrcPassCount(const NrcRequestFields& request) {
  if (!pass.open) return 0;
  auto held = pass.present.find(RequestKey(request));
  return held == pass.present.end() ? 0 : held->second;
}

bool NrcPassHeader(std::string& account, std::string& ibanPrefix) {
  if (!pass.open || pass.header.size() < 115) return false;
  account = pass.header.substr(34, 20);
  ibanPrefix = pass.version == 2 ? pass.header.substr(111, 4) : std::string();
  return true;
}

std::uint64_t NrcPassFileDigest() { return pass.open ? DiskDigest(pass) : 0; }

}  // namespace vat303
