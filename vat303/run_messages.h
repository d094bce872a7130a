// How a run of the return speaks to the operator: on the screen (message
// boxes, the progress window) in the interactive program, or on standard
// error in a batch run (a line per message, a progress line when standard
// error is a terminal).
#pragma once

#include <string>
#include <vector>

namespace vat303 {

enum class RunPresentation {
  Screen,         // message boxes with a beep, waiting for a key; progress window
  Batch,          // messages as lines on standard error; no progress
  BatchProgress,  // as Batch, with a progress line (standard error is a terminal)
};

void SetPresentation(RunPresentation how);
RunPresentation Presentation();

// A message the operator must see (CP850 text): a message box on row 12
// with a beep, pending keys discarded and one key awaited; or a line on
// standard error.
void ShowRunMessage(const std::string& text);
// A notice that stays while the program waits (a lock held by another
// terminal): a message box closed by EndWaitNotice, or a line.
void ShowWaitNotice(const std::string& text);
void EndWaitNotice();

// Several messages at once (the data problems of a territory): one message
// box holding them line by line, or one line each.
void ShowRunMessages(const std::vector<std::string>& lines);

// The progress line of a batch run with a terminal (BatchProgress): written
// over itself; cleared before any other line and by ClearProgressLine.
void ShowProgressLine(const std::string& text);
void ClearProgressLine();

// Every message shown since the last ClearShownMessages (tests, and the
// driver's record of what it reported).
const std::vector<std::string>& ShownMessages();
void ClearShownMessages();

// A CP850 text as UTF-8 (for standard error).
std::string Cp850ToUtf8Text(const std::string& cp850);

}  // namespace vat303
