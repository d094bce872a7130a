// The tape calculator. Not built yet: it opens nothing and gives no figure.
#include "screen/calculator.h"

namespace screen {

std::string Calculator() { return std::string(); }

}  // namespace screen
