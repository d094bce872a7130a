// Keyboard and mouse input, the key map, and the calendar pop-up.
#pragma once

#include <string>

namespace screen {

void ReadInput(int& key, int& button, int& row, int& column);
void WaitKey(int& key);
void FlushKeys();
void SetKeys(const std::string& command, const std::string& list);
std::string Calendar();

}  // namespace screen
