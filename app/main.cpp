// ruvoz303: the interactive program.
#include "app/main_flow.h"

int main() { return app::MainFlow(); }
