// The NRC request file NRC_BANC.SOL as the return's add and remove operations
// read it. Input: the operations (first line), then the file's bytes (no
// file at all when the input has no line end). Operations, each a letter and
// its argument bytes:
//   a o n  add a request of owner o % 6 of n * 1013 + 1 cents
//   A o    add a request of owner o % 6 of the largest amount (2^31 - 1 cents)
//   r o    remove owner o % 6's first request (its amount read from the
//          file; of none, a request of 0 cents)    p  the other period (2T, 3T)
//   v V    today in record version 1, 2         o  open a pass (no wait)
//   k      checkpoint of the pass               c  close the pass
//   x      abandon the pass
// Expectations: the folder holds the file and nothing else after every
// operation (no temporary copy); a file that does not add up (header,
// details numbered from 1, a trailer whose counts and total are the
// details') is refused and left as it is; an accepted one gives a file that
// adds up and holds the requests it held with the one added (at the end) or
// the one removed (its first); a refused operation leaves the file as it
// was; inside a pass the file on disk is the old one or one that adds up,
// and after a checkpoint it holds the pass's requests.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/vat303/nrc_sample.h"
#include "vat303/nrc_file.h"
#include "vat303/run_messages.h"

namespace {

using vat303::NrcRequest;

struct Owner {
  const char* taxId;
  const char* name;
};
const Owner kOwners[6] = {{"12345678Z", "GARCIA LOPEZ, MARIA"}, {"B12345674", "CONSTRUCCIONS PUIG SL"},
                          {"34567890V", "VIDAL ROCA, NURIA"},   {"X1234567L", "SMITH, JOHN"},
                          {"A08000001", "FINQUES DEL MAR SA"},  {"00000000T", ""}};

std::string Dir() { return fuzz::WorkDir() + "out/"; }
std::string File() { return Dir() + "NRC_BANC.SOL"; }

bool Digits(const std::string& b, std::size_t at, std::size_t width, long long& value) {
  value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (b[i] < '0' || b[i] > '9') return false;
    value = value * 10 + (b[i] - '0');
  }
  return true;
}

// A file read as the requests it holds: each detail without its type and
// sequence number. `ok` when it adds up (an empty file does).
struct Parsed {
  bool ok = false;
  std::string header;
  std::vector<std::string> details;
};

Parsed Parse(const std::string& b, std::size_t length) {
  Parsed p;
  const std::size_t record = length + 2;
  if (b.empty()) {
    p.ok = true;
    return p;
  }
  if (b.size() % record != 0) return p;
  for (std::size_t at = 0; at < b.size(); at += record)
    if (b.compare(at + length, 2, "\r\n") != 0) return p;
  if (b.compare(0, 2, "02") != 0) return p;
  p.header = b.substr(0, length);
  long long details = 0, total = 0, v = 0;
  for (std::size_t at = record; at < b.size(); at += record) {
    if (b.compare(at, 2, "05") == 0) {
      if (!Digits(b, at + 2, 5, v) || v != details + 1 || !Digits(b, at + 74, 12, v)) return p;
      ++details;
      total += v;
      p.details.push_back(b.substr(at + 7, length - 7));
    } else if (b.compare(at, 2, "08") == 0) {
      p.ok = Digits(b, at + 2, 5, v) && v == details + 2 && Digits(b, at + 7, 5, v) && v == details &&
             Digits(b, at + 12, 12, v) && v == total;
      return p;
    } else {
      return p;
    }
  }
  return p;  // no trailer
}

// Model, year, period, tax identifier, name and amount.
std::string Key(const std::string& detail) { return detail.substr(0, 9) + detail.substr(11, 47) + detail.substr(67, 12); }

long long Total(const std::vector<std::string>& details) {
  long long total = 0, v = 0;
  for (const std::string& d : details) total += Digits(d, 67, 12, v) ? v : 0;
  return total;
}

void CheckFolder() {
  std::vector<os::DirEntry> entries;
  fuzz::Check(os::ListDir(Dir(), entries), "the output folder cannot be read");
  for (const os::DirEntry& e : entries)
    fuzz::Check(e.name == "NRC_BANC.SOL", "a file other than the request file is left in the folder");
}

