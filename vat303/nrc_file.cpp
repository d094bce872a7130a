// The NRC request file: records, the in-memory image held under the file's
// lock, and its replacement through a temporary copy.
#include "vat303/nrc_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "format/numbers.h"
#include "format/taxid.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "settings/catalogue.h"
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

std::string Fit(const std::string& text, std::size_t width) {
  std::string out = text.substr(0, std::min(text.size(), width));
  out.resize(width, ' ');
  return out;
}

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

// Model, year, period and owner tax identifier: what identifies a request.
constexpr std::size_t kRequestKeyLength = 18;
using RequestKeyBytes = std::array<char, kRequestKeyLength>;

RequestKeyBytes RequestKey(const NrcRequestFields& r) {
  const std::string text = Fit(r.model, 3) + Fit(r.year, 4) + Fit(r.period, 2) + Fit(r.ownerTaxId, 9);
  RequestKeyBytes key;
  std::copy(text.begin(), text.end(), key.begin());
  return key;
}

RequestKeyBytes DetailKey(const std::string& bytes, std::size_t at) {
  RequestKeyBytes key;
  auto out = std::copy_n(bytes.begin() + static_cast<long>(at + kKeyModelAt), 3, key.begin());
  out = std::copy_n(bytes.begin() + static_cast<long>(at + kKeyYearAt), 4, out);
  out = std::copy_n(bytes.begin() + static_cast<long>(at + kKeyPeriodAt), 2, out);
  std::copy_n(bytes.begin() + static_cast<long>(at + kKeyTaxIdAt), 9, out);
  return key;
}

bool IsType(const std::string& bytes, std::size_t at, const char* type) {
  return bytes.compare(at + kTypeAt, 2, type) == 0;
}

struct Image {
  std::string path;
  os::Lock lock;
  bool open = false;
  std::size_t record = 258;      // record length with its CR LF
  int version = 2;
  std::string bytes;
  bool existed = false;          // the file was there when read (or has been written)
  bool createEmpty = false;      // a removal met no file: an empty file is left
  bool dirty = false;            // the image differs from the file
  int pendingAdds = 0;
  // Removals asked for and not applied yet (request keys, one per removal).
  // They are applied together, in one pass over the image (Compact).
  std::vector<RequestKeyBytes> removals;
};

Image pass;

std::size_t RecordCount(const Image& im) { return im.bytes.size() / im.record; }

bool WellFormed(const Image& im) {
  if (im.bytes.empty()) return true;
  if (im.bytes.size() % im.record != 0) return false;
  const std::size_t length = im.record - 2;
  bool trailer = false;
  for (std::size_t at = 0; at < im.bytes.size(); at += im.record) {
    if (im.bytes[at + length] != '\r' || im.bytes[at + length + 1] != '\n') return false;
    if (IsType(im.bytes, at, "08")) trailer = true;
  }
  return trailer;
}

// Applies the pending removals as removing them one after the other does:
// each takes the first detail left with its key; every later detail is
// numbered down by the details removed before it, and every later trailer
// loses their count and their amounts. In place: the image only shrinks.
void Compact(Image& im) {
  if (im.removals.empty()) return;
  // Sorted keys, each with the number of removals still to make.
  std::sort(im.removals.begin(), im.removals.end());
  std::vector<int> left(im.removals.size(), 0);
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
  std::int64_t removed = 0, removedAmount = 0;
  const std::size_t n = RecordCount(im);
  std::size_t to = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = i * im.record;
    if (IsType(im.bytes, at, "05")) {
      const RequestKeyBytes key = DetailKey(im.bytes, at);
      auto wanted = std::lower_bound(im.removals.begin(), im.removals.end(), key);
      const std::size_t k = static_cast<std::size_t>(wanted - im.removals.begin());
      if (wanted != im.removals.end() && *wanted == key && left[k] > 0) {
        --left[k];
        ++removed;
        removedAmount += FieldNumber(im.bytes, at + kAmountAt, kAmountWidth);
        continue;
      }
    }
    if (to != at) im.bytes.replace(to, im.record, im.bytes, at, im.record);
    if (removed > 0 && IsType(im.bytes, to, "05")) {
      PutNumber(im.bytes, to + kSequenceAt, kSequenceWidth,
                FieldNumber(im.bytes, to + kSequenceAt, kSequenceWidth) - removed);
    } else if (removed > 0 && IsType(im.bytes, to, "08")) {
      PutNumber(im.bytes, to + kRecordsAt, kCountWidth, FieldNumber(im.bytes, to + kRecordsAt, kCountWidth) - removed);
      PutNumber(im.bytes, to + kDetailsAt, kCountWidth, FieldNumber(im.bytes, to + kDetailsAt, kCountWidth) - removed);
      PutNumber(im.bytes, to + kTotalAt, kTotalWidth, FieldNumber(im.bytes, to + kTotalAt, kTotalWidth) - removedAmount);
    }
    to += im.record;
  }
  im.bytes.resize(to);
  im.removals.clear();
  im.removals.shrink_to_fit();
  if (removed > 0) im.dirty = true;
}

