// Terminal back end (being written).
#include "platform/console/console_internal.h"

namespace console::detail {
bool TerminalStart() { return false; }
void TerminalStop() {}
bool TerminalActive() { return false; }
void TerminalRefresh() {}
void TerminalReadInput(int) {}
void TerminalFlushInput() {}
void TerminalBeep() {}
void TerminalSetMouse(bool) {}
void TerminalCursorChanged() {}
}  // namespace console::detail