void Request(int owner, std::int64_t amount) {
  NrcRequest.ownerTaxId = kOwners[owner].taxId;
  NrcRequest.name = kOwners[owner].name;
  NrcRequest.amount = amount;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SilenceStreams();
  vat303::SetPresentation(vat303::RunPresentation::Batch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = fuzz::Text(data, size);
  std::string ops, file;
  fuzz::FirstLine(input, ops, file);
  if (ops.size() > 200 || file.size() > 64 * 1024) return 0;
  os::MakeDirs(Dir());
  os::DeleteFile(File());
  if (input.find('\n') != std::string::npos) fuzz::PutFile(File(), file);
  vat303::ClearShownMessages();
  testsupport::SetSampleNrcRequest();
  int version = 2;
  os::SetFixedNow(os::DateTime{2015, 2, 1});

  bool inPass = false;
  Parsed pass;  // the requests the pass holds
  std::size_t i = 0;
  auto arg = [&]() -> int { return i < ops.size() ? static_cast<unsigned char>(ops[i++]) : 0; };
  while (i < ops.size()) {
    const char op = ops[i++];
    const std::size_t length = static_cast<std::size_t>(vat303::NrcRecordLength(version));
    const bool existed = os::FileExists(File());
    const std::string before = fuzz::GetFile(File());
    const Parsed old = Parse(before, length);
    const std::string date = version == 1 ? "20150131" : "20150201";
    int status = vat303::kNrcOk;
    Parsed want = inPass ? pass : old;  // the requests expected afterwards
    bool expectFull = false;
    if (op == 'a' || op == 'A') {
      const int owner = arg() % 6;
      Request(owner, op == 'A' ? 2147483647 : static_cast<std::int64_t>(arg()) * 1013 + 1);
      expectFull = Total(want.details) + NrcRequest.amount > 999999999999LL;
      if (!expectFull) {
        if (want.header.empty() && want.details.empty()) want.header = vat303::NrcHeader(NrcRequest, version, date);
        want.details.push_back(vat303::NrcDetail(NrcRequest, version, 1).substr(7));
      }
      status = vat303::AddNrcRequest(File());
    } else if (op == 'r') {
      const int owner = arg() % 6;
      long long amount = 0;
      for (const std::string& d : want.details)
        if (d.compare(11, 9, kOwners[owner].taxId) == 0) {
          if (!Digits(d, 67, 12, amount)) amount = 0;
          break;
        }
      Request(owner, amount);
      const std::string key = Key(vat303::NrcDetail(NrcRequest, version, 1).substr(7));
      for (auto it = want.details.begin(); it != want.details.end(); ++it)
        if (Key(*it) == key) {
          want.details.erase(it);
          break;
        }
      status = vat303::RemoveNrcRequest(File());
    } else if (op == 'p') {
      NrcRequest.period = NrcRequest.period == "2T" ? "3T" : "2T";
      continue;
    } else if ((op == 'v' || op == 'V') && !inPass) {
      version = op == 'v' ? 1 : 2;
      os::SetFixedNow(version == 1 ? os::DateTime{2015, 1, 31} : os::DateTime{2015, 2, 1});
      continue;
    } else if (op == 'o' && !inPass) {
      status = vat303::OpenNrcPass(File(), 0);
      fuzz::Check((status == vat303::kNrcOk) == (!existed || old.ok), "a pass opened on a file that does not add up");
      inPass = status == vat303::kNrcOk;
      pass = old;
    } else if (op == 'k' && inPass) {
      status = vat303::NrcCheckpoint();
    } else if (op == 'c' && inPass) {
      status = vat303::CloseNrcPass();
      inPass = false;
    } else if (op == 'x' && inPass) {
      vat303::AbandonNrcPass();
      inPass = false;
      fuzz::Check(fuzz::GetFile(File()) == before, "abandoning a pass wrote the file");
      continue;
    } else {
      continue;
    }
    CheckFolder();
    const std::string after = fuzz::GetFile(File());
    const bool changing = op == 'a' || op == 'A' || op == 'r';
    if (changing && !inPass && existed && !old.ok) {
      fuzz::Check(status == vat303::kNrcDamaged, "a file that does not add up was not refused");
      fuzz::Check(after == before, "a refused file was changed");
      continue;
    }
    if (expectFull) {
      fuzz::Check(status == vat303::kNrcFull, "a request past the trailer's limits was taken");
      fuzz::Check(after == before, "a refused request changed the file");
      continue;
    }
    if (op == 'o') {
      fuzz::Check(after == before, "opening a pass changed the file");
      continue;
    }
    fuzz::Check(status == vat303::kNrcOk, "an operation on a file that adds up failed");
    if (inPass) pass = want;
    const Parsed now = Parse(after, length);
    if (inPass && op != 'k') {
      fuzz::Check(after == before || now.ok, "a pass left a file that does not add up");
      continue;
    }
    if (!os::FileExists(File())) {  // nothing to write to a file that was not there
      fuzz::Check(!existed && want.header.empty() && want.details.empty(), "the request file is gone");
      continue;
    }
    fuzz::Check(now.ok, "the file written does not add up");
    fuzz::Check(now.header == want.header, "the header changed");
    fuzz::Check(now.details == want.details, "the file does not hold the requests expected");
  }
  vat303::AbandonNrcPass();
  os::ClearFixedNow();
  return 0;
}
