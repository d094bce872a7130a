// Comma-separated values with the quoting of RFC 4180.
#include "tools/kap/kap.h"

namespace kap {

bool ParseCsv(const std::string& text, std::vector<CsvRow>& rows, std::string& error) {
  rows.clear();
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;  // byte-order mark
  int line = 1;
  while (i < n) {
    CsvRow row;
    row.line = line;
    for (;;) {
      std::string field;
      if (i < n && text[i] == '"') {
        ++i;
        for (;;) {
          if (i >= n) {
            error = "line " + std::to_string(row.line) + ": quoted value not closed";
            return false;
          }
          char c = text[i++];
          if (c == '"') {
            if (i < n && text[i] == '"') {
              field += '"';
              ++i;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          field += c;
        }
        if (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
          error = "line " + std::to_string(line) + ": text after a closing quote";
          return false;
        }
      } else {
        while (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
          if (text[i] == '"') {
            error = "line " + std::to_string(line) + ": quote inside an unquoted value";
            return false;
          }
          field += text[i++];
        }
      }
      row.fields.push_back(field);
      if (i < n && text[i] == ',') {
        ++i;
        continue;
      }
      break;
    }
    if (i < n && text[i] == '\r') ++i;
    if (i < n && text[i] == '\n') ++i;
    ++line;
    // A line with nothing on it is not a row.
    if (!(row.fields.size() == 1 && row.fields[0].empty())) rows.push_back(row);
  }
  return true;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string out;
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (k) out += ',';
    const std::string& f = fields[k];
    // A value that starts with the byte-order mark is quoted too: at the start
    // of a file the reader would take the mark for the file's own.
    bool quote = f.find_first_of(",\"\r\n") != std::string::npos ||
                 (!f.empty() && (f.front() == ' ' || f.back() == ' ')) || f.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (!quote) {
      out += f;
      continue;
    }
    out += '"';
    for (char c : f) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  out += '\n';
  return out;
}

}  // namespace kap
