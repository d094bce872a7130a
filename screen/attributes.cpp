// The five display attribute slots and the stack of saved slots.
#include <string>

#include "settings/config.h"
#include "format/text.h"
#include "platform/console/console.h"
#include "screen/windows.h"

namespace screen {
namespace {

int g_slot = 0;
std::string g_stack;  // one byte per saved slot, last on top

void ApplySlot(int slot) {
  g_slot = slot;
  console::SetTextAttribute(static_cast<std::uint8_t>(SlotAttribute(slot)));
}

}  // namespace

int SlotAttribute(int slot) {
  if (slot < 0 || slot > 4) slot = 0;
  const int fg = settings::ColorPairs[0][slot] & 15;
  const int bg = settings::ColorPairs[1][slot] & 15;
  return fg + 16 * bg;
}

void SetAttr(const std::string& code) {
  if (format::IsAllChar(code, 32)) return;
  std::string upper = code;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  auto contains = [&](char c) { return upper.find(c) != std::string::npos; };
  if (contains('+')) g_stack += static_cast<char>(g_slot);
  int slot;
  if (contains('-')) {
    if (g_stack.empty()) {
      slot = 0;
    } else {
      slot = static_cast<unsigned char>(g_stack.back());
      g_stack.pop_back();
    }
  } else if (contains('U')) {
    slot = 4;
  } else {
    slot = (contains('R') ? 2 : 0) + (contains('N') ? 1 : 0);
  }
  ApplySlot(slot);
}

int AttrSlot() { return g_slot; }
int AttrDepth() { return static_cast<int>(g_stack.size()); }

void ResetAttributesForTests() {
  g_slot = 0;
  g_stack.clear();
}

}  // namespace screen