void Remove(Image& im, const NrcRequestFields& request) {
  if (!im.existed && im.bytes.empty()) im.createEmpty = true;
  im.removals.push_back(RequestKey(request));
}

void Add(Image& im, const NrcRequestFields& request) {
  Compact(im);
  std::size_t insertAt = 0;
  std::int64_t count = 0, total = 0;
  if (im.bytes.empty()) {
    im.bytes = NrcHeader(request, im.version, Today()) + "\r\n";
    insertAt = im.bytes.size();
  } else {
    // The trailer is the last record of every file this program writes;
    // otherwise the first trailer from the start, or the end of the file.
    std::size_t trailer = std::string::npos;
    const std::size_t last = im.bytes.size() - im.record;
    if (im.bytes.size() >= im.record && im.bytes.size() % im.record == 0 && IsType(im.bytes, last, "08")) {
      trailer = last;
    } else {
      for (std::size_t at = 0; at + 2 <= im.bytes.size(); at += im.record)
        if (IsType(im.bytes, at, "08")) {
          trailer = at;
          break;
        }
    }
    if (trailer == std::string::npos) {
      insertAt = im.bytes.size();
    } else {
      insertAt = trailer;
      count = FieldNumber(im.bytes, trailer + kDetailsAt, kCountWidth);
      total = FieldNumber(im.bytes, trailer + kTotalAt, kTotalWidth);
    }
  }
  ++count;
  total += request.amount;
  const std::string tail = NrcDetail(request, im.version, static_cast<long>(count)) + "\r\n" +
                           NrcTrailer(im.version, static_cast<long>(count), total) + "\r\n";
  const std::size_t needed = insertAt + tail.size();
  // Grow by an eighth at a time, not by doubling: the image is the largest
  // thing a run holds.
  if (im.bytes.capacity() < needed) im.bytes.reserve(needed + needed / 8 + 4096);
  if (im.bytes.size() < needed) im.bytes.resize(needed, ' ');
  im.bytes.replace(insertAt, tail.size(), tail);
  im.dirty = true;
  ++im.pendingAdds;
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
  const std::string lockPath = NrcLockPath(im.path);
  if (os::LockExclusive(im.lock, lockPath, 0)) return kNrcOk;
  if (!os::FileExists(lockPath)) {
    // The lock file cannot even be created: the directory is not writable.
    ShowRunMessage(settings::Translate(texts::kCannotUseDir) + os::HostPath(Directory(im.path)));
    return kNrcWriteError;
  }
  ShowWaitNotice(records::LockWaitText());
  const bool locked = os::LockExclusive(im.lock, lockPath, waitMs);
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
  if (os::FileExists(file)) {
    const long long size = os::FileSize(file);
    if (size > 0) im.bytes.reserve(static_cast<std::size_t>(size));
    if (!os::ReadFile(file, im.bytes)) {
      os::Unlock(im.lock);
      ShowRunMessage(settings::Translate(texts::kCannotWrite) + os::HostPath(file));
      return kNrcReadError;
    }
    im.existed = true;
  }
  if (!WellFormed(im)) {
    os::Unlock(im.lock);
    ShowRunMessage(settings::Translate(texts::kNrcDamaged) + os::HostPath(file));
    im = Image{};
    return kNrcDamaged;
  }
  im.open = true;
  return kNrcOk;
}

