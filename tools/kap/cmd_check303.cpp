// kap check303 DIR --date YYYYMMDD: the outputs of one quarter checked before
// they leave the office. For every agency folder of the quarter (the quarter
// of the date) under DIR: each filing file by the filing rules, the NRC file
// read whole, one request for each filing file that asks for one and no
// other, and the payment map's byte of each owner whose latest filing file
// is there. One line per folder, one per fault; exit code 0 when everything
// holds, 1 when anything fails or the quarter has no folder, 2 for bad usage.
// Reads only.
#include <iostream>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tools/kap/kap.h"
#include "vat303/quarter_check.h"

namespace kap {
namespace {

int Usage(const std::string& why) {
  Error("check303: " + why + ": kap check303 DIR --date YYYYMMDD");
  return 2;
}

}  // namespace

int CmdCheck303(const std::vector<std::string>& args) {
  if (args.size() != 3 || args[1] != "--date") return Usage("the data folder and the date are needed");
  const std::string root = DirArg(args[0]);
  const std::string& date = args[2];
  if (!os::DirExists(root)) return Usage("no such folder " + args[0]);
  if (!IsDateArg(date)) return Usage("not a date: " + date);
  std::string year;
  int quarter = 0;
  vat303::QuarterOfDate(date, year, quarter);
  UseOfficeLanguage(root);

  const std::vector<std::string> folders = vat303::QuarterFolders(root, year, quarter);
  // Nothing to send is not a quarter ready to be sent.
  if (folders.empty()) {
    Error("check303: no agency folder of " + year + " " + std::to_string(quarter) + "T under " + args[0]);
    return 1;
  }
  std::size_t faults = 0;
  for (const std::string& folder : folders) {
    const vat303::FolderCheck check = vat303::CheckAgencyFolder(root, folder, year, quarter);
    const std::string shown = vat303::AgencyAndQuarter(folder);
    std::cout << shown << ": " << check.files << " filing files, " << check.requests << " requests, "
              << check.faults.size() << " faults\n";
    for (const vat303::FolderFault& f : check.faults) {
      std::cout << shown << (f.file.empty() ? "" : "/" + f.file)
                << (f.record > 0 ? " record " + std::to_string(f.record) : "") << ": " << f.rule
                << (f.fields.empty() ? "" : " (" + f.fields + ")") << ": " << Cp850ToUtf8(f.message) << "\n";
    }
    faults += check.faults.size();
  }
  if (faults == 0) return 0;
  Error("check303: " + std::to_string(faults) + " fault(s) in " + year + " " + std::to_string(quarter) + "T");
  return 1;
}

}  // namespace kap
