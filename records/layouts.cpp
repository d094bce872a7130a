// The record layouts of the data files and the templates built from them.
#include "records/layouts.h"

#include "platform/os/os.h"

namespace records {
namespace {

using T = FieldType;

FieldLayout F(const char* name, int offset, FieldType type, int width) {
  return {name, offset, type, width};
}

std::vector<TableLayout> BuildLayouts() {
  std::vector<TableLayout> all;
  all.push_back({"VPropiet", "DADES", 6, 826, 4096,
                 {F("OwnerCode", 0, T::Packed, 2), F("OwnerName", 2, T::Text, 40),
                  F("OwnerAccount", 216, T::Text, 34), F("OwnerStatus", 716, T::Byte, 1),
                  F("RegimeDate", 717, T::Date, 4), F("RegimeCode", 735, T::Text, 1),
                  F("OwnerTaxId", 809, T::Text, 17)},
                 {{{{0, 2, 0}}},
                  {{{2, 40, kKeyDuplicates | kKeyModifiable | kKeyAlternate}}}}});
  all.push_back({"UFiscal", "DADES", 162, 203, 4096,
                 {F("FiscalName", 14, T::Text, 40), F("FiscalTaxId", 186, T::Text, 17)},
                 {{{{186, 17, 0}}}}});
  all.push_back({"UHisenda", "TAULES", 163, 64, 4096,
                 {F("OfficeCode", 0, T::Packed, 2), F("OfficeName", 2, T::Text, 40)},
                 {{{{0, 2, 0}}}}});
  all.push_back({"VGrups", "DADES", 7, 64, 4096,
                 {F("GroupCode", 0, T::Packed, 4), F("GroupName", 4, T::Text, 40),
                  F("GroupTerritory", 49, T::Packed, 1)},
                 {{{{0, 4, 0}}}}});
  all.push_back({"VCapPeri", "DADES", 30, 107, 4096,
                 {F("PeriodGroup", 0, T::Packed, 4), F("PeriodKeyDate", 4, T::Date, 4),
                  F("BaseB", 8, T::Int32, 4), F("RateB", 12, T::Int16, 2),
                  F("QuotaB", 14, T::Int32, 4), F("BaseA", 18, T::Int32, 4),
                  F("RateA", 22, T::Int16, 2), F("QuotaA", 24, T::Int32, 4),
                  F("InputVat", 28, T::Int32, 4), F("ProrataPct", 32, T::Byte, 1),
                  F("DeductibleQuota", 33, T::Int32, 4), F("CompensationAmt", 37, T::Int32, 4),
                  F("Balance", 41, T::Int32, 4), F("DeductibleBase", 45, T::Int32, 4),
                  F("Regularisation", 49, T::Int32, 4), F("BaseC", 81, T::Int32, 4),
                  F("RateC", 85, T::Int16, 2), F("QuotaC", 87, T::Int32, 4),
                  F("CashAmount1", 91, T::Int32, 4), F("CashAmount2", 95, T::Int32, 4),
                  F("CashAmount3", 99, T::Int32, 4), F("CashAmount4", 103, T::Int32, 4)},
                 {{{{0, 4, 0}, {4, 4, 0}}}}});
  all.push_back({"VLinPeri", "DADES", 31, 64, 4096,
                 {F("LineGroup", 0, T::Packed, 4), F("LineDate", 4, T::Date, 4),
                  F("LineNumber", 8, T::Packed, 2), F("LineText", 10, T::Text, 40),
                  F("LineAmount", 50, T::Int32, 4)},
                 {{{{0, 4, 0}, {4, 4, 0}, {8, 2, 0}}}}});
  all.push_back({"UTerrito", "TAULES", 270, 32, 4096,
                 {F("TerritoryCode", 0, T::Packed, 1), F("TerritoryName", 1, T::Text, 10)},
                 {{{{0, 1, 0}}}}});
  return all;
}

void Put16(std::string& out, int value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

// CP850 letters with their base letter.
struct Fold {
  unsigned char byte;
  char base;
};
constexpr Fold kFolds[] = {
    {0x80, 'C'}, {0x81, 'U'}, {0x82, 'E'}, {0x83, 'A'}, {0x84, 'A'}, {0x85, 'A'}, {0x86, 'A'},
    {0x87, 'C'}, {0x88, 'E'}, {0x89, 'E'}, {0x8A, 'E'}, {0x8B, 'I'}, {0x8C, 'I'}, {0x8D, 'I'},
    {0x8E, 'A'}, {0x8F, 'A'}, {0x90, 'E'}, {0x93, 'O'}, {0x94, 'O'}, {0x95, 'O'}, {0x96, 'U'},
    {0x97, 'U'}, {0x98, 'Y'}, {0x99, 'O'}, {0x9A, 'U'}, {0x9B, 'O'}, {0x9D, 'O'}, {0xA0, 'A'},
    {0xA1, 'I'}, {0xA2, 'O'}, {0xA3, 'U'}, {0xA4, 'N'}, {0xA5, 'N'}, {0xB5, 'A'}, {0xB6, 'A'},
    {0xB7, 'A'}, {0xC6, 'A'}, {0xC7, 'A'}, {0xD2, 'E'}, {0xD3, 'E'}, {0xD4, 'E'}, {0xD6, 'I'},
    {0xD7, 'I'}, {0xD8, 'I'}, {0xDE, 'I'}, {0xE0, 'O'}, {0xE2, 'O'}, {0xE3, 'O'}, {0xE4, 'O'},
    {0xE5, 'O'}, {0xE9, 'U'}, {0xEA, 'U'}, {0xEB, 'U'}, {0xEC, 'Y'}, {0xED, 'Y'},
};

bool UsesAlternate(const TableLayout& table) {
  for (const KeyLayout& key : table.keys)
    for (const KeySegment& segment : key.segments)
      if (segment.flags & kKeyAlternate) return true;
  return false;
}

}  // namespace

const std::vector<TableLayout>& Layouts() {
  static const std::vector<TableLayout> all = BuildLayouts();
  return all;
}

const TableLayout* FindLayout(const std::string& baseName) {
  for (const TableLayout& table : Layouts())
    if (table.baseName == baseName) return &table;
  return nullptr;
}

const FieldLayout* FindField(const TableLayout& table, const std::string& name) {
  for (const FieldLayout& field : table.fields)
    if (field.name == name) return &field;
  return nullptr;
}

std::string LogicalName(const TableLayout& table) { return table.folder + "\\" + table.baseName; }

int KeyLength(const KeyLayout& key) {
  int length = 0;
  for (const KeySegment& segment : key.segments) length += segment.length;
  return length;
}

std::string FoldingSequence() {
  std::string table(256, '\0');
  for (int c = 0; c < 256; ++c) table[static_cast<std::size_t>(c)] = static_cast<char>(c);
  for (int c = 'a'; c <= 'z'; ++c) table[static_cast<std::size_t>(c)] = static_cast<char>(c - 32);
  for (const Fold& f : kFolds) table[f.byte] = f.base;
  return table;
}

std::string CreateSpec(const TableLayout& table) {
  std::string spec;
  Put16(spec, table.recordLength);
  Put16(spec, table.pageSize);
  Put16(spec, static_cast<int>(table.keys.size()));
  spec.append(10, '\0');  // record count, file flags, reserved
  for (const KeyLayout& key : table.keys) {
    for (std::size_t i = 0; i < key.segments.size(); ++i) {
      const KeySegment& segment = key.segments[i];
      int flags = segment.flags;
      if (i + 1 < key.segments.size()) flags |= kKeySegmented;
      Put16(spec, segment.offset + 1);
      Put16(spec, segment.length);
      Put16(spec, flags);
      spec.append(10, '\0');  // unique values, extended type, null value, reserved
    }
  }
  if (UsesAlternate(table)) {
    spec += '\xAC';
    spec += "KOVAFOLD";
    spec += FoldingSequence();
  }
  return spec;
}

std::string TemplateBytes(const TableLayout& table) {
  std::string spec = CreateSpec(table);
  std::string bytes;
  Put16(bytes, static_cast<int>(spec.size()));
  return bytes + spec;
}

bool WriteTemplates(const std::string& ddfDir) {
  if (!os::MakeDirs(ddfDir)) return false;
  for (const TableLayout& table : Layouts())
    if (!os::WriteFileAtomic(ddfDir + table.baseName + ".xdf", TemplateBytes(table))) return false;
  return true;
}

}  // namespace records
