// The CSV reader and the field codec of kap, in memory. Input: one byte that
// picks the table, then CSV text (UTF-8) whose first row names fields.
// Expectations: rows written back as CSV read back the same; a value a field
// accepts reads back (as kap dump shows it) as a value that the field accepts
// and stores as the very same bytes; any record bytes read as values without
// harm.
#include <cstdint>
#include <string>
#include <vector>

#include "records/layouts.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/kap/kap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto& layouts = records::Layouts();
  const records::TableLayout& table = layouts[data[0] % layouts.size()];
  const std::string text = fuzz::Text(data + 1, size - 1);

  // Damaged record bytes, as a dump of a damaged file shows them.
  std::string raw = text.substr(0, static_cast<std::size_t>(table.recordLength));
  raw.resize(static_cast<std::size_t>(table.recordLength), '\xFF');
  for (const records::FieldLayout& f : table.fields) kap::DecodeField(f, raw);

  std::vector<kap::CsvRow> rows;
  std::string error;
  if (!kap::ParseCsv(text, rows, error)) {
    fuzz::Check(!error.empty(), "a refused CSV without a message");
    return 0;
  }
  std::string again;
  for (const kap::CsvRow& row : rows) again += kap::CsvLine(row.fields);
  std::vector<kap::CsvRow> back;
  fuzz::Check(kap::ParseCsv(again, back, error), "CSV written by kap does not read");
  fuzz::Check(back.size() == rows.size(), "CSV written by kap reads as other rows");
  for (std::size_t r = 0; r < rows.size(); ++r)
    fuzz::Check(back[r].fields == rows[r].fields, "CSV written by kap reads as other values");

  if (rows.empty()) return 0;
  std::vector<const records::FieldLayout*> columns;
  for (const std::string& name : rows[0].fields) columns.push_back(records::FindField(table, name));
  for (std::size_t r = 1; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < columns.size() && c < rows[r].fields.size(); ++c) {
      if (!columns[c]) continue;
      const records::FieldLayout& field = *columns[c];
      std::string record = kap::EmptyRecord(table), reason;
      if (!kap::EncodeField(field, rows[r].fields[c], record, reason)) {
        fuzz::Check(!reason.empty(), "a refused value without a reason");
        continue;
      }
      fuzz::Check(record.size() == static_cast<std::size_t>(table.recordLength), "a value changed the record's length");
      const std::string shown = kap::DecodeField(field, record);
      std::string second = kap::EmptyRecord(table);
      fuzz::Check(kap::EncodeField(field, shown, second, reason), "a dumped value is refused on loading");
      fuzz::Check(second == record, "a dumped value loads as other bytes");
    }
  }
  return 0;
}
