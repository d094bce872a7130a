// The journal of a filing pass: writing its lines and reading them back.
#include "vat303/pass_journal.h"

#include <string>
#include <vector>

#include "format/numbers.h"
#include "format/text.h"
#include "platform/os/os.h"
#include "vat303/filing_file.h"

namespace vat303 {
namespace {

constexpr const char* kMagic = "V303JNL|1|";
constexpr std::size_t kRequestWidth = 1 + 9 + 38 + 12;

// The journal being written (by the pass at work).
os::File journal;

bool ParseDigits(const std::string& text, std::int64_t& v) {
  if (text.empty()) return false;
  v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  return true;
}

std::string Request(bool present, const JournalRequest& r) {
  if (!present) return "0" + std::string(kRequestWidth - 1, ' ');
  return "1" + format::FitText(r.taxId, 9) + format::FitText(r.name, 38) +
         format::ZeroPad(static_cast<double>(r.amount), 12);
}

bool ParseRequest(const std::string& text, bool& present, JournalRequest& r) {
  if (text.size() != kRequestWidth || (text[0] != '0' && text[0] != '1')) return false;
  present = text[0] == '1';
  if (!present) return true;
  r.taxId = text.substr(1, 9);
  r.name = text.substr(10, 38);
  return ParseDigits(text.substr(48, 12), r.amount);
}

bool ParseChange(const std::string& line, JournalChange& c) {
  // Fixed positions: a request may hold any byte but a line end.
  const std::size_t head = 2 + 4 + 1;
  if (line.size() < head + kRequestWidth || line[1] != '|' || line[6] != '|') return false;
  std::int64_t owner = 0;
  if (!ParseDigits(line.substr(2, 4), owner) || owner < 1) return false;
  c.owner = static_cast<int>(owner);
  if (!ParseRequest(line.substr(head, kRequestWidth), c.takenOut, c.out)) return false;
  if (line[0] == 'D') {
    c.put = false;
    return line.size() == head + kRequestWidth;
  }
  const std::size_t at = head + kRequestWidth;
  if (line[0] != 'P' || line.size() != at + 1 + 16 + 1 + kRequestWidth || line[at] != '|' || line[at + 17] != '|')
    return false;
  c.put = true;
  return format::ParseDigestText(line.substr(at + 1, 16), c.digest) && ParseRequest(line.substr(at + 18), c.added, c.in);
}

}  // namespace

std::string JournalPath(const std::string& folder) { return folder + "V303.JNL"; }

bool BeginJournal(const std::string& folder, const JournalHead& h) {
  using format::FitText;
  const NrcRequestFields& p = h.presenter;
  const std::string line = kMagic + format::DigestText(h.nrcDigest) + "|" + std::string(1, h.payment) + "|" +
                           FitText(p.model, 3) + "|" + FitText(p.year, 4) + "|" + FitText(p.period, 2) + "|" +
                           FitText(p.presenterTaxId, 9) + "|" + FitText(p.account, 20) + "|" +
                           FitText(p.ibanPrefix, 4) + "\n";
  os::Close(journal);
  return ReplaceFile(JournalPath(folder), line, true) && os::Open(journal, JournalPath(folder), "ab");
}

bool JournalAdd(const JournalChange& c) {
  std::string line = std::string(c.put ? "P|" : "D|") + format::ZeroPad(c.owner, 4) + "|" + Request(c.takenOut, c.out);
  if (c.put) line += "|" + format::DigestText(c.digest) + "|" + Request(c.added, c.in);
  // Seeking hands what the stream holds to the system (the line is then
  // safe from a crash of the program) and tells whether it could be written.
  return os::IsOpen(journal) && os::Write(journal, line + "\n") && os::Seek(journal, 0);
}

bool ReadJournal(const std::string& folder, JournalHead& h, std::vector<JournalChange>& changes) {
  changes.clear();
  std::string bytes;
  if (!os::ReadFile(JournalPath(folder), bytes)) return false;
  std::size_t end = bytes.find('\n');
  if (end == std::string::npos || bytes.compare(0, 10, kMagic) != 0) return false;
  const std::vector<std::string> f = format::SplitText(bytes.substr(0, end), '|');
  if (f.size() != 10 || f[3].size() != 1 || !format::ParseDigestText(f[2], h.nrcDigest)) return false;
  h.payment = f[3][0];
  h.presenter.model = f[4];
  h.presenter.year = f[5];
  h.presenter.period = f[6];
  h.presenter.presenterTaxId = f[7];
  h.presenter.account = f[8];
  h.presenter.ibanPrefix = f[9];
  // Whole lines only: a line without its end was cut before its change began.
  for (std::size_t from = end + 1; (end = bytes.find('\n', from)) != std::string::npos; from = end + 1) {
    JournalChange c;
    if (ParseChange(bytes.substr(from, end - from), c)) changes.push_back(c);
  }
  return true;
}

bool EndJournal(const std::string& folder, bool remove) {
  os::Close(journal);
  return !remove || os::DeleteFile(JournalPath(folder)) || !os::FileExists(JournalPath(folder));
}

}  // namespace vat303
