// A filing file read back against its record design.
#include "vat303/filing_check.h"

#include <algorithm>
#include <array>
#include <map>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vat303 {
namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Whether `value` is one of the "|"-separated choices of `allowed`.
bool IsChoice(std::string_view value, std::string_view allowed) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = allowed.find('|', start);
    const bool last = bar == std::string_view::npos;
    if (allowed.substr(start, last ? std::string_view::npos : bar - start) == value) return true;
    if (last) return false;
    start = bar + 1;
  }
}

std::string Shown(std::string_view value) {
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

// The first position of `v` (from 0) that breaks the field's kind, -1 when
// none. `why`, when given, is told what is wrong; nothing is allocated
// without it.
int FirstBad(const FilingField& f, std::string_view v, std::string_view expected, std::string* why) {
  // A run checks every file it writes: the common answer (the field is
  // right) is found with whole comparisons, the position only when wrong.
  static const std::string blanks(1024, ' ');
  if (f.kind == FieldKind::Constant && v == expected) return -1;
  if (f.kind == FieldKind::Blank && v.size() <= blanks.size() && v == std::string_view(blanks).substr(0, v.size()))
    return -1;
  switch (f.kind) {
    case FieldKind::Constant:
      for (std::size_t i = 0; i < v.size(); ++i)
        if (i >= expected.size() || v[i] != expected[i]) {
          if (why) *why = "expected \"" + std::string(expected) + "\", found \"" + Shown(v) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    case FieldKind::Blank:
      for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] != ' ') {
          if (why) *why = "blanks expected, found \"" + Shown(v.substr(i, 20)) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    case FieldKind::Amount:
      for (std::size_t i = 0; i < v.size(); ++i) {
        const bool sign = i == 0 && v[i] == 'N';
        if (!sign && (v[i] < '0' || v[i] > '9')) {
          if (why)
            *why = (v[i] == 'N' ? "\"N\" not in the first position of an amount: \""
                                : "not an amount (17 digits, \"N\" first when negative): \"") +
                   Shown(v) + "\"";
          return static_cast<int>(i);
        }
      }
      return -1;
    case FieldKind::Number:
      for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i] < '0' || v[i] > '9') {
          if (why) *why = "digits expected, found \"" + Shown(v) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    case FieldKind::Text: {
      // The few sets of allowed characters, each as a table of the bytes.
      static std::map<const char*, std::array<bool, 256>> tables;
      auto table = tables.find(f.allowed);
      if (table == tables.end()) {
        table = tables.emplace(f.allowed, std::array<bool, 256>{}).first;
        for (const char* c = f.allowed; *c; ++c) table->second[static_cast<unsigned char>(*c)] = true;
      }
      for (std::size_t i = 0; i < v.size(); ++i)
        if (!table->second[static_cast<unsigned char>(v[i])]) {
          if (why) *why = "character not allowed here: \"" + Shown(v.substr(i, 1)) + "\"";
          return static_cast<int>(i);
        }
      return -1;
    }
    case FieldKind::Code:
      if (IsChoice(v, f.allowed)) return -1;
      if (why) *why = "one of \"" + std::string(f.allowed) + "\" expected, found \"" + Shown(v) + "\"";
      return 0;
  }
  return -1;
}

// Where each field of FilingFields() starts in a file without and with the
// annual pages (-1: not in such a file).
struct Offsets {
  std::vector<int> plain, annual;
};

const Offsets& FieldOffsets() {
  static const Offsets offsets = [] {
    Offsets o;
    int plain = 0, annual = 0;
    for (const FilingField& f : FilingFields()) {
      const bool annualPage = FilingPages()[static_cast<std::size_t>(f.page)].annual;
      o.plain.push_back(annualPage ? -1 : plain);
      o.annual.push_back(annual);
      if (!annualPage) plain += f.width;
      annual += f.width;
    }
    return o;
  }();
  return offsets;
}

}  // namespace

std::string AmountAsEuros(const std::string& value) {
  std::int64_t cents = 0;
  if (!AmountCents(value, cents)) return "";
  return (cents == 0 && value[0] == 'N' ? "-" : "") + CentsAsEuros(cents);  // a negative zero shows as one
}

std::string CentsAsEuros(std::int64_t cents) {
  const std::int64_t whole = cents < 0 ? -cents : cents;
  return (cents < 0 ? "-" : "") + std::to_string(whole / 100) + "." + (whole % 100 < 10 ? "0" : "") +
         std::to_string(whole % 100);
}

