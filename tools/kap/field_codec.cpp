// CSV values <-> record bytes, with the checks of each field type.
#include <cstdint>
#include <cstring>

#include "tools/kap/kap.h"

namespace kap {
namespace {

using records::FieldLayout;
using records::FieldType;

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Digits right-aligned in width*2 digits, two a byte (0x80 + value).
std::string Pack(const std::string& digits, int bytes) {
  std::string padded(static_cast<std::size_t>(bytes) * 2 - digits.size(), '0');
  padded += digits;
  std::string out;
  for (int b = 0; b < bytes; ++b) {
    int value = (padded[2 * b] - '0') * 10 + (padded[2 * b + 1] - '0');
    out += static_cast<char>(0x80 + value);
  }
  return out;
}

std::string Unpack(const std::string& packed) {
  std::string out;
  for (unsigned char c : packed) {
    int value = (c & 0x7F) % 100;
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
  }
  return out;
}

bool ValidDate(const std::string& d) {
  int year = std::stoi(d.substr(0, 4));
  int month = std::stoi(d.substr(4, 2));
  int day = std::stoi(d.substr(6, 2));
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int length = lengths[month - 1];
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && leap) length = 29;
  return day <= length;
}

bool ParseInteger(const std::string& value, long long low, long long high, long long& out) {
  std::string digits = value;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.erase(0, 1);
  }
  if (!AllDigits(digits) || digits.size() > 12) return false;
  long long v = std::stoll(digits);
  if (negative) v = -v;
  if (v < low || v > high) return false;
  out = v;
  return true;
}

void PutLittle(std::string& record, int offset, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    record[static_cast<std::size_t>(offset + i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t GetLittle(const std::string& record, int offset, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(record[static_cast<std::size_t>(offset + i)]))
         << (8 * i);
  return v;
}

// Fields whose values have a narrower meaning than their type allows.
struct Range {
  const char* field;
  long long low, high;
};
constexpr Range kRanges[] = {{"OwnerCode", 1, 9999}, {"ProrataPct", 0, 100}};

bool InRange(const FieldLayout& field, long long value, std::string& reason) {
  for (const Range& r : kRanges) {
    if (field.name == r.field && (value < r.low || value > r.high)) {
      reason = "must lie between " + std::to_string(r.low) + " and " + std::to_string(r.high) +
               ", got " + std::to_string(value);
      return false;
    }
  }
  return true;
}

}  // namespace

bool EncodeField(const FieldLayout& field, const std::string& value, std::string& record,
                 std::string& reason) {
  const std::size_t at = static_cast<std::size_t>(field.offset);
  const std::size_t width = static_cast<std::size_t>(field.width);
  switch (field.type) {
    case FieldType::Packed: {
      std::size_t digits = width * 2;
      std::string v = value.empty() ? "0" : value;
      if (!AllDigits(v) || v.size() > digits) {
        reason = "expected up to " + std::to_string(digits) + " digits, got \"" + value + "\"";
        return false;
      }
      if (!InRange(field, std::stoll(v), reason)) return false;
      record.replace(at, width, Pack(v, field.width));
      return true;
    }
    case FieldType::Date: {
      if (value.empty()) {
        record.replace(at, width, Pack("0", 4));
        return true;
      }
      if (value.size() != 8 || !AllDigits(value) || !ValidDate(value)) {
        reason = "expected a date YYYYMMDD or nothing, got \"" + value + "\"";
        return false;
      }
      record.replace(at, width, Pack(value, 4));
      return true;
    }
    case FieldType::Int32:
    case FieldType::Int16:
    case FieldType::Byte: {
      long long low = field.type == FieldType::Int32 ? INT32_MIN : field.type == FieldType::Int16 ? INT16_MIN : 0;
      long long high = field.type == FieldType::Int32 ? INT32_MAX : field.type == FieldType::Int16 ? INT16_MAX : 255;
      long long v = 0;
      if (!value.empty() && !ParseInteger(value, low, high, v)) {
        reason = "expected a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ", got \"" + value + "\"";
        return false;
      }
      if (!InRange(field, v, reason)) return false;
      PutLittle(record, field.offset, static_cast<std::uint32_t>(v), field.width);
      return true;
    }
    case FieldType::Text: {
      std::string bytes;
      if (!Utf8ToCp850(value, bytes)) {
        reason = "text not representable in code page 850: \"" + value + "\"";
        return false;
      }
      for (unsigned char c : bytes) {
        if (c < 0x20 || c == 0x7F) {
          reason = "control character in text";
          return false;
        }
      }
      if (bytes.size() > width) {
        reason = "text longer than " + std::to_string(width) + " characters: \"" + value + "\"";
        return false;
      }
      bytes.resize(width, ' ');
      record.replace(at, width, bytes);
      return true;
    }
  }
  return false;
}

std::string DecodeField(const FieldLayout& field, const std::string& record) {
  const std::string bytes = record.substr(static_cast<std::size_t>(field.offset),
                                          static_cast<std::size_t>(field.width));
  switch (field.type) {
    case FieldType::Packed: return Unpack(bytes);
    case FieldType::Date: {
      std::string d = Unpack(bytes);
      return d == "00000000" ? "" : d;
    }
    case FieldType::Int32: return std::to_string(static_cast<std::int32_t>(GetLittle(record, field.offset, 4)));
    case FieldType::Int16: return std::to_string(static_cast<std::int16_t>(GetLittle(record, field.offset, 2)));
    case FieldType::Byte: return std::to_string(GetLittle(record, field.offset, 1));
    case FieldType::Text: {
      std::string t = bytes;
      while (!t.empty() && (t.back() == ' ' || t.back() == '\0')) t.pop_back();
      for (char& c : t)
        if (c == '\0') c = ' ';
      return Cp850ToUtf8(t);
    }
  }
  return "";
}

std::string EmptyRecord(const records::TableLayout& table) {
  std::string record(static_cast<std::size_t>(table.recordLength), '\0');
  for (const FieldLayout& field : table.fields) {
    char fill = '\0';
    if (field.type == FieldType::Packed || field.type == FieldType::Date) fill = '\x80';
    if (field.type == FieldType::Text) fill = ' ';
    record.replace(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width),
                   static_cast<std::size_t>(field.width), fill);
  }
  return record;
}

std::vector<const FieldLayout*> KeyFields(const records::TableLayout& table, int key) {
  std::vector<const FieldLayout*> out;
  for (const records::KeySegment& segment : table.keys[static_cast<std::size_t>(key)].segments)
    for (const FieldLayout& field : table.fields)
      if (field.offset == segment.offset && field.width == segment.length) out.push_back(&field);
  return out;
}

std::string RecordKey(const records::TableLayout& table, int key, const std::string& record) {
  std::string out;
  for (const records::KeySegment& segment : table.keys[static_cast<std::size_t>(key)].segments)
    out += record.substr(static_cast<std::size_t>(segment.offset), static_cast<std::size_t>(segment.length));
  return out;
}

}  // namespace kap
