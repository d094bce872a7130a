// Pop-up windows, display attributes, message box and help viewer.
#pragma once

#include <string>

namespace screen {

int ScreenRows();
int ScreenColumns();
void WinLocate(int row, int column);
int WinInnerTop();
int WinInnerLeft();
int WinInnerRight();
void WindowPush(int top, int left, int bottom, int right);
void WindowPop();
void WindowFrame(int style);
void ScrollArea(int top, int left, int bottom, int right, int n);
void SetAttr(const std::string& code);
void MessageBox(int baseRow, const std::string& text);
void HelpViewer(const std::string& topic);

}  // namespace screen
