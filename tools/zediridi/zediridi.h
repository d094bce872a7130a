// ZEDIRIDI, the print program: reads the print spool TmpDir + "zediridi.tmp"
// and renders it on the device named by its "DEVICE" line (a PDF file, a
// text file or a printer queue).
//
// Exit codes: 0 printed, 1 the spool is missing or damaged, 2 the output
// could not be made or handed over, 3 (output::kNothingToPrint) the spool
// holds no page and nothing was made.
#pragma once

#include <string>
#include <vector>

namespace zediridi {

// Character pitches. A line is printed in the pitch in force when it was
// read: pica (80 columns across the sheet) until a device command changes
// it, elite after "@e" (96 columns: the report heading, whose title is
// centred on 96 columns and whose page number ends at column 95), condensed
// after "q" (136 columns: the report's columns and rules).
enum Pitch { kPica = 0, kElite = 1, kCondensed = 2 };
constexpr int kPitchColumns[3] = {80, 96, 136};

// Lines of a sheet when the spool sets no page length ("PAGE 0").
constexpr int kDefaultPageLines = 66;

// One text of the spool at its place: line (0-based on its page), column
// (1-based), pitch, CP850 text.
struct Placed {
  int line = 0;
  int column = 1;
  int pitch = kPica;
  std::string text;
};

struct Page {
  int lines = kDefaultPageLines;  // page length in force for this page
  std::vector<Placed> texts;
};

struct Document {
  std::string device;     // the text after "DEVICE"
  bool landscape = false; // "@e" seen: the condensed report, on a landscape sheet
  std::vector<Page> pages;
};

// Reads and checks the whole spool. False with `error` set to the message
// (path, line number, problem; CP850) when it is missing or damaged; no
// partial document is used then.
bool ReadSpool(const std::string& path, Document& doc, std::string& error);

// The plain text of the document: UTF-8, one "\n" after each line, trailing
// blanks removed, a form feed before every page but the first.
std::string RenderText(const Document& doc);
// The PDF of the document in memory. False with `error` set (CP850).
bool RenderPdf(const Document& doc, std::string& pdf, std::string& error);
// Gives the fonts of a PDF that libharu wrote (UTF-8 encoder) a valid
// ToUnicode map, appended as an update of the file. False when the file's
// trailer cannot be read (the PDF is then unchanged).
bool ReplaceToUnicodeMaps(std::string& pdf);

}  // namespace zediridi
