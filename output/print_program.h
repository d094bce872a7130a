// The print program: ExeDir + "ZEDIRIDI", started on the spool once it is
// closed, and what it answered.
#pragma once

#include <string>

namespace output {

// The print program's exit code when the spool holds no page: nothing was
// made, and the earlier report was left as it was.
constexpr int kNothingToPrint = 3;

struct PrintRun {
  int code = -1;       // its exit code; -1 when it could not be started
  std::string reason;  // what it said on standard error (CP850, one line), "" for nothing
};

// ExeDir + "ZEDIRIDI".
std::string PrintProgramPath();

// Starts the print program and waits for it. It is told the spool's folder
// (KAPTMP: TmpDir, or the current folder when TmpDir is empty, made
// absolute), since it runs in the data root and reads its own settings.
// Nothing it says reaches the terminal: its standard error is kept in
// TmpDir + "zediridi.err" (replaced whole; removed when it said nothing).
PrintRun RunPrintProgram();

}  // namespace output
