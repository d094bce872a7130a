// The program's main routine: set-up, form, record files, return driver, end.
#pragma once

namespace app {

// Runs the whole program and returns the exit code.
int MainFlow();

}  // namespace app
