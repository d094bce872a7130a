// kap load through the real command on a real record file. Input: one byte
// (the table, and with its top bit --replace), then the CSV file.
// Expectations: a load that fails leaves the file's records as they were; one
// that succeeds adds (or, with --replace, leaves exactly) the rows given.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "records/layouts.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/kap/kap.h"

namespace {

std::string Dir() { return fuzz::WorkDir() + "tree/"; }

std::vector<std::string> Records(const records::TableLayout& table) {
  kap::RecordFile file;
  fuzz::Check(kap::OpenTable(Dir(), table, file) == 0, "the record file does not open");
  std::vector<std::string> all;
  fuzz::Check(kap::ReadAll(file, all) == 0, "the record file does not read");
  kap::CloseTable(file);
  return all;
}

// A fresh empty file for the table.
void Renew(const records::TableLayout& table) {
  const std::string path = kap::TablePath(Dir(), table);
  for (const char* end : {"", "-wal", "-shm"}) os::DeleteFile(path + end);
  fuzz::Check(kap::CreateTable(Dir(), table) == 0, "the record file cannot be made");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::SilenceStreams();
  for (const records::TableLayout& table : records::Layouts()) Renew(table);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto& layouts = records::Layouts();
  const records::TableLayout& table = layouts[(data[0] & 0x7F) % layouts.size()];
  const bool replace = (data[0] & 0x80) != 0;
  const std::string csv = fuzz::WorkDir() + "load.csv";
  fuzz::PutFile(csv, fuzz::Text(data + 1, size - 1));

  const std::vector<std::string> before = Records(table);
  std::vector<std::string> args = {Dir(), table.baseName, csv};
  if (replace) args.push_back("--replace");
  const int rc = kap::CmdLoad(args);
  const std::vector<std::string> after = Records(table);
  if (rc != 0) {
    fuzz::Check(after == before, "a failed load changed the file");
    return 0;
  }
  std::vector<kap::CsvRow> rows;
  std::string error;
  fuzz::Check(kap::ParseCsv(fuzz::Text(data + 1, size - 1), rows, error) && !rows.empty(), "a load of no CSV");
  fuzz::Check(after.size() == (replace ? 0 : before.size()) + rows.size() - 1, "a load lost or made up records");
  // Keep the file small for the next input.
  if (after.size() > 50) Renew(table);
  return 0;
}
