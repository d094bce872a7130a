#include "tests/vat303/return_fixture.h"

#include <algorithm>

#include "format/iban.h"
#include "format/numbers.h"
#include "format/text.h"
#include "forms/selection.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "records/data_files.h"
#include "records/layouts.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "settings/date_display.h"
#include "tests/records/records_helpers.h"
#include "vat303/driver.h"
#include "vat303/period_totals.h"
#include "vat303/return_state.h"

namespace returntest {

namespace {

void Collect(const std::string& root, const std::string& relative, std::map<std::string, std::string>& out) {
  std::vector<os::DirEntry> entries;
  if (!os::ListDir(root + relative, entries)) return;
  for (const os::DirEntry& e : entries) {
    if (e.isDir) {
      Collect(root, relative + e.name + "/", out);
    } else if (e.name.size() < 4 || e.name.compare(e.name.size() - 4, 4, ".lck") != 0) {
      os::ReadFile(root + relative + e.name, out[relative + e.name]);
    }
  }
}

}  // namespace

std::string PackedDate(const std::string& digits) { return testsupport::Packed(std::stoi(digits.substr(0, 4)), std::stoi(digits.substr(4, 2)), std::stoi(digits.substr(6, 2))); }

std::string PackedOwner(int code) { return recordstest::PackedCode(code); }

void ReturnTest::SetUp() {
  tree = work.path + "tree/";
  tmp = work.path + "tmp/";
  exe = work.path + "exe/";
  ASSERT_EQ(Kap({"init", tree}), 0) << lastKapErrors;
  os::MakeDirs(tmp);
  os::MakeDirs(exe);
  // The stand-in print program keeps the spool it was given.
  os::WriteFile(exe + "ZEDIRIDI", "#!/bin/sh\ncp " + testsupport::ShellQuote(tmp + "zediridi.tmp") + " " + testsupport::ShellQuote(exe + "printed.tmp") + "\n");
  os::RunShell("chmod +x " + testsupport::ShellQuote(exe + "ZEDIRIDI"));

  settings::ResetConfigForTests();
  settings::ResetCatalogueForTests();
  settings::ResetDateDisplayForTests();
  format::ResetNumbersForTests();
  format::ResetTextForTests();
  forms::ResetSelectionForTests();
  vat303::ResetReturnStateForTests();
  vat303::KnownTerritories.clear();
  settings::DataRoot = tree;
  settings::TmpDir = tmp;
  settings::TermDir = tmp;
  settings::ExeDir = exe;
  settings::Idioma = "CAT";
  settings::OutputSetting = "PDF";
  format::SetCurrency("a,E");
  os::ClearFixedNow();
}

void ReturnTest::TearDown() {
  CloseFiles();
  os::ClearFixedNow();
}

int ReturnTest::Kap(const std::vector<std::string>& args) {
  std::string line = testsupport::ShellQuote(testsupport::BinDir() + "kap");
  for (const std::string& a : args) line += " " + testsupport::ShellQuote(a);
  line += " >" + testsupport::ShellQuote(work.path + "kap.out") + " 2>" + testsupport::ShellQuote(work.path + "kap.err");
  const int code = os::RunShell(line);
  os::ReadFile(work.path + "kap.out", lastKapOutput);
  os::ReadFile(work.path + "kap.err", lastKapErrors);
  return code;
}

void ReturnTest::LoadTable(const std::string& table) {
  ASSERT_EQ(Kap({"load", tree, table, TestsDir() + "data/" + table + ".csv"}), 0)
      << lastKapErrors;
}

void ReturnTest::LoadText(const std::string& table, const std::string& csv) {
  const std::string file = work.path + table + ".csv";
  os::WriteFile(file, csv);
  ASSERT_EQ(Kap({"load", tree, table, file}), 0) << lastKapErrors;
}

void ReturnTest::InsertRaw(const std::string& table, const std::vector<std::string>& recordsToAdd) {
  const records::TableLayout* layout = records::FindLayout(table);
  ASSERT_NE(layout, nullptr);
  const std::string path = tree + layout->folder + "/" + layout->baseName + ".dat";
  ASSERT_EQ(recordstest::InsertRecords(path, records::CreateSpec(*layout), recordsToAdd), 0);
}

void ReturnTest::OpenFiles() { records::OpenDataFiles(); }

void ReturnTest::CloseFiles() {
  int status = 0;
  records::BtrCloseAll(status);
}

void ReturnTest::Select(const std::string& mode, const std::string& date, int from, int to,
                        const std::string& payment, bool annual) {
  forms::SelMode = mode;
  forms::SelDate = PackedDate(date);
  forms::SelFrom = PackedOwner(from);
  forms::SelTo = PackedOwner(to);
  forms::SelPayment = payment;
  forms::SelAnnual = annual;
  forms::PresTown = "GIRONA";
  forms::PresAccount = "ES0021000418450200051332";
  format::CheckIban(forms::PresAccount);
}

int ReturnTest::Run() {
  testing::internal::CaptureStderr();
  const int code = vat303::RunReturn(vat303::RunPresentation::Batch);
  testing::internal::GetCapturedStderr();
  messages = vat303::ShownMessages();
  return code;
}

std::map<std::string, std::string> ReturnTest::Outputs() {
  std::map<std::string, std::string> out;
  for (const char* agency : {"ATC", "AEAT", "DFA", "DFG", "DFB", "DFN", "ATIC", "ATA", "ATF"})
    Collect(tree, std::string(agency) + "/", out);
  if (os::FileExists(tree + "DADES/V303.MAP")) os::ReadFile(tree + "DADES/V303.MAP", out["DADES/V303.MAP"]);
  return out;
}

std::string ReturnTest::Read(const std::string& relative) {
  std::string bytes;
  os::ReadFile(tree + relative, bytes);
  return bytes;
}

bool ReturnTest::PrintProgramRan() { return os::FileExists(exe + "printed.tmp"); }

}  // namespace returntest
