#include "app/main_flow.h"

namespace app {

int MainFlow() { return 0; }

}  // namespace app
