// stress_helper COMMAND ARGS...: see stress.h and scripts/stress.
#include <iostream>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "records/data_files.h"
#include "settings/config.h"
#include "tests/tools/stress/stress.h"

namespace stress {

void OpenData(const std::string& dir) {
  settings::DataRoot = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  settings::TmpDir = settings::DataRoot;
  settings::ExeDir = settings::DataRoot;
  settings::Idioma = "CAT";
  records::OpenDataFiles();
}

bool StopAsked(const std::string& stopFile) { return os::FileExists(stopFile); }

void Fail(const std::string& what) { std::cerr << "stress_helper: " << what << std::endl; }

}  // namespace stress

int main(int argc, char** argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  const std::string command = all.empty() ? "" : all[0];
  const std::vector<std::string> args(all.empty() ? all.end() : all.begin() + 1, all.end());
  if (command == "churn" && args.size() >= 5) return stress::Churn(args);
  if (command == "owners" && args.size() == 2) return stress::OwnerReads(args);
  if (command == "nrc-list" && args.size() == 3) return stress::NrcListing(args);
  if (command == "unlocked" && !args.empty()) return stress::LocksFree(args);
  std::cerr << "usage: stress_helper churn DIR FROM TO STOPFILE NRCFILE...\n"
               "       stress_helper owners DIR STOPFILE\n"
               "       stress_helper nrc-list FILE YEAR PERIOD\n"
               "       stress_helper unlocked DIR AGENCYDIR...\n";
  return 2;
}
