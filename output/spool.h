// The print spool: a command file "zediridi.tmp" in TmpDir that the print
// program renders once it is complete. One spool is open at a time.
#pragma once

#include <string>

namespace output {

// Lines per page (set by PrintPage) and lines advanced on the current page.
extern int PageLength;
extern int LineCount;

// Creates the spool (replacing an old one) and writes the "DEVICE" line
// (the device as DeviceName gives it).
// False when the spool cannot be created.
bool PrintOpen(const std::string& device);
void PrintPage(int lines);
// Normalises `code` in place and writes the "JUS" line.
void PrintJustify(std::string& code);
void PrintCommand(const std::string& text);
void PrintText(int column, const std::string& text, int lineFeeds);
// Closes the spool. False when it was not open or any write to it failed.
bool PrintClose();
// The spool's path: TmpDir + "zediridi.tmp".
std::string SpoolPath();

}  // namespace output
