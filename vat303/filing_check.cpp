// A filing file read back against its record design.
#include "vat303/filing_check.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace vat303 {
namespace {

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::vector<std::string> Choices(const char* allowed) {
  std::vector<std::string> out;
  std::string item;
  for (const char* p = allowed; *p; ++p) {
    if (*p == '|') {
      out.push_back(item);
      item.clear();
    } else {
      item += *p;
    }
  }
  out.push_back(item);
  return out;
}

std::string Shown(const std::string& value) {
  std::string out;
  for (unsigned char c : value) {
    if (c < 32 || c >= 127) {
      static const char hex[] = "0123456789ABCDEF";
      out += std::string("<") + hex[c >> 4] + hex[c & 15] + ">";
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// The first position of `value` (1-based in the file) that breaks the kind.
int FirstBad(const FieldRead& r, const std::string& expected, std::string& why) {
  const FilingField& f = *r.field;
  const std::string& v = r.value;
  switch (f.kind) {
    case FieldKind::Constant:
      for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] != expected[i]) {
          why = "expected \"" + expected + "\", found \"" + Shown(v) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    case FieldKind::Blank:
      for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] != ' ') {
          why = "blanks expected, found \"" + Shown(v.substr(i, 20)) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    case FieldKind::Amount:
      for (std::size_t i = 0; i < v.size(); ++i) {
        const bool sign = i == 0 && v[i] == 'N';
        if (!sign && (v[i] < '0' || v[i] > '9')) {
          why = (v[i] == 'N' ? "\"N\" not in the first position of an amount: \""
                             : "not an amount (17 digits, \"N\" first when negative): \"") +
                Shown(v) + "\"";
          return static_cast<int>(i);
        }
      }
      return -1;
    case FieldKind::Number:
      for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] < '0' || v[i] > '9') {
          why = "digits expected, found \"" + Shown(v) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    case FieldKind::Text: {
      const std::string allowed = f.allowed;
      for (std::size_t i = 0; i < v.size(); ++i)
        if (allowed.find(v[i]) == std::string::npos) {
          why = "character not allowed here: \"" + Shown(v.substr(i, 1)) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    }
    case FieldKind::Code:
      for (const std::string& choice : Choices(f.allowed))
        if (v == choice) return -1;
      why = "one of \"" + std::string(f.allowed) + "\" expected, found \"" + Shown(v) + "\"";
      return 0;
  }
  return -1;
}

}  // namespace

std::string AmountAsEuros(const std::string& value) {
  if (value.size() != 17) return "";
  const bool negative = value[0] == 'N';
  const std::string digits = negative ? value.substr(1) : value;
  if (!AllDigits(digits)) return "";
  const long long cents = std::atoll(digits.c_str());
  std::string euros = std::to_string(cents / 100) + "." + std::string(cents % 100 < 10 ? "0" : "") +
                      std::to_string(cents % 100);
  return negative ? "-" + euros : euros;
}

FilingReading ReadFilingText(const std::string& bytes) {
  FilingReading out;
  const std::vector<FilingPage>& pages = FilingPages();
  // Where page 04 starts when it is there.
  int annualAt = 0;
  for (const FilingPage& p : pages) {
    if (p.annual) break;
    annualAt += p.length;
  }
  const std::size_t full = static_cast<std::size_t>(FilingLength(true));
  const std::size_t plain = static_cast<std::size_t>(FilingLength(false));
  out.annualPages = bytes.size() == full ||
                    (bytes.size() != plain && bytes.size() >= static_cast<std::size_t>(annualAt) + 11 &&
                     bytes.compare(static_cast<std::size_t>(annualAt), 11, "<T30304000>") == 0);
  const std::size_t expected = out.annualPages ? full : plain;
  if (bytes.size() != expected)
    out.faults.push_back({static_cast<int>(std::min(bytes.size(), expected)) + 1,
                          "file length " + std::to_string(bytes.size()) + ", expected " + std::to_string(expected) +
                              (bytes.size() < expected ? " (the file is cut)" : " (bytes after the closing tag)")});
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == '\r' || bytes[i] == '\n')
      out.faults.push_back({static_cast<int>(i) + 1, bytes[i] == '\r' ? "CR in the file" : "LF in the file"});

  int offset = 0;
  for (const FilingField& f : FilingFields()) {
    if (pages[static_cast<std::size_t>(f.page)].annual && !out.annualPages) continue;
    FieldRead r;
    r.field = &f;
    r.offset = offset;
    if (static_cast<std::size_t>(offset) < bytes.size()) r.value = bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(f.width));
    r.present = r.value.size() == static_cast<std::size_t>(f.width);
    out.fields.push_back(r);
    offset += f.width;
  }

  // The year and period of page 01 decide the period-dependent constants,
  // and the tags must carry the same.
  std::string year, period;
  for (const FieldRead& r : out.fields)
    if (pages[static_cast<std::size_t>(r.field->page)].id == std::string("01")) {
      if (r.field->source == FieldSource::Year) year = r.value;
      if (r.field->source == FieldSource::PeriodCode) period = r.value;
    }
  const bool periodKnown = year.size() == 4 && AllDigits(year) && period.size() == 2;
  const bool laterRates = periodKnown && (std::atoi(year.c_str()) > 2024 || period == "4T");

  for (const FieldRead& r : out.fields) {
    const FilingField& f = *r.field;
    const std::string where = std::string(pages[static_cast<std::size_t>(f.page)].name) + " position " +
                              std::to_string(f.position) + " (" + f.name + "): ";
    if (!r.present) {
      out.faults.push_back({r.offset + static_cast<int>(r.value.size()) + 1, where + "missing: the file ends here"});
      break;
    }
    std::string expected = f.constant;
    if (f.kind == FieldKind::Constant && f.later) {
      if (!periodKnown) {
        if (r.value == f.later) expected = f.later;
      } else if (laterRates) {
        expected = f.later;
      }
    }
    std::string why;
    const int bad = FirstBad(r, expected, why);
    if (bad >= 0) out.faults.push_back({r.offset + bad + 1, where + why});
    if (periodKnown && f.source == FieldSource::Year && r.value != year)
      out.faults.push_back({r.offset + 1, where + "year \"" + Shown(r.value) + "\" differs from page 01's " + year});
    if (periodKnown && f.source == FieldSource::PeriodCode && r.value != period)
      out.faults.push_back({r.offset + 1, where + "period \"" + Shown(r.value) + "\" differs from page 01's " + period});
  }
  return out;
}

}  // namespace vat303
