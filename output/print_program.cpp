// Starting the print program with the spool's folder, its standard error
// kept for the operator.
#include "output/print_program.h"

#include <string>

#include "output/paths.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "settings/config.h"

namespace output {

std::string PrintProgramPath() { return settings::ExeDir + "ZEDIRIDI"; }

PrintRun RunPrintProgram() {
  const std::string folder = FullPath(settings::TmpDir);
  const std::string errors = settings::TmpDir + "zediridi.err";
  // Its own name first, so that a second terminal on the same folder or a
  // crash never leaves a half-written zediridi.err.
  const std::string said = errors + "." + std::to_string(os::ProcessId()) + ".tmp";

  PrintRun run;
  run.code = os::RunProgramQuietly(PrintProgramPath(), {}, {"KAPTMP=" + os::HostPath(folder)}, said);
  std::string text;
  os::ReadFile(said, text);
  console::Utf8ToCp850(text, run.reason);
  for (char& c : run.reason)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  run.reason.erase(0, run.reason.find_first_not_of(' '));
  run.reason.erase(run.reason.find_last_not_of(' ') + 1);
  if (run.reason.empty() || !os::RenameFile(said, errors)) {
    os::DeleteFile(said);
    if (run.reason.empty()) os::DeleteFile(errors);  // an earlier message is not this run's
  }
  return run;
}

}  // namespace output
