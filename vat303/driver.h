// One run of the return for an accepted declaration selection, shared by the
// interactive driver and the batch run.
#pragma once

#include <string>

#include "vat303/run_messages.h"

namespace vat303 {

// Runs the return for forms::SelMode ... forms::PresAccount over every
// territory: in "S" mode the filing files, NRC requests and the payment map
// of each territory's agency directory; otherwise the owner report. Opens
// and closes the print spool (settings::OutputSetting) and then starts
// settings::ExeDir + "ZEDIRIDI" and waits for it. The record files must be
// open. Every failure is shown to the operator (message boxes on the screen,
// lines on standard error in a batch run).
// Returns 0 when the run finished, 1 when it could not run or stopped
// (a record file that cannot be read, a directory or file that cannot be
// written, a damaged NRC file).
int RunReturn(RunPresentation how);

// The return driver of the interactive program: shows block 1 of the form
// until the operator leaves it with Esc, and runs the return every time the
// block is accepted.
void ReturnDriver();

// The agency directory of a territory code (0-8), "" for any other code.
std::string AgencyDir(int territoryCode);

}  // namespace vat303
