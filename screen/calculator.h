// The tape calculator opened by Alt+X.
#pragma once

#include <string>

namespace screen {

// Runs the calculator; the figure taken (as typed characters) or "".
std::string Calculator();

}  // namespace screen