// Replaces the file by the image: temporary copy, flushed, renamed over it.
int Write(Image& im) {
  Compact(im);
  if (!im.dirty && !(im.createEmpty && !im.existed)) return kNrcOk;
  const std::string temp = NrcTempPath(im.path);
  os::File f;
  bool ok = os::Open(f, temp, "wb");
  if (ok) {
    ok = os::Write(f, im.bytes) && os::Flush(f);
    os::Close(f);
  }
  // The rename may meet a passing obstacle (a reader on another system):
  // a few attempts, then the failure is reported.
  for (int attempt = 0; ok && attempt < 5; ++attempt) {
    if (os::RenameFile(temp, im.path)) {
      im.dirty = false;
      im.existed = true;
      im.pendingAdds = 0;
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
  if (pass.open && pass.path == file) {
    change(pass);
    return kNrcOk;
  }
  Image im;
  int status = Open(im, file, kNrcLockWaitMs);
  if (status != kNrcOk) return status;
  change(im);
  status = Write(im);
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
  const std::string account = Fit(r.account, 20);
  std::string h = "02" + std::string("1") + Fit(r.presenterTaxId, 9) + "-000" + std::string(17, ' ') + "0" +
                  account + std::string(20, ' ') + account.substr(0, 4) + Fit(date, 8) + "E" + "I" +
                  Fit(date, 8) + "I" + "R" + Digits(version, 2) + std::string(10, ' ');
  if (version == 1) h += std::string(145, ' ');
  else h += " " + Fit(r.ibanPrefix, 4) + std::string(141, ' ');
  return h;
}

std::string NrcDetail(const NrcRequestFields& r, int version, long sequence) {
  const std::string taxId = Fit(r.ownerTaxId, 9);
  const std::string name = Fit(r.name, 38);
  std::string initial(4, ' ');
  if (format::IsPersonIdChar(taxId[0])) {
    const std::size_t first = name.find_first_not_of(' ');
    if (first != std::string::npos) initial[0] = name[first];
  }
  std::string d = "05" + Digits(sequence, 5) + Fit(r.model, 3) + Fit(r.year, 4) + Fit(r.period, 2) + "E" +
                  "I" + taxId + name + initial + "00000" + Digits(r.amount, 12) + "000000000000" + " " +
                  std::string(20, '0') + std::string(48, ' ');
  d += std::string(version == 1 ? 88 : 89, ' ');
  return d;
}

std::string NrcTrailer(int version, long details, std::int64_t total) {
  return "08" + Digits(details + 2, 5) + Digits(details, 5) + Digits(total, 12) + std::string(17, ' ') +
         std::string(version == 1 ? 214 : 215, ' ');
}

std::string NrcLockPath(const std::string& file) { return file + ".lck"; }

std::string NrcTempPath(const std::string& file) { return Directory(file) + "~" + BaseName(file) + ".tmp"; }

int AddNrcRequest(const std::string& file) {
  const NrcRequestFields request = NrcRequest;
  int status = Single(file, [&](Image& im) { Add(im, request); });
  if (status != kNrcOk || !(pass.open && pass.path == file)) return status;
  // Inside a pass the file is written at checkpoints: every 64 requests at
  // first, then each time the pending requests reach an eighth of the file,
  // so a pass writes the file a bounded number of times its final size.
  const std::size_t details = RecordCount(pass) > 2 ? RecordCount(pass) - 2 : 0;
  if (static_cast<std::size_t>(pass.pendingAdds) >= std::max<std::size_t>(64, details / 8)) return Write(pass);
  return kNrcOk;
}

int RemoveNrcRequest(const std::string& file) {
  const NrcRequestFields request = NrcRequest;
  return Single(file, [&](Image& im) { Remove(im, request); });
}

int OpenNrcPass(const std::string& file, int waitMs) {
  if (pass.open) AbandonNrcPass();
  return Open(pass, file, waitMs);
}

bool NrcPassOpen() { return pass.open; }

int NrcCheckpoint() { return pass.open ? Write(pass) : kNrcOk; }

int CloseNrcPass() {
  if (!pass.open) return kNrcOk;
  const int status = Write(pass);
  Release(pass);
  return status;
}

void AbandonNrcPass() {
  if (pass.open) Release(pass);
}

int NrcPendingAdds() { return pass.open ? pass.pendingAdds : 0; }

}  // namespace vat303
