// Help topics: kept readable in the installation files as UTF-8 text lines
// ("AJUDA/<topic>.HLP.txt"), laid out by kap init as the help viewer reads
// them: fixed records of 80 CP850 bytes, no line ends. In the text, "{h}",
// "{u}" and "{r}" switch highlight, underline and reverse on and off (the
// bytes 30, 31 and 16 of the record).
#include <string>

#include "tools/kap/kap.h"

namespace kap {

bool HelpRecords(const std::string& utf8, std::string& records, std::string& error) {
  constexpr std::size_t kRecord = 80;
  records.clear();
  std::size_t start = 0;
  int lineNumber = 0;
  while (start < utf8.size()) {
    std::size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string converted;
    if (!Utf8ToCp850(line, converted)) {
      error = "line " + std::to_string(lineNumber) + ": text not representable in code page 850";
      return false;
    }
    std::string record;
    for (std::size_t i = 0; i < converted.size(); ++i) {
      if (converted.compare(i, 3, "{h}") == 0 || converted.compare(i, 3, "{u}") == 0 ||
          converted.compare(i, 3, "{r}") == 0) {
        record += converted[i + 1] == 'h' ? '\x1E' : (converted[i + 1] == 'u' ? '\x1F' : '\x10');
        i += 2;
      } else {
        record += converted[i];
      }
    }
    if (record.size() > kRecord) {
      error = "line " + std::to_string(lineNumber) + ": longer than 80 characters";
      return false;
    }
    record.resize(kRecord, ' ');
    records += record;
  }
  return true;
}

}  // namespace kap
