// Record layouts of the seven data files: fields, keys, the create
// definition and the creation templates ("ddf\<base>.xdf").
#pragma once

#include <string>
#include <vector>

namespace records {

enum class FieldType {
  Packed,  // packed digits, two a byte; `digits` digits in `width` bytes
  Date,    // packed date, 4 bytes
  Int32,   // signed little-endian
  Int16,   // signed little-endian
  Byte,    // one unsigned binary byte
  Text     // CP850, blank-padded
};

struct FieldLayout {
  std::string name;
  int offset = 0;
  FieldType type = FieldType::Text;
  int width = 0;  // bytes in the record
};

// Key segment flags of the create definition.
constexpr int kKeyDuplicates = 0x0001;
constexpr int kKeyModifiable = 0x0002;
constexpr int kKeyBinary = 0x0004;
constexpr int kKeySegmented = 0x0010;
constexpr int kKeyAlternate = 0x0020;

struct KeySegment {
  int offset = 0;  // 0-based in the record
  int length = 0;
  int flags = 0;   // without kKeySegmented (added between segments)
};

struct KeyLayout {
  std::vector<KeySegment> segments;
};

struct TableLayout {
  std::string baseName;     // "VPropiet"
  std::string folder;       // "DADES" or "TAULES"
  int fileNumber = 0;
  int recordLength = 0;
  int pageSize = 4096;
  std::vector<FieldLayout> fields;
  std::vector<KeyLayout> keys;
};

// The seven files in the order the program opens them.
const std::vector<TableLayout>& Layouts();
// By base name (exact spelling); nullptr when unknown.
const TableLayout* FindLayout(const std::string& baseName);
const FieldLayout* FindField(const TableLayout& table, const std::string& name);
// "DADES\VPropiet"
std::string LogicalName(const TableLayout& table);
// Key length in bytes.
int KeyLength(const KeyLayout& key);

// Sort weights that fold case and the accents of CP850 (256 bytes).
std::string FoldingSequence();
// Create definition: file definition, key definitions and, when a
// segment uses it, the alternate collating sequence.
std::string CreateSpec(const TableLayout& table);
// Template file contents: 2-byte length then the create definition.
std::string TemplateBytes(const TableLayout& table);
// Writes every template into `ddfDir` (a folder ending with a separator).
bool WriteTemplates(const std::string& ddfDir);

}  // namespace records