bool HasAnnualPages(std::string_view bytes) {
  // Where page 04 starts when it is there.
  std::size_t annualAt = 0;
  for (const FilingPage& p : FilingPages()) {
    if (p.annual) break;
    annualAt += static_cast<std::size_t>(p.length);
  }
  const std::size_t full = static_cast<std::size_t>(FilingLength(true));
  const std::size_t plain = static_cast<std::size_t>(FilingLength(false));
  return bytes.size() == full ||
         (bytes.size() != plain && bytes.size() >= annualAt + 11 && bytes.substr(annualAt, 11) == "<T30304000>");
}

int FindField(const char* pageId, FieldSource source, int nth) {
  const std::vector<FilingField>& fields = FilingFields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string_view page = FilingPages()[static_cast<std::size_t>(fields[i].page)].id;
    if (fields[i].source == source && page == pageId && nth-- == 0) return static_cast<int>(i);
  }
  return -1;
}

std::string_view FieldInFile(std::string_view bytes, int index, bool annualPages) {
  // Called for every field of every rule: the tables are looked up once.
  static const std::vector<FilingField>& fields = FilingFields();
  static const Offsets& offsets = FieldOffsets();
  if (index < 0 || static_cast<std::size_t>(index) >= fields.size()) return {};
  const std::size_t i = static_cast<std::size_t>(index);
  const int offset = annualPages ? offsets.annual[i] : offsets.plain[i];
  const std::size_t width = static_cast<std::size_t>(fields[i].width);
  if (offset < 0 || static_cast<std::size_t>(offset) + width > bytes.size()) return {};
  return bytes.substr(static_cast<std::size_t>(offset), width);
}

int FieldOffset(int index, bool annualPages) {
  if (index < 0 || static_cast<std::size_t>(index) >= FilingFields().size()) return -1;
  const std::size_t i = static_cast<std::size_t>(index);
  return annualPages ? FieldOffsets().annual[i] : FieldOffsets().plain[i];
}

bool HasFieldForm(const FilingField& field, std::string_view value) {
  if (value.size() != static_cast<std::size_t>(field.width)) return false;
  if (FirstBad(field, value, field.constant, nullptr) < 0) return true;
  return field.kind == FieldKind::Constant && field.later && FirstBad(field, value, field.later, nullptr) < 0;
}

bool AmountCents(std::string_view value, std::int64_t& cents) {
  if (value.size() != 17) return false;
  const bool negative = value[0] == 'N';
  std::int64_t v = 0;
  for (std::size_t i = negative ? 1 : 0; i < value.size(); ++i) {
    if (value[i] < '0' || value[i] > '9') return false;
    v = v * 10 + (value[i] - '0');
  }
  cents = negative ? -v : v;
  return true;
}

FilingReading ReadFilingText(const std::string& bytes) {
  FilingReading out;
  const std::vector<FilingPage>& pages = FilingPages();
  out.annualPages = HasAnnualPages(bytes);
  const std::size_t expected = static_cast<std::size_t>(FilingLength(out.annualPages));
  if (bytes.size() != expected)
    out.faults.push_back({static_cast<int>(std::min(bytes.size(), expected)) + 1,
                          "file length " + std::to_string(bytes.size()) + ", expected " + std::to_string(expected) +
                              (bytes.size() < expected ? " (the file is cut)" : " (bytes after the closing tag)")});
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == '\r' || bytes[i] == '\n')
      out.faults.push_back({static_cast<int>(i) + 1, bytes[i] == '\r' ? "CR in the file" : "LF in the file"});

  const std::vector<FilingField>& fields = FilingFields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const int offset = out.annualPages ? FieldOffsets().annual[i] : FieldOffsets().plain[i];
    if (offset < 0) continue;
    FieldRead r;
    r.field = &fields[i];
    r.offset = offset;
    if (static_cast<std::size_t>(offset) < bytes.size())
      r.value = bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(fields[i].width));
    r.present = r.value.size() == static_cast<std::size_t>(fields[i].width);
    out.fields.push_back(r);
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
    const int bad = FirstBad(f, r.value, expected, &why);
    if (bad >= 0) out.faults.push_back({r.offset + bad + 1, where + why});
    if (periodKnown && f.source == FieldSource::Year && r.value != year)
      out.faults.push_back({r.offset + 1, where + "year \"" + Shown(r.value) + "\" differs from page 01's " + year});
    if (periodKnown && f.source == FieldSource::PeriodCode && r.value != period)
      out.faults.push_back({r.offset + 1, where + "period \"" + Shown(r.value) + "\" differs from page 01's " + period});
  }
  return out;
}

}  // namespace vat303
