// Lock modes with their save-and-restore stack, and closing every file.
#include <cctype>
#include <cstring>

#include "records/btr.h"
#include "records/open_file_table.h"

namespace records {

void BtrLockMode(int fileNumber, const std::string& commands, int& status) {
  int index = detail::FindEntry(fileNumber);
  if (index == 0) {
    status = 3;
    return;
  }
  status = 0;
  detail::FileEntry& entry = detail::Entry(index);
  std::string& stack = detail::LockModeStack();
  for (char c : commands) {
    switch (std::toupper(static_cast<unsigned char>(c))) {
      case 'D': entry.lockMode = 0; break;
      case 'A': entry.lockMode = 1; break;
      case 'B': entry.lockMode = 2; break;
      case '+':
        stack += static_cast<char>(index);
        stack += static_cast<char>(entry.lockMode);
        break;
      case '-':
        for (std::size_t at = stack.size(); at >= 2; at -= 2) {
          if (static_cast<unsigned char>(stack[at - 2]) == index) {
            entry.lockMode = static_cast<unsigned char>(stack[at - 1]);
            stack.erase(at - 2, 2);
            break;
          }
        }
        break;
      default: break;
    }
  }
}

void BtrCloseAll(int& status) {
  detail::FileEntry& scratch = detail::Entry(0);
  std::memset(scratch.positionBlock, ' ', sizeof scratch.positionBlock);
  std::uint32_t length = 0;
  unsigned char data[1] = {};
  unsigned char key[1] = {};
  status = recman::BTRCALL(28, scratch.positionBlock, data, &length, key, 0, 0);
  std::memset(scratch.positionBlock, 0, sizeof scratch.positionBlock);
  if (status != 0) return;
  for (int i = 1; i <= detail::kTableSize; ++i) detail::ClearEntry(detail::Entry(i));
  // Saved modes name entries that no longer exist.
  detail::LockModeStack().clear();
}

}  // namespace records
