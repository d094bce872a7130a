// kap run303 without KAPTMP: the run's settings come from DIR, but its spool
// goes into a folder of its own, so that two runs on one data folder at once
// never write one spool. The report keeps its place: the output setting's
// default file (in DIR) is named in full before the folder changes.
#include <string>

#include "output/paths.h"
#include "output/print_device.h"
#include "platform/os/os.h"
#include "settings/config.h"
#include "tools/kap/kap.h"

namespace kap {

std::string UseOwnSpoolFolder() {
  const std::string folder = os::MakeTempDir("kap-run303.");
  if (folder.empty()) return "";  // the spool stays in DIR, as it would with KAPTMP=DIR
  const output::PrintTarget target = output::PrintDestination(settings::OutputSetting);
  if (target.kind == output::PrintKind::Pdf) settings::OutputSetting = "PDF:" + target.path;
  if (target.kind == output::PrintKind::Text) settings::OutputSetting = "TXT:" + target.path;
  settings::TmpDir = folder;
  return folder;
}

void RemoveOwnSpoolFolder(const std::string& folder) {
  if (!folder.empty()) output::RemovePath(folder);
}

}  // namespace kap
